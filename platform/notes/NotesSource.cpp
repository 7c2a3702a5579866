#include "platform/notes/NotesSource.h"

#include <sys/stat.h>

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
