#include <stdexcept>
#include <string>

#include "tools/nsfdb/Description.h"

namespace nsfdb {

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
}  // namespace

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                     static_cast<uint8_t>(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out.push_back(kAlphabet[(v >> s) & 63]);
    }
    size_t rest = bytes.size() - i;
    if (rest) {
        unsigned v = static_cast<uint8_t>(bytes[i]) << 16 | (rest == 2 ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0);
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    size_t padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int v = Value(c);
        if (v < 0 || padding) throw std::invalid_argument("not base64");
        acc = acc << 6 | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    if (padding > 2 || bits >= 6) throw std::invalid_argument("not base64");
    return out;
}

}  // namespace nsfdb
