// Document links of a Notes document carried over as Notes link files
// (.ndl): six lines of single-byte text in the system ANSI code page naming
// the linked database's replica, the view and the document, with the
// link's description. The mail and task writers embed each link file as a
// base64 part of the message; the calendar writer embeds it in its own way.
//
// Link files lie in the system temporary path as 1.ndl, 2.ndl, ... counted
// per document; each is written, read back and deleted within one link.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"

class CMimeBody;
class CNsfConverter;
class LNDocumentLink;

// Hexadecimal text left-padded with '0' to 8 digits; longer text is kept.
std::string PadHex8(std::string_view hexText);
// A 32-bit value as upper-case hexadecimal padded to 8 digits.
std::string Hex8(uint32_t value);

// "H(word 1):H(word 0)" of a replica ID.
std::string ReplicaText(const TIMEDATE& replicaId);
// "OFH(word 1):H(word 0)-ONH(word 3):H(word 2)" of a universal ID.
std::string UniversalIdText(const UNID& unid);
// The six lines of a link file, CRLF between them, none after the last.
std::string LinkFileText(const LNDocumentLink& link);

// The name of link file n: n + ".ndl".
std::u16string LinkFileName(int n);
// Creates or truncates link file n in the system temporary path and writes
// the link into it. The file's path, or nothing when it cannot be created.
std::optional<std::u16string> WriteLinkFile(const LNDocumentLink& link, int n);

// When document links are kept: one base64 part per link file of the
// document's "Body", with the run-log text "Link Documents :\t", each file
// name and "," and a final CRLF. Notes failures are thrown to the writer.
void AddLinkParts(CNsfConverter& context, CMimeBody& message, LNNOTEID noteId);
