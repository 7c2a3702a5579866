#include "worker/notes/LmbcsPieces.h"

#include <gtest/gtest.h>

#include <numeric>

#include "platform/sys/Text.h"

namespace {

struct SplitCase {
    const char* name;
    std::string text;
    size_t maxPiece;
    std::vector<size_t> pieces;
};

class SplitCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCases, CutsAtCharacterStarts)
{
    EXPECT_EQ(SplitLmbcsPieces(GetParam().text, GetParam().maxPiece), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitCases,
    ::testing::Values(
        SplitCase{"Empty", "", MaxTranslatePiece, {0}},
        SplitCase{"Limit", std::string(32764, 'a'), MaxTranslatePiece, {32764}},
        SplitCase{"OneOver", std::string(32765, 'a'), MaxTranslatePiece, {32764, 1}},
        // A two-byte group sequence (0x01 + byte) straddling a cut of 4.
        SplitCase{"TwoByteGroup", "abc\x01\xE9xy", 4, {3, 4}},
        // A Unicode group sequence (0x14 + two bytes) whose trailing bytes
        // look like group bytes themselves.
        SplitCase{"UnicodeGroup", "ab\x14\x01\x05zz", 4, {2, 4, 1}},
        // A double-byte group sequence (0x10 + two bytes).
        SplitCase{"DoubleByteGroup", "a\x10\x88\x9F\x10\x88\x9F", 3, {1, 3, 3}},
        // Control bytes passed through are one character each.
        SplitCase{"Controls", "\r\n\t\r\n\t", 4, {4, 2}},
        // An escaped control character (0x0F + byte).
        SplitCase{"EscapedControl", "abc\x0F\x21", 4, {3, 2}},
        // A surrogate pair in two Unicode group sequences stays together.
        SplitCase{"SurrogatePair", "ab\x14\xD8\x3D\x14\xDE\x01z", 6, {2, 6, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LmbcsPieces, PiecesOfRealNotesTextCoverItExactly)
{
    std::u16string text;
    for (int i = 0; i < 5000; ++i) {
        text += u"Grüße Привет 日本語 한국어 ";
    }
    const std::string lmbcs = sys::Utf16ToLmbcs(text);
    const std::vector<size_t> pieces = SplitLmbcsPieces(lmbcs);
    ASSERT_GT(pieces.size(), 1u);
    EXPECT_EQ(std::accumulate(pieces.begin(), pieces.end(), size_t{0}), lmbcs.size());
    std::u16string joined;
    size_t at = 0;
    for (const size_t length : pieces) {
        EXPECT_LE(length, MaxTranslatePiece);
        joined += sys::LmbcsToUtf16(std::string_view(lmbcs).substr(at, length));
        at += length;
    }
    EXPECT_EQ(joined, text);
}

TEST(LmbcsPieces, CharacterLengthNeverPassesTheEnd)
{
    EXPECT_EQ(LmbcsCharLength("\x14\x01", 0), 2u);
    EXPECT_EQ(LmbcsCharLength("\x10", 0), 1u);
    EXPECT_EQ(LmbcsCharLength("a", 1), 0u);
}

}  // namespace
