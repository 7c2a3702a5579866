#include "worker/notes/ImagePosition.h"

namespace {

uint64_t DecimalValue(std::string_view chars)
{
    uint64_t value = 0;
    for (const char c : chars) {
        value = value * 10 + (c >= '0' && c <= '9' ? static_cast<uint64_t>(c - '0') : 0);
    }
    return value;
}

uint64_t HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return static_cast<uint64_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<uint64_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint64_t>(c - 'A' + 10);
    }
    return 0;
}

uint64_t HexValue(std::string_view chars)
{
    uint64_t value = 0;
    for (const char c : chars) {
        value = value * 16 + HexDigit(c);
    }
    return value;
}

}  // namespace

std::optional<ImagePosition> ParseImagePosition(std::string_view text)
{
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view indexChars = text.substr(0, dot);
    const std::string_view offsetChars = text.substr(dot + 1);
    if (indexChars.size() > MaxPositionChars || offsetChars.size() > MaxPositionChars) {
        return std::nullopt;
    }
    const uint64_t offset = HexValue(offsetChars);
    if (offset > UINT32_MAX) {
        return std::nullopt;
    }
    ImagePosition position;
    position.indexChars.assign(indexChars);
    position.offsetChars.assign(offsetChars);
    position.index = static_cast<uint32_t>(DecimalValue(indexChars));
    position.offset = static_cast<uint32_t>(offset);
    return position;
}
