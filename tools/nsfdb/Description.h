// Notes database descriptions: the JSON form of a Notes database file that
// people and tests write by hand (documented in docs/nsfdb.md). Build turns
// a description into a database file; Dump turns a database file back into a
// description, so that build, dump and build again give the same database.
#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

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

// Reads the database file into a description; throws std::runtime_error.
Json DumpDatabase(const std::filesystem::path& database);

std::string Base64Encode(const std::string& bytes);
// Throws std::invalid_argument for text that is not base64.
std::string Base64Decode(const std::string& text);

}  // namespace nsfdb
