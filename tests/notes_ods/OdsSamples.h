// Test helper: paths of the real Notes databases in tests/data/nsf-samples
// and small readers of item values.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/NotesSource.h"
#include "platform/notes/NotesState.h"

inline std::filesystem::path SampleDir() { return std::filesystem::path(NSF2PST_SOURCE_DIR) / "tests/data/nsf-samples"; }
inline std::string SamplePath(const std::string& name) { return (SampleDir() / name).string(); }

inline std::vector<std::string> AllSamples() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(SampleDir()))
        if (e.path().extension() == ".nsf") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline const notes::CItemRow* Item(const notes::CNoteRow& note, const std::string& name) {
    for (const auto& item : note.items)
        if (notes::SameName(item.name, name)) return &item;
    return nullptr;
}

inline std::vector<std::string> Texts(const notes::CNoteRow& note, const std::string& name) {
    const notes::CItemRow* item = Item(note, name);
    if (!item) return {};
    auto v = notes::DecodeTextValues(item->raw);
    return v ? *v : std::vector<std::string>{};
}
