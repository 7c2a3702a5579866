// The address sources of e-mail address translation as the advanced settings
// load them: the check of a domain name for the SMTP pattern, a CSV file of
// person names and SMTP addresses, and the person documents of a Names.nsf
// address book read through Notes. Keys of the address map are lower-case
// person names.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "worker/core/ExportSettings.h"

class LNNotesSession;
class LNDatabase;

// A domain such as "example.com": letters, digits, '-' and '_' before the
// first dot (possibly nothing), at least two letters A-Z/a-z and nothing else
// after it.
bool IsValidDomainName(std::u16string_view domain);

// One line of the CSV file (without its line end).
enum class ECsvLine { Entry, Ignored, Invalid };
ECsvLine ParseCsvLine(std::u16string_view line, std::u16string& key, std::u16string& value);

enum class ECsvResult { Read, CannotOpen, NotValid };
// Reads the lines of `text` into `map`, a later key replacing an earlier
// one; stops at the first line that is not valid, keeping what came before.
ECsvResult ReadCsvText(std::u16string_view text, SettingsMap& map);
// Opens the file (text in the ANSI code page); on success sets `useCsvMap`
// to 1 and reads it.
ECsvResult ReadCsvFile(const std::u16string& path, SettingsMap& map, uint8_t& useCsvMap);

// Adds key -> address; an existing key gets ";" + address appended.
void AddAddress(SettingsMap& map, const std::u16string& key, const std::u16string& address);

// Reads the "Person" documents of the Names.nsf at `path` into `map`: the
// lower-cased full name and the lower-cased "first middle last" name each
// map to the person's address. Starts and ends `session`; false, with
// nothing read and `useNamesNsf` unchanged, when the database cannot be
// opened. A Notes error ends the reading with the entries read so far.
bool ReadNamesAddressBook(LNNotesSession& session, LNDatabase& database, const std::u16string& path,
                          SettingsMap& map, uint8_t& useNamesNsf);
