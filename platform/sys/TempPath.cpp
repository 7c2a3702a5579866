#include "platform/sys/TempPath.h"

#include <pwd.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

namespace sys {
namespace {

std::string UserName() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(getuid());
}

}  // namespace

std::u16string TempPath() {
    std::string dir;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
        dir = tmp;
    } else {
        dir = "/tmp/nsf2pst-" + UserName();
        // Ours alone (mode 0700) or nothing: a directory that others can
        // write into may hold links planted for the files we create.
        if (!CreateDirectory(Utf8ToUtf16(dir))) return {};
    }
    if (dir.back() != '/') dir += '/';
    return Utf8ToUtf16(dir);
}

std::u16string MemoryTempPath(uint64_t neededBytes) {
    constexpr long kTmpfsMagic = 0x01021994;
    struct statfs fs;
    if (statfs("/dev/shm", &fs) != 0 || static_cast<long>(fs.f_type) != kTmpfsMagic) return {};
    if (static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_bsize) < neededBytes) return {};
    const std::string dir = "/dev/shm/nsf2pst-" + UserName() + "/";
    return CreateDirectory(Utf8ToUtf16(dir)) ? Utf8ToUtf16(dir) : std::u16string();
}

std::u16string SafeFileName(std::u16string_view name) {
    std::u16string out;
    out.reserve(name.size());
    for (char16_t c : name) {
        bool bad = c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' ||
                   c == u'"' || c == u'<' || c == u'>' || c == u'|';
        out.push_back(bad ? u'_' : c);
    }
    if (out.empty() || out == u"." || out == u"..") return u"_";
    if (out.size() > 200) out.resize(200);  // stay well inside NAME_MAX bytes
    return out;
}

}  // namespace sys
