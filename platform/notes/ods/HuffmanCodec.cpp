#include "platform/notes/ods/HuffmanCodec.h"

#include <cstdint>
#include <vector>

namespace notes::ods {

namespace {
constexpr int kEndSymbol = 256;

struct CNode {
    int16_t child[2];
};

std::vector<CNode> ReadTree(CBytes data, size_t& codesStart) {
    size_t treeBytes = data.U16(4);
    if (treeBytes == 0 || treeBytes % 4 != 0) throw COdsDamage("attachment code tree has a bad size");
    std::vector<CNode> nodes(treeBytes / 4);
    for (size_t i = 0; i < nodes.size(); ++i)
        for (int c = 0; c < 2; ++c) {
            auto child = static_cast<int16_t>(data.U16(6 + 4 * i + 2 * c));
            if (child < 0 && static_cast<size_t>(-child) >= nodes.size())
                throw COdsDamage("attachment code tree is broken");
            if (child > kEndSymbol) throw COdsDamage("attachment code tree names a bad symbol");
            nodes[i].child[c] = child;
        }
    codesStart = 6 + treeBytes;
    return nodes;
}
}  // namespace

std::string HuffmanDecompress(CBytes data, size_t expectedSize) {
    uint32_t expectedSum = data.U32(0);
    size_t codesStart = 0;
    std::vector<CNode> nodes = ReadTree(data, codesStart);
    const uint8_t* codes = data.Data() + codesStart;
    size_t totalBits = (data.Size() - codesStart) * 8;
    std::string out;
    out.reserve(expectedSize);
    size_t bit = 0;
    uint32_t sum = 0;
    for (;;) {
        size_t node = 0;
        int symbol;
        // A code is never longer than the tree is deep: a longer walk means
        // the tree loops.
        for (size_t depth = 0;; ++depth) {
            if (depth > nodes.size()) throw COdsDamage("attachment code tree is broken");
            if (bit >= totalBits) throw COdsDamage("attachment data ends early");
            unsigned b = (codes[bit >> 3] >> (7 - (bit & 7))) & 1u;
            ++bit;
            int16_t child = nodes[node].child[b ? 0 : 1];
            if (child >= 0) {
                symbol = child;
                break;
            }
            node = static_cast<size_t>(-child);
        }
        if (symbol == kEndSymbol) break;
        if (out.size() == expectedSize) throw COdsDamage("attachment data is longer than declared");
        out.push_back(static_cast<char>(symbol));
        sum += static_cast<uint8_t>(symbol);
    }
    if (out.size() != expectedSize) throw COdsDamage("attachment data is shorter than declared");
    if (sum != expectedSum) throw COdsDamage("attachment data does not match its checksum");
    return out;
}

}  // namespace notes::ods
