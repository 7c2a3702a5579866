#include "platform/notes/CdRecordWalk.h"

#include <algorithm>
#include <array>

namespace notes {

namespace {

// A record kind: its type byte, header kind, the least length a record of
// it can have (header included; for the kinds this reader decodes, their
// fixed part) and whether that length is the only one it ever has.
struct CKind {
    BYTE type;
    ECdHeader header;
    BYTE minLength;
    bool exact;
};

constexpr ECdHeader B = ECdHeader::kByte, W = ECdHeader::kWord, L = ECdHeader::kLong;

constexpr CKind kKinds[] = {
    // Byte-length records.
    {0x57, B, 2, false}, {0x59, B, 32, false}, {0x62, B, 2, false}, {0x63, B, 2, false},
    {0x6A, B, 2, false}, {0x6B, B, 2, false}, {0x6C, B, 2, false}, {0x6E, B, 6, true},
    {0x6F, B, 6, true}, {0x72, B, 8, false}, {0x7F, B, 2, true}, {0x80, B, 2, false},
    {0x81, B, 2, true}, {0x83, B, 4, true}, {0x86, B, 2, false}, {0x8C, B, 2, false},
    {0x8D, B, 2, false}, {0xA3, B, 14, false}, {0xA4, B, 18, false}, {0xA5, B, 6, false},
    {0xA6, B, 2, false}, {0xAA, B, 2, true}, {0xAE, B, 2, true}, {0xB7, B, 2, false},
    {0xB8, B, 2, false}, {0xB9, B, 2, false}, {0xBA, B, 2, false}, {0xBC, B, 6, false},
    {0xBD, B, 2, false}, {0xC0, B, 2, false}, {0xC2, B, 2, false}, {0xC7, B, 6, false},
    {0xCF, B, 14, false}, {0xD0, B, 18, false}, {0xD1, B, 6, false}, {0xD2, B, 8, false},
    {0xD3, B, 8, false}, {0xDD, B, 6, true}, {0xDE, B, 6, true}, {0xDF, B, 4, false},
    {0xE0, B, 4, false}, {0xE1, B, 2, false}, {0xE2, B, 4, false},
    // Long-length records.
    {0x60, L, 6, false}, {0x61, L, 6, false}, {0x7C, L, 10, false}, {0x7D, L, 28, false},
    {0x94, L, 6, false}, {0x95, L, 6, false}, {0x96, L, 6, false}, {0x97, L, 6, false},
    {0x98, L, 6, false}, {0x99, L, 28, false}, {0x9A, L, 6, false}, {0x9B, L, 6, false},
    {0x9C, L, 6, false}, {0x9D, L, 6, false}, {0x9E, L, 6, false}, {0x9F, L, 6, false},
    {0xA0, L, 6, false}, {0xBE, L, 6, false}, {0xC5, L, 6, false},
    // Word-length records.
    {0x53, W, 4, false}, {0x54, W, 4, false}, {0x55, W, 4, false}, {0x56, W, 4, false},
    {0x58, W, 4, false}, {0x5A, W, 4, false}, {0x5B, W, 4, false}, {0x5C, W, 4, false},
    {0x5D, W, 4, false}, {0x5E, W, 4, false}, {0x5F, W, 4, false}, {0x64, W, 4, false},
    {0x65, W, 4, false}, {0x66, W, 4, false}, {0x67, W, 4, false}, {0x68, W, 4, false},
    {0x69, W, 4, false}, {0x6D, W, 4, false}, {0x70, W, 4, false}, {0x71, W, 4, false},
    {0x73, W, 4, false}, {0x74, W, 4, false}, {0x75, W, 4, false}, {0x76, W, 28, false},
    {0x77, W, 4, false}, {0x78, W, 4, false}, {0x79, W, 4, false}, {0x7A, W, 4, false},
    {0x7B, W, 4, false}, {0x7E, W, 12, false}, {0x80, W, 4, false}, {0x82, W, 4, false},
    {0x84, W, 4, false}, {0x85, W, 8, false}, {0x87, W, 4, false}, {0x88, W, 4, false},
    {0x8A, W, 4, false}, {0x8B, W, 6, false}, {0x8E, W, 4, false}, {0x8F, W, 4, false},
    {0x91, W, 6, false}, {0x92, W, 44, false}, {0x93, W, 4, false}, {0xA1, W, 4, false},
    {0xA2, W, 4, false}, {0xA7, W, 4, false}, {0xA8, W, 4, false}, {0xA9, W, 12, false},
    {0xAB, W, 16, false}, {0xAC, W, 12, false}, {0xAD, W, 12, false}, {0xB0, W, 4, false},
    {0xB1, W, 4, false}, {0xB2, W, 4, false}, {0xB3, W, 4, false}, {0xBB, W, 4, false},
    {0xBE, W, 4, false}, {0xBF, W, 4, false}, {0xC1, W, 4, false}, {0xC3, W, 4, false},
    {0xC4, W, 4, false}, {0xC6, W, 4, false}, {0xC8, W, 4, false}, {0xC9, W, 4, false},
    {0xCA, W, 4, false}, {0xCB, W, 4, false}, {0xCC, W, 4, false}, {0xCD, W, 4, false},
    {0xCE, W, 4, false}, {0xE3, W, 4, false}, {0xE4, W, 8, false}, {0xE5, W, 4, false},
    {0xE6, W, 4, false}, {0xE7, W, 4, false}, {0xE8, W, 4, false}, {0xE9, W, 4, false},
    {0xEA, W, 4, false}, {0xEC, W, 4, false}, {0xED, W, 4, false}, {0xEE, W, 4, false},
    {0xEF, W, 4, false}, {0xF0, W, 4, false}, {0xF1, W, 4, false}, {0xF2, W, 4, false},
    {0xF4, W, 4, false}, {0xF5, W, 4, false}, {0xF6, W, 4, false}, {0xF7, W, 4, false},
    {0xF8, W, 4, false}, {0xF9, W, 4, false}, {0xFB, W, 4, false}, {0xFC, W, 4, false},
    {0xFD, W, 4, false}, {0xFE, W, 4, false}, {0xFF, W, 4, false},
};

// Known kinds by header kind and type byte.
class CKindTable {
public:
    CKindTable() {
        for (const auto& k : kKinds) table[Row(k.header)][k.type] = &k;
    }
    const CKind* Find(BYTE type, ECdHeader header) const { return table[Row(header)][type]; }

private:
    static size_t Row(ECdHeader h) { return h == B ? 0 : h == W ? 1 : 2; }
    std::array<std::array<const CKind*, 256>, 3> table{};
};

const CKind* FindKind(BYTE type, ECdHeader header) {
    static const CKindTable table;
    return table.Find(type, header);
}

// Records that follow one another without damage before a boundary counts
// as found.
constexpr int kRunToResynchronise = 3;

}  // namespace

WORD CCdRecord::Signature() const {
    if (!FindKind(type, header)) return 0;
    return header == ECdHeader::kWord ? static_cast<WORD>(0xFF00 | type) : type;
}

CCdRecordWalk::CHeader CCdRecordWalk::HeaderAt(size_t at) const {
    auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<BYTE>(data[at + i])); };
    CHeader h{static_cast<BYTE>(data[at]), ECdHeader::kByte, 2, byte(1)};
    if (byte(1) == 0xFF) {
        h.kind = ECdHeader::kWord;
        h.headerSize = 4;
        h.length = at + 4 <= data.size() ? byte(2) | byte(3) << 8 : 0;
    } else if (byte(1) == 0x00) {
        h.kind = ECdHeader::kLong;
        h.headerSize = 6;
        h.length = at + 6 <= data.size() ? byte(2) | byte(3) << 8 | byte(4) << 16 | byte(5) << 24 : 0;
    }
    return h;
}

bool CCdRecordWalk::WellFormedAt(size_t at) const {
    if (at + 2 > data.size()) return false;
    CHeader h = HeaderAt(at);
    const CKind* kind = FindKind(h.type, h.kind);
    return kind && h.length >= std::max<size_t>(h.headerSize, kind->minLength) && h.length <= data.size() - at &&
           (!kind->exact || h.length == kind->minLength);
}

bool CCdRecordWalk::RunFollows(size_t at) const {
    int count = 0;
    for (size_t q = at; q < data.size() && count < kRunToResynchronise; ++count) {
        if (!WellFormedAt(q)) return false;
        q = After(q, HeaderAt(q).length);
    }
    return count > 0;
}

size_t CCdRecordWalk::NextBoundary(size_t from) const {
    for (size_t p = from; p + 2 <= data.size(); p += 2)
        if (RunFollows(p)) return p;
    return data.size();
}

// Where the record after one of that length begins: past its pad byte,
// unless the writer left the pad out and a record begins right after it.
size_t CCdRecordWalk::After(size_t at, size_t length) const {
    size_t next = at + length;
    if (length % 2 == 0) return next;
    if (next + 1 >= data.size()) return std::min(next + 1, data.size());
    return !WellFormedAt(next + 1) && WellFormedAt(next) ? next : next + 1;
}

bool CCdRecordWalk::Next(CCdRecord* record) {
    while (pos + 2 <= data.size()) {
        CHeader h = HeaderAt(pos);
        const CKind* kind = FindKind(h.type, h.kind);
        size_t length = h.length;
        bool fits = length >= h.headerSize && length <= data.size() - pos && !(kind && kind->exact && length != kind->minLength);
        if (!fits) {
            ++damaged;
            if (kind && kind->exact && kind->minLength <= data.size() - pos) {
                length = kind->minLength;
            } else {
                size_t next = NextBoundary(pos + 2);
                lost += next - pos;
                pos = next;
                continue;
            }
        }
        record->type = h.type;
        record->header = h.kind;
        record->start = pos;
        record->body = data.substr(pos + h.headerSize, length - h.headerSize);
        pos = After(pos, length);
        return true;
    }
    pos = data.size();   // at most a pad byte is left
    return false;
}

}  // namespace notes
