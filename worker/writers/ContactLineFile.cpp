#include "worker/writers/ContactLineFile.h"

#include "platform/sys/Text.h"

void CLineFile::Bytes(std::string_view bytes) {
    if (!bytes.empty() && !file.Write(bytes)) throw CFileWriteError();
}

void CLineFile::Utf8Line(std::string_view start, std::u16string_view value) {
    Bytes(std::string(start) + sys::Utf16ToUtf8(value) + "\r\n");
}

void CLineFile::AnsiLine(std::string_view start, std::u16string_view value) {
    Bytes(std::string(start) + sys::Utf16ToAnsi(value) + "\r\n");
}

void CLineFile::Line(std::string_view text) {
    Bytes(std::string(text) + "\r\n");
}
