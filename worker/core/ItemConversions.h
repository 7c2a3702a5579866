// The per-kind steps of the mail-folder pass: read the document into its
// record, create the item of the matching class, write and import the file,
// set the store properties in their order and save. Each returns false when
// no item could be created, which ends the run for a restart at the same
// document.
#pragma once
#include <cstdint>
#include <string>

#include "platform/notes/LNString.h"
#include "platform/notes/NotesTypes.h"
#include "platform/store/Dispatch.h"

class CNsfConverter;

enum class EFormKind { Mail, Task, Calendar, Contact, DistList, Unknown };
// Form names compared exactly, case included.
EFormKind FormKindOf(const std::u16string& formName);
std::u16string FromNotesTextOf(const LNString& text);

struct CItemTarget {
    CNsfConverter& converter;
    uint32_t position;       // view entry index, names the temporary file
    LNNOTEID noteId;
    bool isRead;
    std::u16string& tempPath;  // set to the temporary file, deleted by the pass
    uint32_t folderNoteId;     // the Notes folder being converted
};

bool ConvertMail(CItemTarget& where, const store::DispatchPtr& items);
bool ConvertTask(CItemTarget& where, const store::DispatchPtr& items);
bool ConvertContact(CItemTarget& where, const store::DispatchPtr& items);
bool ConvertDistList(CItemTarget& where, const store::DispatchPtr& items);
