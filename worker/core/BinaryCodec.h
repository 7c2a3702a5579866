// Little-endian encoding of the work-directory files: integers, doubles and
// UTF-16LE strings preceded by a 32-bit count. The reader never reads past
// its input and refuses counts larger than what is left.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CBinaryWriter {
public:
    void PutU8(uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void PutU32(uint32_t v) { PutLe(v, 4); }
    void PutI32(int32_t v) { PutLe(static_cast<uint32_t>(v), 4); }
    void PutU64(uint64_t v) { PutLe(v, 8); }
    void PutF64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        PutLe(bits, 8);
    }
    void PutUtf16(std::u16string_view text) {
        for (char16_t c : text) PutLe(c, 2);
    }
    // Count in characters.
    void PutCountedString(std::u16string_view text) {
        PutU32(static_cast<uint32_t>(text.size()));
        PutUtf16(text);
    }
    // Count in bytes (characters x 2).
    void PutByteCountedString(std::u16string_view text) {
        PutU32(static_cast<uint32_t>(text.size() * 2));
        PutUtf16(text);
    }
    const std::string& Bytes() const { return bytes; }

private:
    void PutLe(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    std::string bytes;
};

class CBinaryReader {
public:
    explicit CBinaryReader(std::string_view input) : data(input) {}
    size_t Remaining() const { return data.size() - pos; }
    bool AtEnd() const { return pos == data.size(); }

    bool GetU8(uint8_t& v) {
        uint64_t x;
        if (!GetLe(x, 1)) return false;
        v = static_cast<uint8_t>(x);
        return true;
    }
    bool GetU32(uint32_t& v) {
        uint64_t x;
        if (!GetLe(x, 4)) return false;
        v = static_cast<uint32_t>(x);
        return true;
    }
    bool GetI32(int32_t& v) {
        uint32_t x;
        if (!GetU32(x)) return false;
        v = static_cast<int32_t>(x);
        return true;
    }
    bool GetU64(uint64_t& v) { return GetLe(v, 8); }
    bool GetF64(double& v) {
        uint64_t bits;
        if (!GetLe(bits, 8)) return false;
        std::memcpy(&v, &bits, 8);
        return true;
    }
    bool GetUtf16(size_t chars, std::u16string& text) {
        if (chars > Remaining() / 2) return false;
        text.resize(chars);
        for (size_t i = 0; i < chars; ++i) {
            text[i] = static_cast<char16_t>(static_cast<uint8_t>(data[pos]) |
                                            (static_cast<uint8_t>(data[pos + 1]) << 8));
            pos += 2;
        }
        return true;
    }
    bool GetCountedString(std::u16string& text) {
        uint32_t count;
        return GetU32(count) && GetUtf16(count, text);
    }
    bool GetByteCountedString(std::u16string& text) {
        uint32_t bytesCount;
        if (!GetU32(bytesCount) || bytesCount % 2 != 0) return false;
        return GetUtf16(bytesCount / 2, text);
    }

private:
    bool GetLe(uint64_t& v, size_t n) {
        if (Remaining() < n) return false;
        v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(data[pos + i])) << (8 * i);
        pos += n;
        return true;
    }
    std::string_view data;
    size_t pos = 0;
};
