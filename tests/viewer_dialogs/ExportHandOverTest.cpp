// The export hand-over: the selection file written from the checked tree
// (root skipped, paths cleaned and mapped, has-entries flags, old tail bytes
// kept), the save-dialog-only mode's status, config.txt read back, and the
// Export command and mode 2 through the main window's logic.
#include <gtest/gtest.h>

#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "tools/nsfdb/Description.h"
#include "viewer/LotusNotesDlg.h"
#include "viewer/dialogs/ExportHandOver.h"

namespace {

using dialogtest::Entry;
using dialogtest::U16Le;
using dialogtest::U32;
using tree::HTREEITEM;

std::string Tail(const std::u16string& destination) {
    return U32(static_cast<uint32_t>(destination.size() * 2)) + U16Le(destination) + U32(0);
}

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folderTree.Initialize(true);
        folderTree.SetSmartCheckBoxes(true);
        root = folderTree.InsertItem(u"mail.nsf", 0, 0);
        inbox = Add(u"Inbox", 8200);
        Add(u"Sent Items", 8208);
        projects = Add(u"Projects", 8244);
        year = Add(u"2018", 8240, projects);
        Add(u"Re: Q1 <draft>", 8248, projects);
        Add(u"Archive", 8236);
        settings.destinationFolder = u"/home/user/pst/";
        dir.Write("Folderpth.txt", "");
    }
    HTREEITEM Add(const std::u16string& text, uint32_t noteId, HTREEITEM parent = 0) {
        const HTREEITEM item = folderTree.InsertItem(text, 1, 1, parent ? parent : root);
        folderTree.SetItemData(item, noteId);
        return item;
    }
    bool Export() {
        sys::CFile file;
        file.OpenExisting(dir.Path("Folderpth.txt"));
        return HandOverTreeSelection(folderTree, folders, settings, file, dir.Prefix());
    }

    dialogtest::CTempDir dir;
    tree::CXHtmlTree folderTree;
    HTREEITEM root = 0, inbox = 0, projects = 0, year = 0;
    // 8248 is missing from the scan list, so its flag is 1.
    std::vector<FolderRecord> folders = {{u"Inbox", 8200, 1},    {u"Sent Items", 8208, 1}, {u"Projects", 8244, 0},
                                         {u"Projects\\2018", 8240, 1}, {u"Archive", 8236, 0}};
    ExportSettings settings;
};

TEST_F(SelectionTest, WholeTreeCheckedWritesEveryFolderButTheRoot) {
    folderTree.SetCheck(root, true);
    ASSERT_TRUE(Export());
    const std::string expected = "\x01" + U32(6) + Entry(u"Inbox", 1, 8200) + Entry(u"Sent Items", 1, 8208) +
                                 Entry(u"Projects", 0, 8244) + Entry(u"Projects\\2018", 1, 8240) +
                                 Entry(u"Projects\\Re  Q1  draft ", 1, 8248) + Entry(u"Archive", 0, 8236) +
                                 Tail(u"/home/user/pst/");
    EXPECT_EQ(dir.Read("Folderpth.txt"), expected);
    ExportSettings readBack;
    ASSERT_TRUE(ReadExportSettings(dir.Path("config.txt"), readBack));
    EXPECT_EQ(readBack, settings);
}

TEST_F(SelectionTest, SubFolderOfAnUncheckedParentWritesOnlyItsPath) {
    folderTree.SetCheck(year, true);
    ASSERT_EQ(folderTree.GetCheck(projects), 0);
    ASSERT_TRUE(Export());
    EXPECT_EQ(dir.Read("Folderpth.txt"),
              "\x01" + U32(1) + Entry(u"Projects\\2018", 1, 8240) + Tail(u"/home/user/pst/"));
}

TEST_F(SelectionTest, FolderMappingReplacesTheInboxPart) {
    folderTree.SetCheck(inbox, true);
    folderTree.SetCheck(year, true);
    settings.folderMapping = {{u"Inbox", u"Posteingang"}, {u"Projects", u""}};
    settings.useFolderMapping = 1;
    ASSERT_TRUE(Export());
    EXPECT_EQ(dir.Read("Folderpth.txt"), "\x01" + U32(2) + Entry(u"Posteingang", 1, 8200) +
                                             Entry(u"Projects\\2018", 1, 8240) + Tail(u"/home/user/pst/"));
}

TEST_F(SelectionTest, MappingOffKeepsTheNames) {
    folderTree.SetCheck(inbox, true);
    settings.folderMapping = {{u"Inbox", u"Posteingang"}};
    ASSERT_TRUE(Export());
    EXPECT_EQ(dir.Read("Folderpth.txt"), "\x01" + U32(1) + Entry(u"Inbox", 1, 8200) + Tail(u"/home/user/pst/"));
}

TEST_F(SelectionTest, NothingCheckedWritesNothing) {
    dir.Write("Folderpth.txt", "old");
    EXPECT_FALSE(Export());
    EXPECT_EQ(dir.Read("Folderpth.txt"), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.dir / "config.txt"));
}

TEST_F(SelectionTest, AShorterExportKeepsTheOldTail) {
    const std::string old(200, 'x');
    dir.Write("Folderpth.txt", old);
    folderTree.SetCheck(inbox, true);
    ASSERT_TRUE(Export());
    const std::string written = "\x01" + U32(1) + Entry(u"Inbox", 1, 8200) + Tail(u"/home/user/pst/");
    EXPECT_EQ(dir.Read("Folderpth.txt"), written + old.substr(written.size()));
}

TEST(SaveDialogOnly, CancelWritesOnlyTheByteZero) {
    dialogtest::CTempDir dir;
    dir.Write("Folderpth.txt", "");
    sys::CFile file;
    ASSERT_TRUE(file.OpenExisting(dir.Path("Folderpth.txt")));
    ExportSettings settings;
    HandOverSaveDialogResult(false, settings, file, dir.Prefix());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(dir.Read("Folderpth.txt"), std::string(1, '\0'));
    EXPECT_FALSE(std::filesystem::exists(dir.dir / "config.txt"));
}

TEST(SaveDialogOnly, OkWritesTheDestinationAndConfig) {
    dialogtest::CTempDir dir;
    dir.Write("Folderpth.txt", "");
    sys::CFile file;
    ASSERT_TRUE(file.OpenExisting(dir.Path("Folderpth.txt")));
    ExportSettings settings;
    settings.destinationFolder = u"/tmp/out/";
    settings.dateRanges = {DateRange{45000.5, 0, 45010.25, 0}};
    settings.addressMap = {{u"ann", u"ann@a.com;ann@b.com"}};
    settings.useFolderMapping = 1;
    settings.folderMapping = {{u"Inbox", u"In"}};
    HandOverSaveDialogResult(true, settings, file, dir.Prefix());
    EXPECT_EQ(dir.Read("Folderpth.txt"), "\x01" + U32(18) + U16Le(u"/tmp/out/"));
    ExportSettings readBack;
    ASSERT_TRUE(ReadExportSettings(dir.Path("config.txt"), readBack));
    EXPECT_EQ(readBack, settings);
}

// ---- through the main window's logic ----------------------------------------------

class CFakeWindow : public IViewerWindow, public tree::IWindowThread {
public:
    bool IsWindowThread() const override { return true; }
    void Post(std::function<void()> task) override { task(); }
    void SetStatusText(const std::u16string&) override {}
    void SetProgressRange(int32_t, int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void ShowProgress(bool) override {}
    void EnableCommands(bool) override {}
    void HideBrowsing() override {}
    tree::CXHtmlTree* Tree() override { return &folderTree; }
    void ClearItemList() override {}
    void InsertItemRowAtTop(const ItemRow&, uint32_t) override {}
    ui::EAnswer Message(const std::u16string& text, ui::EButtons) override {
        messages.push_back(text);
        return ui::EAnswer::Ok;
    }
    void EndDialog(bool ok) override { ended = ok ? 1 : 0; }

    tree::CXHtmlTree folderTree;
    std::vector<std::u16string> messages;
    int ended = -1;
};

constexpr char kMailbox[] = R"json({
  "forms": {"Memo": [{"name": "Subject", "type": "text"}]},
  "documents": [{"noteId": 2304, "form": "Memo", "items": {"Subject": "Hello"}}],
  "views": [{"name": "($Inbox)", "folder": true, "noteId": 8200, "entries": [2304]},
            {"name": "Archive", "folder": true, "noteId": 8236, "entries": []}]
})json";

class ExportFlowTest : public ::testing::Test {
protected:
    void Start(const std::u16string& mode) {
        nsfdb::BuildDatabase(nsfdb::Json::parse(kMailbox), dir.dir, dir.dir / "mail.nsf");
        dir.Write("Folderpth.txt", "");
        window.folderTree.Initialize(true);
        window.folderTree.SetSmartCheckBoxes(true);
        const std::u16string line = dir.Path("mail.nsf") + u"/D /C " + mode + u"/P x.pst/F" + dir.Prefix();
        dialog = std::make_unique<CLotusNotesDlg>(app, line, flow);
        dialog->exitProcess = [this](int code) { exitCode = code; };
        dialog->Attach(&window, std::shared_ptr<tree::IWindowThread>(&window, [](tree::IWindowThread*) {}));
        dialog->OnInitDialog();
        dialog->WaitForThreads();
    }
    HTREEITEM TopItem(const std::u16string& text) {
        tree::CXHtmlTree& t = window.folderTree;
        for (HTREEITEM c = t.GetChildItem(t.GetRootItem()); c; c = t.GetNextSiblingItem(c))
            if (t.GetItemText(c) == text) return c;
        return tree::kNoItem;
    }

    dialogtest::CTempDir dir;
    CLotusNotesApp app;
    CFakeWindow window;
    bool confirm = true;
    int dialogsShown = 0;
    CSaveAsPstExportFlow flow{[this](CLotusNotesDlg&, ExportSettings& settings) {
        ++dialogsShown;
        settings.destinationFolder = u"/out/";
        return confirm;
    }};
    std::unique_ptr<CLotusNotesDlg> dialog;
    int exitCode = -1;
};

TEST_F(ExportFlowTest, ExportWritesTheCheckedFoldersAndConfigAndEndsTheViewer) {
    Start(u"1");
    tree::CXHtmlTree& t = window.folderTree;
    for (HTREEITEM item = t.GetRootItem(); item; item = t.GetNextItemPreorder(item)) t.SetCheck(item, false);
    ASSERT_EQ(t.GetCheckedCount(), 0);
    window.messages.clear();
    dialog->OnExport();
    EXPECT_EQ(window.messages, std::vector<std::u16string>{kNoFolderCheckedMessage});
    EXPECT_EQ(exitCode, -1);
    EXPECT_EQ(dir.Read("Folderpth.txt"), "");

    const HTREEITEM inbox = TopItem(u"Inbox");
    ASSERT_NE(inbox, tree::kNoItem);
    t.SetCheck(inbox, true);
    app.settings.includeAllView = 0;
    dialog->OnExport();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(dialogsShown, 2);
    EXPECT_EQ(dir.Read("Folderpth.txt"), "\x01" + U32(1) + Entry(u"Inbox", 1, 8200) + Tail(u"/out/"));
    ExportSettings readBack;
    ASSERT_TRUE(ReadExportSettings(dir.Path("config.txt"), readBack));
    EXPECT_EQ(readBack, app.settings);
    EXPECT_EQ(readBack.includeAllView, 1u);
    EXPECT_EQ(readBack.exportRequested, 1);
}

TEST_F(ExportFlowTest, CancelledExportWritesNothing) {
    confirm = false;
    Start(u"1");
    window.messages.clear();
    dialog->OnExport();
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(dir.Read("Folderpth.txt"), "");
    EXPECT_EQ(exitCode, -1);
}

TEST_F(ExportFlowTest, SaveDialogOnlyModeCancelWritesTheByteZero) {
    confirm = false;
    Start(u"2");
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_EQ(window.ended, 1);
    EXPECT_EQ(dir.Read("Folderpth.txt"), std::string(1, '\0'));
}

TEST_F(ExportFlowTest, SaveDialogOnlyModeOkWritesStatusAndDestination) {
    Start(u"2");
    EXPECT_EQ(dir.Read("Folderpth.txt"), "\x01" + U32(10) + U16Le(u"/out/"));
    ExportSettings readBack;
    ASSERT_TRUE(ReadExportSettings(dir.Path("config.txt"), readBack));
    EXPECT_EQ(readBack, app.settings);
}

}  // namespace
