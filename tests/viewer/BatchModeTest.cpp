// The batch mode as the launcher runs it: nsfviewer without a display writes
// every discovered folder into the selection file and ends.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sys/Text.h"
#include "tests/viewer/TestMailbox.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "worker/core/ExportSettings.h"
#include "tests/support/CommandOutput.h"

namespace {

using namespace viewertest;

using RunResult = CommandResult;

// Runs nsfviewer headless with one argument, the whole command line.
RunResult RunViewer(const std::string& line) {
    const std::string program = std::string(NSF2PST_BINARY_DIR) + "/viewer/nsfviewer";
    std::string quoted = "'";
    for (char c : line) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string command = "NSF2PST_HEADLESS=1 " + program + " " + quoted + " 2>&1";
    return RunCommandLine(command);
}

class BatchModeTest : public ::testing::Test {
protected:
    void SetUp() override { nsfPath = work.BuildNsf(kTestMailbox); }
    std::string Line(const std::string& path, const std::string& mode = "3") const {
        return path + "/D /C " + mode + "/P out.pst/F" + work.dir.string() + "/";
    }
    CWorkDir work;
    std::string nsfPath;
};

TEST_F(BatchModeTest, DefaultsWithoutConfigLeaveOutAllAndSystemViews) {
    work.Write("Folderpth.txt", "");
    const RunResult run = RunViewer(Line(nsfPath));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string expected = std::string("\x01") + U32(7) + FolderEntry("Inbox", 1, 8200) +
                                 FolderEntry("Sent Items", 1, 8208) + FolderEntry("My Contacts", 1, 8232) +
                                 FolderEntry("Archive", 0, 8236) + FolderEntry("Projects\\2018", 1, 8240) +
                                 FolderEntry("Projects", 1, 8244) + FolderEntry("Re  Q1  draft ", 1, 8248);
    EXPECT_EQ(work.Read("Folderpth.txt"), expected);
    EXPECT_EQ(work.Read("KelvroNSF2PST_log_.txt"),
              "\xFF\xFE" + Separator() + LogLine("Opening  Database ") +
                  LogLine("Processing Folders for nsf file:  " + nsfPath));
    EXPECT_NE(run.output.find("Processing Folders for nsf file:  " + nsfPath), std::string::npos);
}

TEST_F(BatchModeTest, ConfigOptionsAndFolderMappingShapeThePaths) {
    ExportSettings settings;
    settings.includeAllView = 1;
    settings.includeSystemViews = 1;
    settings.useFolderMapping = 1;
    settings.folderMapping = {{u"Inbox", u"Posteingang"}, {u"2018", u"Year 2018"}, {u"Archive", u""}};
    ASSERT_TRUE(WriteExportSettings(work.Prefix() + u"config.txt", settings));
    // An older, longer selection: its tail stays behind the new content.
    const std::string oldTail(600, 'Z');
    work.Write("Folderpth.txt", oldTail);
    const RunResult run = RunViewer(Line(nsfPath));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string entries = std::string("\x01") + U32(10) + FolderEntry("Posteingang", 1, 8200) +
                                FolderEntry("Sent Items", 1, 8208) + FolderEntry("($All)", 1, 8216) +
                                FolderEntry("($ByCategory)", 0, 8220) + FolderEntry("($Alarms)", 0, 8224) +
                                FolderEntry("My Contacts", 1, 8232) + FolderEntry("Archive", 0, 8236) +
                                FolderEntry("Projects\\Year 2018", 1, 8240) + FolderEntry("Projects", 1, 8244) +
                                FolderEntry("Re  Q1  draft ", 1, 8248);
    ASSERT_LT(entries.size(), oldTail.size());
    EXPECT_EQ(work.Read("Folderpth.txt"), entries + oldTail.substr(entries.size()));
}

TEST_F(BatchModeTest, UnreadableDatabaseLeavesTheSelectionUnchanged) {
    work.Write("Folderpth.txt", "\x07old");
    work.Write("broken.nsf", "not a database");
    const RunResult run = RunViewer(Line((work.dir / "broken.nsf").string()));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(work.Read("Folderpth.txt"), "\x07old");
    EXPECT_EQ(work.Read("KelvroNSF2PST_log_.txt"),
              "\xFF\xFE" + Separator() + LogLine("Opening  Database ") + LogLine("Func: 121c" + NotesError(0x0108)));
}

TEST_F(BatchModeTest, MissingSelectionFileIsReportedAndNothingIsWritten) {
    const RunResult run = RunViewer(Line(nsfPath));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Folder file cannot be open"), std::string::npos);
    EXPECT_FALSE(work.Exists("Folderpth.txt"));
    EXPECT_FALSE(work.Exists("KelvroNSF2PST_log_.txt"));
}

TEST_F(BatchModeTest, OtherModesNeedADisplay) {
    work.Write("Folderpth.txt", "");
    for (const char* mode : {"1", "2", "0"}) {
        const RunResult run = RunViewer(Line(nsfPath, mode));
        EXPECT_EQ(run.exitCode, 2) << mode;
        EXPECT_NE(run.output.find("display"), std::string::npos);
    }
    EXPECT_EQ(work.Read("Folderpth.txt"), "");
}

}  // namespace
