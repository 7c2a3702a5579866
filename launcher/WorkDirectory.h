// The work directory of one conversion: a private folder under the temporary
// path holding Folderpth.txt, setting.txt, cal.txt, config.txt, the run log
// and the staging store. Removed with the object unless it is to be kept.
#pragma once
#include <string>

#include "worker/core/ExportSettings.h"

class CWorkDirectory {
public:
    CWorkDirectory() = default;
    ~CWorkDirectory();
    CWorkDirectory(const CWorkDirectory&) = delete;
    CWorkDirectory& operator=(const CWorkDirectory&) = delete;

    // Creates the folder and its files; false with `error` set when it cannot.
    bool Create(const ExportSettings& settings, std::string& error);
    void Keep() { keep = true; }

    std::u16string Path() const { return path; }  // ends with '/'
    std::u16string File(std::u16string_view name) const { return path + std::u16string(name); }
    std::u16string LogPath() const { return File(u"KelvroNSF2PST_log_.txt"); }

private:
    std::u16string path;
    bool keep = false;
};
