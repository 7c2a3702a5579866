#include "viewer/ViewerRunLog.h"

#include "platform/sys/Text.h"

bool CViewerRunLog::Open(const std::u16string& path) {
    std::lock_guard guard(lock);
    if (!sys::FileExists(path)) {
        file.Close();
        if (!file.CreateOrTruncate(path)) return false;
        return file.Write(std::string_view("\xFF\xFE", 2));
    }
    if (file.IsOpen()) return true;
    return file.OpenExisting(path) && file.SeekToEnd();
}

bool CViewerRunLog::IsOpen() const {
    std::lock_guard guard(lock);
    return file.IsOpen();
}

void CViewerRunLog::Close() {
    std::lock_guard guard(lock);
    file.Close();
}

void CViewerRunLog::Write(std::u16string_view text) {
    std::lock_guard guard(lock);
    if (file.IsOpen()) file.Write(sys::ToUtf16LeBytes(text));
}

void CViewerRunLog::WriteLine(std::u16string_view text) {
    std::u16string line(text);
    line += u"\r\n";
    Write(line);
}
