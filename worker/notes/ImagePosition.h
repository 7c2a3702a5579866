// The position of an image inside a rich-text item as the HTML converter
// writes it into an image reference: a decimal item index, a '.', and the
// hexadecimal byte offset of the image in that item ("0.1C4"). The
// characters are kept as they stand because the saved image's file name is
// built from them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ImagePosition {
    std::string indexChars;   // as written, e.g. "0"
    std::string offsetChars;  // as written, e.g. "1C4"
    uint32_t index = 0;
    uint32_t offset = 0;
};

constexpr size_t MaxPositionChars = 9;

// Digits 0-9 (index) and 0-9, A-F in either case (offset) count as
// themselves, any other character as 0. Nothing when there is no '.', when
// either part is longer than 9 characters or when the offset exceeds 32 bits.
std::optional<ImagePosition> ParseImagePosition(std::string_view text);
