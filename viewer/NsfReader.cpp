#include "viewer/NsfReader.h"

#include <array>
#include <string_view>

#include "platform/sys/Text.h"
#include "viewer/FolderNames.h"
#include "viewer/LotusNotesApp.h"

namespace {

// Views that are exported although they are not folders (with view type 0).
constexpr std::array<std::string_view, 10> exportedViews{
    "($Sent)", "($Drafts)", "My Contacts", "Groups", "($ToDo)",
    "By Category", "($ByCategory)", "($Meetings)", "($All)", "($People)"};

bool IsExportedView(std::string_view name) {
    for (std::string_view v : exportedViews)
        if (name == v) return true;
    return false;
}

bool IsSystemView(std::string_view name) {
    return name == "($Alarms)" || name == "($ByCategory)" || name == "($Inbox-Categorized1)";
}

// Notes text into a zeroed 1,024-byte buffer as UTF-16: longer names are cut.
std::u16string DisplayName(const LNString& name) {
    std::array<char16_t, 512> buffer{};
    LNStringTranslate(name, LNCHARSET_UNICODE, sizeof buffer - sizeof(char16_t),
                      reinterpret_cast<char*>(buffer.data()));
    return std::u16string(buffer.data());
}

}  // namespace

std::u16string NotesErrorText(LNSTATUS status) {
    std::array<char, 512> buffer{};
    LNGetErrorMessageText(status, buffer.data(), static_cast<LNINT>(buffer.size()));
    return sys::AnsiToUtf16(buffer.data());
}

void CNsfReader::Trace(const char16_t* tag, LNSTATUS status) {
    app.runLog.WriteLine(std::u16string(tag) + NotesErrorText(status));
}

void CNsfReader::Range(uint32_t upper) {
    if (!progress) return;
    progress->SendProgressRange(0, upper);
    progress->SendProgressPosition(0);
}

void CNsfReader::Position(uint32_t position) {
    if (progress) progress->SendProgressPosition(position);
}

bool CNsfReader::OpenDatabase(const std::u16string& nsfPath, const std::u16string& serverName) {
    try {
        const std::string path = sys::Utf16ToAnsi(nsfPath);
        LNSTATUS status;
        if (!serverName.empty()) {
            status = session.GetDatabase(path.c_str(), &database, sys::Utf16ToAnsi(serverName).c_str());
            if (status) Trace(u"Func: 121a", status);
        } else {
            status = session.GetDatabase(path.c_str(), &database, "");
        }
        if (status) Trace(u"Func: 121b", status);
        status = database.Open();
        if (status) Trace(u"Func: 121c", status);
        // A database that did not open cannot be scanned: report the failure
        // instead of handing an empty folder list on as a success.
        return status == 0;
    } catch (LNSTATUS) {
        return false;
    }
}

const std::vector<FolderRecord>& CNsfReader::DiscoverFolders() {
    try {
        std::vector<LNViewFolder> views;
        LNSTATUS status = database.GetViewFolders(&views, 1);
        if (status) Trace(u"Func: 122a", status);
        const uint32_t count = static_cast<uint32_t>(views.size());
        Range(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (app.keepRunning == 0) {
                app.keepRunning = 1;
                break;
            }
            if (i % 10 == 0) Position(i);
            ConsiderView(views[i]);
        }
    } catch (LNSTATUS status) {
        Trace(u"Func: 122", status);
    }
    return folders;
}

void CNsfReader::ConsiderView(LNViewFolder& view) {
    LNSTATUS status = view.Open(LNVFOPENFLAGS_DEFAULT);
    if (status) Trace(u"Func: 122b", status);
    const LNString rawName = view.GetName();
    const std::string_view raw(rawName.GetBytes());
    const LNINT type = view.GetType();
    const LNINT entries = view.GetEntryCount();
    bool accepted = view.IsFolder() || (IsExportedView(raw) && type == 0);
    if (accepted && raw == "($All)" && app.settings.includeAllView == 0) accepted = false;
    if (accepted && IsSystemView(raw) && app.settings.includeSystemViews == 0) accepted = false;
    if (accepted) {
        FolderRecord record;
        record.name = RenameSystemFolder(DisplayName(rawName));
        record.noteId = view.GetNoteID();
        record.hasEntries = entries != 0 ? 1 : 0;
        folders.push_back(std::move(record));
    }
    view.Close();
}

void CNsfReader::CloseAll() {
    if (!session.IsInitialized()) return;
    if (database.IsOpen()) database.Close();
    session.Term();
}
