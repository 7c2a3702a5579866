#include "launcher/WorkDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* workPrefix = "nsf2pst-work-";
constexpr const char16_t* ownerFileName = u"owner.pid";

// The start time of a process in clock ticks since boot (field 22 of
// /proc/PID/stat); empty when there is no such process. With the PID it
// names one process, even after the PID has been given to another.
std::string StartTimeOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t nameEnd = stat.rfind(')');  // the command name may hold blanks and parentheses
    if (nameEnd == std::string::npos) return {};
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
        if (number == 22) return field;
    }
    return {};
}

// The PID namespace of this process: PIDs of another one (a container sharing
// the temporary directory) cannot be checked from here.
std::string PidNamespace() {
    std::error_code ec;
    fs::path link = fs::read_symlink("/proc/self/ns/pid", ec);
    return ec ? std::string() : link.string();
}

std::string OwnerRecord() {
    return std::to_string(getpid()) + " " + StartTimeOf(getpid()) + " " + PidNamespace() + "\n";
}

// True only when the record names a process of our namespace that has ended.
bool OwnerHasEnded(const std::string& record) {
    std::istringstream in(record);
    long pid = 0;
    std::string startTime, pidNamespace;
    if (!(in >> pid >> startTime >> pidNamespace) || pid <= 0) return false;
    if (pidNamespace != PidNamespace()) return false;
    return StartTimeOf(static_cast<pid_t>(pid)) != startTime;
}

// A folder of ours, no link, named like a work directory, whose owner has ended.
bool IsAbandoned(const fs::directory_entry& entry) {
    if (entry.path().filename().string().rfind(workPrefix, 0) != 0) return false;
    struct stat st;
    if (lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    std::string record;
    if (!sys::ReadWholeFile(sys::Utf8ToUtf16(entry.path().string() + "/") + ownerFileName, record)) return false;
    return OwnerHasEnded(record);
}

}  // namespace

CWorkDirectory::~CWorkDirectory() {
    if (path.empty() || keep) return;
    std::error_code ignored;
    fs::remove_all(sys::Utf16ToUtf8(path), ignored);
}

void CWorkDirectory::Keep() {
    keep = true;
    if (!path.empty()) sys::DeleteFile(File(ownerFileName));
}

size_t CWorkDirectory::RemoveAbandoned(const std::u16string& temp) {
    size_t removed = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sys::Utf16ToUtf8(temp), ec)) {
        if (!IsAbandoned(entry)) continue;
        std::error_code ignored;
        if (fs::remove_all(entry.path(), ignored) > 0) ++removed;
    }
    return removed;
}

bool CWorkDirectory::CreateEmpty(const std::u16string& temp, std::string& error) {
    RemoveAbandoned(temp);
    std::string pattern = sys::Utf16ToUtf8(temp) + workPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot create a work directory in " + sys::Utf16ToUtf8(temp);
        return false;
    }
    path = sys::Utf8ToUtf16(pattern) + u"/";
    if (sys::WriteWholeFile(File(ownerFileName), OwnerRecord())) return true;
    error = "cannot write the work files in " + pattern;
    return false;
}

bool CWorkDirectory::Create(const ExportSettings& given, std::string& error) {
    std::u16string temp = sys::TempPath();
    if (temp.empty()) {
        error = "no private temporary directory can be had (set TMPDIR)";
        return false;
    }
    if (!CreateEmpty(temp, error)) return false;
    ExportSettings settings = given;
    settings.logFilePath = LogPath();
    if (settings.destinationFolder.empty()) settings.destinationFolder = path;
    bool ok = sys::WriteWholeFile(File(u"Folderpth.txt"), "") && sys::WriteWholeFile(File(u"setting.txt"), "") &&
              sys::WriteWholeFile(File(u"cal.txt"), "") && WriteExportSettings(File(u"config.txt"), settings) &&
              sys::WriteWholeFile(LogPath(), "\xFF\xFE");
    if (!ok) error = "cannot write the work files in " + sys::Utf16ToUtf8(path);
    return ok;
}
