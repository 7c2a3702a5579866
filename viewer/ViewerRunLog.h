// The viewer's side of the run log "KelvroNSF2PST_log_.txt": opened once at
// start and kept open, created with the UTF-16LE byte-order mark when missing
// or extended at its end. Every write is a raw append of UTF-16LE text.
// Writes come from the window thread and the one worker thread, so they are
// serialised; a log that could not be opened swallows them.
#pragma once
#include <mutex>
#include <string>
#include <string_view>

#include "platform/sys/Files.h"

class CViewerRunLog {
public:
    // Creates the file with FF FE when no file of that name exists; otherwise
    // opens it for reading and writing at its end (unless already open).
    bool Open(const std::u16string& path);
    bool IsOpen() const;
    void Close();
    void Write(std::u16string_view text);       // text only
    void WriteLine(std::u16string_view text);   // text, then CR LF

private:
    mutable std::mutex lock;
    sys::CFile file;
};
