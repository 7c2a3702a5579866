#include "worker/core/ExportSettings.h"

#include <cstring>

#include "platform/sys/Files.h"
#include "worker/core/BinaryCodec.h"

namespace {

void PutMap(CBinaryWriter& w, const SettingsMap& map) {
    w.PutU64(map.size());
    for (const auto& [key, value] : map) {  // std::map iterates in ascending ordinal order
        w.PutCountedString(key);
        w.PutCountedString(value);
    }
}

bool GetMap(CBinaryReader& r, SettingsMap& map) {
    uint64_t count = 0;
    if (!r.GetU64(count)) return false;
    // Every pair takes at least 8 bytes: a count larger than that is corrupt.
    if (count > r.Remaining() / 8) return false;
    for (uint64_t i = 0; i < count; ++i) {
        std::u16string key, value;
        if (!r.GetCountedString(key) || !r.GetCountedString(value)) return false;
        map.emplace(std::move(key), std::move(value));  // a repeated key keeps its first value
    }
    return true;
}

bool GetRanges(CBinaryReader& r, std::vector<DateRange>& ranges) {
    uint64_t count = 0;
    if (!r.GetU64(count)) return false;
    if (count > r.Remaining() / 24) return false;
    ranges.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        DateRange range;
        if (!r.GetF64(range.start) || !r.GetI32(range.startStatus) || !r.GetF64(range.end) ||
            !r.GetI32(range.endStatus))
            return false;
        ranges.push_back(range);
    }
    return true;
}

}  // namespace

std::string SerializeExportSettings(const ExportSettings& s) {
    CBinaryWriter w;
    w.PutU8(s.counterSet);
    w.PutU8(s.includeSystemViews);
    w.PutU8(s.exportRequested);
    w.PutCountedString(s.destinationFolder);
    w.PutCountedString(s.reservedPath);
    w.PutCountedString(s.logFilePath);
    w.PutU32(s.includeAllView);
    w.PutU32(s.reservedFlagA);
    w.PutU32(s.reservedFlagB);
    w.PutU32(s.reservedFlagC);
    w.PutU8(s.translateAddresses);
    w.PutU8(s.useSmtpPattern);
    w.PutU32(s.smtpPatternIndex);
    w.PutCountedString(s.smtpDomain);
    w.PutU8(s.useCsvMap);
    w.PutU8(s.useNamesNsf);
    w.PutU8(s.useFolderMapping);
    w.PutU32(s.removeEncryption);
    w.PutU32(s.saveDocLinks);
    w.PutU32(s.saveInternetHeaders);
    PutMap(w, s.addressMap);
    PutMap(w, s.folderMapping);
    w.PutU64(s.dateRanges.size());
    for (const DateRange& range : s.dateRanges) {
        w.PutF64(range.start);
        w.PutI32(range.startStatus);
        w.PutF64(range.end);
        w.PutI32(range.endStatus);
    }
    return w.Bytes();
}

bool ParseExportSettings(std::string_view bytes, ExportSettings& out) {
    CBinaryReader r(bytes);
    ExportSettings s;
    bool ok = r.GetU8(s.counterSet) && r.GetU8(s.includeSystemViews) && r.GetU8(s.exportRequested) &&
              r.GetCountedString(s.destinationFolder) && r.GetCountedString(s.reservedPath) &&
              r.GetCountedString(s.logFilePath) && r.GetU32(s.includeAllView) && r.GetU32(s.reservedFlagA) &&
              r.GetU32(s.reservedFlagB) && r.GetU32(s.reservedFlagC) && r.GetU8(s.translateAddresses) &&
              r.GetU8(s.useSmtpPattern) && r.GetU32(s.smtpPatternIndex) && r.GetCountedString(s.smtpDomain) &&
              r.GetU8(s.useCsvMap) && r.GetU8(s.useNamesNsf) && r.GetU8(s.useFolderMapping) &&
              r.GetU32(s.removeEncryption) && r.GetU32(s.saveDocLinks) && r.GetU32(s.saveInternetHeaders) &&
              GetMap(r, s.addressMap) && GetMap(r, s.folderMapping) && GetRanges(r, s.dateRanges);
    if (!ok) return false;
    out = std::move(s);
    return true;
}

bool WriteExportSettings(const std::u16string& path, const ExportSettings& settings) {
    sys::CFile file;
    if (!file.CreateOrTruncate(path)) return false;
    return file.Write(SerializeExportSettings(settings));
}

bool ReadExportSettings(const std::u16string& path, ExportSettings& settings) {
    sys::CFile file;
    if (!file.OpenExisting(path)) return false;
    std::string bytes(file.Size(), '\0');
    if (!file.ReadExact(bytes.data(), bytes.size())) return false;
    return ParseExportSettings(bytes, settings);
}
