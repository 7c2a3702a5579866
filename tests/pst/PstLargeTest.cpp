// Large PST files: a folder of 20,000 messages (BTrees of several levels,
// the contents table's row matrix in a subnode, a heap over many blocks)
// and a 100 MB attachment (XXBLOCK data tree), read back by independent
// readers.
#include <gtest/gtest.h>

#include "platform/sys/Text.h"
#include "tests/pst/PstScenario.h"

namespace pst::test {
namespace {

void WriteAndCheck(CScenario& s) {
    ASSERT_EQ(s.WritePst(), "");
    int rc = 0;
    std::string report = s.Check(&rc);
    EXPECT_EQ(rc, 0) << report;
}

TEST(PstLarge, TwentyThousandMessagesInOneFolder) {
    CScenario s("many");
    s.SkipPffexport();  // checked by hand: it exports all 20,000 without complaint, but slowly
    for (int i = 0; i < 20000; ++i) {
        CPropBag props;
        props.SetString(0x1000, u"Body of message " + sys::Widen(std::to_string(i)));
        props.SetLong(0x0E07, i % 3 ? 1 : 0);
        s.AddMessage(u"Inbox/Bulk", u"Message number " + sys::Widen(std::to_string(i)), props,
                     i % 100 ? std::vector<CRecipientSpec>{}
                             : std::vector<CRecipientSpec>{{u"Jane", u"jane@example.com", 1}});
    }
    WriteAndCheck(s);
}

TEST(PstLarge, HundredMegabyteAttachment) {
    CScenario s("huge");
    s.AddMessage(u"Inbox", u"A very large attachment", {}, {{u"Jane", u"jane@example.com", 1}},
                 {{u"large.bin", 100ull << 20, 7, true}, {u"small.txt", 10, 3, false}});
    WriteAndCheck(s);
}

}  // namespace
}  // namespace pst::test
