#include <gtest/gtest.h>

#include "tests/core/TestBytes.h"
#include "worker/core/RunLog.h"

using namespace testbytes;

TEST(RunLogTest, AppendsUtf16WithoutMarkAndNeverCreates) {
    CScratchDir dir;
    const std::u16string path = dir.File(u"KelvroNSF2PST_log_.txt");
    CRunLog missing;
    EXPECT_FALSE(missing.Open(path));
    EXPECT_FALSE(sys::FileExists(path));

    const std::string existing = "\xFF\xFE" + W(u"Viewer\r\n");
    ASSERT_TRUE(sys::WriteWholeFile(path, existing));
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        log.WriteLine(u"Saving data process starts:");
        log.WriteRaw(u"Email number: 3 \r\n");
    }
    EXPECT_EQ(ReadAll(path), existing + W(u"Saving data process starts:\r\nEmail number: 3 \r\n"));
}

TEST(RunLogTest, FolderSummaryText) {
    struct Case {
        FolderSummary summary;
        sys::CSystemTime time;
        std::u16string text;
    };
    sys::CSystemTime feb{};
    feb.year = 2024, feb.month = 2, feb.day = 3, feb.hour = 12, feb.minute = 5, feb.second = 9;
    sys::CSystemTime dec{};
    dec.year = 2026, dec.month = 12, dec.day = 31, dec.hour = 0, dec.minute = 0, dec.second = 0;
    const Case cases[] = {
        {{0, 0, 0, 0}, feb,
         u"0\t:items found\r\n0\t:items Dump\r\nWarnings:\t 0\r\nErrors:\t0\r\n"
         u"Dumping of folder Finish Time:\t2/3/2024 12:5:9\r\n\r\n"},
        {{12345678901ull, 2, 3, 4}, dec,
         u"12345678901\t:items found\r\n12345678899\t:items Dump\r\nWarnings:\t 3\r\nErrors:\t4\r\n"
         u"Dumping of folder Finish Time:\t12/31/2026 0:0:0\r\n\r\n"},
        // Documents that could not be opened are skipped without being found:
        // the dumped count stops at zero instead of wrapping around.
        {{1, 3, 2, 0}, feb,
         u"1\t:items found\r\n0\t:items Dump\r\nWarnings:\t 2\r\nErrors:\t0\r\n"
         u"Dumping of folder Finish Time:\t2/3/2024 12:5:9\r\n\r\n"},
    };
    for (const Case& c : cases) {
        CScratchDir dir;
        const std::u16string path = dir.File(u"log.txt");
        ASSERT_TRUE(sys::WriteWholeFile(path, ""));
        {
            CRunLog log;
            ASSERT_TRUE(log.Open(path));
            WriteFolderSummary(log, c.summary, c.time);
        }
        EXPECT_EQ(ReadAll(path), W(c.text));
    }
}
