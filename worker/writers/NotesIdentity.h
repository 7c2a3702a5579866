// What identifies a Notes document outside its item texts, for the item made
// from it: its own created and modified times, and the Internet message
// identifiers Notes keeps of mail that came from or went to the Internet
// ("$MessageID", "In_Reply_To", "References"). The store keeps them as the
// item's creation and modification times and Internet identifiers, so that
// an item shows when the document was written, not when it was converted,
// and replies thread with their originals.
#pragma once
#include <cstdint>
#include <string>

#include "platform/store/Dispatch.h"

class LNNote;

struct NotesIdentity {
    std::u16string createdText;       // Greenwich time, the readers' date text; empty when unknown
    std::u16string lastModifiedText;  // Greenwich time
    std::u16string messageIdText;     // "<...>"
    std::u16string inReplyToText;     // "<...>"
    std::u16string referencesText;    // message identifiers separated by single blanks
};

// The identity of the open note; what the note lacks stays empty.
NotesIdentity ReadNotesIdentity(const LNNote& note);

// Puts every part that is known onto the item (guarded puts).
void PutNotesIdentity(const store::DispatchPtr& item, const NotesIdentity& identity);
// A Greenwich date text as a date put; nothing when it is not a valid date.
void PutGreenwichDate(const store::DispatchPtr& item, int32_t dispid, const std::u16string& dateText);
