// Item values of a description into raw item values (the data-type word,
// then the value in Notes' canonical form). Build uses it for every item;
// dump uses it to check that what it writes builds back to the same value.
#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "tools/nsfdb/Description.h"

namespace nsfdb {

// Where an error happened, for the message.
struct CPlace {
    std::string document;   // e.g. "document 3 (noteId 2310)"
    std::string item;
    [[noreturn]] void Fail(const std::string& what) const;
};

// What the values of one document share while it is built.
struct CDocContext {
    CPlace place;
    std::vector<notes::CNoteLink> links;     // of the doclinks built so far, in order
    std::set<std::string> attachmentNames;   // LMBCS
    std::filesystem::path baseDir;
};

std::string Lmbcs(const std::string& utf8);
std::string ReadFile(const std::filesystem::path& path, const CPlace& place);
std::string StringOf(const Json& v, const CPlace& place, const char* what);
// A time given as an ISO string or {"datetime": ISO, "dst": bool}.
TIMEDATE TimeOf(const Json& v, const CPlace& place);
bool IsSummaryType(WORD type);

// Raw values of one item value: one, or several for rich text past the item
// limit and for a list of raw values. Throws CDescriptionError.
std::vector<std::string> ValuesOf(const Json& v, CDocContext& ctx);

}  // namespace nsfdb
