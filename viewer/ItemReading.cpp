// Reading the documents of one view or folder into rows of the item list.
#include <cstdio>

#include "platform/notes/LNMail.h"
#include "platform/sys/Text.h"
#include "viewer/LotusNotesApp.h"
#include "viewer/NsfReader.h"
#include "worker/writers/AddressTranslation.h"

namespace {

std::u16string Text(const LNString& notesText) { return sys::LmbcsToUtf16(notesText.GetBytes()); }

// All values of a text item joined with ";"; empty when the item is missing
// or holds no text.
std::u16string ItemText(const LNNote& note, const char* name) {
    LNText text;
    if (note.GetItem(name, &text) != 0) return {};
    return Text(text.GetText());
}

std::u16string TrimmedWithoutDotsAndSemicolons(std::u16string text) {
    std::u16string kept;
    for (char16_t c : text)
        if (c != u'.' && c != u';') kept += c;
    const size_t first = kept.find_first_not_of(u" \t");
    if (first == std::u16string::npos) return {};
    const size_t last = kept.find_last_not_of(u" \t");
    return kept.substr(first, last - first + 1);
}

// "%d/%d/%d %d:%d:%d" of the date sent, or of the creation time when the
// month, day or year of the date sent is 0; no time-zone adjustment.
std::u16string RowDateTime(const LNMailMessage& mail) {
    LNINT month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    LNDatetime sent = mail.GetDateSent();
    sent.GetDate(&month, &day, &year);
    sent.GetTime(&hour, &minute, &second);
    if (month == 0 || day == 0 || year == 0) {
        LNDatetime created = mail.GetCreated();
        month = day = year = hour = minute = second = 0;
        created.GetDate(&month, &day, &year);
        created.GetTime(&hour, &minute, &second);
    }
    char text[96];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%d:%d", month, day, year, hour, minute, second);
    return sys::Widen(text);
}

}  // namespace

std::vector<ItemRow> CNsfReader::ReadItems(uint32_t noteId, const ExportSettings& settings) {
    std::vector<ItemRow> rows;
    LNViewFolder view;
    try {
        LNSTATUS status = database.GetViewFolder(noteId, &view);
        if (status) Trace(u"Func: 123a", status);
        status = view.Open(0x10000);
        if (status) Trace(u"Func: 123b", status);
        const LNINT count = view.GetEntryCount();
        Range(static_cast<uint32_t>(count < 0 ? 0 : count));
        for (LNINT i = 0; i < count; ++i) {
            if (app.keepRunning == 0) break;
            if (i % 10 == 0) Position(static_cast<uint32_t>(i));
            scratchRow = ItemRow{};
            ReadEntry(view, i, settings);
            if (view[i].IsNull()) continue;
            rows.push_back(scratchRow);
        }
    } catch (LNSTATUS) {
        app.runLog.WriteLine(u"Func: 123");
    }
    view.Close();
    return rows;
}

void CNsfReader::ReadEntry(const LNViewFolder& view, LNINT index, const ExportSettings& settings) {
    const LNVFEntry entry = view[index];
    if (entry.IsNull()) return;
    LNDocument doc;
    LNSTATUS status = entry.GetDocument(&doc);
    if (status) Trace(u"Func: 123c", status);
    status = doc.Open(0);
    if (status) Trace(u"Func: 123d", status);
    LNMailMessage mail;
    mail = doc;
    if (doc.IsOpen()) doc.Close();
    status = mail.Open(0);
    if (status) Trace(u"Func: 123f", status);
    if (mail.IsOpen()) {
        if (mail.HasItem("Subject"))
            FillMailRow(mail, settings);
        else
            FillOtherRow(mail);
    }
    mail.Close();
    doc.Close();
}

void CNsfReader::FillMailRow(const LNMailMessage& mail, const ExportSettings& settings) {
    ItemRow& row = scratchRow;
    row.dateTime = RowDateTime(mail);
    CAddressTranslator translator(settings);
    const std::u16string sender = Text(mail.GetSender().GetText());
    const std::u16string recipients = Text(mail.GetRecipients(0).GetText());
    if (settings.translateAddresses == 1) {
        row.from = translator.TranslateToSmtp(ItemText(mail, "INetFrom"), sender);
        row.to = translator.TranslateToSmtp(ItemText(mail, "INetSendTo"), recipients);
    } else {
        row.from = translator.ToDisplayNames(ItemText(mail, "INetFrom"), sender);
        std::u16string internet = ItemText(mail, "INetSendTo");
        if (TrimmedWithoutDotsAndSemicolons(internet).empty() && mail.HasItem("AltSendTo"))
            internet = ItemText(mail, "AltSendTo");
        row.to = translator.ToDisplayNames(internet, recipients);
    }
    row.subject = Text(mail.GetSubject().GetText());
    row.hasAttachment = mail.HasAttachments() ? 1 : 0;
}

void CNsfReader::FillOtherRow(const LNDocument& doc) {
    LNForm form;
    LNSTATUS status = doc.GetFormNote(&form);
    if (status == 0) status = form.Open(0);
    if (status) app.runLog.WriteLine(u"Func: 123a.5");
    std::vector<LNFormField> fields;
    if (form.IsOpen()) form.GetFormFields(&fields, LNTYPE_FORM_FIELD);
    for (const LNFormField& field : fields) {
        const std::string name = field.GetName().GetBytes();
        const std::u16string value = ItemText(doc, name.c_str());
        if (!value.empty() && (name == "FullNameInput" || name == "FirstName" || name == "ListName")) {
            scratchRow.subject = value;
            break;
        }
    }
    form.Close();
}
