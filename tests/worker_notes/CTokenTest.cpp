#include "worker/notes/CToken.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

struct TokenCase {
    const char* name;
    std::u16string text;
    std::u16string separator;  // empty: keep the default
    std::vector<std::u16string> tokens;
};

std::vector<std::u16string> Split(const TokenCase& c)
{
    CToken token(c.text);
    if (!c.separator.empty()) {
        token.SetSeparator(c.separator);
    }
    std::vector<std::u16string> out;
    while (token.MoreTokens() && out.size() < 100) {
        out.push_back(token.NextToken());
    }
    return out;
}

class CTokenSplit : public ::testing::TestWithParam<TokenCase> {};

TEST_P(CTokenSplit, GivesTheExpectedTokens)
{
    EXPECT_EQ(Split(GetParam()), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CTokenSplit,
    ::testing::Values(
        TokenCase{"Empty", u"", u";", {}},
        TokenCase{"NoSeparator", u"alone", u";", {}},
        TokenCase{"TwoValues", u"a;b", u";", {u"a", u"b"}},
        TokenCase{"TrailingSeparator", u"a;", u";", {u"a", u""}},
        TokenCase{"LeadingSeparator", u";a", u";", {u"", u"a"}},
        TokenCase{"DoubleSeparator", u"a;;b", u";", {u"a", u"", u"b"}},
        TokenCase{"OnlySeparator", u";", u";", {u"", u""}},
        TokenCase{"DefaultBlank", u"one two  three", u"", {u"one", u"two", u"", u"three"}},
        TokenCase{"FolderPath", u"Mail\\Projects\\2018", u"\\", {u"Mail", u"Projects", u"2018"}},
        TokenCase{"NonAscii", u"Привет;日本語;Grüße", u";", {u"Привет", u"日本語", u"Grüße"}},
        // After a longer separator only its first character is skipped.
        TokenCase{"LongSeparator", u"x, y, z", u", ", {u"x", u" y", u" z"}},
        TokenCase{"LongSeparatorAtEnd", u"x, ", u", ", {u"x", u" "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CToken, NextTokenWithoutSeparatorKeepsTheTextForTheLastToken)
{
    CToken token(u"abc");
    token.SetSeparator(u";");
    EXPECT_FALSE(token.MoreTokens());
    EXPECT_EQ(token.NextToken(), u"");
    EXPECT_TRUE(token.MoreTokens());
    EXPECT_EQ(token.NextToken(), u"abc");
    EXPECT_FALSE(token.MoreTokens());
}

TEST(CToken, EmptySeparatorIsNeverFound)
{
    CToken token(u"abc");
    token.SetSeparator(u"");
    EXPECT_FALSE(token.MoreTokens());
}

TEST(CToken, SeparatorChangeAppliesToTheRemainingText)
{
    CToken token(u"a;b,c;d");
    token.SetSeparator(u";");
    ASSERT_TRUE(token.MoreTokens());
    EXPECT_EQ(token.NextToken(), u"a");
    token.SetSeparator(u",");
    ASSERT_TRUE(token.MoreTokens());
    EXPECT_EQ(token.NextToken(), u"b");
    ASSERT_TRUE(token.MoreTokens());
    EXPECT_EQ(token.NextToken(), u"c;d");
    EXPECT_FALSE(token.MoreTokens());
}

// Callers may specialise the tokenizer and delete it through the base.
struct CountingToken : CToken {
    using CToken::CToken;
    int calls = 0;
    std::u16string NextToken() override
    {
        ++calls;
        return CToken::NextToken();
    }
};

TEST(CToken, OperationsAreVirtual)
{
    static_assert(std::has_virtual_destructor_v<CToken>);
    CountingToken counting(u"a b");
    CToken& base = counting;
    while (base.MoreTokens()) {
        base.NextToken();
    }
    EXPECT_EQ(counting.calls, 2);
}

}  // namespace
