#include "worker/notes/CleanName.h"

#include <gtest/gtest.h>

namespace {

struct CleanCase {
    std::u16string in;
    std::u16string out;
};

class CleanNameCases : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanNameCases, ReplacesOnlyTheForbiddenCharacters)
{
    EXPECT_EQ(CleanName(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CleanNameCases,
    ::testing::Values(
        CleanCase{u"", u""},
        CleanCase{u"Report 2018.pdf", u"Report 2018.pdf"},
        CleanCase{u"Budget\tQ1/Q2", u"Budget Q1 Q2"},
        CleanCase{u"a/b:c?.txt", u"a b c .txt"},
        CleanCase{u"line\r\nbreak", u"line  break"},
        CleanCase{u"*?<>|\"\\", u"       "},
        CleanCase{u"Отчёт: 日本語 — Grüße", u"Отчёт  日本語 — Grüße"},
        CleanCase{u"..", u".."},
        CleanCase{u"semi;colon,comma'quote", u"semi;colon,comma'quote"}));

TEST(CleanName, KeepsLengthAndCharactersOutsideTheBasicPlane)
{
    const std::u16string name = u"\U0001F600 smile|face";
    const std::u16string cleaned = CleanName(name);
    EXPECT_EQ(cleaned.size(), name.size());
    EXPECT_EQ(cleaned, u"\U0001F600 smile face");
}

// What reaches the message and the store's display name: CleanName's output
// without the characters that would show as glyphs or reorder the name.
TEST(CleanPartName, LeavesOutControlCharactersOnly)
{
    const CleanCase cases[] = {
        {u"", u""},
        {u"Report 2018.pdf", u"Report 2018.pdf"},
        {u"bell\a.txt", u"bell.txt"},
        {std::u16string(u"nul\0esc\x1b del\x7f c1\x85.doc", 21), u"nulesc del c1.doc"},
        {u"line\u2028break\u2029.txt", u"linebreak.txt"},
        {u"invoice\u202Efdp.exe", u"invoicefdp.exe"},
        {u"isolate\u2066x\u2069.txt", u"isolatex.txt"},
        {u"\x01\x02", u"_"},
        {u"Отчёт  日本語 \u200F— \U0001F600", u"Отчёт  日本語 \u200F— \U0001F600"},
    };
    for (const CleanCase& c : cases) {
        EXPECT_EQ(CleanPartName(CleanName(c.in)), c.out);
    }
}

}  // namespace
