#include "worker/core/NsfConverter.h"

#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"

int CNsfConverter::OpenNotesDatabase(const std::u16string& nsfPath, const std::u16string& serverName) {
    try {
        std::string path = sys::Utf16ToAnsi(nsfPath);
        std::string server = sys::Utf16ToAnsi(serverName);
        if (session.GetDatabase(path.c_str(), &database, server.empty() ? nullptr : server.c_str()) != 0) return 0;
        return database.Open() == 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void CNsfConverter::CloseNotesDatabase() {
    try {
        if (database.IsOpen()) database.Close();
    } catch (...) {
    }
}

std::u16string MakeWorkerTempDir() {
    std::u16string base = sys::TempPath();
    if (base.empty() || base.size() > 260) return {};
    std::u16string dir = base + u"KelNSF2PSTConTmp/";
    return sys::CreateDirectory(dir) ? dir : std::u16string();
}
