#include "platform/notes/MimePart.h"

#include <algorithm>

#include "platform/notes/ItemCodec.h"

namespace notes {

const char* const kPartIndexHeader = "X-Notes-Part-Index";

namespace {
constexpr size_t kHeaderSize = 20;

// The header block with the index line added before its closing empty line.
std::string MarkedHeaders(const std::string& headers, size_t index) {
    std::string block = headers;
    while (!block.empty() && (block.back() == '\n' || block.back() == '\r')) block.pop_back();
    if (!block.empty()) block += "\r\n";
    return block + kPartIndexHeader + ": " + std::to_string(index) + "\r\n\r\n";
}
}  // namespace

std::optional<CMimePart> DecodeMimePart(const std::string& raw) {
    if (raw.size() < 2 + kHeaderSize || RawType(raw) != TYPE_MIME_PART) return std::nullopt;
    const size_t at = 2;
    CMimePart part;
    part.flags = GetDword(raw, at + 2);
    part.type = static_cast<BYTE>(raw[at + 6]);
    size_t byteCount = GetWord(raw, at + 8);
    size_t boundaryLength = GetWord(raw, at + 10);
    size_t headersLength = GetWord(raw, at + 12);
    size_t data = at + kHeaderSize;
    size_t total = std::min(byteCount, raw.size() - data);
    if (boundaryLength + headersLength > total) return std::nullopt;
    part.boundary = raw.substr(data, boundaryLength);
    part.headers = raw.substr(data + boundaryLength, headersLength);
    part.body = raw.substr(data + boundaryLength + headersLength, total - boundaryLength - headersLength);
    return part;
}

std::string AssembleMimeStream(const std::vector<CMimePart>& parts) {
    std::string stream;
    for (size_t i = 0; i < parts.size(); ++i) {
        const CMimePart& part = parts[i];
        // A boundary starts a line: a body kept in an object ends without one.
        if (!part.boundary.empty() && !stream.empty() && stream.back() != '\n') stream += "\r\n";
        stream += part.boundary;
        // A leaf item without boundary and headers after the first continues
        // the body before it.
        bool continued = i > 0 && !(part.flags & (MIME_PART_HAS_BOUNDARY | MIME_PART_HAS_HEADERS));
        if (part.type == MIME_PART_BODY && !continued) {
            stream += MarkedHeaders(part.headers, i);
            if (!part.InObject()) stream += part.body;
        } else {
            stream += part.headers;
            stream += part.body;
        }
    }
    return stream;
}

}  // namespace notes
