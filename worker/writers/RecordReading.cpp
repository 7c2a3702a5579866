#include "worker/writers/RecordReading.h"

#include <new>
#include <vector>

#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/DateText.h"
#include "worker/notes/HtmlConversion.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/AddressTranslation.h"
#include "worker/writers/DocumentLosses.h"

namespace {

std::u16string Translate(CNsfConverter& context, const std::u16string& internetText, const std::u16string& names)
{
    const CAddressTranslator translator(context.app.settings);
    return context.app.settings.translateAddresses == 1 ? translator.TranslateToSmtp(internetText, names)
                                                        : translator.ToDisplayNames(internetText, names);
}

std::u16string RecipientsText(const LNMailMessage& mail, LNINT kind)
{
    return FromNotesText(mail.GetRecipients(kind).GetText());
}

// Whether an Internet-address text holds nothing but dots, semicolons and
// white space.
bool HoldsNoAddress(const std::u16string& text)
{
    for (char16_t c : text) {
        if (c != u'.' && c != u';' && c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
    }
    return true;
}

}  // namespace

std::u16string ItemText(const LNNote& note, const char* itemName)
{
    if (!note.HasItem(itemName)) return {};
    LNText text;
    if (note.GetItem(itemName, &text) != LNNOERROR) return {};
    return FromNotesText(text.GetText());
}

std::u16string SentDateText(const LNMailMessage& mail)
{
    LNDatetime date = mail.GetDateSent();
    LNINT month = 0, day = 0, year = 0;
    date.GetDate(&month, &day, &year);
    if (month == 0 || day == 0 || year == 0) date = mail.GetCreated();
    return FormatDateText(date, false);
}

void DecryptWhenAsked(CNsfConverter& context, LNNote& note)
{
    if (!note.IsEncrypted()) return;
    LNSTATUS status = LNNOERROR;
    if (context.app.settings.removeEncryption == 1) status = note.Decrypt();
    else if (!note.CanBeDecrypted()) status = ERR_NOTE_NO_KEY;
    if (status == LNNOERROR) return;
    // Without the key the encrypted items (the body, mostly) are lost to the
    // item: the log says so instead of saving a silently empty one.
    WarnLoss(context, u"Encrypted items of this document cannot be read: " + NotesErrorText(status),
             u"encrypted items cannot be read");
}

void ReadAddresses(CNsfConverter& context, const LNMailMessage& mail, const AddressTexts& out)
{
    out.fromText = Translate(context, ItemText(mail, "INetFrom"), FromNotesText(mail.GetSender().GetText()));
    std::u16string sendTo = ItemText(mail, "INetSendTo");
    if (context.app.settings.translateAddresses != 1 && HoldsNoAddress(sendTo) && mail.HasItem("AltSendTo")) {
        sendTo = ItemText(mail, "AltSendTo");
    }
    out.toText = Translate(context, sendTo, RecipientsText(mail, 0));
    out.ccText = Translate(context, ItemText(mail, "InetCopyTo"), RecipientsText(mail, 1));
    out.bccText = Translate(context, ItemText(mail, "InetBlindCopyTo"), RecipientsText(mail, 2));
}

std::u16string HtmlItemText(const std::string& rawValue)
{
    if (rawValue.size() <= 2) return {};
    const std::string_view text = std::string_view(rawValue).substr(2);
    if (text.size() < 2 || text[1] != '\0') return sys::AnsiToUtf16(text.substr(0, text.find('\0')));
    std::u16string wide = sys::FromUtf16LeBytes(text.substr(0, text.size() & ~size_t{1}));
    return wide.substr(0, wide.find(u'\0'));
}

void ReadBodyByType(CNsfConverter& context, const LNDocument& document, std::u16string& bodyText, uint8_t& isHtml)
{
    LNItem body;
    if (document.GetItem("Body", &body) != LNNOERROR) return;
    if (body.GetType() == LNITEMTYPE_HTML) {
        isHtml = 1;
        bodyText = HtmlItemText(body.GetRawValue());
    } else if (body.GetType() == LNITEMTYPE_RICHTEXT) {
        isHtml = 1;
        HtmlConversionContext html = MakeHtmlConversionContext(context.database, document);
        bodyText = ConvertRichTextBodyToHtml(html);
        ReportRichTextLosses(context, document, html, bodyText);
    }
}

std::u16string AttachmentNamesOf(const LNNote& note)
{
    std::u16string names;
    if (!note.HasAttachments()) return names;
    std::vector<LNAttachment> attachments;
    if (note.GetAttachments(&attachments) != LNNOERROR) return names;
    for (const LNAttachment& attachment : attachments) {
        names += FromNotesText(attachment.GetAttachmentName()) + u", ";
    }
    return names;
}

void ReadGuarded(CNsfConverter& context, const std::function<void()>& reading)
{
    try {
        reading();
    } catch (LNSTATUS status) {
        char text[512] = {};
        LNGetErrorMessageText(status, text, sizeof text);
        WarnLoss(context, u"Reading of this document stopped: " + sys::AnsiToUtf16(text), u"reading stopped early");
    } catch (const std::bad_alloc&) {
        WarnLoss(context, u"Reading of this document stopped: " + NotesErrorText(ERR_NO_MEMORY),
                 u"document too large to read completely");
    } catch (...) {
        WarnLoss(context, u"Reading of this document stopped", u"reading stopped early");
    }
}
