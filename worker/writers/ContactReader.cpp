#include <vector>

#include "platform/notes/LNNotes.h"
#include "worker/core/NsfConverter.h"
#include "worker/notes/HtmlConversion.h"
#include "worker/notes/NotesText.h"
#include "worker/core/PassSupport.h"
#include "worker/writers/ContactWriter.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/NotesIdentity.h"
#include "worker/writers/RecordReading.h"

namespace {

// One form field as read: its name, the value taken for it and whether the
// document has an item of that name.
struct CFieldValue {
    std::u16string name;
    std::u16string value;
    bool hasItem = false;
};

// The item of exactly this name when the note has one; otherwise the item
// Notes finds for the name in any letter case.
LNSTATUS FindItem(const LNNote& note, const LNString& name, LNItem& item) {
    std::vector<LNItem> items;
    if (note.GetItems(&items) == LNNOERROR) {
        for (const LNItem& candidate : items) {
            if (candidate.GetName() == name) {
                item = candidate;
                return LNNOERROR;
            }
        }
    }
    return note.GetItem(name, &item);
}

// The values of a list item joined with ";"; empty when the item is
// missing or holds another kind of value.
template <class TList>
std::u16string ListOf(const LNNote& note, const LNString& name) {
    LNItem item;
    if (FindItem(note, name, item) != LNNOERROR) return {};
    try {
        const TList list(item);
        return FromNotesText(list.GetText());
    } catch (LNSTATUS) {
        return {};
    }
}

std::u16string PlainTextOf(const LNNote& note, const LNString& name) {
    LNRichText richText;
    if (note.GetItem(name, &richText) != LNNOERROR) return {};
    return FromNotesText(richText.GetText());
}

CFieldValue ReadField(const LNNote& note, const LNFormField& field) {
    const LNString name = field.GetName();
    CFieldValue read;
    read.name = FromNotesText(name);
    if (field.GetType() == LNFORMFIELDTYPE_DATETIME) {
        // Date/time fields count only as birthday and anniversary.
        if (read.name == u"Birthday" || read.name == u"Anniversary") {
            read.hasItem = note.HasItem(name);
            read.value = ListOf<LNDatetimes>(note, name);
        }
        return read;
    }
    if (!note.HasItem(name)) return read;
    read.hasItem = true;
    if (field.GetType() == LNFORMFIELDTYPE_RICHTEXT) {
        read.value = PlainTextOf(note, name);
        if (read.value.empty() && read.name == u"Comment") read.value = ListOf<LNText>(note, name);
    } else {
        read.value = ListOf<LNText>(note, name);
    }
    return read;
}

void ReadFormFields(const LNDocument& document, std::vector<CFieldValue>& fields) {
    LNForm form;
    if (const LNSTATUS status = document.GetFormNote(&form)) throw status;
    if (const LNSTATUS status = form.Open()) throw status;
    std::vector<LNFormField> formFields;
    if (const LNSTATUS status = form.GetFormFields(&formFields, LNTYPE_FORM_FIELD)) throw status;
    for (const LNFormField& field : formFields) fields.push_back(ReadField(document, field));
    form.Close();
}

void ReadDocument(CNsfConverter& context, LNNOTEID noteId, ContactRecord& record, std::vector<CFieldValue>& fields) {
    LNDocument document;
    if (context.database.GetDocument(noteId, &document) != LNNOERROR) return;
    document.Open(LNNOTEOPENFLAGS_DEFAULT);
    if (!document.IsOpen()) return;
    LNMailMessage message;
    message = document;
    document.Close();
    if (const LNSTATUS status = message.Open(LNNOTEOPENFLAGS_DEFAULT)) throw status;
    record.identity = ReadNotesIdentity(message);
    ReadFormFields(message, fields);
    HtmlConversionContext html = MakeHtmlConversionContext(context.database, message);
    record.htmlText = ConvertRichTextBodyToHtml(html);
    ReportRichTextLosses(context, message, html, record.htmlText);
    record.attachmentNames = AttachmentNamesOf(message);
    message.Close();
}

// Later fields overwrite earlier ones that feed the same record field. A
// field whose item the document lacks has nothing to give and leaves the
// value of an earlier field in place.
void CopyFields(const std::vector<CFieldValue>& fields, ContactRecord& record) {
    for (const CFieldValue& field : fields) {
        if (!field.hasItem) continue;
        if (field.name == u"primaryAddress") {
            record.preferredAddress = PreferredAddressOf(field.value);
        } else if (std::u16string* target = ContactFieldFor(record, field.name)) {
            *target = field.value;
        }
    }
}

}  // namespace

void ReadContact(CNsfConverter& context, LNNOTEID noteId, ContactRecord& record) {
    record.Reset();
    std::vector<CFieldValue> fields;
    try {
        ReadDocument(context, noteId, record, fields);
    } catch (LNSTATUS status) {
        // A Notes error ends the reading; the fields read so far still count.
        WarnLoss(context, u"Reading of this document stopped: " + NotesErrorText(status), u"reading stopped early");
    } catch (...) {
        WarnLoss(context, u"Reading of this document stopped", u"reading stopped early");
    }
    CopyFields(fields, record);
}
