// The two compressions of real NSF files, on hand-assembled streams: CX
// (literals, copies of two bytes, gamma-coded lengths, distances past 255)
// and attachment Huffman coding, and how both fail on broken input.
#include <gtest/gtest.h>

#include "platform/notes/ods/CxCodec.h"
#include "platform/notes/ods/HuffmanCodec.h"

using namespace notes::ods;

namespace {
// Writes bits from the least significant end of each byte, as CX reads them.
class CBits {
public:
    CBits& Bit(unsigned b) {
        if (count % 8 == 0) bytes.push_back(0);
        if (b) bytes.back() = static_cast<char>(bytes.back() | (1 << (count % 8)));
        ++count;
        return *this;
    }
    CBits& Bits(size_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i) Bit((value >> i) & 1);
        return *this;
    }
    // The gamma code of v: z zeros, a one, then the z+1 low bits of v+1.
    CBits& Gamma(size_t v) {
        unsigned z = 0;
        while (((v + 1) >> (z + 2)) != 0) ++z;
        for (unsigned i = 0; i < z; ++i) Bit(0);
        Bit(1);
        return Bits((v + 1) & ((size_t{1} << (z + 1)) - 1), z + 1);
    }
    CBits& Literal(char c) { return Bit(0).Bits(static_cast<unsigned char>(c), 8); }
    CBits& ShortCopy(size_t distance) { return Bit(1).Bit(1).Bits(distance, 8); }
    CBits& Copy(size_t length, size_t distance) {
        Bit(1).Bit(0).Gamma(length - 2);
        if (distance < 256) return Bit(1).Bits(distance, 8);
        return Bit(0).Gamma(distance >> 8).Bits(distance & 0xFF, 8);
    }
    std::string bytes;
    size_t count = 0;
};

CBits Header() { return CBits().Bits(4, 3); }
}  // namespace

TEST(CxCodec, DecodesEveryKindOfToken) {
    CBits b = Header();
    b.Literal('a').Literal('b').ShortCopy(2);           // abab
    b.Copy(5, 1);                                       // bbbbb
    std::string filler;
    for (int i = 0; i < 300; ++i) {
        char c = static_cast<char>('A' + i % 23);
        filler += c;
        b.Literal(c);
    }
    b.Copy(9, 300 + 9);                                 // "ababbbbbb" again, far back
    std::string out = CxDecompress(CBytes(b.bytes), 9 + 300 + 9);
    EXPECT_EQ(out, "ababbbbbb" + filler + "ababbbbbb");
}

TEST(CxCodec, GammaLengthsAcrossCodeSizes) {
    for (size_t length : {3u, 4u, 6u, 7u, 14u, 15u, 255u, 1000u}) {
        CBits b = Header();
        b.Literal('x').Copy(length, 1);
        EXPECT_EQ(CxDecompress(CBytes(b.bytes), length + 1), std::string(length + 1, 'x')) << length;
    }
}

TEST(CxCodec, BrokenStreamsAreDamageNotOverreads) {
    struct CCase {
        const char* what;
        CBits bits;
        size_t size;
    };
    std::vector<CCase> cases;
    cases.push_back({"ends early", Header().Literal('a'), 5});
    cases.push_back({"copy before the start", Header().Literal('a').ShortCopy(2), 3});
    cases.push_back({"copy longer than declared", Header().Literal('a').Copy(10, 1), 4});
    cases.push_back({"zero distance", Header().Literal('a').ShortCopy(0), 3});
    CBits endless = Header().Bit(1).Bit(0);
    for (int i = 0; i < 40; ++i) endless.Bit(0);
    cases.push_back({"endless gamma", endless, 3});
    for (auto& c : cases) EXPECT_THROW(CxDecompress(CBytes(c.bits.bytes), c.size), COdsDamage) << c.what;
}

namespace {
// Object data: sum, tree size, a tree of (-1, 'a') and ('b', 256), codes
// read from the most significant bit; a 1 bit takes the first child.
std::string HuffmanObject(const std::string& codes, uint32_t sum, int16_t secondFirst = 'b') {
    auto word = [](int16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
    std::string d{static_cast<char>(sum & 0xFF), static_cast<char>((sum >> 8) & 0xFF),
                  static_cast<char>((sum >> 16) & 0xFF), static_cast<char>(sum >> 24)};
    d += word(8) + word(-1) + word('a') + word(secondFirst) + word(256);
    return d + codes;
}
}  // namespace

TEST(HuffmanCodec, DecodesAndChecksTheSum) {
    // "ab a": 0 -> 'a'; 1 -> node 1; 1 1 -> 'b'; 1 0 -> end.  a b a end = 0 11 0 10
    std::string codes(1, static_cast<char>(0b01101000));
    EXPECT_EQ(HuffmanDecompress(CBytes(HuffmanObject(codes, 'a' + 'b' + 'a')), 3), "aba");
    EXPECT_THROW(HuffmanDecompress(CBytes(HuffmanObject(codes, 1)), 3), COdsDamage);
    EXPECT_THROW(HuffmanDecompress(CBytes(HuffmanObject(codes, 'a' + 'b' + 'a')), 4), COdsDamage);
    EXPECT_THROW(HuffmanDecompress(CBytes(HuffmanObject(codes, 'a' + 'b' + 'a')), 2), COdsDamage);
    EXPECT_THROW(HuffmanDecompress(CBytes(HuffmanObject(std::string(1, '\0'), 0)), 20), COdsDamage);
    // A tree with a node that names itself never ends a code.
    EXPECT_THROW(HuffmanDecompress(CBytes(HuffmanObject(std::string(8, '\xFF'), 0, -1)), 1), COdsDamage);
}
