// Base64 transfer encoding with 76-column lines, its length bound, the
// one-line form for encoded words, and decoding back.
#include <gtest/gtest.h>

#include <string>

#include "worker/mime/MimeCodecs.h"

namespace {

std::string Bytes(size_t count)
{
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    return bytes;
}

std::string Encode(const std::string& input, size_t capacity, bool lineBreaks = true)
{
    CMimeCodeBase64 codec;
    codec.lineBreaks = lineBreaks;
    codec.SetInput(input.data(), input.size(), ECodeDirection::Encode);
    std::string out(capacity, '#');
    out.resize(codec.Output(out.data(), out.size()));
    return out;
}

size_t Bound(size_t length, bool lineBreaks = true)
{
    CMimeCodeBase64 codec;
    codec.lineBreaks = lineBreaks;
    codec.SetInput(nullptr, length, ECodeDirection::Encode);
    return codec.OutputLength();
}

}  // namespace

TEST(Base64, LineLayoutByInputLength)
{
    struct Case {
        size_t inputLength;
        std::string lineLengths;  // lengths of the CRLF-terminated lines
        bool endsWithCrLf;
    };
    const Case cases[] = {
        {0, "", false},        {1, "4", true},        {3, "4", true},        {56, "76", true},
        {57, "76", true},      {58, "76,4", true},    {114, "76,76", true}, {115, "76,76,4", true},
    };
    for (const Case& c : cases) {
        const std::string out = Encode(Bytes(c.inputLength), 1000);
        std::string lengths;
        size_t start = 0;
        for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", start)) {
            if (!lengths.empty()) lengths += ",";
            lengths += std::to_string(at - start);
            start = at + 2;
        }
        EXPECT_EQ(lengths, c.lineLengths) << c.inputLength;
        EXPECT_EQ(start, out.size()) << "text after the last CRLF for " << c.inputLength;
        EXPECT_EQ(out.size() >= 2 && out.ends_with("\r\n"), c.endsWithCrLf) << c.inputLength;
        EXPECT_GE(Bound(c.inputLength), out.size()) << c.inputLength;
    }
}

TEST(Base64, FiftySevenAndFiftyEightBytes)
{
    const std::string in57(57, 'x');
    const std::string line = Base64Unwrapped(in57);
    ASSERT_EQ(line.size(), 76u);
    EXPECT_EQ(Encode(in57, 200), line + "\r\n");
    EXPECT_EQ(Encode(in57 + "x", 200), line + "\r\neA==\r\n");
}

TEST(Base64, LengthBound)
{
    EXPECT_EQ(Bound(57), 80u);
    EXPECT_EQ(Encode(std::string(57, 'a'), 80).size(), 78u);
    EXPECT_EQ(Bound(0), 2u);
    EXPECT_EQ(Bound(58), 80u + 2 + 2);
    EXPECT_EQ(Bound(58, false), 80u);
    EXPECT_EQ(Bound(3, false), 4u);
}

TEST(Base64, NothingWrittenBeyondCapacity)
{
    const std::string in57(57, 'x');
    const std::string line = Base64Unwrapped(in57);
    EXPECT_EQ(Encode(in57, 77), line);  // the line break no longer fits
    EXPECT_EQ(Encode(in57, 10), line.substr(0, 10));
    EXPECT_EQ(Encode(in57, 0), "");
}

TEST(Base64, UnwrappedKnownValues)
{
    EXPECT_EQ(Base64Unwrapped("abc"), "YWJj");
    EXPECT_EQ(Base64Unwrapped(""), "");
    EXPECT_EQ(Base64Unwrapped("ab"), "YWI=");
    EXPECT_EQ(Base64Unwrapped("a"), "YQ==");
    EXPECT_EQ(Base64Unwrapped("\xfb\xff\xbf"), "+/+/");
    const std::string long120 = Base64Unwrapped(std::string(120, 'z'));
    EXPECT_EQ(long120.size(), 160u);
    EXPECT_EQ(long120.find('\r'), std::string::npos);
}

TEST(Base64, DecodesWhatItEncoded)
{
    const std::string original = Bytes(200);
    const std::string encoded = Encode(original, 1000);
    CMimeCodeBase64 codec;
    codec.SetInput(encoded.data(), encoded.size(), ECodeDirection::Decode);
    std::string decoded(codec.OutputLength(), '\0');
    decoded.resize(codec.Output(decoded.data(), decoded.size()));
    EXPECT_EQ(decoded, original);
}

namespace {

// Bit by bit, independent of the codec: six bits per character, '=' padding,
// a CRLF after every 76 characters and after a shorter last line.
std::string ReferenceBase64(const std::string& input, bool lineBreaks)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string plain;
    for (size_t bit = 0; bit < input.size() * 8; bit += 6) {
        int value = 0;
        for (size_t k = bit; k < bit + 6; ++k) {
            const bool set = k < input.size() * 8 && (static_cast<unsigned char>(input[k / 8]) >> (7 - k % 8)) & 1;
            value = value * 2 + (set ? 1 : 0);
        }
        plain += alphabet[value];
    }
    while (plain.size() % 4 != 0) plain += '=';
    if (!lineBreaks) return plain;
    std::string wrapped;
    for (size_t at = 0; at < plain.size(); at += 76) wrapped += plain.substr(at, 76) + "\r\n";
    return wrapped;
}

}  // namespace

TEST(Base64, EveryLengthMatchesTheBitwiseEncoding)
{
    for (bool lineBreaks : {true, false}) {
        for (size_t length = 0; length <= 240; ++length) {
            const std::string input = Bytes(length);
            const std::string expected = ReferenceBase64(input, lineBreaks);
            EXPECT_EQ(Encode(input, Bound(length, lineBreaks), lineBreaks), expected) << length << " " << lineBreaks;
            EXPECT_EQ(Encode(input, expected.size(), lineBreaks), expected) << length << " " << lineBreaks;
            if (expected.empty()) continue;
            // One byte short: the last line break (or the last character) no longer fits.
            const size_t kept = expected.size() - (lineBreaks ? 2 : 1);
            EXPECT_EQ(Encode(input, expected.size() - 1, lineBreaks), expected.substr(0, kept))
                << length << " " << lineBreaks;
        }
    }
}
