// Translation of long Notes (LMBCS) text into UTF-16. The translation call
// takes 16-bit lengths, so text longer than 32,764 bytes is translated in
// consecutive pieces; each piece ends at the start of a character, never
// inside a multi-byte LMBCS sequence.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t MaxTranslatePiece = 32764;

// Byte length of the LMBCS character that starts at text[at] (at least 1,
// at most what is left of the text).
size_t LmbcsCharLength(std::string_view text, size_t at);

// The byte lengths of the pieces: text of at most maxPiece bytes is one
// piece; longer text is cut into pieces of at most maxPiece bytes, each cut
// moved back to the start of the character it would split.
std::vector<size_t> SplitLmbcsPieces(std::string_view text, size_t maxPiece = MaxTranslatePiece);

// Translates LMBCS text to UTF-16 piece by piece with the Notes translation
// call (mode 20), each piece into a zeroed buffer of twice its length plus
// 2 bytes.
std::u16string TranslateLmbcsToUtf16(std::string_view text);
