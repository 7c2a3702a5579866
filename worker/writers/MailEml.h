// Mail documents to Internet message files (.eml): the reader fills the
// context's mail record from the document, the writer composes the message
// (encoded-word header fields, one body part, then the document-link and
// attachment parts) and writes it.
#pragma once
#include <string>

#include "platform/notes/NotesTypes.h"
#include "worker/writers/EncodedWord.h"
#include "worker/writers/MailRecord.h"

class CNsfConverter;

// Fills `record` from the document with that note ID. A document without a
// "Subject" item leaves the record empty; a Notes failure ends the reading
// and keeps what was read.
void ReadMailRecord(CNsfConverter& context, LNNOTEID noteId, MailRecord& record);
// Creates or truncates the .eml at emlPath and writes the record's message
// into it. 1 when written. 0 when the file cannot be created (nothing
// logged) or when writing failed, which logs
// "ERROR:Mail Entry is Not Dump \r\n" and counts one error.
int WriteMailEml(CNsfConverter& context, const MailRecord& record, const std::u16string& emlPath, LNNOTEID noteId);
