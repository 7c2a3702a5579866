// The viewer's main window, apart from the window system: the start sequence
// (command line, selection file, run log, separator), the start routine and
// its mode flows (folder scan, save dialog only, batch selection of every
// folder), the item listing, and the commands Stop, Close, Enter, Escape and
// Export. It drives an IViewerWindow; worker threads reach that window only
// through Send, which runs the call on the window's thread and waits.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/Files.h"
#include "viewer/ExportFlow.h"
#include "viewer/LotusNotesApp.h"
#include "viewer/NsfReader.h"
#include "viewer/ViewerCommandLine.h"
#include "viewer/ViewerWindow.h"
#include "viewer/tree/TreeTypes.h"
#include "viewer/tree/WindowThreadCall.h"

class CLotusNotesDlg : public IProgressTarget {
public:
    CLotusNotesDlg(CLotusNotesApp& app, std::u16string commandLine, IExportFlow& exportFlow);
    ~CLotusNotesDlg() override;
    CLotusNotesDlg(const CLotusNotesDlg&) = delete;
    CLotusNotesDlg& operator=(const CLotusNotesDlg&) = delete;

    // The window and the way to its thread; the thread object may outlive
    // the window (calls are then dropped).
    void Attach(IViewerWindow* window, std::shared_ptr<tree::IWindowThread> windowThread);

    // Initialisation once the window's controls exist: command line,
    // selection file, mode, run log, separator, start routine.
    void OnInitDialog();
    void StartRoutine();
    // True once a mode flow was started (false after a missing selection file).
    bool FlowStarted() const { return flowStarted; }

    // Commands.
    void OnStop();
    void OnClose();
    void OnOK();       // Enter, and the finish message of the batch mode
    void OnCancel();   // Escape
    void OnExport();
    void OnLabelPressed(tree::HTREEITEM item);

    // After the window is gone: stops the worker threads and waits for them.
    void StopThreads();
    // Waits until the scan, batch and listing threads have ended by themselves.
    void WaitForThreads();

    // Ends the viewer: closes the database, ends the Notes session, exits
    // the process with code 0.
    void EndViewer();
    // How the process ends; tests replace it.
    std::function<void(int)> exitProcess;

    // Status line and run log, from any thread.
    void Status(const std::u16string& text);
    void Log(const std::u16string& text) { app.runLog.WriteLine(text); }
    void StatusAndLog(const std::u16string& text);
    // Runs task on the window's thread and waits; nothing when the window is gone.
    template <class F>
    auto Send(F&& task) -> std::invoke_result_t<F&> {
        return tree::SendToWindowThread(*windowThread, std::forward<F>(task));
    }

    // IProgressTarget: the two progress messages.
    void SendProgressRange(uint32_t lower, uint32_t upper) override;
    void SendProgressPosition(uint32_t position) override;

    // For the export flow.
    CLotusNotesApp& App() { return app; }
    const ViewerCommandLine& CommandLine() const { return cmd; }
    uint8_t ViewerMode() const { return cmd.mode; }
    sys::CFile& SelectionFileObject() { return selectionFile; }
    CNsfReader& Reader() { return reader; }
    IViewerWindow* Window() { return window; }
    const std::vector<ItemRow>& Rows() const { return rows; }
    tree::HTREEITEM LastListedItem() const { return lastListedItem; }

    // The part after the last backslash (or slash) of the NSF path.
    static std::u16string RootName(const std::u16string& nsfPath);

private:
    void ScanThread();
    void BuildTree();
    void StartBatch();
    void BatchThread();
    void WriteBatchSelection();
    // A folder to list with the export options of the moment it was clicked:
    // the Export dialogs may change the options while a listing runs.
    struct ListingRequest {
        uint32_t noteId = 0;
        ExportSettings settings;
    };
    void StartListing(ListingRequest request);
    void ListingLoop(ListingRequest request);
    void RunListing(const ListingRequest& request);
    void JoinWorker();

    CLotusNotesApp& app;
    std::u16string commandLine;
    IExportFlow& exportFlow;
    IViewerWindow* window = nullptr;
    std::shared_ptr<tree::IWindowThread> windowThread;

    ViewerCommandLine cmd;
    sys::CFile selectionFile;
    CNsfReader reader;
    std::vector<ItemRow> rows;
    tree::HTREEITEM lastListedItem = tree::kNoItem;
    bool flowStarted = false;

    std::thread worker;   // folder scan or batch
    std::thread listingThread;
    std::mutex listingLock;
    bool listingBusy = false;
    std::optional<ListingRequest> pendingListing;
    std::atomic<bool> closing{false};
};
