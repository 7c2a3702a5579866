#include "platform/notes/LNString.h"

#include <cstring>

#include "platform/notes/LNErrors.h"
#include "platform/sys/Text.h"

LNINT LNString::GetCharacterCount() const {
    std::u16string wide = sys::LmbcsToUtf16(bytes);
    LNINT count = 0;
    for (size_t i = 0; i < wide.size(); ++i)
        if (!(wide[i] >= 0xDC00 && wide[i] <= 0xDFFF)) ++count;
    return count;
}

LNSTATUS LNStringTranslate(const LNString& text, LNCHARSET charSet, LNINT bufferSize, char* buffer) {
    if (charSet != LNCHARSET_UNICODE || !buffer || bufferSize < 0) return ERR_BAD_PARAM;
    std::u16string wide = sys::LmbcsToUtf16(text.GetBytes());
    size_t room = static_cast<size_t>(bufferSize) / 2;
    size_t n = wide.size();
    if (n >= room) {
        n = room > 0 ? room - 1 : 0;   // keep room for the zero character
        if (n > 0 && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
    }
    std::memcpy(buffer, wide.data(), n * 2);
    if (room > n) std::memset(buffer + n * 2, 0, 2);
    return LNNOERROR;
}

LNSTATUS LNStringTranslate(const char16_t* text, LNCHARSET charSet, LNString* result) {
    if (charSet != LNCHARSET_UNICODE || !text || !result) return ERR_BAD_PARAM;
    *result = LNString(sys::Utf16ToLmbcs(std::u16string_view(text)));
    return LNNOERROR;
}

LNSTATUS LNStringTranslate(const char* text, LNCHARSET charSet, LNString* result) {
    if (!text) return ERR_BAD_PARAM;
    std::u16string wide;
    for (size_t i = 0; text[i] || text[i + 1]; i += 2) {
        char16_t c;
        std::memcpy(&c, text + i, 2);
        wide.push_back(c);
    }
    return LNStringTranslate(wide.c_str(), charSet, result);
}
