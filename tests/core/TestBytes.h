// Spelling out expected file bytes by hand: little-endian integers and
// UTF-16LE text, independent of the code under test.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/sys/Files.h"

namespace testbytes {

inline std::string Le(uint64_t v, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}
inline std::string U8(uint8_t v) { return Le(v, 1); }
inline std::string U32(uint32_t v) { return Le(v, 4); }
inline std::string U64(uint64_t v) { return Le(v, 8); }
inline std::string F64(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return Le(bits, 8);
}
inline std::string W(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out += Le(c, 2);
    return out;
}

inline std::string ReadAll(const std::u16string& path) {
    std::string bytes;
    sys::ReadWholeFile(path, bytes);
    return bytes;
}

// A fresh private directory for one test, removed with the object.
class CScratchDir {
public:
    CScratchDir();
    ~CScratchDir();
    std::u16string Path() const { return path; }  // ends with '/'
    std::u16string File(std::u16string_view name) const { return path + std::u16string(name); }

private:
    std::u16string path;
};

}  // namespace testbytes
