// Contacts: reading a Notes "Person" or "Group" document into a
// ContactRecord, and writing a contact record as a vCard file for the
// store's import.
//
// The reader walks the document's form in field order and takes each
// field's item (date/time fields only for "Birthday" and "Anniversary",
// rich-text fields as plain text), converts the whole document to HTML and
// lists its attachment names. A Notes error ends the reading; what was read
// up to then is kept and nothing is logged.
//
// The vCard has no VERSION line. Values are UTF-8 where the line says
// "CHARSET=utf-8", the telephone numbers and dates are in the system ANSI
// code page. The only picture taken is an attachment named exactly
// "ContactPhoto".
#pragma once
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"
#include "worker/writers/ContactRecord.h"

class CNsfConverter;

// Resets the record and fills it from the document.
void ReadContact(CNsfConverter& context, LNNOTEID noteId, ContactRecord& record);

// Creates or truncates the .vcf file at path and writes the record. The
// photo is detached from the document noteId into the "temp" folder of the
// temporary path; photoPath receives that file's path (the pass attaches it
// as the contact's picture) and stays empty without photo. 1 when the file
// was written; 0 after logging an "ERROR:" line and counting one error.
int WriteContactFile(CNsfConverter& context, const ContactRecord& record, const std::u16string& path,
                     LNNOTEID noteId, std::u16string& photoPath);

// The vCard date of a Notes date text "12/31/1980": the text from its last
// "/" on, then the text before it, with every "/" removed ("19801231"). A
// text without "/" is kept as it stands.
std::u16string VCardDateValue(std::u16string_view notesDate);

// The run-log name of a contact: FirstName, MiddleInitial and LastName
// joined by blanks, leaving out empty parts; empty without first and last
// name.
std::u16string ContactDisplayName(const ContactRecord& record);
