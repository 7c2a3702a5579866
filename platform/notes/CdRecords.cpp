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

std::string CString(const std::string& data, size_t* at) {
    size_t end = data.find('\0', *at);
    if (end == std::string::npos) throw CCdError("unterminated text in a CD record");
    std::string s = data.substr(*at, end - *at);
    *at = end + 1;
    return s;
}

struct CRecord {
    WORD signature;
    size_t start;      // offset of the header in the item data (after the type word)
    std::string body;  // after the header
};

std::vector<CRecord> SplitRecords(const std::string& raw) {
    if (RawType(raw) != TYPE_COMPOSITE) throw CCdError("item is not rich text");
    std::vector<CRecord> out;
    size_t pos = 2;
    while (pos + 2 <= raw.size()) {
        BYTE sig = static_cast<BYTE>(raw[pos]);
        BYTE high = static_cast<BYTE>(raw[pos + 1]);
        size_t length, header;
        WORD signature;
        if (high == 0xFF) {
            if (pos + 4 > raw.size()) throw CCdError("truncated CD record");
            signature = GetWord(raw, pos);
            length = GetWord(raw, pos + 2);
            header = 4;
        } else if (high == 0x00) {
            if (pos + 6 > raw.size()) throw CCdError("truncated CD record");
            signature = GetWord(raw, pos);
            length = GetDword(raw, pos + 2);
            header = 6;
        } else {
            signature = sig;
            length = high;
            header = 2;
        }
        if (length < header || pos + length > raw.size()) throw CCdError("CD record length out of range");
        out.push_back({signature, pos - 2, raw.substr(pos + header, length - header)});
        pos += length + (length % 2);
    }
    return out;
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

std::vector<CRtElement> DecodeRichText(const std::vector<std::string>& rawItems) {
    std::vector<CRtElement> out;
    CRtElement* image = nullptr;   // the image whose segments are being read
    size_t imageIndex = 0;
    for (size_t index = 0; index < rawItems.size(); ++index) {
        for (const auto& rec : SplitRecords(rawItems[index])) {
            CRtElement e;
            e.itemIndex = static_cast<int>(index);
            e.offset = static_cast<uint32_t>(rec.start);
            const std::string& b = rec.body;
            switch (rec.signature) {
            case SIG_CD_PARAGRAPH:
                e.kind = CRtElement::kParagraph;
                out.push_back(e);
                break;
            case SIG_CD_TEXT:
                if (b.size() < 4) throw CCdError("short text record");
                e.kind = CRtElement::kText;
                e.font = {static_cast<BYTE>(b[0]), static_cast<BYTE>(b[1]), static_cast<BYTE>(b[2]),
                          static_cast<BYTE>(b[3])};
                e.text = b.substr(4);
                out.push_back(e);
                break;
            case SIG_CD_LINK2: {
                if (b.size() < 2) throw CCdError("short link record");
                e.kind = CRtElement::kLink;
                e.linkIndex = GetWord(b, 0);
                size_t at = 2;
                e.text = CString(b, &at);
                e.serverHint = at < b.size() ? CString(b, &at) : "";
                out.push_back(e);
                break;
            }
            case SIG_CD_GRAPHIC:
                e.kind = CRtElement::kImage;
                out.push_back(e);
                imageIndex = out.size() - 1;
                image = &out[imageIndex];
                break;
            case SIG_CD_IMAGEHEADER:
                if (!image || b.size() < 22) throw CCdError("image header without graphic");
                image->imageType = GetWord(b, 0);
                image->width = GetWord(b, 2);
                image->height = GetWord(b, 4);
                break;
            case SIG_CD_IMAGESEGMENT: {
                if (!image || b.size() < 4) throw CCdError("image segment without graphic");
                size_t dataSize = GetWord(b, 0);
                if (4 + dataSize > b.size()) throw CCdError("image segment too short");
                image->bytes += b.substr(4, dataSize);
                break;
            }
            case SIG_CD_HOTSPOTBEGIN: {
                if (b.size() < 8) throw CCdError("short hotspot record");
                if (GetWord(b, 0) != HOTSPOTREC_TYPE_FILE) break;
                e.kind = CRtElement::kAttachment;
                size_t at = 8;
                e.uniqueName = CString(b, &at);
                e.text = CString(b, &at);
                out.push_back(e);
                break;
            }
            default:
                break;
            }
            if (rec.signature != SIG_CD_GRAPHIC && rec.signature != SIG_CD_IMAGEHEADER &&
                rec.signature != SIG_CD_IMAGESEGMENT && rec.signature != SIG_CD_PABDEFINITION)
                image = nullptr;
            else if (image)
                image = &out[imageIndex];
        }
    }
    return out;
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
