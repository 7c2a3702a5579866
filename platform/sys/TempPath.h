// The per-user temporary path: $TMPDIR when set, otherwise a private
// directory /tmp/nsf2pst-<user> (mode 0700; refused when it is a symlink,
// someone else's or writable by others). It always ends with '/'.
#pragma once
#include <string>

namespace sys {

// Returns an empty string when no safe temporary directory can be had.
std::u16string TempPath();

// Turns an attachment or item name into a safe single file-name component:
// path separators, control characters and characters that are not allowed
// in file names become '_', "." and ".." become "_". Never empty.
std::u16string SafeFileName(std::u16string_view name);

}  // namespace sys
