// Task documents to Internet message files (.eml), written as mail is
// written. The reader also takes the task's start and due dates from the
// date/time fields of its form, reads the body as plain text first, and
// has no subject gate.
#pragma once
#include <string>

#include "platform/notes/NotesTypes.h"
#include "worker/writers/TaskRecord.h"

class CNsfConverter;

void ReadTaskRecord(CNsfConverter& context, LNNOTEID noteId, TaskRecord& record);
// As WriteMailEml, with the failure line "ERROR:Task Entry is Not Dump \r\n".
int WriteTaskEml(CNsfConverter& context, const TaskRecord& record, const std::u16string& emlPath, LNNOTEID noteId);
