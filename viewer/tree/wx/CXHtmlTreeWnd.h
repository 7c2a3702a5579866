// The folder tree as a wxWidgets window. It owns a CXHtmlTree model, paints
// its rows itself (expand buttons and check boxes with the platform renderer,
// the normal image list, labels bold or normal in the model's colours), turns
// mouse and key events into the model's input rules, and gives worker threads
// a way to call into the model on the window's thread and wait for the result.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include <wx/imaglist.h>
#include <wx/scrolwin.h>

#include "viewer/tree/CXHtmlTree.h"
#include "viewer/tree/WindowThreadCall.h"

namespace tree {

// Hands tasks to the window's thread through the window's event queue; once
// the window is gone, tasks are dropped, which releases their callers.
class CWxWindowThread : public IWindowThread {
 public:
  explicit CWxWindowThread(wxEvtHandler* window) : target(window) {}
  bool IsWindowThread() const override;
  bool IsOpen() const override;
  void Post(std::function<void()> task) override;
  void Detach();

 private:
  mutable std::mutex guard;
  wxEvtHandler* target;
};

// What a worker thread keeps to reach the tree: safe to use after the window
// is gone (calls then answer a default value without running).
class CTreeSender {
 public:
  CTreeSender(std::shared_ptr<CWxWindowThread> thread, CXHtmlTree* model)
      : windowThread(std::move(thread)), tree(model) {}
  template <class F>
  auto Send(F&& task) -> std::invoke_result_t<F&, CXHtmlTree&> {
    return SendToWindowThread(*windowThread, [this, &task] { return task(*tree); });
  }

 private:
  std::shared_ptr<CWxWindowThread> windowThread;
  CXHtmlTree* tree;
};

class CXHtmlTreeWnd : public wxScrolled<wxWindow>, private ITreeHost {
 public:
  // treeStyle holds the tree styles (TVS_*); TVS_CHECKBOXES turns on the
  // control's own check boxes.
  CXHtmlTreeWnd(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                std::uint32_t treeStyle);
  ~CXHtmlTreeWnd() override;

  CXHtmlTree& Tree() { return tree; }
  const CXHtmlTree& Tree() const { return tree; }
  // The normal (folder) image list; the window takes ownership.
  void AssignImageList(wxImageList* images);
  CTreeSender MakeSender() { return CTreeSender(windowThread, &tree); }
  // Takes no more calls from workers; callers waiting for a call that has
  // not run yet get a default result. Call it before the window's thread
  // waits for a worker to end.
  void CloseWorkerCalls() { windowThread->Detach(); }
  // Runs task(Tree()) on the window's thread and waits for its result.
  template <class F>
  auto Send(F&& task) -> std::invoke_result_t<F&, CXHtmlTree&> {
    return MakeSender().Send(std::forward<F>(task));
  }
  const wxImageList* GetStateImageList() const { return stateImages.get(); }
  // A new font changes the row height and every label width.
  bool SetFont(const wxFont& font) override;

 private:
  // ITreeHost
  int MeasureLabel(const std::u16string& text, bool bold) override;
  TreeColours ReadSystemColours() override;
  void BuildCheckBoxImages(int cellSize, const TreeColours& colours) override;
  void RemoveStateImages() override;
  void Invalidate() override;
  void MakeVisible(const TreeRect& rect) override;
  void ScrollFarLeft() override;

  void OnPaint(wxPaintEvent& event);
  void DrawRow(wxDC& dc, const CTreeCtrl::RowLayout& row, int rowRight);
  void DrawLines(wxDC& dc, const CTreeCtrl::RowLayout& row);
  void DrawLabel(wxDC& dc, const CTreeCtrl::RowLayout& row, int rowRight);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftDClick(wxMouseEvent& event);
  void OnRightDown(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnSysColourChanged(wxSysColourChangedEvent& event);
  void UpdateLayout();
  TreePoint ToTree(const wxPoint& p) const;
  wxFont LabelFont(bool bold) const;

  CXHtmlTree tree;
  std::shared_ptr<CWxWindowThread> windowThread;
  std::unique_ptr<wxImageList> normalImages;
  std::unique_ptr<wxImageList> stateImages;
  bool layoutPending = false;
  std::unordered_map<std::u16string, int> labelWidths[2];  // normal, bold
};

}  // namespace tree
