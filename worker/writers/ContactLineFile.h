// Line output of the vCard and iCalendar files: each line is a property
// start in ASCII and a value converted to UTF-8 or to the system ANSI code
// page, ended by CR LF. A write that fails throws, so that a file the disk
// did not take is reported as not written instead of being imported cut
// short.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/sys/Files.h"

struct CFileWriteError : std::runtime_error {
    CFileWriteError() : std::runtime_error("the file could not be written") {}
};

class CLineFile {
public:
    // Creates or truncates the file; false when it cannot be created.
    bool Create(const std::u16string& path) { return file.CreateOrTruncate(path); }
    void Close() { file.Close(); }

    void Bytes(std::string_view bytes);
    // start + UTF-8 value + CR LF.
    void Utf8Line(std::string_view start, std::u16string_view value);
    // start + ANSI value + CR LF.
    void AnsiLine(std::string_view start, std::u16string_view value);
    // An ASCII line + CR LF.
    void Line(std::string_view text);

private:
    sys::CFile file;
};
