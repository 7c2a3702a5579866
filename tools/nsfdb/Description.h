// Notes database descriptions: the JSON form of a Notes database file that
// people and tests write by hand (documented in docs/nsfdb.md). Build turns
// a description into a database file; Dump turns a database file back into a
// description, so that build, dump and build again give the same database.
#pragma once
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace notes {
class CNotesSource;
}

namespace nsfdb {

using Json = nlohmann::ordered_json;

// A description that cannot be built; the message names the document and
// the item.
struct CDescriptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Builds the database file out. Paths inside the description are relative
// to baseDir. On any error nothing is left at out (an existing file there is
// kept unchanged) and CDescriptionError or std::runtime_error is thrown.
void BuildDatabase(const Json& description, const std::filesystem::path& baseDir, const std::filesystem::path& out);

struct CDumpOptions {
    // When set, attachments are written as files into this folder and named
    // by "path" instead of being given as base64.
    std::filesystem::path attachmentFolder;
    // The folder the description will be read from: paths are relative to it.
    std::filesystem::path descriptionFolder = ".";
    // Receives one line for each note or attachment that cannot be read
    // ("note 2310: reason"); the dump goes on without it.
    std::function<void(const std::string&)> report;
};

// Reads the database (our own database file or a real NSF file) into a
// description. Notes and attachments that cannot be read are listed under
// "unreadable"; other failures throw std::runtime_error.
Json DumpDatabase(const std::filesystem::path& database, const CDumpOptions& options = {});
Json DumpSource(notes::CNotesSource& source, const CDumpOptions& options = {});

std::string Base64Encode(const std::string& bytes);
// Throws std::invalid_argument for text that is not base64.
std::string Base64Decode(const std::string& text);

}  // namespace nsfdb
