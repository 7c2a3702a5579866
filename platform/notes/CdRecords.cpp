#include "platform/notes/CdRecords.h"

#include <cstring>

#include "platform/notes/ItemCodec.h"

namespace notes {

namespace {
const char* const kColorNames[kNotesColorCount] = {
    "black", "white", "red", "green", "blue", "magenta", "yellow", "cyan",
    "darkred", "darkgreen", "darkblue", "darkmagenta", "darkyellow", "darkcyan", "gray", "lightgray"};
const char* const kColorHex[kNotesColorCount] = {
    "#000000", "#FFFFFF", "#FF0000", "#00FF00", "#0000FF", "#FF00FF", "#FFFF00", "#00FFFF",
    "#800000", "#008000", "#000080", "#800080", "#808000", "#008080", "#808080", "#C0C0C0"};

constexpr WORD kPabId = 1;
constexpr size_t kSegmentSize = 10250;
constexpr size_t kPabDefinitionLength = 70;

// Appends one record: header (BSIG, WSIG or LSIG by the signature's high
// byte) and body, padded to an even length.
void PutRecord(std::string& out, WORD signature, const std::string& body) {
    BYTE high = static_cast<BYTE>(signature >> 8);
    if (high == 0xFF) {
        PutWord(out, signature);
        PutWord(out, static_cast<WORD>(4 + body.size()));
    } else if (high == 0x00) {
        PutWord(out, signature);
        PutDword(out, static_cast<DWORD>(6 + body.size()));
    } else {
        out.push_back(static_cast<char>(signature & 0xFF));
        out.push_back(static_cast<char>(2 + body.size()));
    }
    out += body;
    if (out.size() % 2) out.push_back('\0');
}

void PutBsig(std::string& out, BYTE signature, const std::string& body) {
    out.push_back(static_cast<char>(signature));
    out.push_back(static_cast<char>(2 + body.size()));
    out += body;
    if (out.size() % 2) out.push_back('\0');
}

std::string PabDefinition() {
    std::string body;
    PutWord(body, kPabId);
    body.resize(kPabDefinitionLength - 4, '\0');
    return body;
}

// Records of one element, each as its own string so that items split
// between them.
std::vector<std::string> ElementRecords(const CRtElement& e) {
    std::vector<std::string> records;
    std::string r, body;
    switch (e.kind) {
    case CRtElement::kParagraph:
        PutBsig(r, SIG_CD_PARAGRAPH & 0xFF, "");
        body.clear();
        PutWord(body, kPabId);
        PutBsig(r, SIG_CD_PABREFERENCE & 0xFF, body);
        records.push_back(r);
        break;
    case CRtElement::kText:
        body.push_back(static_cast<char>(e.font.face));
        body.push_back(static_cast<char>(e.font.attrib));
        body.push_back(static_cast<char>(e.font.color));
        body.push_back(static_cast<char>(e.font.size));
        PutRecord(r, SIG_CD_TEXT, body + e.text);
        records.push_back(r);
        break;
    case CRtElement::kLink:
        PutWord(body, e.linkIndex);
        body += e.text + '\0' + e.serverHint + '\0';
        PutRecord(r, SIG_CD_LINK2, body);
        records.push_back(r);
        break;
    case CRtElement::kImage: {
        // CDGRAPHIC: DestSize, CropSize, CropOffset, fResize, Version, bFlags, wReserved.
        PutWord(body, static_cast<WORD>(e.width * 15));
        PutWord(body, static_cast<WORD>(e.height * 15));
        body.append(4 + 8 + 2, '\0');
        body.push_back(3);   // version 3
        body.append(3, '\0');
        PutRecord(r, SIG_CD_GRAPHIC, body);
        body.clear();
        size_t segments = (e.bytes.size() + kSegmentSize - 1) / kSegmentSize;
        PutWord(body, e.imageType);
        PutWord(body, e.width);
        PutWord(body, e.height);
        PutDword(body, static_cast<DWORD>(e.bytes.size()));
        PutDword(body, static_cast<DWORD>(segments));
        PutDword(body, 0);
        PutDword(body, 0);
        PutRecord(r, SIG_CD_IMAGEHEADER, body);
        records.push_back(r);
        for (size_t at = 0; at < e.bytes.size(); at += kSegmentSize) {
            std::string data = e.bytes.substr(at, kSegmentSize);
            WORD dataSize = static_cast<WORD>(data.size());
            WORD segSize = static_cast<WORD>(dataSize + dataSize % 2);
            data.resize(segSize, '\0');
            std::string seg, segBody;
            PutWord(segBody, dataSize);
            PutWord(segBody, segSize);
            PutRecord(seg, SIG_CD_IMAGESEGMENT, segBody + data);
            records.push_back(seg);
        }
        break;
    }
    case CRtElement::kAttachment: {
        std::string data = e.uniqueName + '\0' + e.text + '\0';
        PutWord(body, HOTSPOTREC_TYPE_FILE);
        PutDword(body, 0);
        PutWord(body, static_cast<WORD>(data.size()));
        PutRecord(r, SIG_CD_HOTSPOTBEGIN, body + data);
        PutBsig(r, SIG_CD_HOTSPOTEND & 0xFF, "");
        records.push_back(r);
        break;
    }
    }
    return records;
}

std::string NewItem() {
    std::string item;
    PutWord(item, TYPE_COMPOSITE);
    PutRecord(item, SIG_CD_PABDEFINITION, PabDefinition());
    return item;
}

}  // namespace

const char* NotesColorName(int index) {
    return index >= 0 && index < kNotesColorCount ? kColorNames[index] : "black";
}
const char* NotesColorHex(int index) {
    return index >= 0 && index < kNotesColorCount ? kColorHex[index] : "#000000";
}
int NotesColorIndex(const std::string& name) {
    for (int i = 0; i < kNotesColorCount; ++i)
        if (name == kColorNames[i]) return i;
    // "#RRGGBB": the nearest of the sixteen colours a FONTID can hold.
    if (name.size() != 7 || name[0] != '#') return -1;
    long rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        char c = name[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return -1;
        rgb = rgb << 4 | d;
    }
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kNotesColorCount; ++i) {
        long other = std::stol(kColorHex[i] + 1, nullptr, 16);
        long distance = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            long d = ((rgb >> shift) & 0xFF) - ((other >> shift) & 0xFF);
            distance += d * d;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<std::string> EncodeRichText(const std::vector<CRtElement>& elements, size_t itemLimit) {
    std::vector<std::string> items;
    std::string item = NewItem();
    size_t emptySize = item.size();
    for (const auto& e : elements) {
        for (const auto& record : ElementRecords(e)) {
            if (item.size() > emptySize && item.size() + record.size() > itemLimit) {
                items.push_back(item);
                item = NewItem();
            }
            item += record;
        }
    }
    items.push_back(item);
    return items;
}

bool ProbeImage(const std::string& b, WORD* type, WORD* width, WORD* height) {
    auto byte = [&](size_t i) { return static_cast<unsigned>(static_cast<uint8_t>(b[i])); };
    if (b.size() >= 10 && (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0)) {
        *type = CDIMAGETYPE_GIF;
        *width = static_cast<WORD>(byte(6) | byte(7) << 8);
        *height = static_cast<WORD>(byte(8) | byte(9) << 8);
        return true;
    }
    if (b.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return false;
    *type = CDIMAGETYPE_JPEG;
    *width = *height = 0;
    size_t pos = 2;
    while (pos + 9 < b.size() && byte(pos) == 0xFF) {
        unsigned marker = byte(pos + 1);
        size_t length = byte(pos + 2) << 8 | byte(pos + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            *height = static_cast<WORD>(byte(pos + 5) << 8 | byte(pos + 6));
            *width = static_cast<WORD>(byte(pos + 7) << 8 | byte(pos + 8));
            break;
        }
        pos += 2 + length;
    }
    return true;
}

}  // namespace notes
