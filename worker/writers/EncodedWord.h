// Header values and part names of the .eml files are packed whole into one
// RFC 2047 encoded word: the text's UTF-8 bytes in one-line base64 between
// "=?utf-8?B?" and "?=", whatever its length and content.
#pragma once
#include <string>
#include <string_view>

std::string Utf8EncodedWord(std::u16string_view text);
