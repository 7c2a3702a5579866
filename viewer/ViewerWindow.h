// What the viewer's dialog logic asks of its main window. A wxWidgets dialog
// implements it with a display, a console stand-in without one (batch mode).
// Every operation here runs on the window's thread: worker threads reach the
// window only through CLotusNotesDlg::Send, which carries the call over to
// that thread and waits for it.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/UserInterface.h"
#include "viewer/NsfReader.h"

namespace tree {
class CXHtmlTree;
}

class IViewerWindow {
public:
    virtual ~IViewerWindow() = default;

    virtual void SetStatusText(const std::u16string& text) = 0;
    virtual void SetProgressRange(int32_t lower, int32_t upper) = 0;
    virtual void SetProgressPosition(int32_t position) = 0;
    // The progress bar and Stop.
    virtual void ShowProgress(bool show) = 0;
    // Export and Close.
    virtual void EnableCommands(bool enable) = 0;
    // Batch mode: the tree, the item list, Export and Close disappear.
    virtual void HideBrowsing() = 0;

    // The folder tree; null for a window without one.
    virtual tree::CXHtmlTree* Tree() = 0;
    virtual void ClearItemList() = 0;
    // A new first row of the list: image 0 when it has an attachment, its
    // item data, then To, From, Subject and Date/Time.
    virtual void InsertItemRowAtTop(const ItemRow& row, uint32_t itemData) = 0;

    virtual ui::EAnswer Message(const std::u16string& text, ui::EButtons buttons) = 0;
    // Ends the modal loop of the window (OK = true, Cancel = false).
    virtual void EndDialog(bool ok) = 0;
};
