// The per-user temporary path: $TMPDIR when set, otherwise a private
// directory /tmp/nsf2pst-<user> (mode 0700; refused when it is a symlink,
// someone else's or writable by others). It always ends with '/'.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

// Returns an empty string when no safe temporary directory can be had.
std::u16string TempPath();

// A private directory in memory, /dev/shm/nsf2pst-<user>/ (same rules as
// above), when /dev/shm is a tmpfs with at least `neededBytes` free; empty
// otherwise.
std::u16string MemoryTempPath(uint64_t neededBytes);

// Turns an attachment or item name into a safe single file-name component:
// path separators, control characters and characters that are not allowed
// in file names become '_', "." and ".." become "_". Never empty.
std::u16string SafeFileName(std::u16string_view name);

}  // namespace sys
