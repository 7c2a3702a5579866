// nsfdb: builds a Notes database file from a JSON description and dumps a
// database file back as a description.
#include <fstream>
#include <iostream>

#include "tools/nsfdb/Description.h"

namespace {
const char kHelp[] = R"HELP(Usage:
  nsfdb build DESCRIPTION.json OUT.nsf   make a Notes database file
  nsfdb dump DATABASE.nsf                print the database as a description

A description is a JSON object:
  {"title": "...", "replicaId": "16 hex digits",
   "forms": {"Memo": [{"name": "Subject", "type": "text"}, ...]},
   "documents": [{"noteId": 2310, "unid": "32 hex digits", "form": "Memo",
                  "created": ISO, "modified": ISO, "encrypted": false,
                  "sealed": ["Body"], "signed": false, "linksItem": true,
                  "items": {NAME: VALUE, ...},
                  "attachments": [{"name": "a.pdf", "path"|"text"|"base64": ...}]}],
   "views": [{"name": "($Inbox)", "folder": true, "noteId": 8250, "type": 0,
              "entries": [2310, {"noteId": 2314, "unread": true}, null]}]}
VALUE: "text" | ["text", ...] | {"datetime": ISO, "dst": true} |
  {"datetimes": [ISO, ...]} | {"range": [ISO, ISO]} | {"number": n} |
  {"numbers": [n, ...]} | {"html": "...", "charset": "utf-16"|"ansi"} |
  {"richtext": ["paragraph", {"text": "run", "bold": true, "italic": true,
    "underline": true, "size": 12, "color": "red"}, {"doclink": {"replicaId",
    "view", "document", "description"}}, {"image": "file.gif"},
    {"attachment": "a.pdf"}]} | {"value": VALUE, "flags": n}
Note IDs and UNIDs are assigned when absent; paths are relative to the
description. The full format is documented in docs/nsfdb.md.
)HELP";

int Build(const char* descriptionPath, const char* outPath) {
    std::ifstream in(descriptionPath);
    if (!in) {
        std::cerr << "nsfdb: cannot read " << descriptionPath << "\n";
        return 1;
    }
    nsfdb::Json description;
    try {
        description = nsfdb::Json::parse(in);
    } catch (const nlohmann::json::parse_error& e) {
        std::cerr << "nsfdb: " << descriptionPath << " is not valid JSON: " << e.what() << "\n";
        return 1;
    }
    try {
        std::filesystem::path base = std::filesystem::path(descriptionPath).parent_path();
        nsfdb::BuildDatabase(description, base.empty() ? "." : base, outPath);
    } catch (const std::exception& e) {
        std::cerr << "nsfdb: " << descriptionPath << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int Dump(const char* databasePath) {
    try {
        std::cout << nsfdb::DumpDatabase(databasePath).dump(2) << "\n";
    } catch (const std::exception& e) {
        std::cerr << "nsfdb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return 0;
    }
    if (command == "build" && argc == 4) return Build(argv[2], argv[3]);
    if (command == "dump" && argc == 3) return Dump(argv[2]);
    std::cerr << kHelp;
    return 2;
}
