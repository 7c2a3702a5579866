// Writing a Unicode PST file from a staging store. The file is built under a
// temporary name next to the target and renamed into place only when it is
// complete, so a failed write never leaves a half file under the PST's name;
// a file that took that name meanwhile is replaced only when asked for.
//
// A PST that would pass the size limit is split: NAME.pst, NAME-2.pst,
// NAME-3.pst, ... each a complete store with the whole folder tree, every
// item in exactly one of them, in its own folder.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pst {

// Outlook refuses to let a Unicode PST grow past MaxLargeFileSize, whose
// default in Outlook 2010 and later is 0xC800 = 51,200 MB (50 GB): Microsoft
// knowledge base article 832925, "How to configure the size limit for both
// .pst and .ost files in Outlook".
constexpr uint64_t kOutlookPstLimit = 51200ull << 20;

// One file of a split PST.
struct CPartStats {
    std::filesystem::path path;  // where the part was placed
    uint64_t messages = 0;       // items (messages and folder-associated ones)
    uint64_t attachments = 0;
    uint64_t fileBytes = 0;
    // The part holds one item that alone passes the size limit: items are
    // never split or left out, so such an item gets a part of its own.
    bool oversized = false;
};

struct CWriteStats {
    uint64_t folders = 0;      // folders of the tree (every part has them all)
    uint64_t messages = 0;     // in all parts
    uint64_t attachments = 0;  // in all parts
    uint64_t fileBytes = 0;    // size of all parts together
    std::map<std::u16string, uint64_t> messagesByClass;  // PR_MESSAGE_CLASS -> count
    std::filesystem::path path;  // where the (first part of the) PST was placed
    std::vector<CPartStats> parts;  // one per file, in order
};

struct CWriteOptions {
    // Called now and then with the number of messages written so far.
    std::function<void(uint64_t written, uint64_t total)> progress;
    // False: a file found under the PST's name when the PST is complete is
    // left alone, and the PST goes under the first free name of the form
    // "NAME (2).pst" instead (CPartStats::path says which). The same holds
    // for every part.
    bool replaceExisting = true;
    // No part passes this many bytes, except one that holds a single item
    // larger than that; 0: no limit.
    uint64_t splitSize = kOutlookPstLimit;
};

// The name of part `part` (1, 2, ...) of the PST pstPath: pstPath itself,
// then NAME-2.pst, NAME-3.pst, ...
std::filesystem::path PstPartPath(const std::filesystem::path& pstPath, int part);

// Writes pstPath (and further parts) from the staging store at stagingPath.
// Returns an empty string on success, otherwise a text saying what went
// wrong (and no file is left under the parts' names).
std::string WritePstFromStaging(const std::filesystem::path& stagingPath,
                                const std::filesystem::path& pstPath,
                                CWriteStats* stats = nullptr,
                                const CWriteOptions& options = {});

}  // namespace pst
