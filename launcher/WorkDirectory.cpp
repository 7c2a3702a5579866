#include "launcher/WorkDirectory.h"

#include <cstdlib>
#include <filesystem>

#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"

CWorkDirectory::~CWorkDirectory() {
    if (path.empty() || keep) return;
    std::error_code ignored;
    std::filesystem::remove_all(sys::Utf16ToUtf8(path), ignored);
}

bool CWorkDirectory::Create(const ExportSettings& given, std::string& error) {
    std::u16string temp = sys::TempPath();
    if (temp.empty()) {
        error = "no private temporary directory can be had (set TMPDIR)";
        return false;
    }
    std::string pattern = sys::Utf16ToUtf8(temp) + "nsf2pst-work-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot create a work directory in " + sys::Utf16ToUtf8(temp);
        return false;
    }
    path = sys::Utf8ToUtf16(pattern) + u"/";
    ExportSettings settings = given;
    settings.logFilePath = LogPath();
    if (settings.destinationFolder.empty()) settings.destinationFolder = path;
    bool ok = sys::WriteWholeFile(File(u"Folderpth.txt"), "") && sys::WriteWholeFile(File(u"setting.txt"), "") &&
              sys::WriteWholeFile(File(u"cal.txt"), "") && WriteExportSettings(File(u"config.txt"), settings) &&
              sys::WriteWholeFile(LogPath(), "\xFF\xFE");
    if (!ok) error = "cannot write the work files in " + pattern;
    return ok;
}
