// Canonical item values: text and text lists, numbers, time lists and
// ranges, note-link lists and $FILE objects, each as the raw value that
// begins with its 2-byte data-type word (little-endian throughout).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"

namespace notes {

// Little-endian buffer helpers.
void PutWord(std::string& out, WORD w);
void PutDword(std::string& out, DWORD d);
void PutTime(std::string& out, const TIMEDATE& td);
WORD GetWord(const std::string& in, size_t at);
DWORD GetDword(const std::string& in, size_t at);
TIMEDATE GetTime(const std::string& in, size_t at);

WORD RawType(const std::string& raw);

std::string EncodeText(const std::string& lmbcs);
std::string EncodeTextList(const std::vector<std::string>& lmbcs);
// TYPE_TEXT or TYPE_TEXT_LIST into its values; nothing for other types or
// malformed values.
std::optional<std::vector<std::string>> DecodeTextValues(const std::string& raw);

std::string EncodeNumber(double n);
std::string EncodeNumberList(const std::vector<double>& n);
std::optional<std::vector<double>> DecodeNumbers(const std::string& raw);

struct CTimeValues {
    std::vector<TIMEDATE> times;
    std::vector<TIMEDATE_PAIR> ranges;
};
std::string EncodeTime(const TIMEDATE& td);
std::string EncodeTimeList(const CTimeValues& values);
std::optional<CTimeValues> DecodeTimes(const std::string& raw);

struct CNoteLink {
    TIMEDATE file{};   // replica ID of the linked database
    UNID view{};
    UNID note{};
};
std::string EncodeNoteLinks(const std::vector<CNoteLink>& links);
std::optional<std::vector<CNoteLink>> DecodeNoteLinks(const std::string& raw);

struct CFileObject {
    DWORD rrv = 0;         // object ID of the file's bytes
    DWORD fileSize = 0;
    WORD compression = 0;  // how the stored bytes are compressed (0 none)
    WORD flags = 0;
    std::string name;      // LMBCS
    TIMEDATE created{}, modified{};
};
std::string EncodeFileObject(const CFileObject& file);
std::optional<CFileObject> DecodeFileObject(const std::string& raw);

// Hex texts of IDs: a replica ID as 16 digits (word 1, word 0), a UNID as 32
// digits (file words 1, 0, note words 1, 0).
std::string ReplicaText(const TIMEDATE& id);
std::optional<TIMEDATE> ParseReplicaText(const std::string& text);
std::string UnidText(const UNID& id);
std::optional<UNID> ParseUnidText(const std::string& text);

}  // namespace notes
