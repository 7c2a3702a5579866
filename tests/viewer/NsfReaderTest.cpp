// The viewer's NSF reader: database open with its trace lines, folder
// discovery under both option settings, and the rows of the item list.
#include <gtest/gtest.h>

#include "platform/notes/LNErrors.h"
#include "platform/sys/Text.h"
#include "tests/viewer/TestMailbox.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/LotusNotesApp.h"
#include "viewer/NsfReader.h"

namespace {

using namespace viewertest;

class NsfReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        nsfPath = work.BuildNsf(kTestMailbox);
        app.runLog.Open(work.Prefix() + u"log.txt");
        reader.session.Initialize();
    }
    void TearDown() override { reader.CloseAll(); }
    std::string LogAfterMark() { return work.Read("log.txt").substr(2); }

    CWorkDir work;
    std::string nsfPath;
    CLotusNotesApp app;
    CNsfReader reader{app};
};

TEST_F(NsfReaderTest, DiscoversFoldersAndExportedViewsWithAllOptions) {
    app.settings.includeAllView = 1;
    app.settings.includeSystemViews = 1;
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    const std::vector<FolderRecord> expected = {
        {u"Inbox", 8200, 1},        {u"Sent Items", 8208, 1}, {u"($All)", 8216, 1},
        {u"($ByCategory)", 8220, 0}, {u"($Alarms)", 8224, 0},  {u"My Contacts", 8232, 1},
        {u"Archive", 8236, 0},      {u"Projects\\2018", 8240, 1}, {u"Projects", 8244, 1},
        {u"Re: Q1 <draft>", 8248, 1}};
    EXPECT_EQ(reader.DiscoverFolders(), expected);
    EXPECT_EQ(LogAfterMark(), "");
}

TEST_F(NsfReaderTest, AllViewAndSystemViewsLeftOutWhenOptionsAreOff) {
    app.settings.includeAllView = 0;
    app.settings.includeSystemViews = 0;
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    std::vector<std::u16string> names;
    for (const FolderRecord& r : reader.DiscoverFolders()) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Inbox", u"Sent Items", u"My Contacts", u"Archive",
                                                   u"Projects\\2018", u"Projects", u"Re: Q1 <draft>"}));
}

TEST_F(NsfReaderTest, StopEndsDiscoveryAndRearmsTheFlag) {
    app.keepRunning = 0;
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    EXPECT_TRUE(reader.DiscoverFolders().empty());
    EXPECT_EQ(app.keepRunning, 1);
}

struct OpenFailureCase {
    const char* name;
    bool missingFile;
    std::u16string server;
    std::vector<std::pair<std::string, uint32_t>> traces;
};

class OpenFailureTest : public NsfReaderTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, WritesTraceLinesAndReportsFailure) {
    const OpenFailureCase& c = GetParam();
    std::string path = nsfPath;
    if (c.missingFile) path = (work.dir / "missing.nsf").string();
    else work.Write("garbage.nsf", "this is no database"), path = (work.dir / "garbage.nsf").string();
    EXPECT_FALSE(reader.OpenDatabase(sys::Utf8ToUtf16(path), c.server));
    std::string expected;
    for (const auto& [tag, status] : c.traces) expected += LogLine(tag + NotesError(status));
    EXPECT_EQ(LogAfterMark(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"MissingLocalFile", true, u"", {{"Func: 121b", ERR_NOEXIST}, {"Func: 121c", ERR_NOEXIST}}},
        OpenFailureCase{"NotADatabase", false, u"", {{"Func: 121c", ERR_DB_CORRUPT}}},
        OpenFailureCase{"ServerGivesBothGetLines", true, u"Hub/Acme",
                        {{"Func: 121a", ERR_NOEXIST}, {"Func: 121b", ERR_NOEXIST}, {"Func: 121c", ERR_NOEXIST}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NsfReaderTest, MailRowsInEntryOrderWithDatesAndAttachments) {
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    const std::vector<ItemRow> rows = reader.ReadItems(8200, app.settings);
    ASSERT_EQ(rows.size(), 3u);   // the null entry is skipped
    EXPECT_EQ(rows[0].subject, u"First");
    EXPECT_EQ(rows[0].dateTime, u"3/6/2013 9:5:3");
    EXPECT_EQ(rows[0].hasAttachment, 1);
    EXPECT_EQ(rows[0].from, u"John Smith");
    EXPECT_EQ(rows[1].subject, u"No date");
    EXPECT_EQ(rows[1].dateTime, u"3/5/2013 14:7:9");   // creation time
    EXPECT_EQ(rows[1].hasAttachment, 0);
    EXPECT_EQ(rows[2].dateTime, u"12/31/2014 23:59:58");
    EXPECT_EQ(rows[2].to, u"alt@example.com");          // INetSendTo holds only dots and semicolons
    EXPECT_EQ(LogAfterMark(), "");
}

TEST_F(NsfReaderTest, SenderTranslatedWithTheGivenOptions) {
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    ExportSettings settings = app.settings;
    settings.translateAddresses = 1;
    settings.useCsvMap = 1;
    settings.addressMap = {{u"john smith", u"john@acme.example"}};
    const std::vector<ItemRow> rows = reader.ReadItems(8200, settings);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].from, u"john@acme.example");
    EXPECT_EQ(reader.ReadItems(8200, app.settings)[0].from, u"John Smith");
}

TEST_F(NsfReaderTest, ContactsAndGroupsShowTheirNameAsSubject) {
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    const std::vector<ItemRow> rows = reader.ReadItems(8232, app.settings);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (ItemRow{u"", u"", u"Maria", 0, u""}));   // first such field in form order
    EXPECT_EQ(rows[1], (ItemRow{u"", u"", u"Full Only", 0, u""}));
    EXPECT_EQ(rows[2], (ItemRow{u"", u"", u"Board", 0, u""}));
}

TEST_F(NsfReaderTest, UnknownViewWritesTraceLinesAndNoRows) {
    ASSERT_TRUE(reader.OpenDatabase(sys::Utf8ToUtf16(nsfPath), u""));
    EXPECT_TRUE(reader.ReadItems(4444, app.settings).empty());
    const std::string log = LogAfterMark();
    EXPECT_EQ(log.rfind(U16Le("Func: 123a"), 0), 0u);
    EXPECT_NE(log.find(U16Le("Func: 123b")), std::string::npos);
}

}  // namespace
