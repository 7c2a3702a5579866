// What the tree model asks of the window that shows it: text measurement,
// system colours, the check-box image list, repainting and scrolling. A model
// without a window uses CHeadlessTreeHost, which measures text with fixed
// advances and keeps the default colours.
#pragma once

#include <string>

#include "viewer/tree/TreeTypes.h"

namespace tree {

class ITreeHost {
 public:
  virtual ~ITreeHost() = default;
  // Width in pixels of a label drawn in the tree's font, bold or normal.
  virtual int MeasureLabel(const std::u16string& text, bool bold) = 0;
  virtual TreeColours ReadSystemColours() = 0;
  // Builds the 17-cell check-box strip and makes it the state image list.
  virtual void BuildCheckBoxImages(int cellSize, const TreeColours& colours) = 0;
  virtual void RemoveStateImages() = 0;
  virtual void Invalidate() = 0;
  // Scrolls so that the rectangle (in tree coordinates) is in view.
  virtual void MakeVisible(const TreeRect& rect) = 0;
  virtual void ScrollFarLeft() = 0;
};

class CHeadlessTreeHost : public ITreeHost {
 public:
  static constexpr int kCharWidth = 7;
  static constexpr int kBoldCharWidth = 8;

  int MeasureLabel(const std::u16string& text, bool bold) override {
    return static_cast<int>(text.size()) * (bold ? kBoldCharWidth : kCharWidth);
  }
  TreeColours ReadSystemColours() override { return colours; }
  void BuildCheckBoxImages(int, const TreeColours&) override { ++imageBuilds; }
  void RemoveStateImages() override { ++imageRemovals; }
  void Invalidate() override {}
  void MakeVisible(const TreeRect&) override {}
  void ScrollFarLeft() override { ++farLeftScrolls; }

  TreeColours colours;
  int imageBuilds = 0;
  int imageRemovals = 0;
  int farLeftScrolls = 0;
};

}  // namespace tree
