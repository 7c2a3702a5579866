// Reading the rows of a damaged table. A scan stops at the first page that
// cannot be read; this walk finds every row by seeking the first key past
// the last one read, and when a seek fails it looks for the smallest key
// bound past the damage whose seek succeeds and goes on from there, so that
// only the rows kept in damaged pages are lost.
#pragma once
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/notes/NotesSource.h"

namespace notes {

// Keys are note IDs and positions: below this bound.
constexpr int64_t kKeyLimit = int64_t{1} << 33;

// Seek(from) reads the row with the smallest key not below from: the key
// and the row, or nothing when there is none; it throws CNsfError when the
// pages it needs cannot be read. Keys are never negative.
template <class Seek>
bool SeekSucceeds(Seek& seek, int64_t from) {
    try {
        seek(from);
        return true;
    } catch (const CNsfError&) {
        return false;
    }
}

// The smallest bound above `failed` whose seek succeeds; nothing when the
// seeks fail up to the last key.
template <class Seek>
std::optional<int64_t> BoundPastDamage(Seek& seek, int64_t failed) {
    int64_t bad = failed, step = 1, good = failed;
    for (;;) {
        good = bad + step;
        if (good >= kKeyLimit) {
            if (!SeekSucceeds(seek, kKeyLimit)) return std::nullopt;
            good = kKeyLimit;
            break;
        }
        if (SeekSucceeds(seek, good)) break;
        bad = good;
        step *= 2;
    }
    while (good - bad > 1) {
        int64_t middle = bad + (good - bad) / 2;
        (SeekSucceeds(seek, middle) ? good : bad) = middle;
    }
    return good;
}

// Every row that can be read, in key order; damaged is set when some could
// not be.
template <class Row, class Seek>
std::vector<Row> WalkPastDamage(Seek seek, bool* damaged = nullptr) {
    std::vector<Row> rows;
    int64_t from = 0;
    while (from < kKeyLimit) {
        std::optional<std::pair<int64_t, Row>> found;
        try {
            found = seek(from);
        } catch (const CNsfError&) {
            if (damaged) *damaged = true;
            std::optional<int64_t> next = BoundPastDamage(seek, from);
            if (!next) break;
            from = *next;
            continue;
        }
        if (!found) break;
        from = found->first + 1;
        rows.push_back(std::move(found->second));
    }
    return rows;
}

}  // namespace notes
