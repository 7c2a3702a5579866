#include "worker/core/ItemConversions.h"

#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/CleanName.h"
#include "worker/notes/HtmlConversion.h"
#include "worker/notes/NotesText.h"
#include "worker/store/StoreOperations.h"
#include "worker/writers/ContactRecord.h"
#include "worker/writers/ContactWriter.h"
#include "worker/writers/GroupWriter.h"
#include "worker/writers/MailRecord.h"
#include "worker/writers/MailEml.h"
#include "worker/writers/NotesIdentity.h"
#include "worker/writers/TaskRecord.h"
#include "worker/writers/TaskEml.h"

using storeops::Put;
using storeops::PutOnce;
using store::CVariant;

namespace {

std::u16string TempFile(const CItemTarget& where, std::u16string_view extension) {
    return where.converter.tempDir + sys::Widen(std::to_string(where.position)) + std::u16string(extension);
}

void LogProcessing(CNsfConverter& converter, const std::u16string& name) {
    converter.app.runLog.WriteLine(u"Processing email: " + CleanName(name));
}

std::u16string DisplayName(const std::u16string& subject, const std::u16string& from) {
    return from.empty() ? subject : subject + u"[" + from + u"]";
}

// A mail is kept once per Notes folder it is filed in; tasks, contacts and
// groups all go to one default folder, where a document filed in two Notes
// folders must not appear twice. Either way a run that saves the same
// document again replaces the item.
enum class ESourceScope { PerFolder, Once };

// No item could be created, or a reader or writer ran out of note handles
// and left the record or the file incomplete: the item is dropped unsaved
// and the run restarts at this document in a new process.
EItemEnd NoItem(const CItemTarget& where) {
    where.converter.app.restartNeeded = 1;
    return EItemEnd::Restart;
}

// Saves the item, or hands it over (with its import and puts when they
// are given) for the pass to save.
EItemEnd SaveUnlessHandlesRanOut(const CItemTarget& where, const store::DispatchPtr& item, ESourceScope scope,
                                 std::function<void()> importAndPuts = {}) {
    if (LNNoteHandlesExhausted()) return NoItem(where);
    std::u16string key = u"note " + Decimal(where.noteId);
    if (scope == ESourceScope::PerFolder) key = u"folder " + Decimal(where.folderNoteId) + u" " + key;
    if (where.handoff) {
        where.handoff->Hand({item, std::move(key), std::move(importAndPuts)});
        return EItemEnd::Handed;
    }
    storeops::CSaveResult saved = storeops::SaveFrom(item, key);
    if (saved.failure.empty()) return saved.savedOver ? EItemEnd::SavedOver : EItemEnd::Saved;
    ReportStoreFailure(where.converter.app, saved.failure, where.converter.app.errorCount);
    return EItemEnd::Refused;
}

void PutIfText(const store::DispatchPtr& item, int32_t dispid, const std::u16string& text) {
    if (!text.empty()) Put(item, dispid, CVariant(text));
}

void PutDate(const store::DispatchPtr& item, int32_t dispid, const std::u16string& text, bool once) {
    auto date = StoreDate(text);
    if (!date) return;
    if (once)
        PutOnce(item, dispid, CVariant(*date));
    else
        Put(item, dispid, CVariant(*date));
}

void PutMailProperties(const store::DispatchPtr& item, const MailRecord& r) {
    Put(item, 0x1b, CVariant(int32_t{r.Importance == 0 ? 0 : r.Importance == 1 ? 1 : 2}));
    PutDate(item, 0x29, r.SentDateText, true);
    PutIfText(item, 0x40, r.ToText);
    if (!r.FromText.empty()) {
        PutOnce(item, 0x26, CVariant(r.FromText));
        Put(item, 0x34, CVariant(r.FromText));
        PutOnce(item, 0x3a, CVariant(r.FromText));
    }
    if (r.BodyIsHtml == 1) Put(item, 0x1a, CVariant(r.BodyText));
    PutIfText(item, 0xe, r.CcText);
    PutIfText(item, 9, r.BccText);
    PutIfText(item, 0, r.SubjectText);
    Put(item, 0x38, CVariant(true));
}

void ImportMail(const store::DispatchPtr& item, const std::u16string& emlPath, const MailRecord& record) {
    storeops::Import(item, emlPath, storeops::ImportRfc822);
    PutMailProperties(item, record);
    PutIfText(item, 0xd, record.CategoriesText);
    Put(item, 0x41, CVariant(record.IsRead != 0));
    Put(item, 0x60030093, CVariant(true));
    PutNotesIdentity(item, record.identity);
}

}  // namespace

std::u16string FromNotesTextOf(const LNString& text) { return FromNotesText(text); }

EItemEnd ConvertMail(CItemTarget& where, const store::DispatchPtr& items) {
    CNsfConverter& converter = where.converter;
    const uint64_t imagesBefore = ImageFilesSaved();
    MailRecord record;
    ReadMailRecord(converter, where.noteId, record);
    record.IsRead = where.isRead ? 1 : 0;
    LogProcessing(converter, DisplayName(record.SubjectText, record.FromText));
    store::DispatchPtr item = storeops::AddItem(items, u"IPM.Note");
    if (!item) return NoItem(where);
    where.tempPath = TempFile(where, u".eml");
    WriteMailEml(converter, record, where.tempPath, where.noteId);
    // A mail that saved no image files for its import to read can be
    // imported while the next documents are converted.
    if (where.handoff && ImageFilesSaved() == imagesBefore) {
        return SaveUnlessHandlesRanOut(where, item, ESourceScope::PerFolder,
                                       [item, path = where.tempPath, record = std::move(record)] {
                                           ImportMail(item, path, record);
                                       });
    }
    ImportMail(item, where.tempPath, record);
    return SaveUnlessHandlesRanOut(where, item, ESourceScope::PerFolder);
}

EItemEnd ConvertTask(CItemTarget& where, const store::DispatchPtr& items) {
    CNsfConverter& converter = where.converter;
    TaskRecord record;
    ReadTaskRecord(converter, where.noteId, record);
    record.IsRead = where.isRead ? 1 : 0;
    LogProcessing(converter, DisplayName(record.SubjectText, record.FromText));
    store::DispatchPtr item = storeops::AddItem(items, u"IPM.Task");
    if (!item) return NoItem(where);
    PutIfText(item, 0x40, record.ToText);
    PutIfText(item, 0x34, record.FromText);
    PutIfText(item, 0xe, record.CcText);
    PutIfText(item, 9, record.BccText);
    PutIfText(item, 0, record.SubjectText);
    PutDate(item, 0x60040020, record.StartDateText, false);
    PutDate(item, 0x60040011, record.DueDateText, false);
    PutGreenwichDate(item, storeops::DispTaskStartInstant, record.startInstantText);
    PutGreenwichDate(item, storeops::DispTaskDueInstant, record.dueInstantText);
    Put(item, record.BodyIsHtml == 1 ? 0x1a : 0xb, CVariant(record.BodyText));
    where.tempPath = TempFile(where, u".eml");
    WriteTaskEml(converter, record, where.tempPath, where.noteId);
    storeops::Import(item, where.tempPath, storeops::ImportRfc822);
    if (!record.CategoriesText.empty()) PutOnce(item, 0xd, CVariant(record.CategoriesText));
    PutNotesIdentity(item, record.identity);
    return SaveUnlessHandlesRanOut(where, item, ESourceScope::Once);
}

namespace {

struct CContactText {
    int32_t dispid;
    std::u16string ContactRecord::*field;
};

// The contact texts in the order they are put; every one is put even when empty.
const CContactText contactTextsBeforeAddress[] = {
    {0x60040004, &ContactRecord::Assistant},
    {0x60040006, &ContactRecord::PhoneNumber_8},
    {0x6004000a, &ContactRecord::PhoneNumber_9},
    {0x6004000e, &ContactRecord::OfficeCity},
    {0x60040010, &ContactRecord::OfficeCountry},
    {0x60040012, &ContactRecord::OfficeZip},
    {0x60040016, &ContactRecord::OfficeState},
    {0x60040018, &ContactRecord::OfficeStreetAddress},
    {0x6004001a, &ContactRecord::OfficeFAXPhoneNumber},
    {0x6004001c, &ContactRecord::Website},
    {0x6004001e, &ContactRecord::OfficePhoneNumber},
    {0x60040024, &ContactRecord::Children},
    {0x6004002d, &ContactRecord::CompanyName},
    {0x60040033, &ContactRecord::Department},
    {0x60040035, &ContactRecord::MailAddress},
    {0x6004003b, &ContactRecord::MiscPhone1},
    {0x60040043, &ContactRecord::MiscPhone3},
    {0x6004004d, &ContactRecord::FirstName},
    {0x60040051, &ContactRecord::FullNameInput},
    {0x6004005b, &ContactRecord::PhoneNumber_10},
    {0x6004005f, &ContactRecord::City},
    {0x60040061, &ContactRecord::Country},
    {0x60040063, &ContactRecord::Zip},
    {0x60040067, &ContactRecord::State},
    {0x60040069, &ContactRecord::StreetAddress},
    {0x6004006b, &ContactRecord::HomeFaxPhoneNumber},
    {0x6004006d, &ContactRecord::PhoneNumber},
    {0x6004006f, &ContactRecord::SametimeLogin},
    {0x60040077, &ContactRecord::JobTitle},
    {0x60040083, &ContactRecord::LastName},
};

const CContactText contactTextsAfterAddress[] = {
    {0x60040094, &ContactRecord::Manager},
    {0x60040096, &ContactRecord::MiddleInitial},
    {0x60040098, &ContactRecord::CellPhoneNumber},
    {0x6004009e, &ContactRecord::ShortName},
    {0x600400a0, &ContactRecord::Location},
    {0x600400a6, &ContactRecord::OtherCity},
    {0x600400a8, &ContactRecord::OtherCountry},
    {0x600400aa, &ContactRecord::OtherZip},
    {0x600400ae, &ContactRecord::OtherState},
    {0x600400b0, &ContactRecord::OtherStreetAddress},
    {0x600400b4, &ContactRecord::PersPager},
    {0x600400b6, &ContactRecord::PhoneNumber_6},
    {0x600400ba, &ContactRecord::primaryPhoneNumber},
};

const CContactText contactTextsLast[] = {
    {0x600400c4, &ContactRecord::Spouse},
    {0x600400c6, &ContactRecord::Suffix},
    {0x600400ca, &ContactRecord::Title},
    {0x600400ce, &ContactRecord::Custom1},
    {0x600400d0, &ContactRecord::Custom2},
    {0x600400d2, &ContactRecord::Custom3},
};

template <size_t N>
void PutTexts(const store::DispatchPtr& item, const ContactRecord& r, const CContactText (&texts)[N]) {
    for (const CContactText& t : texts) Put(item, t.dispid, CVariant(r.*t.field));
}

// The mailing address: its kind, then city, country, zip, state and street of that kind.
void PutMailingAddress(const store::DispatchPtr& item, const ContactRecord& r) {
    struct CAddress {
        const char16_t* kind;
        std::u16string ContactRecord::*city, ContactRecord::*country, ContactRecord::*zip, ContactRecord::*state,
            ContactRecord::*street;
    };
    static const CAddress addresses[] = {
        {u"home", &ContactRecord::City, &ContactRecord::Country, &ContactRecord::Zip, &ContactRecord::State,
         &ContactRecord::StreetAddress},
        {u"business", &ContactRecord::OfficeCity, &ContactRecord::OfficeCountry, &ContactRecord::OfficeZip,
         &ContactRecord::OfficeState, &ContactRecord::OfficeStreetAddress},
        {u"other", &ContactRecord::OtherCity, &ContactRecord::OtherCountry, &ContactRecord::OtherZip,
         &ContactRecord::OtherState, &ContactRecord::OtherStreetAddress},
    };
    if (r.preferredAddress < 1 || r.preferredAddress > 3) return;
    const CAddress& a = addresses[r.preferredAddress - 1];
    Put(item, 0x60040086, CVariant(std::u16string(a.kind)));
    Put(item, 0x60040088, CVariant(r.*a.city));
    Put(item, 0x6004008a, CVariant(r.*a.country));
    Put(item, 0x6004008c, CVariant(r.*a.zip));
    Put(item, 0x60040090, CVariant(r.*a.state));
    Put(item, 0x60040092, CVariant(r.*a.street));
}

void PutContactProperties(const store::DispatchPtr& item, const ContactRecord& r) {
    PutDate(item, 0x60040002, r.Anniversary, false);
    PutDate(item, 0x60040008, r.Birthday, false);
    PutTexts(item, r, contactTextsBeforeAddress);
    PutMailingAddress(item, r);
    PutTexts(item, r, contactTextsAfterAddress);
    Put(item, 0x600400c2, CVariant(int32_t{r.preferredAddress}));
    PutTexts(item, r, contactTextsLast);
    if (!r.htmlText.empty())
        Put(item, 0x1a, CVariant(r.htmlText));
    else
        Put(item, 0xb, CVariant(r.Comment));
}

}  // namespace

EItemEnd ConvertContact(CItemTarget& where, const store::DispatchPtr& items) {
    CNsfConverter& converter = where.converter;
    ContactRecord record;
    ReadContact(converter, where.noteId, record);
    LogProcessing(converter, record.FullNameInput.empty() ? record.FirstName : record.FullNameInput);
    if (!items) return EItemEnd::NoFolder;
    store::DispatchPtr item = storeops::AddItem(items, u"IPM.Contact");
    if (!item) return NoItem(where);
    PutContactProperties(item, record);
    where.tempPath = TempFile(where, u".vcf");
    std::u16string photoPath;
    WriteContactFile(converter, record, where.tempPath, where.noteId, photoPath);
    storeops::Import(item, where.tempPath, storeops::ImportVCard);
    if (!photoPath.empty()) storeops::CallMethod(item, storeops::DispContactPicture, {CVariant(photoPath)});
    PutIfText(item, 0xd, record.Categories);
    PutNotesIdentity(item, record.identity);
    return SaveUnlessHandlesRanOut(where, item, ESourceScope::Once);
}

EItemEnd ConvertDistList(CItemTarget& where, const store::DispatchPtr& items) {
    CNsfConverter& converter = where.converter;
    ContactRecord record;
    ReadContact(converter, where.noteId, record);
    LogProcessing(converter, record.ListName.empty() ? record.ListDescription : record.ListName);
    if (!items) return EItemEnd::NoFolder;
    store::DispatchPtr item = storeops::AddItem(items, u"IPM.DistList");
    if (!item) return NoItem(where);
    Put(item, 0x60040002, CVariant(record.ListName));
    // Every piece between ";" is a member, empty pieces included.
    size_t start = 0;
    while (true) {
        size_t end = record.Members.find(u';', start);
        std::u16string member = record.Members.substr(start, end == std::u16string::npos ? end : end - start);
        storeops::CallMethod(item, storeops::DispAddMember, {CVariant(member), CVariant(u""), CVariant(u"")});
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    where.tempPath = TempFile(where, u".txt");
    WriteGroupFile(converter, record, where.tempPath);
    storeops::Import(item, where.tempPath, storeops::ImportDistList);
    if (!record.Categories.empty()) PutOnce(item, 0xd, CVariant(record.Categories));
    PutNotesIdentity(item, record.identity);
    return SaveUnlessHandlesRanOut(where, item, ESourceScope::Once);
}
