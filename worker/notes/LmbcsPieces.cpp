#include "worker/notes/LmbcsPieces.h"

#include <algorithm>

namespace {

// Group bytes and pass-through control bytes of LMBCS.
constexpr unsigned char GroupControl = 0x0F;   // C0 control: group byte + 1 byte
constexpr unsigned char GroupUnicode = 0x14;   // UTF-16 unit: group byte + 2 bytes
constexpr unsigned char DoubleGroupStart = 0x10;
constexpr unsigned char Tab = 0x09, LineFeed = 0x0A, Return = 0x0D, SystemRange = 0x19;

bool IsSingleByte(unsigned char b)
{
    return b == 0 || b >= 0x20 || b == Tab || b == LineFeed || b == Return || b == SystemRange;
}

// A group-0x14 sequence holding a high surrogate; its low surrogate follows
// in a second sequence and both form one character.
bool IsHighSurrogateSequence(std::string_view text, size_t at)
{
    if (at + 2 >= text.size()) {
        return false;
    }
    const auto high = static_cast<unsigned char>(text[at + 1]);
    return high >= 0xD8 && high <= 0xDB;
}

size_t RawCharLength(std::string_view text, size_t at)
{
    const auto b = static_cast<unsigned char>(text[at]);
    if (IsSingleByte(b)) {
        return 1;
    }
    if (b == GroupControl) {
        return 2;
    }
    if (b == GroupUnicode) {
        const bool pair = IsHighSurrogateSequence(text, at) && at + 3 < text.size() &&
                          static_cast<unsigned char>(text[at + 3]) == GroupUnicode;
        return pair ? 6 : 3;
    }
    return b >= DoubleGroupStart ? 3 : 2;
}

}  // namespace

size_t LmbcsCharLength(std::string_view text, size_t at)
{
    if (at >= text.size()) {
        return 0;
    }
    return std::min(RawCharLength(text, at), text.size() - at);
}

std::vector<size_t> SplitLmbcsPieces(std::string_view text, size_t maxPiece)
{
    std::vector<size_t> pieces;
    if (text.size() <= maxPiece) {
        pieces.push_back(text.size());
        return pieces;
    }
    size_t pieceStart = 0;
    size_t at = 0;
    while (at < text.size()) {
        const size_t length = LmbcsCharLength(text, at);
        if (at + length - pieceStart > maxPiece && at > pieceStart) {
            pieces.push_back(at - pieceStart);
            pieceStart = at;
        }
        at += length;
    }
    pieces.push_back(at - pieceStart);
    return pieces;
}
