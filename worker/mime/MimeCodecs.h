// Transfer codecs of the MIME model: the plain copying codec CMimeCodeBase
// (used for "7bit", "8bit" and every unknown encoding), base64 with 76-column
// lines, and the quoted-printable and encoded-word codecs, which pass their
// input through unchanged because no message of this system asks for them.
// Base64Unwrapped gives standard base64 on one line for encoded words and
// embedded files.
//
// A codec borrows its input; it is created for one use through the codec
// tables and deleted right after.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class ECodeDirection { Encode, Decode };

class CMimeCodeBase {
public:
    CMimeCodeBase() = default;
    CMimeCodeBase(const CMimeCodeBase&) = delete;
    CMimeCodeBase& operator=(const CMimeCodeBase&) = delete;

    void SetInput(const char* bytes, size_t length, ECodeDirection direction);
    // Upper bound of Output's result for the current input and direction.
    size_t OutputLength() const;
    // Writes at most `capacity` bytes; returns the count written.
    size_t Output(char* buffer, size_t capacity) const;

    // Slots in fixed order: encoded length, decoded length, encode, decode.
    virtual size_t EncodedLength() const;
    virtual size_t DecodedLength() const;
    virtual size_t Encode(char* buffer, size_t capacity) const;
    virtual size_t Decode(char* buffer, size_t capacity) const;
    // Placed after the four slots so that deleting through the base is safe.
    virtual ~CMimeCodeBase() = default;

protected:
    size_t CopyInput(char* buffer, size_t capacity) const;

    const char* input = nullptr;
    size_t inputLength = 0;
    ECodeDirection direction = ECodeDirection::Encode;
};

class CMimeCodeBase64 : public CMimeCodeBase {
public:
    size_t EncodedLength() const override;
    size_t DecodedLength() const override;
    size_t Encode(char* buffer, size_t capacity) const override;
    size_t Decode(char* buffer, size_t capacity) const override;

    bool lineBreaks = true;
};

// Quoted-printable: content passes unchanged.
class CMimeCodeQP : public CMimeCodeBase {
public:
    bool binaryMode = false;
};

// RFC 2047 encoded words for fields given a charset: the value passes
// unchanged.
class CMimeEncodedWord : public CMimeCodeBase {
public:
    char encoding = 'B';
    std::string charset;
};

// Standard base64 of the bytes as one line, no line breaks; empty for an
// empty input.
std::string Base64Unwrapped(const char* bytes, size_t length);
inline std::string Base64Unwrapped(std::string_view bytes)
{
    return Base64Unwrapped(bytes.data(), bytes.size());
}
