#include "worker/notes/NotesText.h"

#include <vector>

std::u16string FromNotesText(const LNString& text, LNINT n)
{
    const size_t units = n > 0 ? static_cast<size_t>(n) + 1 : 1;  // 2n + 2 bytes
    std::vector<char16_t> buffer(units, u'\0');
    LNStringTranslate(text, LNCHARSET_UNICODE, static_cast<LNINT>(units * 2),
                      reinterpret_cast<char*>(buffer.data()));
    buffer.back() = u'\0';
    return std::u16string(buffer.data());
}

std::u16string FromNotesText(const LNString& text)
{
    return FromNotesText(text, text.GetByteLength());
}
