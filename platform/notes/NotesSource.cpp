#include "platform/notes/NotesSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/notes/NsfFile.h"
#include "platform/notes/ods/OdsDatabase.h"

namespace notes {

namespace {
thread_local std::map<LNSTATUS, std::string> lastDetail;
}  // namespace

CNoteUnreadable::CNoteUnreadable(const std::string& why, LNSTATUS status) : CNsfError(why), status(status) {
    lastDetail[status] = why;
}

std::string UnreadableDetail(LNSTATUS status) {
    auto it = lastDetail.find(status);
    return it == lastDetail.end() ? std::string() : it->second;
}

void AddUnfiledFolder(std::vector<CViewRow>& views, const std::vector<NOTEID>& documents) {
    // A sorted vector, four bytes a listed note: a hash set of a million
    // note IDs took some forty megabytes.
    std::vector<NOTEID> listed;
    size_t entries = 0;
    for (const auto& view : views)
        if (view.name != "($All)") entries += view.entries.size();
    listed.reserve(entries);
    for (const auto& view : views) {
        if (view.name == "($All)") continue;
        for (const auto& entry : view.entries) listed.push_back(entry.noteId);
    }
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    std::vector<CViewEntry> unlisted;
    for (NOTEID id : documents)
        if (!std::binary_search(listed.begin(), listed.end(), id)) unlisted.push_back({id, false});
    if (unlisted.empty()) return;
    auto stored = std::find_if(views.begin(), views.end(), [](const CViewRow& v) { return v.id == kUnfiledFolderId; });
    if (stored != views.end())
        stored->entries.insert(stored->entries.end(), unlisted.begin(), unlisted.end());
    else
        views.push_back({kUnfiledFolderId, kUnfiledFolderName, true, 0, std::move(unlisted)});
}

std::unique_ptr<CNotesSource> OpenNotesSource(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw CNsfError("File does not exist: " + path);
    unsigned char head[16] = {};
    size_t got = 0;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    } else {
        throw CNsfError("cannot open " + path);
    }
    // A real NSF file starts with the signature 1A 00 of its file header.
    if (got >= 2 && head[0] == 0x1A && head[1] == 0x00) return ods::OpenOdsDatabase(path);
    if (got == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0) return std::make_unique<CNsfFile>(path);
    throw CNsfError("not a Notes database file: " + path);
}

}  // namespace notes
