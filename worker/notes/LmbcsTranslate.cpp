// The translation of converter text with the Notes translation call, piece
// by piece (see LmbcsPieces.h).
#include <algorithm>
#include <vector>

#include "platform/notes/HtmlApi.h"
#include "worker/notes/LmbcsPieces.h"

namespace {

std::u16string TranslatePiece(std::string_view piece)
{
    // Twice the length plus 2 bytes, at most 65,530 bytes for a full piece.
    std::vector<char16_t> out(piece.size() + 1, u'\0');
    const WORD written = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, piece.data(),
                                     static_cast<WORD>(piece.size()),
                                     reinterpret_cast<char*>(out.data()),
                                     static_cast<WORD>(out.size() * 2));
    const size_t units = std::min<size_t>(written / 2, piece.size());
    return std::u16string(out.data(), units);
}

}  // namespace

std::u16string TranslateLmbcsToUtf16(std::string_view text)
{
    std::u16string result;
    size_t at = 0;
    for (const size_t length : SplitLmbcsPieces(text)) {
        result += TranslatePiece(text.substr(at, length));
        at += length;
    }
    return result;
}
