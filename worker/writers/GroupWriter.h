// Groups: a Notes "Group" document, read by the contact reader, written as
// the text of an Outlook distribution list. The file is UTF-16LE with its
// byte-order mark and five labelled lines (name, description, owner,
// members as Notes holds them joined with ";", comments).
#pragma once
#include <string>

#include "worker/writers/ContactRecord.h"

class CNsfConverter;

// Creates or truncates the file at path and writes the group's lines. 1
// when written; 0 after logging an "ERROR:" line and counting one error.
int WriteGroupFile(CNsfConverter& context, const ContactRecord& record, const std::u16string& path);
