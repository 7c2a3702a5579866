// The temporary files of the item writers: where they lie (the system
// temporary path, and its "temp" folder for detached attachments), reading
// one back whole, and a guard that deletes a file when the writer leaves
// it, whichever way it leaves.
#pragma once
#include <string>

#include "platform/sys/Files.h"

// The system temporary path ending with '/'; empty when there is none, in
// which case no temporary file may be written at all.
std::u16string WriterTempPath();
// WriterTempPath() + "temp/", created when missing; empty when it cannot be had.
std::u16string DetachDirectory();

// Opens an existing file for reading and writing (never creating it) and
// reads all of it. False when it cannot be opened or read.
bool ReadBackFile(const std::u16string& path, sys::CBytes& bytes);

class CTempFileGuard {
public:
    explicit CTempFileGuard(std::u16string path) : path(std::move(path)) {}
    ~CTempFileGuard();
    CTempFileGuard(const CTempFileGuard&) = delete;
    CTempFileGuard& operator=(const CTempFileGuard&) = delete;

private:
    std::u16string path;
};
