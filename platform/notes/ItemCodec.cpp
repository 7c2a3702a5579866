#include "platform/notes/ItemCodec.h"

#include <cstdio>
#include <cstring>

namespace notes {

void PutWord(std::string& out, WORD w) {
    out.push_back(static_cast<char>(w & 0xFF));
    out.push_back(static_cast<char>(w >> 8));
}
void PutDword(std::string& out, DWORD d) {
    PutWord(out, static_cast<WORD>(d & 0xFFFF));
    PutWord(out, static_cast<WORD>(d >> 16));
}
void PutTime(std::string& out, const TIMEDATE& td) {
    PutDword(out, td.Innards[0]);
    PutDword(out, td.Innards[1]);
}
WORD GetWord(const std::string& in, size_t at) {
    return static_cast<WORD>(static_cast<uint8_t>(in[at]) | static_cast<uint8_t>(in[at + 1]) << 8);
}
DWORD GetDword(const std::string& in, size_t at) {
    return GetWord(in, at) | static_cast<DWORD>(GetWord(in, at + 2)) << 16;
}
TIMEDATE GetTime(const std::string& in, size_t at) {
    TIMEDATE td{};
    td.Innards[0] = GetDword(in, at);
    td.Innards[1] = GetDword(in, at + 4);
    return td;
}

WORD RawType(const std::string& raw) { return raw.size() < 2 ? static_cast<WORD>(TYPE_ERROR) : GetWord(raw, 0); }

namespace {
std::string WithType(WORD type) {
    std::string out;
    PutWord(out, type);
    return out;
}
void PutDouble(std::string& out, double n) {
    uint64_t bits;
    std::memcpy(&bits, &n, 8);
    PutDword(out, static_cast<DWORD>(bits));
    PutDword(out, static_cast<DWORD>(bits >> 32));
}
double GetDouble(const std::string& in, size_t at) {
    uint64_t bits = GetDword(in, at) | static_cast<uint64_t>(GetDword(in, at + 4)) << 32;
    double n;
    std::memcpy(&n, &bits, 8);
    return n;
}
}  // namespace

std::string EncodeText(const std::string& lmbcs) { return WithType(TYPE_TEXT) + lmbcs; }

std::string EncodeTextList(const std::vector<std::string>& values) {
    std::string out = WithType(TYPE_TEXT_LIST);
    PutWord(out, static_cast<WORD>(values.size()));
    for (const auto& v : values) PutWord(out, static_cast<WORD>(v.size()));
    for (const auto& v : values) out += v;
    return out;
}

std::optional<std::vector<std::string>> DecodeTextValues(const std::string& raw) {
    WORD type = RawType(raw);
    if (type == TYPE_TEXT) return std::vector<std::string>{raw.substr(2)};
    if (type != TYPE_TEXT_LIST || raw.size() < 4) return std::nullopt;
    size_t count = GetWord(raw, 2);
    size_t pos = 4 + 2 * count;
    if (raw.size() < pos) return std::nullopt;
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        size_t len = GetWord(raw, 4 + 2 * i);
        if (pos + len > raw.size()) return std::nullopt;
        out.push_back(raw.substr(pos, len));
        pos += len;
    }
    return out;
}

std::string EncodeNumber(double n) {
    std::string out = WithType(TYPE_NUMBER);
    PutDouble(out, n);
    return out;
}

std::string EncodeNumberList(const std::vector<double>& values) {
    std::string out = WithType(TYPE_NUMBER_RANGE);
    PutWord(out, static_cast<WORD>(values.size()));
    PutWord(out, 0);
    for (double v : values) PutDouble(out, v);
    return out;
}

std::optional<std::vector<double>> DecodeNumbers(const std::string& raw) {
    WORD type = RawType(raw);
    if (type == TYPE_NUMBER && raw.size() == 10) return std::vector<double>{GetDouble(raw, 2)};
    if (type != TYPE_NUMBER_RANGE || raw.size() < 6) return std::nullopt;
    size_t count = GetWord(raw, 2);
    if (raw.size() < 6 + 8 * count) return std::nullopt;
    std::vector<double> out;
    for (size_t i = 0; i < count; ++i) out.push_back(GetDouble(raw, 6 + 8 * i));
    return out;
}

std::string EncodeTime(const TIMEDATE& td) {
    std::string out = WithType(TYPE_TIME);
    PutTime(out, td);
    return out;
}

std::string EncodeTimeList(const CTimeValues& values) {
    std::string out = WithType(TYPE_TIME_RANGE);
    PutWord(out, static_cast<WORD>(values.times.size()));
    PutWord(out, static_cast<WORD>(values.ranges.size()));
    for (const auto& t : values.times) PutTime(out, t);
    for (const auto& r : values.ranges) {
        PutTime(out, r.Lower);
        PutTime(out, r.Upper);
    }
    return out;
}

std::optional<CTimeValues> DecodeTimes(const std::string& raw) {
    WORD type = RawType(raw);
    CTimeValues out;
    if (type == TYPE_TIME && raw.size() == 10) {
        out.times.push_back(GetTime(raw, 2));
        return out;
    }
    if (type != TYPE_TIME_RANGE || raw.size() < 6) return std::nullopt;
    size_t n = GetWord(raw, 2), r = GetWord(raw, 4);
    if (raw.size() < 6 + 8 * n + 16 * r) return std::nullopt;
    for (size_t i = 0; i < n; ++i) out.times.push_back(GetTime(raw, 6 + 8 * i));
    for (size_t i = 0; i < r; ++i) {
        size_t at = 6 + 8 * n + 16 * i;
        out.ranges.push_back({GetTime(raw, at), GetTime(raw, at + 8)});
    }
    return out;
}

std::string EncodeNoteLinks(const std::vector<CNoteLink>& links) {
    std::string out = WithType(TYPE_NOTELINK_LIST);
    PutWord(out, static_cast<WORD>(links.size()));
    for (const auto& l : links) {
        PutTime(out, l.file);
        PutTime(out, l.view.File);
        PutTime(out, l.view.Note);
        PutTime(out, l.note.File);
        PutTime(out, l.note.Note);
    }
    return out;
}

std::optional<std::vector<CNoteLink>> DecodeNoteLinks(const std::string& raw) {
    if (RawType(raw) != TYPE_NOTELINK_LIST || raw.size() < 4) return std::nullopt;
    size_t n = GetWord(raw, 2);
    if (raw.size() < 4 + 40 * n) return std::nullopt;
    std::vector<CNoteLink> out;
    for (size_t i = 0; i < n; ++i) {
        size_t at = 4 + 40 * i;
        CNoteLink l;
        l.file = GetTime(raw, at);
        l.view = {GetTime(raw, at + 8), GetTime(raw, at + 16)};
        l.note = {GetTime(raw, at + 24), GetTime(raw, at + 32)};
        out.push_back(l);
    }
    return out;
}

// FILEOBJECT: OBJECT_DESCRIPTOR (ObjectType WORD, RRV DWORD), FileNameLength,
// HostType, CompressionType, FileAttributes, Flags (WORDs), FileSize
// (DWORD), FileCreated, FileModified (TIMEDATEs), then the name.
namespace {
constexpr WORD kObjectFile = 0;
constexpr size_t kFileObjectSize = 6 + 10 + 4 + 16;
}  // namespace

std::string EncodeFileObject(const CFileObject& f) {
    std::string out = WithType(TYPE_OBJECT);
    PutWord(out, kObjectFile);
    PutDword(out, f.rrv);
    PutWord(out, static_cast<WORD>(f.name.size()));
    PutWord(out, 0);   // host type
    PutWord(out, 0);   // no compression
    PutWord(out, 0);   // attributes
    PutWord(out, f.flags);
    PutDword(out, f.fileSize);
    PutTime(out, f.created);
    PutTime(out, f.modified);
    return out + f.name;
}

std::optional<CFileObject> DecodeFileObject(const std::string& raw) {
    if (RawType(raw) != TYPE_OBJECT || raw.size() < 2 + kFileObjectSize) return std::nullopt;
    if (GetWord(raw, 2) != kObjectFile) return std::nullopt;
    CFileObject f;
    f.rrv = GetDword(raw, 4);
    size_t nameLength = GetWord(raw, 8);
    f.compression = GetWord(raw, 12);
    f.flags = GetWord(raw, 16);
    f.fileSize = GetDword(raw, 18);
    f.created = GetTime(raw, 22);
    f.modified = GetTime(raw, 30);
    if (raw.size() < 38 + nameLength) return std::nullopt;
    f.name = raw.substr(38, nameLength);
    return f;
}

std::string ReplicaText(const TIMEDATE& id) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%08X%08X", id.Innards[1], id.Innards[0]);
    return buf;
}

namespace {
std::optional<DWORD> HexWord(const std::string& text, size_t at) {
    DWORD v = 0;
    for (size_t i = at; i < at + 8; ++i) {
        char c = text[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return std::nullopt;
        v = v << 4 | static_cast<DWORD>(d);
    }
    return v;
}
}  // namespace

std::optional<TIMEDATE> ParseReplicaText(const std::string& text) {
    std::string t = text;
    if (t.size() == 17 && t[8] == ':') t.erase(8, 1);
    if (t.size() != 16) return std::nullopt;
    auto hi = HexWord(t, 0), lo = HexWord(t, 8);
    if (!hi || !lo) return std::nullopt;
    TIMEDATE id{};
    id.Innards[1] = *hi;
    id.Innards[0] = *lo;
    return id;
}

std::string UnidText(const UNID& id) {
    return ReplicaText(id.File) + ReplicaText(id.Note);
}

std::optional<UNID> ParseUnidText(const std::string& text) {
    if (text.size() != 32) return std::nullopt;
    auto file = ParseReplicaText(text.substr(0, 16));
    auto note = ParseReplicaText(text.substr(16));
    if (!file || !note) return std::nullopt;
    return UNID{*file, *note};
}

}  // namespace notes
