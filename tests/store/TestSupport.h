// Helpers of the store tests: temporary directories, files, base64 and
// property look-ups on the in-memory item model.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/store/ItemCommon.h"
#include "platform/store/MapiTags.h"
#include "platform/store/MessageData.h"
#include "platform/store/StoreText.h"

namespace storetest {

class CTempDir {
public:
    CTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "storetestXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~CTempDir() { std::filesystem::remove_all(path); }
    std::string File(const std::string& name, const std::string& bytes) const {
        std::string full = path + "/" + name;
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }
    std::string path;
};

// Points TMPDIR somewhere for the life of the guard.
class CTmpDirGuard {
public:
    explicit CTmpDirGuard(const std::string& dir) {
        if (const char* old = getenv("TMPDIR")) previous = old, hadPrevious = true;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~CTmpDirGuard() {
        if (hadPrevious) setenv("TMPDIR", previous.c_str(), 1);
        else unsetenv("TMPDIR");
    }

private:
    std::string previous;
    bool hadPrevious = false;
};

inline std::string Base64(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6) out.push_back(alphabet[(v >> k) & 63]);
    }
    if (i + 1 == bytes.size()) {
        uint32_t v = uint8_t(bytes[i]) << 16;
        out += std::string{alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        out += std::string{alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

inline std::string EncodedWord(const std::string& utf8) { return "=?utf-8?B?" + Base64(utf8) + "?="; }

inline std::u16string U(const std::string& utf8) { return store::FromUtf8(utf8); }

inline std::u16string Str(const store::CPropertyBag& bag, uint32_t tag) { return bag.GetString(tag); }

inline std::u16string NamedStr(const store::CPropertyBag& bag, const store::CNamedKey& key) {
    const store::CPropValue* v = bag.GetNamed(key);
    return v && std::holds_alternative<std::u16string>(*v) ? std::get<std::u16string>(*v) : u"";
}

inline std::string Bin(const store::CPropertyBag& bag, uint32_t tag) {
    const store::CPropValue* v = bag.Get(tag);
    return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : "";
}

inline int64_t Time(const store::CPropertyBag& bag, uint32_t tag) {
    const store::CPropValue* v = bag.Get(tag);
    return v && std::holds_alternative<store::CFileTime>(*v) ? std::get<store::CFileTime>(*v).value : 0;
}

inline int64_t NamedTime(const store::CPropertyBag& bag, const store::CNamedKey& key) {
    const store::CPropValue* v = bag.GetNamed(key);
    return v && std::holds_alternative<store::CFileTime>(*v) ? std::get<store::CFileTime>(*v).value : 0;
}

// FILETIME of a UTC calendar time.
inline int64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    store::CFileTime t;
    store::MakeUtcFileTime(y, mo, d, h, mi, s, t);
    return t.value;
}

}  // namespace storetest
