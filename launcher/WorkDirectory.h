// The work directory of one conversion: a private folder under the temporary
// path holding Folderpth.txt, setting.txt, cal.txt, config.txt, the run log
// and the staging store. Removed with the object unless it is to be kept.
//
// While a conversion runs, its folder names the process that owns it (PID,
// start time and PID namespace in "owner.pid"). Creating a work directory
// first removes the folders of conversions whose owner is gone (killed, or
// lost with the machine); folders whose owner still runs, kept folders and
// folders without an owner record are never touched.
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
    // Creates an empty folder of the same kind (owner record, removed with
    // the object, abandoned ones removed first) under `temp` (ending with '/').
    bool CreateEmpty(const std::u16string& temp, std::string& error);
    // The folder stays after the conversion, and later conversions leave it alone.
    void Keep();

    std::u16string Path() const { return path; }  // ends with '/'
    std::u16string File(std::u16string_view name) const { return path + std::u16string(name); }
    std::u16string LogPath() const { return File(u"KelvroNSF2PST_log_.txt"); }

    // Removes the work directories under `temp` (ending with '/') whose owner
    // process has ended; returns how many were removed.
    static size_t RemoveAbandoned(const std::u16string& temp);

private:
    std::u16string path;
    bool keep = false;
};
