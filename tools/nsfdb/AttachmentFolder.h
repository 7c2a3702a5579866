// The folder a dump writes attachment files into. File names come from the
// attachments' names, cleaned so that they stay inside the folder and are
// valid on common file systems; two attachments never share a file (the
// later one gets " (2)", " (3)", ... before its extension). A file of an
// earlier dump with the same name is replaced; a symbolic link there is
// replaced, never followed.
#pragma once
#include <filesystem>
#include <set>
#include <string>

namespace nsfdb {

class CAttachmentFolder {
public:
    // Creates the folder when needed; throws std::runtime_error.
    explicit CAttachmentFolder(const std::filesystem::path& folder);
    // Writes the bytes under a cleaned, unused form of name (UTF-8) and
    // returns the file's path. Throws std::runtime_error and leaves no file
    // when it cannot write all bytes.
    std::filesystem::path Write(const std::string& name, const std::string& bytes);

private:
    std::filesystem::path Unused(const std::string& cleaned);
    std::filesystem::path folder;
    std::set<std::string> taken;   // lower-case names written by this dump
};

// A file name for an attachment name: no path separators, control or
// reserved characters, no leading dot, at most 200 bytes.
std::string CleanFileName(const std::string& name);

}  // namespace nsfdb
