// The "CX" compression Notes applies to superblocks and bucket descriptor
// blocks: a bit-packed LZ77 variant. Bits are read from the least
// significant end of each byte; the first three bits are a header. A 0 bit
// starts a literal byte (the next 8 bits), a 1 bit a copy of earlier output:
// either "1" and an 8-bit distance for two bytes, or "0", a gamma-coded
// length less 2, then "1" and an 8-bit distance or "0", a gamma-coded high
// part and 8 more bits of distance.
#pragma once
#include <string>

#include "platform/notes/ods/OdsBytes.h"

namespace notes::ods {

// Decodes input to exactly expectedSize bytes. Throws COdsDamage when the
// input ends early or refers to bytes before the start of the output.
std::string CxDecompress(CBytes input, size_t expectedSize);

}  // namespace notes::ods
