// Damaged copies of the sample databases: cut at every 4 KB boundary and
// with single bytes changed. Every read either gives what the whole file
// gives or fails with a CNsfError (the LN classes turn it into a status);
// nothing crashes, hangs or reads out of bounds (the sanitizer build runs
// these too).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "platform/notes/ods/OdsDatabase.h"
#include "tests/notes_ods/OdsSamples.h"

namespace {
// Note ID -> its items, flattened; attachments under the note ID's
// complement, so that a lost attachment does not hide its note.
using CRead = std::map<uint64_t, std::string>;

std::string Flatten(const notes::CNoteRow& note) {
    std::string out = notes::UnidText(note.unid);
    for (const auto& item : note.items) out += item.name + '\0' + std::to_string(item.flags) + '\0' + item.raw + '\0';
    return out;
}

// Reads everything a conversion reads; notes that fail are left out. Only
// CNsfError may escape a single read.
CRead ReadAll(const std::string& path, size_t* failures) {
    CRead read;
    std::unique_ptr<notes::CNotesSource> db;
    try {
        db = notes::OpenNotesSource(path);
    } catch (const notes::CNsfError&) {
        ++*failures;
        return read;
    }
    auto* ods = dynamic_cast<notes::ods::COdsDatabase*>(db.get());
    if (!ods) return read;
    for (const auto& [id, entry] : ods->Container().Rrv()) {
        try {
            auto note = db->ReadNote(id);
            if (!note) continue;
            read[id] = Flatten(*note);
            uint64_t attachment = 0;
            for (const auto& item : note->items)
                if (auto file = notes::DecodeFileObject(item.raw)) {
                    ++attachment;
                    try {
                        if (auto bytes = db->ReadObject(*file)) read[(uint64_t{1} << 40) + uint64_t{id} * 1024 + attachment] = *bytes;
                    } catch (const notes::CNsfError&) {
                        ++*failures;
                    }
                }
        } catch (const notes::CNsfError&) {
            ++*failures;
        }
    }
    try {
        db->ReadViews(true);
        db->ReadForms();
    } catch (const notes::CNsfError&) {
        ++*failures;
    }
    return read;
}

class CScratchCopy {
public:
    explicit CScratchCopy(const std::string& from) {
        path = (std::filesystem::temp_directory_path() / ("ods-damage-" + std::to_string(getpid()) + ".nsf")).string();
        std::filesystem::copy_file(from, path, std::filesystem::copy_options::overwrite_existing);
    }
    ~CScratchCopy() { std::filesystem::remove(path); }
    void Truncate(size_t size) { ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0); }
    void Poke(size_t at, char value) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f.put(value);
    }
    std::string path;
};
}  // namespace

// What a cut file still gives is what the whole file gives: a note is read
// right or not at all.
TEST(OdsDamage, TruncatedAtEvery4KBoundary) {
    for (const auto& name : AllSamples()) {
        SCOPED_TRACE(name);
        size_t failures = 0;
        CRead whole = ReadAll(SamplePath(name), &failures);
        ASSERT_EQ(failures, 0u);
        CScratchCopy copy(SamplePath(name));
        size_t size = std::filesystem::file_size(copy.path);
        size_t readBeforeEnd = 0;
        for (size_t cut = (size - 1) / 4096 * 4096; cut + 4096 > 4096; cut -= 4096) {
            copy.Truncate(cut);
            CRead part = ReadAll(copy.path, &failures);
            for (const auto& [id, flat] : part) EXPECT_TRUE(flat == whole.at(id)) << "note " << id << " cut at " << cut;
            if (cut + 4096 >= size) readBeforeEnd = part.size();
        }
        // Cutting the last, unused block loses no note.
        EXPECT_GT(readBeforeEnd, 0u);
    }
}

TEST(OdsDamage, SingleChangedBytesFailCleanly) {
    std::mt19937 random(1234);
    for (const auto& name : AllSamples()) {
        SCOPED_TRACE(name);
        CScratchCopy copy(SamplePath(name));
        std::string original;
        {
            std::ifstream in(copy.path, std::ios::binary);
            original.assign(std::istreambuf_iterator<char>(in), {});
        }
        for (int round = 0; round < 24; ++round) {
            // Half the changes hit the header structures, where they matter most.
            size_t at = round % 2 ? random() % original.size() : random() % std::min<size_t>(original.size(), 0x20000);
            char changed = static_cast<char>(original[at] ^ static_cast<char>(1 + random() % 255));
            copy.Poke(at, changed);
            size_t failures = 0;
            EXPECT_NO_FATAL_FAILURE(ReadAll(copy.path, &failures)) << "byte " << at;
            copy.Poke(at, original[at]);
        }
    }
}
