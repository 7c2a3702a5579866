#include <gtest/gtest.h>

#include "tests/core/TestBytes.h"
#include "worker/core/WorkFiles.h"

using namespace testbytes;

TEST(FolderRunRecordFile, LayoutAndOldTailBytesStay) {
    CScratchDir dir;
    const std::u16string path = dir.File(u"setting.txt");
    ASSERT_TRUE(sys::WriteWholeFile(path, ""));
    ASSERT_TRUE(WriteFolderRunRecord(path, {8250, 17, u"Archive\\2013", 1}));
    const std::string first = U32(8250) + U32(17) + U32(12) + W(u"Archive\\2013") + U8(1);
    EXPECT_EQ(ReadAll(path), first);

    ASSERT_TRUE(WriteFolderRunRecord(path, {42, 0, u"Inbox", 0}));
    const std::string second = U32(42) + U32(0) + U32(5) + W(u"Inbox") + U8(0);
    EXPECT_EQ(ReadAll(path), second + first.substr(second.size()));

    FolderRunRecord read;
    ASSERT_TRUE(ReadFolderRunRecord(path, read));
    EXPECT_EQ(read, (FolderRunRecord{42, 0, u"Inbox", 0}));
}

TEST(FolderRunRecordFile, WriterNeverCreates) {
    CScratchDir dir;
    EXPECT_FALSE(WriteFolderRunRecord(dir.File(u"setting.txt"), {1, 2, u"x", 1}));
    EXPECT_FALSE(sys::FileExists(dir.File(u"setting.txt")));
    FolderRunRecord read;
    EXPECT_FALSE(ReadFolderRunRecord(dir.File(u"setting.txt"), read));
}

TEST(CalendarIdFile, FinalShortGroupIsZeroPadded) {
    struct Case {
        std::string bytes;
        std::vector<uint32_t> ids;
    };
    const Case cases[] = {
        {"", {}},
        {U32(0x11223344), {0x11223344}},
        {U32(7) + U32(9), {7, 9}},
        {U32(7) + std::string("\x01", 1), {7, 1}},
        {U32(7) + std::string("\x01\x02\x03", 3), {7, 0x030201}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCalendarIds(c.bytes), c.ids);
}

TEST(CalendarIdFile, WriterFromStartKeepsLongerOldContent) {
    CScratchDir dir;
    const std::u16string path = dir.File(u"cal.txt");
    ASSERT_TRUE(sys::WriteWholeFile(path, U32(1) + U32(2) + U32(3)));
    {
        CCalendarIdWriter writer;
        ASSERT_TRUE(writer.Open(path, false));
        ASSERT_TRUE(writer.Append(99));
    }
    std::vector<uint32_t> ids;
    ASSERT_TRUE(ReadCalendarIds(path, ids));
    EXPECT_EQ(ids, (std::vector<uint32_t>{99, 2, 3}));
    {
        CCalendarIdWriter writer;
        ASSERT_TRUE(writer.Open(path, true));
        ASSERT_TRUE(writer.Append(100));
    }
    ASSERT_TRUE(ReadCalendarIds(path, ids));
    EXPECT_EQ(ids, (std::vector<uint32_t>{99, 2, 3, 100}));
    ASSERT_TRUE(ClearCalendarIds(path));
    EXPECT_EQ(ReadAll(path), "");
    EXPECT_FALSE(ClearCalendarIds(dir.File(u"missing.txt")));
    EXPECT_FALSE(sys::FileExists(dir.File(u"missing.txt")));
}

TEST(SelectionFile, LayoutsOfTheThreeModes) {
    SelectionFile s;
    s.entries = {{u"Inbox", 1, 8250}, {u"Projects\\Ünï", 0, 9000}};
    s.destinationFolder = u"/out";
    const std::string entries = U32(2) + U32(10) + W(u"Inbox") + U8(1) + U32(8250) + U32(24) + W(u"Projects\\Ünï") +
                                U8(0) + U32(9000);
    struct Case {
        EViewerMode mode;
        std::string bytes;
    };
    const Case cases[] = {
        {EViewerMode::Full, U8(1) + entries + U32(8) + W(u"/out") + U32(0)},
        {EViewerMode::SaveDialogOnly, U8(1) + U32(8) + W(u"/out")},
        {EViewerMode::Batch, U8(1) + entries},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SerializeSelection(s, c.mode), c.bytes);
        auto back = ParseSelection(c.bytes, c.mode);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(SerializeSelection(*back, c.mode), c.bytes);
    }
    SelectionFile cancelled;
    cancelled.status = SelectionCancelled;
    EXPECT_EQ(SerializeSelection(cancelled, EViewerMode::SaveDialogOnly), U8(0));
    SelectionFile closed;
    closed.status = SelectionClosed;
    EXPECT_EQ(SerializeSelection(closed, EViewerMode::Full), U8(3));
}

TEST(SelectionFile, ShorterWriteLeavesOldTail) {
    CScratchDir dir;
    const std::u16string path = dir.File(u"Folderpth.txt");
    SelectionFile s;
    s.entries = {{u"Inbox", 1, 1}};
    ASSERT_TRUE(sys::WriteWholeFile(path, ""));
    ASSERT_TRUE(WriteSelection(path, s, EViewerMode::Batch));
    const std::string first = ReadAll(path);
    SelectionFile closed;
    closed.status = SelectionClosed;
    ASSERT_TRUE(WriteSelection(path, closed, EViewerMode::Full));
    EXPECT_EQ(ReadAll(path), U8(3) + first.substr(1));
    EXPECT_FALSE(ParseSelection(U8(1) + U32(5) + U32(3), EViewerMode::Batch).has_value());
}
