// The per-kind steps of the mail-folder pass: read the document into its
// record, create the item of the matching class, write and import the file,
// set the store properties in their order and save. Each says how the
// document ended: saved (as a new item or over an earlier copy), left out
// because the PST has no folder for its kind, or ending the run (for a
// restart at the same document, or as failed when the store refused it).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/notes/LNString.h"
#include "platform/notes/NotesTypes.h"
#include "platform/store/Dispatch.h"
#include "worker/core/FormKinds.h"

class CNsfConverter;

std::u16string FromNotesTextOf(const LNString& text);

// A mail's item at the moment it would be imported or saved.
struct CHandedMail {
    store::DispatchPtr item;
    std::u16string sourceKey;
    // The import of the message file and the puts after it, when they are
    // left to run with the save; the temporary file then goes with them.
    std::function<void()> importAndPuts;
};

// Takes a mail's item to save it while the pass goes on (see SaveAhead.h).
class ISaveHandoff {
public:
    virtual ~ISaveHandoff() = default;
    virtual void Hand(CHandedMail mail) = 0;
};

struct CItemTarget {
    CNsfConverter& converter;
    uint32_t position;       // view entry index, names the temporary file
    LNNOTEID noteId;
    bool isRead;
    std::u16string& tempPath;  // set to the temporary file, deleted by the pass or the saving thread
    uint32_t folderNoteId;     // the Notes folder being converted
    ISaveHandoff* handoff = nullptr;  // takes the save of a mail when set
};

enum class EItemEnd {
    Saved,      // a new item of the PST
    SavedOver,  // saved over the item an earlier folder or run made of the document
    NoFolder,   // the PST has no folder for this kind: nothing was saved
    Restart,    // no item could be created, or note handles ran out: nothing was saved
    Refused,    // the store refused the save (app.storeFailure says why)
    Handed,     // handed over for saving: the hand-off says how it ended
};

EItemEnd ConvertMail(CItemTarget& where, const store::DispatchPtr& items);
EItemEnd ConvertTask(CItemTarget& where, const store::DispatchPtr& items);
EItemEnd ConvertContact(CItemTarget& where, const store::DispatchPtr& items);
EItemEnd ConvertDistList(CItemTarget& where, const store::DispatchPtr& items);
