// nsfdb: builds a Notes database file from a JSON description and dumps a
// database file back as a description.
#include <cstdio>
#include <fstream>
#include <iostream>

#include <unistd.h>

#include "nsf2pst/Version.h"
#include "tools/nsfdb/Description.h"

namespace {
const char kHelp[] = R"HELP(Usage:
  nsfdb build DESCRIPTION.json OUT.nsf   make a Notes database file
  nsfdb dump DATABASE.nsf [--attachments DIR] [--output FILE]
                                         print the database as a description
  nsfdb --help | --version               this text | the version
DATABASE.nsf is our own database file or a real NSF file written by Notes.
--attachments DIR writes the attachments as files into DIR instead of base64;
--output FILE writes the description to FILE instead of standard output
(paths in it are relative to FILE's folder). Notes and attachments that
cannot be read get a line on standard error and an entry in "unreadable".

A description is a JSON object:
  {"title": "...", "replicaId": "16 hex digits",
   "forms": {"Memo": [{"name": "Subject", "type": "text"}, ...]},
   "documents": [{"noteId": 2310, "unid": "32 hex digits", "form": "Memo",
                  "created": ISO, "modified": ISO, "encrypted": false,
                  "sealed": ["Body"], "signed": false, "linksItem": true,
                  "items": {NAME: VALUE, ...} or [{NAME: VALUE}, ...],
                  "attachments": [{"name": "a.pdf", "path"|"text"|"base64": ...,
                                   "created": ISO, "modified": ISO, "flags": n}]}],
   "views": [{"name": "($Inbox)", "folder": true, "noteId": 8250, "type": 0,
              "entries": [2310, {"noteId": 2314, "unread": true}, null]}]}
VALUE: "text" | ["text", ...] | {"datetime": ISO, "dst": true} |
  {"datetimes": [ISO, ...]} | {"range": [ISO, ISO]} | {"number": n} |
  {"numbers": [n, ...]} | {"html": "...", "charset": "utf-16"|"ansi"} |
  {"richtext": ["paragraph", {"text": "run", "bold": true, "italic": true,
    "underline": true, "size": 12, "color": "red"}, {"doclink": {"replicaId",
    "view", "document", "description"}}, {"image": "file.gif"},
    {"attachment": "a.pdf"}]} | {"raw": BASE64, "type": n} |
  {"value": VALUE, "flags": n}; a "$FILE" item {"attachment": "a.pdf"}
  places that attachment among the items.
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

// Writes text to path through a temporary file, so that a failed dump
// leaves no half-written description.
void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path temp = path;
    temp += ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary);
        out << text;
        if (!out.flush()) {
            std::filesystem::remove(temp);
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    std::filesystem::rename(temp, path);
}

int Dump(const std::vector<std::string>& args) {
    std::string database, output;
    nsfdb::CDumpOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        bool hasValue = i + 1 < args.size();
        if (args[i] == "--attachments" && hasValue) options.attachmentFolder = args[++i];
        else if (args[i] == "--output" && hasValue) output = args[++i];
        else if (database.empty() && args[i].compare(0, 2, "--") != 0) database = args[i];
        else return -1;
    }
    if (database.empty()) return -1;
    if (!output.empty()) {
        options.descriptionFolder = std::filesystem::path(output).parent_path();
        if (options.descriptionFolder.empty()) options.descriptionFolder = ".";
    }
    options.report = [](const std::string& line) { std::cerr << line << "\n"; };
    try {
        std::string text = nsfdb::DumpDatabase(database, options).dump(2) + "\n";
        if (output.empty()) std::cout << text;
        else WriteFile(output, text);
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
    if (command == "--version") {
        std::cout << "nsfdb " NSF2PST_VERSION "\n";
        return 0;
    }
    if (command == "build" && argc == 4) return Build(argv[2], argv[3]);
    if (command == "dump") {
        int status = Dump(std::vector<std::string>(argv + 2, argv + argc));
        if (status >= 0) return status;
    }
    std::cerr << kHelp;
    return 2;
}
