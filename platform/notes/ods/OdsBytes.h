// Little-endian reads over a byte range of an NSF file, checked against the
// range's end: a read past it throws COdsDamage, never reads out of bounds.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/notes/NotesSource.h"

namespace notes::ods {

// A structure of the file that cannot be read as it should be.
struct COdsDamage : CNsfError {
    using CNsfError::CNsfError;
};

class CBytes {
public:
    CBytes() = default;
    CBytes(const uint8_t* data, size_t size) : data(data), size(size) {}
    explicit CBytes(std::string_view s) : data(reinterpret_cast<const uint8_t*>(s.data())), size(s.size()) {}

    size_t Size() const { return size; }
    const uint8_t* Data() const { return data; }
    bool Has(size_t offset, size_t length) const { return offset <= size && length <= size - offset; }

    uint8_t U8(size_t offset) const { return Check(offset, 1), data[offset]; }
    uint16_t U16(size_t offset) const {
        Check(offset, 2);
        return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
    }
    uint32_t U32(size_t offset) const {
        Check(offset, 4);
        return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
               static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
    }
    CBytes Sub(size_t offset, size_t length) const {
        Check(offset, length);
        return CBytes(data + offset, length);
    }
    CBytes From(size_t offset) const {
        Check(offset, 0);
        return CBytes(data + offset, size - offset);
    }
    std::string Str(size_t offset, size_t length) const {
        Check(offset, length);
        return std::string(reinterpret_cast<const char*>(data + offset), length);
    }
    std::string Str() const { return std::string(reinterpret_cast<const char*>(data), size); }

private:
    void Check(size_t offset, size_t length) const {
        if (!Has(offset, length))
            throw COdsDamage("structure runs past its end (offset " + std::to_string(offset) + ", " +
                             std::to_string(length) + " bytes of " + std::to_string(size) + ")");
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
};

}  // namespace notes::ods
