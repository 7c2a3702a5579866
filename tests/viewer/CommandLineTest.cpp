// Cutting the viewer's command line at its markers.
#include <gtest/gtest.h>

#include "viewer/ViewerCommandLine.h"

namespace {

struct CommandLineCase {
    const char* name;
    std::u16string line;
    ViewerCommandLine expected;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, CutsAtMarkers) {
    EXPECT_EQ(ParseViewerCommandLine(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"LocalFileMode1",
                        u"/data/mail.nsf/D /C 1/P /out/x.pst/F/work/dir/",
                        {u"/data/mail.nsf", u"", 1, u"/out/x.pst", u"/work/dir/"}},
        CommandLineCase{"ServerAndBlanksKept",
                        u"mail/jd.nsf/D Hub/Acme /C 3/P  any text /F /w d/",
                        {u"mail/jd.nsf", u"Hub/Acme ", 3, u" any text ", u" /w d/"}},
        CommandLineCase{"BlankBeforeDBelongsToPath",
                        u"/data/mail.nsf /D /C 2/P /F/w/",
                        {u"/data/mail.nsf ", u"", 2, u"", u"/w/"}},
        CommandLineCase{"BlankAfterModeDigitGivesMode0",
                        u"a.nsf/D /C 1 /P p/F/w/",
                        {u"a.nsf", u"", 0, u"p", u"/w/"}},
        CommandLineCase{"OtherModeTextGivesMode0",
                        u"a.nsf/D /C 4/P p/F/w/",
                        {u"a.nsf", u"", 0, u"p", u"/w/"}},
        CommandLineCase{"MissingFKeepsWorkDirEmpty",
                        u"a.nsf/D /C 3/P p",
                        {u"a.nsf", u"", 3, u"", u""}},
        CommandLineCase{"MissingPLeavesMode0",
                        u"a.nsf/D srv/C 1/F/w/",
                        {u"a.nsf", u"srv", 0, u"", u""}},
        CommandLineCase{"MissingDLeavesEverythingEmpty",
                        u"a.nsf /C 1/P p/F/w/",
                        {u"", u"", 0, u"", u""}},
        CommandLineCase{"MarkersSearchedInOrder",
                        u"/F/C /P /D x.nsf/D /C 1/P /F/w/",
                        {u"/F/C /P ", u"x.nsf/D ", 1, u"", u"/w/"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
