#include "worker/core/RunLog.h"

#include <utility>

#include "platform/sys/Text.h"

bool CRunLog::Open(const std::u16string& path) { return file.OpenExisting(path) && file.SeekToEnd(); }

void CRunLog::WriteRaw(std::u16string_view text) {
    if (holder.load() == std::this_thread::get_id())
        held += sys::ToUtf16LeBytes(text);
    else if (file.IsOpen())
        file.Write(sys::ToUtf16LeBytes(text));
}

std::string CRunLog::Unhold() {
    holder = std::thread::id{};
    return std::exchange(held, {});
}

void CRunLog::WriteHeld(std::string_view bytes) {
    if (file.IsOpen() && !bytes.empty()) file.Write(bytes);
}

void CRunLog::WriteLine(std::u16string_view text) {
    WriteRaw(text);
    WriteRaw(u"\r\n");
}

uint64_t DumpedCount(const FolderSummary& s) { return s.found >= s.skipped ? s.found - s.skipped : 0; }

std::u16string FormatFinishTime(const sys::CSystemTime& t) {
    std::string text = std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year) + " " +
                       std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second);
    return sys::Widen(text);
}

void WriteFolderSummary(CRunLog& log, const FolderSummary& s, const sys::CSystemTime& finishTime) {
    log.WriteRaw(sys::Widen(std::to_string(s.found)));
    log.WriteRaw(u"\t:items found\r\n");
    log.WriteRaw(sys::Widen(std::to_string(DumpedCount(s))));
    log.WriteRaw(u"\t:items Dump\r\n");
    log.WriteRaw(u"Warnings:\t ");
    log.WriteRaw(sys::Widen(std::to_string(s.warningCount)));
    log.WriteRaw(u"\r\n");
    log.WriteRaw(u"Errors:\t");
    log.WriteRaw(sys::Widen(std::to_string(s.errorCount)));
    log.WriteRaw(u"\r\n");
    log.WriteRaw(u"Dumping of folder Finish Time:\t");
    log.WriteRaw(FormatFinishTime(finishTime));
    log.WriteRaw(u"\r\n\r\n");
}
