// Notes (documents and forms) of the Notes stand-in. Getters that return a
// value throw ERR_NOTE_NOT_OPEN on a note that is not open. Item names are
// compared without regard to ASCII letter case, as Notes does.
//
// Copies of a note object share the note: it stays loaded while any copy
// holds it open. Each object closes what it opened (also when destroyed).
// Items sealed by encryption are invisible until Decrypt is called; closing
// the last open copy seals them again.
#pragma once
#include <memory>
#include <vector>

#include "platform/notes/LNAttachment.h"
#include "platform/notes/LNItem.h"
#include "platform/notes/LNRichText.h"

namespace notes {
struct CNoteRef;
}

class LNForm;

using LNNOTEOPENFLAGS = DWORD;
constexpr LNNOTEOPENFLAGS LNNOTEOPENFLAGS_DEFAULT = 0;

class LNNote {
public:
    LNNote();
    virtual ~LNNote();
    LNNote(const LNNote& other);
    LNNote& operator=(const LNNote& other);

    // Loads the note. Status 263 once NSFDB_OPEN_LIMIT document opens have
    // been made in this process.
    LNSTATUS Open(LNNOTEOPENFLAGS flags = 0);
    LNSTATUS Close();
    bool IsOpen() const;
    bool IsNull() const;

    LNNOTEID GetNoteID() const;
    UNID GetUniversalID() const;
    // Handle for the HTML conversion functions, valid while open.
    NOTEHANDLE GetNoteHandle() const;
    LNDatetime GetCreated() const;
    LNDatetime GetLastModified() const;

    bool HasItem(const LNString& name) const;
    // Status 0 = found; ERR_ITEM_NOT_FOUND; ERR_ITEM_DATATYPE when item is
    // a typed class that cannot hold the value. For LNRichText every item
    // of the name is taken (a long field is split over several).
    LNSTATUS GetItem(const LNString& name, LNItem* item) const;
    // Every visible item of the type (LNITEMTYPE_ANY = all), in note order.
    LNSTATUS GetItems(std::vector<LNItem>* items, LNITEMTYPE type = LNITEMTYPE_ANY) const;

    bool HasAttachments() const;
    LNSTATUS GetAttachments(std::vector<LNAttachment>* attachments) const;
    // True when a rich-text field of the note holds a link.
    bool HasLinks() const;

    bool IsEncrypted() const;
    bool IsSigned() const;
    // Makes the sealed items visible. ERR_NOT_ENCRYPTED for a plain note.
    LNSTATUS Decrypt();
    // False when the key of an encrypted note is not at hand (a real NSF
    // file: the private key is in its reader's Notes ID), so Decrypt fails.
    bool CanBeDecrypted() const;

    // Internal.
    const std::shared_ptr<notes::CNoteRef>& Ref() const { return ref; }
    void Bind(std::shared_ptr<notes::CNoteRef> note);

protected:
    // Checks that the note is open and returns its reference; throws otherwise.
    const notes::CNoteRef& Loaded() const;
    std::shared_ptr<notes::CNoteRef> ref;
    bool openHere = false;
};

class LNDocument : public LNNote {
public:
    LNDocument() = default;
    LNDocument(const LNDocument& other) = default;
    LNDocument& operator=(const LNDocument& other) = default;

    // The form name (item "Form").
    LNString GetFormName() const;
    LNSTATUS GetFormNote(LNString* formName) const;
    // The form note of that name; ERR_INVALID_NOTE when the database has none.
    LNSTATUS GetFormNote(LNForm* form) const;
    // Item "Categories".
    LNText GetCategories() const;
};

// Field type codes of LNFormField::GetType.
using LNFORMFIELDTYPE = LNINT;
enum : LNINT {
    LNTYPE_FORM_FIELD = 44,        // the element type of form fields
    LNFORMFIELDTYPE_TEXT = 45,
    LNFORMFIELDTYPE_DATETIME = 46,
    LNFORMFIELDTYPE_NUMBER = 47,
    LNFORMFIELDTYPE_NAMES = 48,
    LNFORMFIELDTYPE_RICHTEXT = 49,
    LNFORMFIELDTYPE_KEYWORDS = 50,
    LNFORMFIELDTYPE_OTHER = 51,
};

class LNFormField {
public:
    LNFormField() = default;
    LNFormField(LNString name, LNFORMFIELDTYPE type) : name(std::move(name)), type(type) {}
    LNString GetName() const { return name; }
    LNFORMFIELDTYPE GetType() const { return type; }
    LNINT GetObjectType() const { return LNTYPE_FORM_FIELD; }

private:
    LNString name;
    LNFORMFIELDTYPE type = LNFORMFIELDTYPE_TEXT;
};

class LNForm : public LNNote {
public:
    LNString GetName() const;
    // The fields in form order (elements of type 44).
    LNSTATUS GetFormFields(std::vector<LNFormField>* fields, LNINT type = LNTYPE_FORM_FIELD) const;
};
