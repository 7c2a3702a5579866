// Writing a Unicode PST file from a staging store. The file is built under a
// temporary name next to the target and renamed into place only when it is
// complete, so a failed write never leaves a half file under the PST's name;
// a file that took that name meanwhile is replaced only when asked for.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace pst {

struct CWriteStats {
    uint64_t folders = 0;
    uint64_t messages = 0;
    uint64_t attachments = 0;
    uint64_t fileBytes = 0;  // size of the written PST
    std::map<std::u16string, uint64_t> messagesByClass;  // PR_MESSAGE_CLASS -> count
    std::filesystem::path path;  // where the PST was placed
};

struct CWriteOptions {
    // Called now and then with the number of messages written so far.
    std::function<void(uint64_t written, uint64_t total)> progress;
    // False: a file found under the PST's name when the PST is complete is
    // left alone, and the PST goes under the first free name of the form
    // "NAME (2).pst" instead (CWriteStats::path says which).
    bool replaceExisting = true;
};

// Writes pstPath from the staging store at stagingPath. Returns an empty
// string on success, otherwise a text saying what went wrong (and no file
// is left under pstPath's name).
std::string WritePstFromStaging(const std::filesystem::path& stagingPath,
                                const std::filesystem::path& pstPath,
                                CWriteStats* stats = nullptr,
                                const CWriteOptions& options = {});

}  // namespace pst
