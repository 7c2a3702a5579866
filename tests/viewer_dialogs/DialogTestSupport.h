// Test helpers for the dialogs: wall-clock times, OLE dates written from
// calendar fields, expected little-endian bytes and a private directory.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/sys/Text.h"
#include "platform/sys/Time.h"

namespace dialogtest {

inline sys::CSystemTime Wall(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int dayOfWeek = 0) {
    sys::CSystemTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.dayOfWeek = dayOfWeek;
    return t;
}

inline double Ole(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return sys::ToOleDate(Wall(y, mo, d, h, mi, s));
}

inline std::string U32(uint32_t v) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return bytes;
}

inline std::string U16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// u32 byte length, UTF-16LE path, flag byte, u32 note ID.
inline std::string Entry(const std::u16string& path, uint8_t flag, uint32_t noteId) {
    return U32(static_cast<uint32_t>(path.size() * 2)) + U16Le(path) + std::string(1, static_cast<char>(flag)) +
           U32(noteId);
}

class CTempDir {
public:
    CTempDir() {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("nsf-dialogs-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir);
    }
    ~CTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::u16string Path(const std::string& name = "") const { return sys::Utf8ToUtf16((dir / name).string()); }
    // The directory as the command line carries it: ends with '/'.
    std::u16string Prefix() const { return sys::Utf8ToUtf16(dir.string() + "/"); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir;
};

}  // namespace dialogtest
