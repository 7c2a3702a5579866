#include "worker/notes/ImagePosition.h"

#include <gtest/gtest.h>

namespace {

struct PositionCase {
    const char* text;
    bool parsed;
    uint32_t index;
    uint32_t offset;
    const char* indexChars;
    const char* offsetChars;
};

class ImagePositionCases : public ::testing::TestWithParam<PositionCase> {};

TEST_P(ImagePositionCases, Parses)
{
    const PositionCase& c = GetParam();
    const auto position = ParseImagePosition(c.text);
    ASSERT_EQ(position.has_value(), c.parsed) << c.text;
    if (!c.parsed) {
        return;
    }
    EXPECT_EQ(position->index, c.index);
    EXPECT_EQ(position->offset, c.offset);
    EXPECT_EQ(position->indexChars, c.indexChars);
    EXPECT_EQ(position->offsetChars, c.offsetChars);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ImagePositionCases,
    ::testing::Values(PositionCase{"0.1C4", true, 0, 0x1C4, "0", "1C4"},
                      PositionCase{"0.88", true, 0, 0x88, "0", "88"},
                      PositionCase{"1.1c4", true, 1, 0x1C4, "1", "1c4"},
                      PositionCase{"12.aBcDeF", true, 12, 0xABCDEF, "12", "aBcDeF"},
                      PositionCase{"3.1G2", true, 3, 0x102, "3", "1G2"},
                      PositionCase{"x4.10", true, 4, 0x10, "x4", "10"},
                      PositionCase{".", true, 0, 0, "", ""},
                      PositionCase{"123456789.FFFFFFFF", true, 123456789, 0xFFFFFFFF, "123456789",
                                   "FFFFFFFF"},
                      PositionCase{"1.2.3", true, 1, 0x203, "1", "2.3"},
                      PositionCase{"0.100000000", false, 0, 0, "", ""},
                      PositionCase{"1234567890.1", false, 0, 0, "", ""},
                      PositionCase{"0.1234567890", false, 0, 0, "", ""},
                      PositionCase{"01C4", false, 0, 0, "", ""},
                      PositionCase{"", false, 0, 0, "", ""}));

}  // namespace
