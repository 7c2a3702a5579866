// The note layer of a real NSF file: a note's header (note ID, UNID,
// class, created and modified times, where its non-summary data lies), its
// item table (unique-name-key index, flags, size) and its values, which lie
// in item order either in the note's own record (summary values) or in its
// non-summary record. Values go up in Notes' canonical form: the data-type
// word, then the value.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesSource.h"
#include "platform/notes/ods/OdsContainer.h"

namespace notes::ods {

// Item flags as stored in a real NSF file, beyond those of NotesTypes.h.
enum : uint16_t {
    kItemTypeFromName = 0x0008,   // the value has no type word: the name's type applies
    kItemPlaceholder = 0x0100,    // a name without a stored value (form fields)
    kItemProtected = 0x0200,
    kItemReaders = 0x0400,
};

// One item of the item table.
struct CItemEntry {
    uint16_t nameIndex = 0;
    uint16_t flags = 0;
    uint16_t size = 0;
};

// Where each value lies and whether it starts with its own type word.
struct CValuePlace {
    bool summary = true;
    bool typeWord = false;
};

// Finds the place of every item value: each lies in the summary or in the
// non-summary area, in item order, and both areas must be used up to a
// little padding. The item flags say where most values lie (summary flag)
// and whether they carry a type word (flag 0x0008 clear); a few notes
// written by Notes do not follow the flags, so every value is checked
// against its type and the first placement in which all values fit wins.
// Empty when none fits.
// With unreadNonSummary the note's non-summary values are not at hand:
// values without the summary flag are taken to lie there, unchecked.
std::optional<std::vector<CValuePlace>> PlaceValues(const std::vector<CItemEntry>& items,
                                                    const std::vector<uint16_t>& nameTypes, CBytes summary,
                                                    const CBytes* nonSummary, bool unreadNonSummary = false);

// True when value (without type word) can be a value of that type.
bool PlausibleValue(uint16_t type, CBytes value);

// What to read of a note: every item, or the summary items only (what views
// select by; the non-summary record, with bodies, stays unread).
enum class EOdsRead { AllItems, SummaryItems };

// Reads note id. Empty when the ID names no note (an object, or nothing);
// throws CNoteUnreadable (ERR_NOTE_DAMAGED) with the reason when the note's
// structures cannot be read.
std::optional<CNoteRow> ReadOdsNote(const COdsContainer& container, NOTEID id,
                                    EOdsRead what = EOdsRead::AllItems);

// The class of note id without reading its items; 0 when it is no note. A
// document whose header cannot be read is still a document.
int OdsNoteClass(const COdsContainer& container, NOTEID id);

}  // namespace notes::ods
