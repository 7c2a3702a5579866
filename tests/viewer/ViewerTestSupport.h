// Test helpers for the viewer: a private work directory, Notes databases
// built from JSON descriptions, expected bytes written out by hand
// (little-endian integers, UTF-16LE text) and a main window without a window
// system whose calls run at once on the calling thread.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "viewer/ViewerWindow.h"
#include "viewer/tree/CXHtmlTree.h"
#include "viewer/tree/WindowThreadCall.h"

namespace viewertest {

class CWorkDir {
public:
    CWorkDir();
    ~CWorkDir();
    std::filesystem::path dir;
    // The directory as the command line carries it: ends with '/'.
    std::u16string Prefix() const;
    std::filesystem::path File(const std::string& name) const { return dir / name; }
    // Builds a Notes database from a JSON description; returns its path.
    std::string BuildNsf(const std::string& json, const std::string& name = "test.nsf") const;
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
};

// Expected bytes.
std::string U32(uint32_t v);
std::string U16Le(const std::string& ascii);           // ASCII text as UTF-16LE
std::string U16Le(const std::u16string& text);
std::string LogLine(const std::string& ascii);         // text + CR LF as UTF-16LE
std::string Separator();                               // 149 asterisks + CR LF as UTF-16LE
std::string FolderEntry(const std::string& path, uint8_t hasEntries, uint32_t noteId);
// The Notes stand-in's message text of a status (ASCII).
std::string NotesError(uint32_t status);

class CFakeViewerWindow : public IViewerWindow, public tree::IWindowThread {
public:
    bool IsWindowThread() const override { return true; }
    void Post(std::function<void()> task) override { task(); }

    void SetStatusText(const std::u16string& text) override;
    void SetProgressRange(int32_t lower, int32_t upper) override;
    void SetProgressPosition(int32_t position) override;
    void ShowProgress(bool show) override { progressShown = show; }
    void EnableCommands(bool enable) override { commandsEnabled = enable; }
    void HideBrowsing() override { browsingHidden = true; }
    tree::CXHtmlTree* Tree() override { return &folderTree; }
    void ClearItemList() override { list.clear(); }
    void InsertItemRowAtTop(const ItemRow& row, uint32_t itemData) override;
    ui::EAnswer Message(const std::u16string& text, ui::EButtons buttons) override;
    void EndDialog(bool ok) override { ended = ok ? 1 : 0; }

    std::mutex lock;
    std::vector<std::u16string> statuses;
    std::vector<std::u16string> messages;
    ui::EAnswer answer = ui::EAnswer::Yes;
    int32_t rangeUpper = -1;
    int32_t lastPosition = -1;
    bool progressShown = true;
    bool commandsEnabled = true;
    bool browsingHidden = false;
    int ended = -1;
    // Called with every progress position (a test can press Stop there).
    std::function<void(int32_t)> onPosition;
    tree::CXHtmlTree folderTree;
    std::vector<std::pair<ItemRow, uint32_t>> list;   // top row first
};

}  // namespace viewertest
