// Notes text into the programs' UTF-16 text, the way every document reader
// takes it: Notes text (LMBCS) is translated into a zeroed buffer of
// 2 * n + 2 bytes and read up to the first zero character.
#pragma once
#include <string>

#include "platform/notes/LNString.h"

// n is the length the caller knows: the string's length in bytes or in
// characters. The buffer is sized from it, so a count that is too small
// cuts the text at a character boundary.
std::u16string FromNotesText(const LNString& text, LNINT n);
// The same with the string's length in bytes, which always has room.
std::u16string FromNotesText(const LNString& text);
