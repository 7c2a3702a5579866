// Views of the Notes mail template whose entries a real NSF file does not
// hold in a form we read: the documents each of them selects, computed from
// a few facts of every document the way the template's selection formulas
// pick them (by form, posted and delivered dates, categories).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"

namespace notes::ods {

// What the selections look at, read once per document.
struct CDocumentFacts {
    NOTEID id = 0;
    std::string form;            // LMBCS, as stored
    bool posted = false;         // has a PostedDate
    bool delivered = false;      // has a DeliveredDate
    bool categorized = false;    // has a non-empty Categories
    std::vector<UNID> folders;   // the folders its $FolderRef names
};

enum class EMailView { All, Sent, Drafts, Calendar, ToDo, Contacts, Groups, ByCategory };

// The mail-template view a view name stands for, if any.
std::optional<EMailView> MailViewOf(const std::string& name);

// Whether that view lists the document.
bool Selects(EMailView view, const CDocumentFacts& facts);

}  // namespace notes::ods
