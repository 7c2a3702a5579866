// Test helper: a Notes database file built from a description in a private
// temporary directory, and a session with that database open.
#pragma once
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <unistd.h>

#include "platform/notes/LNNotes.h"
#include "tools/nsfdb/Description.h"

class CTestDatabase {
public:
    explicit CTestDatabase(const std::string& json, const std::map<std::string, std::string>& files = {}) {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("nsf-notes-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir);
        for (const auto& [name, bytes] : files) Write(name, bytes);
        path = dir / "test.nsf";
        nsfdb::BuildDatabase(nsfdb::Json::parse(json), dir, path);
    }
    ~CTestDatabase() {
        database.Close();
        session.Term();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void Write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // Opens the database through the session.
    LNDatabase& Open() {
        session.Initialize();
        if (session.GetDatabase(path.string().c_str(), &database) || database.Open())
            throw std::runtime_error("cannot open test database");
        return database;
    }
    LNDocument OpenDocument(LNNOTEID id) {
        LNDocument doc;
        if (database.GetDocument(id, &doc) || doc.Open()) throw std::runtime_error("cannot open document");
        return doc;
    }

    std::filesystem::path dir, path;
    LNNotesSession session;
    LNDatabase database;
};

// A small GIF and JPEG header with the sizes the image header records.
inline std::string TestGif(int width, int height, char fill) {
    std::string g = "GIF89a";
    g += static_cast<char>(width);
    g += '\0';
    g += static_cast<char>(height);
    g += '\0';
    g += std::string(20, fill);
    return g;
}

inline std::string TestJpeg() {
    return std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x05\x00\x04\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 23);
}
