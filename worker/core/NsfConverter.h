// The worker's conversion context: the Notes session and the open database,
// the progress window the passes report to, the temporary directory and the
// application object with the run log and counters. The item readers and
// writers work on it document by document.
#pragma once
#include <string>
#include <vector>

#include "platform/notes/LNNotes.h"
#include "platform/ui/UserInterface.h"
#include "worker/core/SavingProcessApp.h"

class CNsfConverter {
public:
    explicit CNsfConverter(CsavingprocessApp& application) : app(application) {}

    // Converts path and server to the ANSI code page, gets the database from
    // the session and opens it. 1 when open, 0 when anything failed.
    int OpenNotesDatabase(const std::u16string& nsfPath, const std::u16string& serverName);
    void CloseNotesDatabase();

    CsavingprocessApp& app;
    LNNotesSession session;
    LNDatabase database;
    ui::CProgressWindow* window = nullptr;
    std::u16string tempDir;  // ends with '/'
    // What the readers and writers could not carry of the current document
    // (an attachment, part of the body, encrypted items): the pass clears it
    // before each document and records the document as incomplete when it
    // is not empty.
    std::vector<std::u16string> documentProblems;
};

// The temporary directory of the item writers: the temporary path +
// "KelNSF2PSTConTmp/", created when missing. Empty when it cannot be had.
std::u16string MakeWorkerTempDir();
