// Listing the documents of the folder whose label was clicked. One listing
// runs at a time: a click while one runs cancels it and its folder is
// listed next, so two threads never fill the same list.
#include <cstdio>

#include "platform/sys/Text.h"
#include "viewer/LotusNotesDlg.h"
#include "viewer/tree/CXHtmlTree.h"

void CLotusNotesDlg::OnLabelPressed(tree::HTREEITEM item) {
    tree::CXHtmlTree* folderTree = window->Tree();
    if (!folderTree) return;
    if (app.scanRunning == 1) {
        folderTree->SelectItem(lastListedItem);
        window->Message(u"Please stop the running process to continue the process.", ui::EButtons::Ok);
        return;
    }
    lastListedItem = item;
    const std::u16string text = u"Please wait while " + folderTree->GetItemText(item) + u" folder is scanning....";
    window->SetStatusText(text);
    Log(text);
    StartListing(ListingRequest{folderTree->GetItemData(item), app.settings});
}

void CLotusNotesDlg::StartListing(ListingRequest request) {
    {
        std::lock_guard guard(listingLock);
        if (listingBusy) {
            // The running listing stops at its next document; this one follows.
            pendingListing = std::move(request);
            app.keepRunning = 0;
            return;
        }
        listingBusy = true;
    }
    app.keepRunning = 1;
    if (listingThread.joinable()) listingThread.join();
    listingThread = std::thread([this, request = std::move(request)]() mutable { ListingLoop(std::move(request)); });
}

void CLotusNotesDlg::ListingLoop(ListingRequest request) {
    for (;;) {
        RunListing(request);
        std::lock_guard guard(listingLock);
        if (pendingListing && !closing) {
            request = std::move(*pendingListing);
            pendingListing.reset();
            continue;
        }
        pendingListing.reset();
        listingBusy = false;
        return;
    }
}

void CLotusNotesDlg::RunListing(const ListingRequest& request) {
    Send([this] {
        window->ClearItemList();
        window->ShowProgress(true);
    });
    rows.clear();
    app.keepRunning = 1;
    uint32_t listed = 0;
    reader.session.InitThread();
    try {
        StatusAndLog(u"Processing Mail Data");
        rows = reader.ReadItems(request.noteId, request.settings);
        const uint32_t count = static_cast<uint32_t>(rows.size());
        SendProgressRange(0, count);
        SendProgressPosition(0);
        StatusAndLog(u"Filling in List Control");
        for (uint32_t i = 0; i < count; ++i) {
            if (app.keepRunning == 0) {
                app.keepRunning = 1;
                break;
            }
            if (i % 10 == 0) SendProgressPosition(i);
            Send([this, i] {
                window->InsertItemRowAtTop(rows[i], i);
                window->SetStatusText(rows[i].to);
            });
            ++listed;
        }
        Status(u"Scanning completed.");
    } catch (LNSTATUS status) {
        NotesErrorText(status);
    }
    reader.session.TermThread();
    if (listed > 0) {
        char total[32];
        std::snprintf(total, sizeof total, "[%u]", listed);
        Status(u"Total number of emails: " + sys::Widen(total));
    }
    Log(u"Filling in List Control");
    Send([this] { window->ShowProgress(false); });
}
