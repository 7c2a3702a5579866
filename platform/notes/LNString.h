// LNString: Notes text as the LN classes hand it out, a sequence of LMBCS
// bytes (Notes' own multi-byte character set; ASCII is itself). Convert it
// to UTF-16 with LNStringTranslate (character set 0) or sys::LmbcsToUtf16.
#pragma once
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"

using LNCHARSET = LNINT;
constexpr LNCHARSET LNCHARSET_UNICODE = 0;   // UTF-16, native byte order

class LNString {
public:
    LNString() = default;
    LNString(const char* lmbcs) : bytes(lmbcs ? lmbcs : "") {}
    LNString(std::string lmbcs) : bytes(std::move(lmbcs)) {}
    LNString(std::string_view lmbcs) : bytes(lmbcs) {}

    // Zero-terminated LMBCS bytes.
    const char* GetTextPtr() const { return bytes.c_str(); }
    operator const char*() const { return bytes.c_str(); }
    const std::string& GetBytes() const { return bytes; }
    LNINT GetByteLength() const { return static_cast<LNINT>(bytes.size()); }
    // Number of characters (multi-byte LMBCS sequences count once).
    LNINT GetCharacterCount() const;
    bool IsNull() const { return bytes.empty(); }
    bool operator==(const LNString& other) const { return bytes == other.bytes; }

    LNString& operator+=(const LNString& more) { bytes += more.bytes; return *this; }

private:
    std::string bytes;
};

// Notes text to another character set. With LNCHARSET_UNICODE the buffer
// receives UTF-16 (native order) and, when there is room, a zero character;
// the text is cut at a character boundary when the buffer is too small.
// Returns 0, or a status for an unknown character set or a null buffer.
LNSTATUS LNStringTranslate(const LNString& text, LNCHARSET charSet, LNINT bufferSize, char* buffer);
// The other way: zero-terminated text in charSet (UTF-16 for
// LNCHARSET_UNICODE) into Notes text.
LNSTATUS LNStringTranslate(const char* text, LNCHARSET charSet, LNString* result);
LNSTATUS LNStringTranslate(const char16_t* text, LNCHARSET charSet, LNString* result);
