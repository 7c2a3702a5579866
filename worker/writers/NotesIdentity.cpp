#include "worker/writers/NotesIdentity.h"

#include "platform/notes/LNNotes.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/DateText.h"
#include "worker/notes/NotesText.h"
#include "worker/store/StoreOperations.h"

namespace {

std::u16string GreenwichText(const LNDatetime& time)
{
    if (time.IsNull() || !time.HasDate()) return {};
    return FormatDateText(time, true);
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The values of a text item joined with single blanks; runs of white space
// (folded header lines included) become one blank.
std::u16string BlankJoined(const LNNote& note, const char* itemName)
{
    LNText values;
    if (!note.HasItem(itemName) || note.GetItem(itemName, &values) != LNNOERROR) return {};
    std::u16string joined;
    for (LNINT i = 0; i < values.GetCount(); ++i) {
        for (char16_t c : FromNotesText(values[i]) + u" ") {
            if (!IsBlank(c)) joined += c;
            else if (!joined.empty() && joined.back() != u' ') joined += u' ';
        }
    }
    if (!joined.empty() && joined.back() == u' ') joined.pop_back();
    return joined;
}

// A single message identifier in angle brackets, as the Internet writes it.
std::u16string MessageId(const LNNote& note, const char* itemName)
{
    std::u16string id = BlankJoined(note, itemName);
    if (id.empty() || id.front() == u'<') return id;
    return u"<" + id + u">";
}

void PutIfText(const store::DispatchPtr& item, int32_t dispid, const std::u16string& text)
{
    if (!text.empty()) storeops::Put(item, dispid, store::CVariant(text));
}

}  // namespace

NotesIdentity ReadNotesIdentity(const LNNote& note)
{
    NotesIdentity identity;
    identity.createdText = GreenwichText(note.GetCreated());
    identity.lastModifiedText = GreenwichText(note.GetLastModified());
    identity.messageIdText = MessageId(note, "$MessageID");
    identity.inReplyToText = MessageId(note, "In_Reply_To");
    identity.referencesText = BlankJoined(note, "References");
    return identity;
}

void PutNotesIdentity(const store::DispatchPtr& item, const NotesIdentity& identity)
{
    PutGreenwichDate(item, storeops::DispCreationTime, identity.createdText);
    PutGreenwichDate(item, storeops::DispLastModificationTime, identity.lastModifiedText);
    PutIfText(item, storeops::DispInternetMessageId, identity.messageIdText);
    PutIfText(item, storeops::DispInReplyToId, identity.inReplyToText);
    PutIfText(item, storeops::DispInternetReferences, identity.referencesText);
}

void PutGreenwichDate(const store::DispatchPtr& item, int32_t dispid, const std::u16string& dateText)
{
    if (const auto date = StoreDate(dateText)) storeops::Put(item, dispid, store::CVariant(*date));
}
