// The transfer codecs: plain copy and base64.
#include "worker/mime/MimeCodecs.h"

#include <algorithm>
#include <cstring>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;

// Collects output into a bounded buffer: whatever does not fit is dropped.
class CBoundedOutput {
public:
    CBoundedOutput(char* buffer, size_t capacity) : buffer(buffer), capacity(capacity) {}

    void Put(char c)
    {
        if (written < capacity) buffer[written++] = c;
    }
    void PutLineBreak()
    {
        if (capacity - written >= 2) {
            buffer[written++] = '\r';
            buffer[written++] = '\n';
        }
    }
    size_t Written() const { return written; }

private:
    char* buffer;
    size_t capacity;
    size_t written = 0;
};

// Four characters for one group of one to three bytes, padded with '='.
void EncodeGroup(const unsigned char* in, size_t count, char out[4])
{
    const uint32_t b0 = in[0];
    const uint32_t b1 = count > 1 ? in[1] : 0;
    const uint32_t b2 = count > 2 ? in[2] : 0;
    const uint32_t bits = (b0 << 16) | (b1 << 8) | b2;
    out[0] = kAlphabet[(bits >> 18) & 0x3F];
    out[1] = kAlphabet[(bits >> 12) & 0x3F];
    out[2] = count > 1 ? kAlphabet[(bits >> 6) & 0x3F] : '=';
    out[3] = count > 2 ? kAlphabet[bits & 0x3F] : '=';
}

// Length of the whole encoding: four characters per started group of three
// bytes, and with line breaks a CRLF after every line, the last one included.
size_t EncodedSize(size_t length, bool lineBreaks)
{
    const size_t plain = 4 * ((length + 2) / 3);
    return lineBreaks ? plain + 2 * ((plain + kLineLength - 1) / kLineLength) : plain;
}

// Two characters for every 12 bits, so that a group of three bytes takes two
// lookups instead of four.
struct CPairTable {
    char pairs[4096][2];
    constexpr CPairTable() : pairs()
    {
        for (int i = 0; i < 4096; ++i) {
            pairs[i][0] = kAlphabet[i >> 6];
            pairs[i][1] = kAlphabet[i & 0x3F];
        }
    }
};
constexpr CPairTable kPairs;

inline void EncodeWholeGroup(const unsigned char* in, char* out)
{
    const uint32_t bits = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
    std::memcpy(out, kPairs.pairs[bits >> 12], 2);
    std::memcpy(out + 2, kPairs.pairs[bits & 0xFFF], 2);
}

// The encoding when the buffer holds all of it: whole lines of 57 bytes
// (19 groups, 76 characters) first, then the rest.
size_t EncodeBase64Whole(const unsigned char* in, size_t length, bool lineBreaks, char* buffer)
{
    char* out = buffer;
    size_t at = 0;
    if (lineBreaks) {
        constexpr size_t kLineBytes = kLineLength / 4 * 3;
        for (; length - at >= kLineBytes; at += kLineBytes) {
            for (size_t g = 0; g < kLineBytes; g += 3, out += 4) EncodeWholeGroup(in + at + g, out);
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    const size_t rest = at;
    const size_t whole = length - (length - rest) % 3;
    for (; at < whole; at += 3, out += 4) EncodeWholeGroup(in + at, out);
    if (whole < length) {
        EncodeGroup(in + whole, length - whole, out);
        out += 4;
    }
    // The last line gets its CRLF unless it already ended exactly at 76.
    if (lineBreaks && rest < length) {
        *out++ = '\r';
        *out++ = '\n';
    }
    return static_cast<size_t>(out - buffer);
}

size_t EncodeBase64(const char* input, size_t length, bool lineBreaks, char* buffer, size_t capacity)
{
    const auto* in = reinterpret_cast<const unsigned char*>(input);
    if (capacity >= EncodedSize(length, lineBreaks)) return EncodeBase64Whole(in, length, lineBreaks, buffer);
    // A short buffer takes what fits, character by character.
    CBoundedOutput out(buffer, capacity);
    size_t column = 0;
    for (size_t at = 0; at < length; at += 3) {
        char group[4];
        EncodeGroup(in + at, std::min<size_t>(3, length - at), group);
        for (char c : group) {
            out.Put(c);
            if (lineBreaks && ++column == kLineLength) {
                out.PutLineBreak();
                column = 0;
            }
        }
    }
    if (lineBreaks && column > 0) out.PutLineBreak();
    return out.Written();
}

int DecodeValue(char c)
{
    const char* at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? static_cast<int>(at - kAlphabet) : -1;
}

}  // namespace

void CMimeCodeBase::SetInput(const char* bytes, size_t length, ECodeDirection newDirection)
{
    input = bytes;
    inputLength = length;
    direction = newDirection;
}

size_t CMimeCodeBase::OutputLength() const
{
    return direction == ECodeDirection::Encode ? EncodedLength() : DecodedLength();
}

size_t CMimeCodeBase::Output(char* buffer, size_t capacity) const
{
    return direction == ECodeDirection::Encode ? Encode(buffer, capacity) : Decode(buffer, capacity);
}

size_t CMimeCodeBase::EncodedLength() const { return inputLength; }
size_t CMimeCodeBase::DecodedLength() const { return inputLength; }
size_t CMimeCodeBase::Encode(char* buffer, size_t capacity) const { return CopyInput(buffer, capacity); }
size_t CMimeCodeBase::Decode(char* buffer, size_t capacity) const { return CopyInput(buffer, capacity); }

size_t CMimeCodeBase::CopyInput(char* buffer, size_t capacity) const
{
    const size_t count = std::min(inputLength, capacity);
    if (count > 0) std::memcpy(buffer, input, count);
    return count;
}

size_t CMimeCodeBase64::EncodedLength() const
{
    const size_t plain = 4 * ((inputLength + 2) / 3);
    return lineBreaks ? plain + 2 * (plain / kLineLength) + 2 : plain;
}

size_t CMimeCodeBase64::DecodedLength() const
{
    return (inputLength + 3) / 4 * 3;
}

size_t CMimeCodeBase64::Encode(char* buffer, size_t capacity) const
{
    return EncodeBase64(input, inputLength, lineBreaks, buffer, capacity);
}

// Reads the alphabet's characters, skipping line breaks and anything else
// outside it, up to the first padding character.
size_t CMimeCodeBase64::Decode(char* buffer, size_t capacity) const
{
    CBoundedOutput out(buffer, capacity);
    uint32_t bits = 0;
    int bitCount = 0;
    for (size_t i = 0; i < inputLength && input[i] != '='; ++i) {
        const int value = DecodeValue(input[i]);
        if (value < 0) continue;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out.Put(static_cast<char>((bits >> bitCount) & 0xFF));
        }
    }
    return out.Written();
}

std::string Base64Unwrapped(const char* bytes, size_t length)
{
    std::string text(4 * ((length + 2) / 3), '\0');
    text.resize(EncodeBase64(bytes, length, false, text.data(), text.size()));
    return text;
}
