// Walking the CD records of one rich-text item: each record's signature,
// offset and body. Records start on even offsets (an odd length is followed
// by a pad byte). A record whose stored length cannot be right (shorter
// than its header, past the end of the item, or other than the one size its
// kind always has) counts as damaged: it is read at its kind's size where
// that size is fixed, and otherwise passed over together with the bytes up
// to the next offset from which well-formed records of known kinds follow.
#pragma once
#include <cstddef>
#include <string_view>

#include "platform/notes/NotesTypes.h"

namespace notes {

enum class ECdHeader : char { kByte = 'B', kWord = 'W', kLong = 'L' };

struct CCdRecord {
    BYTE type = 0;                      // low byte of the signature word
    ECdHeader header = ECdHeader::kByte;
    size_t start = 0;                   // offset in the item after its type word
    std::string_view body;              // what follows the header
    // The signature as the SIG_CD_ constants spell it (WSIG: 0xFF high
    // byte); 0 for a kind this reader does not know.
    WORD Signature() const;
};

class CCdRecordWalk {
public:
    // data: the item's value after its type word.
    explicit CCdRecordWalk(std::string_view data) : data(data) {}
    bool Next(CCdRecord* record);
    int Damaged() const { return damaged; }
    size_t LostBytes() const { return lost; }

private:
    struct CHeader {
        BYTE type;
        ECdHeader kind;
        size_t headerSize;
        size_t length;   // as stored; 0 when the header itself is cut off
    };
    CHeader HeaderAt(size_t at) const;
    bool WellFormedAt(size_t at) const;
    bool RunFollows(size_t at) const;
    size_t NextBoundary(size_t from) const;
    size_t After(size_t at, size_t length) const;

    std::string_view data;
    size_t pos = 0;
    int damaged = 0;
    size_t lost = 0;
};

}  // namespace notes
