#include "worker/writers/EncodedWord.h"

#include "platform/sys/Text.h"
#include "worker/mime/MimeCodecs.h"

std::string Utf8EncodedWord(std::u16string_view text)
{
    const std::string encoded = Base64Unwrapped(sys::Utf16ToUtf8(text));
    std::string word;
    word.reserve(encoded.size() + 13);
    word += "=?utf-8?B?";
    word += encoded;
    word += "?=";
    return word;
}
