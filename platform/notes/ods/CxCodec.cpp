#include "platform/notes/ods/CxCodec.h"

namespace notes::ods {

namespace {
class CBitReader {
public:
    explicit CBitReader(CBytes input) : input(input) {}

    unsigned Bit() {
        if (position >= input.Size() * 8) throw COdsDamage("compressed data ends early");
        unsigned bit = (input.Data()[position >> 3] >> (position & 7)) & 1u;
        ++position;
        return bit;
    }
    size_t Bits(unsigned count) {
        size_t value = 0;
        for (unsigned i = 0; i < count; ++i) value |= static_cast<size_t>(Bit()) << i;
        return value;
    }
    // z zero bits, a one bit, then z+1 bits of value: (2^(z+1) | value) - 1.
    size_t Gamma() {
        unsigned zeros = 0;
        while (Bit() == 0)
            if (++zeros > 30) throw COdsDamage("compressed data holds an impossible length");
        return ((size_t{1} << (zeros + 1)) | Bits(zeros + 1)) - 1;
    }

private:
    CBytes input;
    size_t position = 0;
};
}  // namespace

std::string CxDecompress(CBytes input, size_t expectedSize) {
    std::string out;
    out.reserve(expectedSize);
    CBitReader bits(input);
    bits.Bits(3);
    while (out.size() < expectedSize) {
        if (bits.Bit() == 0) {
            out.push_back(static_cast<char>(bits.Bits(8)));
            continue;
        }
        size_t length = 2;
        size_t distance = 0;
        if (bits.Bit() == 1) {
            distance = bits.Bits(8);
        } else {
            length = bits.Gamma() + 2;
            if (bits.Bit() == 1) {
                distance = bits.Bits(8);
            } else {
                size_t high = bits.Gamma();
                distance = (high << 8) | bits.Bits(8);
            }
        }
        if (distance == 0 || distance > out.size()) throw COdsDamage("compressed data refers before its start");
        if (length > expectedSize - out.size()) throw COdsDamage("compressed data is longer than declared");
        size_t from = out.size() - distance;
        for (size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    }
    return out;
}

}  // namespace notes::ods
