// The main window's logic without a window system: start sequence, folder
// scan building the tree, listing a clicked folder, the commands and their
// effect on the selection file.
#include <gtest/gtest.h>

#include "platform/sys/Text.h"
#include "tests/viewer/TestMailbox.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/LotusNotesDlg.h"

namespace {

using namespace viewertest;
using tree::HTREEITEM;

class NoExport : public IExportFlow {
public:
    void RunExport(CLotusNotesDlg&) override { ++exports; }
    void RunSaveDialogOnly(CLotusNotesDlg&) override { ++saveDialogs; }
    int exports = 0;
    int saveDialogs = 0;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { nsfPath = work.BuildNsf(viewertest::kTestMailbox); }
    void TearDown() override {
        if (dialog) dialog->WaitForThreads();
    }
    void Start(const std::string& mode, bool withSelectionFile = true,
               std::function<void(int32_t)> onPosition = nullptr) {
        if (withSelectionFile) work.Write("Folderpth.txt", "");
        const std::u16string line = sys::Utf8ToUtf16(nsfPath) + u"/D /C " + sys::Utf8ToUtf16(mode) + u"/P x.pst/F" +
                                    work.Prefix();
        dialog = std::make_unique<CLotusNotesDlg>(app, line, flow);
        dialog->exitProcess = [this](int code) { exitCode = code; };
        window = std::make_shared<CFakeViewerWindow>();
        window->folderTree.Initialize(true);
        window->folderTree.SetSmartCheckBoxes(true);
        window->onPosition = std::move(onPosition);
        dialog->Attach(window.get(), window);
        dialog->OnInitDialog();
        dialog->WaitForThreads();
    }
    HTREEITEM TopItem(const std::u16string& text) {
        tree::CXHtmlTree& t = window->folderTree;
        for (HTREEITEM c = t.GetChildItem(t.GetRootItem()); c; c = t.GetNextSiblingItem(c))
            if (t.GetItemText(c) == text) return c;
        return tree::kNoItem;
    }
    std::string Log() { return work.Read("KelvroNSF2PST_log_.txt"); }

    CWorkDir work;
    std::string nsfPath;
    CLotusNotesApp app;
    NoExport flow;
    std::shared_ptr<CFakeViewerWindow> window;
    std::unique_ptr<CLotusNotesDlg> dialog;
    int exitCode = -1;
};

TEST_F(DialogTest, ScanBuildsTheTreeAndLogsItsLines) {
    Start("1");
    const std::string expected =
        "\xFF\xFE" + Separator() + LogLine("Scanning File .\r\n") + LogLine("Opening  Database") +
        LogLine("Processing Folders.... \r\n") + LogLine("Processing NSF File: test.nsf") +
        LogLine("Processing Folder: Inbox") + LogLine("Processing Folder: Sent Items") +
        LogLine("Processing Folder: ($All)") + LogLine("Processing Folder: ($ByCategory)") +
        LogLine("Processing Folder: ($Alarms)") + LogLine("Processing Folder: My Contacts") +
        LogLine("Processing Folder: Archive") + LogLine("Processing Folder: Projects") +
        LogLine("Processing Folder: 2018") + LogLine("Processing Folder: Projects") +
        LogLine("Processing Folder: Re: Q1 <draft>") + LogLine("Processing Finished....") +
        LogLine("Scanning process done..");
    EXPECT_EQ(Log(), expected);

    tree::CXHtmlTree& t = window->folderTree;
    EXPECT_EQ(t.GetItemText(t.GetRootItem()), u"test.nsf");
    EXPECT_EQ(t.GetCount(), 12u);
    EXPECT_EQ(t.GetCheck(TopItem(u"Inbox")), 1);
    EXPECT_EQ(t.GetCheck(TopItem(u"($All)")), 0);
    EXPECT_TRUE(t.GetItemBold(TopItem(u"($All)")));
    EXPECT_EQ(t.GetItemData(TopItem(u"My Contacts")), 8232u);
    EXPECT_TRUE(t.IsPlatformExpanded(t.GetRootItem()));
    EXPECT_EQ(window->messages, (std::vector<std::u16string>{u"Scanning process done.."}));
    EXPECT_EQ(window->statuses.back(), u"Scanning process done..");
    EXPECT_FALSE(window->progressShown);
    EXPECT_TRUE(window->commandsEnabled);
    EXPECT_EQ(window->rangeUpper, 10);
    EXPECT_EQ(window->lastPosition, 10);
    EXPECT_EQ(app.scanRunning, 0);
}

TEST_F(DialogTest, StopDuringDiscoveryEndsTheScanNormally) {
    // Discovery sends position 0 with its range and again for the first
    // view; Stop pressed then ends the loop before the second view.
    int positions = 0;
    Start("1", true, [&](int32_t) {
        if (++positions == 2) app.keepRunning = 0;
    });
    EXPECT_EQ(app.keepRunning, 1);
    tree::CXHtmlTree& t = window->folderTree;
    EXPECT_EQ(t.GetCount(), 2u);   // the root and the one folder found before Stop
    EXPECT_NE(TopItem(u"Inbox"), tree::kNoItem);
    const std::string log = Log();
    const std::string tail = LogLine("Processing Folder: Inbox") + LogLine("Processing Finished....") +
                             LogLine("Scanning process done..");
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(DialogTest, ExistingLogGainsOnlyTheSeparatorAtItsEnd) {
    const std::string old = "\xFF\xFE" + LogLine("earlier run");
    work.Write("KelvroNSF2PST_log_.txt", old);
    Start("0");
    EXPECT_EQ(Log(), old + Separator());
    EXPECT_EQ(window->folderTree.GetCount(), 0u);
}

TEST_F(DialogTest, MissingSelectionFileStopsBeforeTheLog) {
    Start("1", false);
    EXPECT_EQ(window->messages, (std::vector<std::u16string>{u"Folder file cannot be open"}));
    EXPECT_FALSE(work.Exists("KelvroNSF2PST_log_.txt"));
    EXPECT_FALSE(work.Exists("Folderpth.txt"));
    EXPECT_FALSE(dialog->FlowStarted());
    EXPECT_EQ(window->folderTree.GetCount(), 0u);
}

TEST_F(DialogTest, UnreadableDatabaseEndsTheScanWithTheErrorText) {
    nsfPath = (work.dir / "missing.nsf").string();
    Start("1");
    const std::string log = Log();
    const std::string tail = LogLine("Opening  Database") + LogLine("Func: 121b" + NotesError(0x0103)) +
                             LogLine("Func: 121c" + NotesError(0x0103)) +
                             U16Le("ERROR: Database cannot be Opened\r\n") + LogLine("Processing Finished....") +
                             LogLine("Scanning process done..");
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    EXPECT_EQ(window->folderTree.GetCount(), 0u);
}

TEST_F(DialogTest, ClickedFolderIsListedInReverseOrderWithItsTotal) {
    Start("1");
    const size_t logBefore = Log().size();
    window->statuses.clear();
    dialog->OnLabelPressed(TopItem(u"Inbox"));
    dialog->WaitForThreads();
    ASSERT_EQ(window->list.size(), 3u);
    EXPECT_EQ(window->list[0].first.subject, u"Third");
    EXPECT_EQ(window->list[0].second, 2u);
    EXPECT_EQ(window->list[2].first.subject, u"First");
    EXPECT_EQ(window->statuses.front(), u"Please wait while Inbox folder is scanning....");
    EXPECT_EQ(window->statuses.back(), u"Total number of emails: [3]");
    EXPECT_EQ(Log().substr(logBefore), LogLine("Please wait while Inbox folder is scanning....") +
                                           LogLine("Processing Mail Data") + LogLine("Filling in List Control") +
                                           LogLine("Filling in List Control"));
    EXPECT_FALSE(window->progressShown);
    EXPECT_EQ(dialog->LastListedItem(), TopItem(u"Inbox"));
}

TEST_F(DialogTest, EmptyFolderListsNothingAndShowsNoTotal) {
    Start("1");
    window->statuses.clear();
    dialog->OnLabelPressed(TopItem(u"Archive"));
    dialog->WaitForThreads();
    EXPECT_TRUE(window->list.empty());
    EXPECT_EQ(window->statuses.back(), u"Scanning completed.");
}

TEST_F(DialogTest, ClickDuringScanIsRefused) {
    Start("1");
    dialog->OnLabelPressed(TopItem(u"Inbox"));
    dialog->WaitForThreads();
    app.scanRunning = 1;
    window->messages.clear();
    dialog->OnLabelPressed(TopItem(u"Archive"));
    app.scanRunning = 0;
    EXPECT_EQ(window->messages,
              (std::vector<std::u16string>{u"Please stop the running process to continue the process."}));
    EXPECT_EQ(window->folderTree.GetSelectedItem(), TopItem(u"Inbox"));
    EXPECT_EQ(window->list.size(), 3u);
}

TEST_F(DialogTest, SecondClickWhileListingEndsWithOnlyTheSecondFolder) {
    Start("1");
    for (int round = 0; round < 5; ++round) {
        dialog->OnLabelPressed(TopItem(u"Inbox"));
        dialog->OnLabelPressed(TopItem(u"My Contacts"));
        dialog->WaitForThreads();
        ASSERT_EQ(window->list.size(), 3u);
        EXPECT_EQ(window->list[0].first.subject, u"Board");
        EXPECT_EQ(window->list[2].first.subject, u"Maria");
    }
}

TEST_F(DialogTest, CloseWritesStatusThreeOnlyAfterYes) {
    work.Write("Folderpth.txt", "\x01\x05\x00\x00\x00old tail");
    const std::string old = work.Read("Folderpth.txt");
    Start("0", false);
    window->answer = ui::EAnswer::No;
    dialog->OnClose();
    EXPECT_EQ(work.Read("Folderpth.txt"), old);
    EXPECT_EQ(window->ended, -1);
    window->answer = ui::EAnswer::Yes;
    dialog->OnClose();
    EXPECT_EQ(work.Read("Folderpth.txt"), "\x03" + old.substr(1));
    EXPECT_EQ(window->ended, 0);
}

TEST_F(DialogTest, EscapeWritesNothingAndEnterEndsTheProcess) {
    Start("0");
    dialog->OnCancel();
    EXPECT_EQ(window->ended, 0);
    EXPECT_EQ(work.Read("Folderpth.txt"), "");
    dialog->OnOK();
    EXPECT_EQ(exitCode, 0);
}

TEST_F(DialogTest, StopAsksAndClearsTheFlagOnYes) {
    Start("0");
    window->answer = ui::EAnswer::No;
    dialog->OnStop();
    EXPECT_EQ(app.keepRunning, 1);
    window->answer = ui::EAnswer::Yes;
    dialog->OnStop();
    EXPECT_EQ(app.keepRunning, 0);
    EXPECT_EQ(window->messages.back(), u"Are you sure to stop the running process?");
}

TEST_F(DialogTest, ModeTwoRunsTheSaveDialogAndEndsNormally) {
    Start("2");
    EXPECT_EQ(flow.saveDialogs, 1);
    EXPECT_EQ(window->ended, 1);
    dialog->OnExport();
    EXPECT_EQ(flow.exports, 1);
}

}  // namespace
