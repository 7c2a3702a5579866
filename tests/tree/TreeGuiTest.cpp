// The folder tree in a real window: check-box looks drawn by the platform
// renderer, a label press and a check-box click through the X server, items
// inserted from a worker thread, and a screenshot for a person to look at.
// Runs under Xvfb; skipped when there is no display.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "viewer/tree/wx/CCheckBoxImages.h"
#include "viewer/tree/wx/CXHtmlTreeWnd.h"

namespace {

using namespace tree;

class TreeGui : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::getenv("DISPLAY")) return;
    static int argc = 1;
    static char name[] = "tree_gui_tests";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp());
    started = wxEntryStart(argc, argv);
    if (started) {
      wxInitAllImageHandlers();
      loop = new wxGUIEventLoop();
      wxEventLoopBase::SetActive(loop);
    }
  }
  static void TearDownTestSuite() {
    if (!started) return;
    wxEventLoopBase::SetActive(nullptr);
    delete loop;
    wxEntryCleanup();
  }
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ASSERT_TRUE(started);
  }
  static void Pump(int milliseconds) {
    wxStopWatch watch;
    while (watch.Time() < milliseconds) {
      wxYield();
      wxTheApp->ProcessPendingEvents();
      wxMilliSleep(5);
    }
  }
  template <class Done>
  static bool PumpUntil(Done done, int milliseconds) {
    wxStopWatch watch;
    while (!done() && watch.Time() < milliseconds) Pump(10);
    return done();
  }

  static inline bool started = false;
  static inline wxGUIEventLoop* loop = nullptr;
};

wxImageList* FolderImages() {
  auto* images = new wxImageList(16, 16, true);
  const wxColour colours[] = {wxColour(70, 110, 200), wxColour(230, 190, 60)};
  for (const wxColour& colour : colours) {
    wxBitmap bitmap(16, 16, 32);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(wxColour(255, 0, 255)));
    dc.Clear();
    dc.SetBrush(wxBrush(colour));
    dc.SetPen(wxPen(colour.ChangeLightness(60)));
    dc.DrawRectangle(1, 4, 14, 10);
    dc.DrawRectangle(1, 2, 6, 3);
    dc.SelectObject(wxNullBitmap);
    images->Add(bitmap, wxColour(255, 0, 255));
  }
  return images;
}

wxPoint ScreenPoint(CXHtmlTreeWnd* window, const TreeRect& rect) {
  const wxPoint client = window->CalcScrolledPosition(wxPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
  return window->ClientToScreen(client);
}

bool SameCell(const wxImage& strip, int cellSize, int a, int b) {
  for (int y = 0; y < cellSize; ++y)
    for (int x = 0; x < cellSize; ++x) {
      const int xa = a * cellSize + x, xb = b * cellSize + x;
      if (strip.GetRed(xa, y) != strip.GetRed(xb, y) || strip.GetGreen(xa, y) != strip.GetGreen(xb, y) ||
          strip.GetBlue(xa, y) != strip.GetBlue(xb, y))
        return false;
    }
  return true;
}

TEST_F(TreeGui, CheckBoxCellsShowDistinctLooks) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "cells");
  const wxImage strip = DrawCheckBoxStrip(frame, 16, *wxWHITE).ConvertToImage();
  frame->Destroy();
  strip.SaveFile(std::string(NSF2PST_BINARY_DIR) + "/tree_cells.png", wxBITMAP_TYPE_PNG);
  EXPECT_FALSE(SameCell(strip, 16, 1, 2));  // unchecked / checked
  EXPECT_FALSE(SameCell(strip, 16, 2, 3));  // checked / mixed
  EXPECT_FALSE(SameCell(strip, 16, 1, 3));
  EXPECT_FALSE(SameCell(strip, 16, 2, 6));  // normal / disabled
  EXPECT_FALSE(SameCell(strip, 16, 1, 9));  // normal / hot
  EXPECT_TRUE(SameCell(strip, 16, 0, 4));   // blank cells
  EXPECT_TRUE(SameCell(strip, 16, 0, 16));
  EXPECT_TRUE(SameCell(strip, 16, 5, 13));  // disabled cells repeat
}

TEST_F(TreeGui, FolderTreeInARealWindow) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "Folder tree", wxPoint(0, 0), wxSize(380, 420));
  auto* window = new CXHtmlTreeWnd(frame, 1002, wxDefaultPosition, wxDefaultSize, TVS_CHECKBOXES);
  CXHtmlTree& tree = window->Tree();
  window->AssignImageList(FolderImages());
  tree.Initialize(true);
  tree.SetSmartCheckBoxes(true);
  tree.ModifyStyle(0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_INFOTIP |
                          TVS_FULLROWSELECT);
  std::vector<TreeMessage> messages;
  tree.SetParentWindow([&messages](const TreeMessage& m) { messages.push_back(m); });

  const HTREEITEM root = tree.InsertItem(u"mail.nsf", 0, 0);
  tree.SetCheck(root, true);
  auto add = [&](const std::u16string& text, HTREEITEM parent, bool checked, bool bold) {
    const HTREEITEM item = tree.InsertItem(text, 1, 1, parent);
    tree.SetCheck(item, checked);
    tree.SetItemBold(item, bold);
    return item;
  };
  const HTREEITEM inbox = add(u"Inbox", root, true, true);
  add(u"Sent Items", root, true, true);
  const HTREEITEM drafts = add(u"Drafts", root, false, false);
  add(u"($All)", root, false, true);
  const HTREEITEM projects = add(u"Projects \u00e9t\u00e9", root, true, true);
  add(u"Alpha", projects, true, false);
  const HTREEITEM beta = add(u"Beta", projects, true, false);
  tree.SetCheck(beta, false);
  const HTREEITEM old = add(u"Old (disabled)", root, true, false);
  tree.EnableItem(old, false);
  tree.Expand(root, TVE_EXPAND);
  tree.Expand(projects, TVE_EXPAND);
  frame->Show();
  Pump(400);

  // A worker thread fills a folder through the window's thread.
  std::atomic<bool> workerDone{false};
  CTreeSender sender = window->MakeSender();
  std::thread worker([&] {
    const HTREEITEM scan = sender.Send([&](CXHtmlTree& t) { return t.InsertItem(u"Scanned", 1, 1, root); });
    for (int i = 0; i < 5; ++i) {
      const std::u16string name = u"Folder " + std::u16string(1, static_cast<char16_t>(u'1' + i));
      sender.Send([&](CXHtmlTree& t) {
        const HTREEITEM item = t.InsertItem(name, 1, 1, scan);
        t.SetCheck(item, i % 2 == 0);
        t.SetItemBold(item, i == 0);
      });
    }
    sender.Send([&](CXHtmlTree& t) { t.Expand(scan, TVE_EXPAND); });
    workerDone = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return workerDone.load(); }, 5000));
  worker.join();
  EXPECT_EQ(tree.GetCount(), 15u);
  EXPECT_EQ(tree.GetCheckState(projects), CheckState::Mixed);

  // A press on a label and a click on a check box, through the X server.
  CTreeCtrl::RowLayout layout;
  wxUIActionSimulator input;
  ASSERT_TRUE(tree.GetRowLayout(drafts, layout));
  input.MouseMove(ScreenPoint(window, layout.stateIcon));
  input.MouseClick();
  ASSERT_TRUE(PumpUntil([&] { return tree.GetCheck(drafts) == 1; }, 3000));
  EXPECT_EQ(tree.GetCheckImageIndex(drafts), 2 + 8);  // hot look until the next change
  ASSERT_TRUE(tree.GetRowLayout(inbox, layout));
  input.MouseMove(ScreenPoint(window, layout.label));
  input.MouseClick();
  ASSERT_TRUE(PumpUntil([&] { return tree.GetSelectedItem() == inbox; }, 3000));
  Pump(300);
  int labelPresses = 0;
  for (const TreeMessage& m : messages)
    if (m.message == WM_XHTMLTREE_LABEL_PRESSED && m.item == inbox) ++labelPresses;
  EXPECT_EQ(labelPresses, 1);
  // Space flips the selected item's box; Down moves to the next folder.
  input.Char(WXK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return tree.GetCheck(inbox) == 0; }, 3000));
  input.Char(WXK_DOWN);
  EXPECT_TRUE(PumpUntil([&] { return tree.GetSelectedItem() == tree.GetNextSiblingItem(inbox); }, 3000));
  input.Char(WXK_UP);
  EXPECT_TRUE(PumpUntil([&] { return tree.GetSelectedItem() == inbox; }, 3000));
  input.Char(WXK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return tree.GetCheck(inbox) == 1; }, 3000));
  Pump(200);

  const std::string shot = std::string(NSF2PST_BINARY_DIR) + "/tree_gui.png";
  ASSERT_EQ(std::system(("import -window root " + shot).c_str()), 0);
  wxImage image(shot, wxBITMAP_TYPE_PNG);
  ASSERT_TRUE(image.IsOk());
  // The selected label is painted in the highlight colour.
  const COLORREF highlight = tree.GetColours().highlight;
  const wxPoint at = ScreenPoint(window, layout.label);
  bool found = false;
  for (int dx = -20; dx <= 20 && !found; ++dx) {
    const int x = at.x + dx, y = at.y;
    found = image.GetRed(x, y) == GetRValue(highlight) && image.GetGreen(x, y) == GetGValue(highlight) &&
            image.GetBlue(x, y) == GetBValue(highlight);
  }
  EXPECT_TRUE(found) << "no highlight around the selected label in " << shot;

  // A double click on a parent's label folds it.
  ASSERT_TRUE(tree.GetRowLayout(projects, layout));
  input.MouseMove(ScreenPoint(window, layout.label));
  input.MouseDblClick();
  EXPECT_TRUE(PumpUntil([&] { return !tree.IsPlatformExpanded(projects); }, 3000));
  Pump(300);
  EXPECT_FALSE(tree.IsPlatformExpanded(projects));
  EXPECT_EQ(tree.GetItemRecord(projects)->expanded, 0);
  frame->Destroy();
  Pump(100);
}

TEST_F(TreeGui, CallsQueuedForAGoneWindowReleaseTheWorker) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "gone");
  auto* window = new CXHtmlTreeWnd(frame, 1002, wxDefaultPosition, wxDefaultSize, TVS_CHECKBOXES);
  CTreeSender sender = window->MakeSender();
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = static_cast<int>(sender.Send([](CXHtmlTree& t) { return t.InsertItem(u"x", 0, 0); })); });
  // The call is queued on the window; the window goes before it runs.
  wxMilliSleep(100);
  delete frame;
  worker.join();
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(sender.Send([](CXHtmlTree& t) { return t.GetCount(); }), 0u);
}

TEST_F(TreeGui, WindowThreadMayWaitForAWorkerAfterClosingCalls) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "closing");
  auto* window = new CXHtmlTreeWnd(frame, 1002, wxDefaultPosition, wxDefaultSize, TVS_CHECKBOXES);
  CTreeSender sender = window->MakeSender();
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = static_cast<int>(sender.Send([](CXHtmlTree& t) { return t.InsertItem(u"x", 0, 0); })); });
  wxMilliSleep(100);
  window->CloseWorkerCalls();
  worker.join();  // no events are pumped while waiting here
  EXPECT_EQ(answer.load(), 0);
  Pump(100);  // the queued call is skipped when it comes up
  EXPECT_EQ(window->Tree().GetCount(), 0u);
  frame->Destroy();
  Pump(50);
}

}  // namespace
