#include <gtest/gtest.h>

#include "worker/core/WorkerCommandLine.h"

TEST(WorkerCommandLineTest, CutsAtTheMarkers) {
    struct Case {
        std::u16string line;
        WorkerCommandLine expected;
    };
    const Case cases[] = {
        {u"/db/mail.nsf/D /C 1/P /out/a.pst/F/work/", {u"/db/mail.nsf", u"", true, u"/out/a.pst", u"/work/"}},
        {u"/db/mail.nsf/D srv/C 0/P /out/a.pst/F/work/", {u"/db/mail.nsf", u"srv", false, u"/out/a.pst", u"/work/"}},
        {u"/db/mail.nsf/D /C 1 /P /o.pst/F/w/", {u"/db/mail.nsf", u"", false, u"/o.pst", u"/w/"}},
        {u"/db/my mail.nsf /D  /C 1/P /o p.pst/F/w d/", {u"/db/my mail.nsf ", u" ", true, u"/o p.pst", u"/w d/"}},
        {u"/db/mail.nsf no markers", {}},
        {u"", {}},
        {u"/a.nsf/D s", {u"/a.nsf", u"", false, u"", u""}},
        {u"/a.nsf/D s/C 1", {u"/a.nsf", u"s", false, u"", u""}},
        {u"/a.nsf/D s/C 1/P /x.pst", {u"/a.nsf", u"s", true, u"", u""}},
        {u"/a.nsf/d s/c 1/p /x.pst/f/w/", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseWorkerCommandLine(c.line), c.expected);
}
