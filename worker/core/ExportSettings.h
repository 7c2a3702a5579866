// The export options the viewer hands to the worker through config.txt: the
// record ExportSettings, its date ranges, and the reader and writer of the
// file's binary layout (little-endian, UTF-16LE strings with a 32-bit
// character count, maps in ascending ordinal key order, 24-byte ranges).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum EDateStatus : int32_t { DateValid = 0, DateInvalid = 1, DateNull = 2 };

struct DateRange {
    double start = 0;            // OLE Automation date
    int32_t startStatus = DateValid;
    double end = 0;
    int32_t endStatus = DateValid;
    bool operator==(const DateRange&) const = default;
};

// Ordinal comparison of UTF-16 code units (std::u16string's own ordering).
using SettingsMap = std::map<std::u16string, std::u16string>;

struct ExportSettings {
    uint8_t counterSet = 0;
    uint8_t includeSystemViews = 0;
    uint8_t exportRequested = 1;
    std::u16string destinationFolder;
    std::u16string reservedPath;
    std::u16string logFilePath;
    uint32_t includeAllView = 1;
    uint32_t reservedFlagA = 0;
    uint32_t reservedFlagB = 0;
    uint32_t reservedFlagC = 0;
    uint8_t translateAddresses = 0;
    uint8_t useSmtpPattern = 0;
    uint32_t smtpPatternIndex = 0;
    std::u16string smtpDomain;
    uint8_t useCsvMap = 0;
    uint8_t useNamesNsf = 0;
    uint8_t useFolderMapping = 0;
    uint32_t removeEncryption = 0;
    uint32_t saveDocLinks = 0;
    uint32_t saveInternetHeaders = 0;
    SettingsMap addressMap;
    SettingsMap folderMapping;
    std::vector<DateRange> dateRanges;

    bool operator==(const ExportSettings&) const = default;
};

// The file's bytes for a record, fields in their fixed order.
std::string SerializeExportSettings(const ExportSettings& settings);
// Parses the file's bytes. A file that ends early or whose counts exceed its
// length is unreadable: returns false and leaves `out` untouched.
bool ParseExportSettings(std::string_view bytes, ExportSettings& out);

// Creates or truncates config.txt and writes the record. False when the file
// cannot be created or written.
bool WriteExportSettings(const std::u16string& path, const ExportSettings& settings);
// Opens an existing config.txt (never creates it) and reads it into
// `settings`; when the file is missing, locked or unreadable the values in
// `settings` stay as they were (the defaults). Returns true when read.
bool ReadExportSettings(const std::u16string& path, ExportSettings& settings);
