// The Huffman compression of attachment objects (FILEOBJECT compression
// type 1). The object data holds the 32-bit sum of all decoded bytes, the
// byte length of the code tree, the tree as pairs of 16-bit children (a
// negative child is the index of another pair, any other a symbol; symbol
// 256 ends the data; pair 0 is the root), then the codes, read from the most
// significant bit of each byte, a 1 bit taking the first child.
#pragma once
#include <string>

#include "platform/notes/ods/OdsBytes.h"

namespace notes::ods {

// Decodes data into exactly expectedSize bytes and checks their sum. Throws
// COdsDamage when the tree or the codes are broken, the data ends early or
// the sum does not match.
std::string HuffmanDecompress(CBytes data, size_t expectedSize);

}  // namespace notes::ods
