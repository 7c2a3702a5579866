#include "worker/writers/ContactWriter.h"

#include <vector>

#include "platform/notes/LNNotes.h"
#include "worker/core/NsfConverter.h"
#include "worker/mime/MimeCodecs.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/Attachments.h"
#include "worker/writers/ContactLineFile.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TempFiles.h"

namespace {

using R = ContactRecord;

constexpr char16_t photoAttachmentName[] = u"ContactPhoto";

std::u16string ReplaceAll(std::u16string_view text, char16_t what, std::u16string_view with) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == what)
            out += with;
        else
            out += c;
    }
    return out;
}

// A line feed inside a quoted-printable value: an encoded CR LF, then a soft
// line break.
std::u16string SoftBreaks(std::u16string_view text) {
    return ReplaceAll(text, u'\n', u"=0D=0A=\n");
}

std::u16string WithBlank(const std::u16string& part) {
    return part.empty() ? part : part + u" ";
}

void WriteNames(CLineFile& out, const R& r) {
    if (r.FirstName.empty() && r.LastName.empty()) return;
    out.Utf8Line("N;CHARSET=utf-8:", ReplaceAll(r.LastName, u',', u";") + u";" + r.FirstName + u";" +
                                          r.MiddleInitial + u";" + r.Title + u";" + r.Suffix);
    out.Utf8Line("FN;CHARSET=utf-8:", WithBlank(r.Title) + WithBlank(r.FirstName) + WithBlank(r.MiddleInitial) +
                                          WithBlank(r.LastName) + r.Suffix);
}

void WriteOrganisation(CLineFile& out, const R& r) {
    if (!r.CompanyName.empty()) out.Utf8Line("ORG;CHARSET=utf-8:", r.CompanyName + u";" + r.Department);
    if (!r.ShortName.empty()) out.Utf8Line("NICKNAME;CHARSET=utf-8:", r.ShortName);
    for (std::u16string R::*field : {&R::MailAddress, &R::MiscPhone1, &R::MiscPhone3, &R::email_5, &R::MiscPhone2}) {
        if (!(r.*field).empty()) out.Utf8Line("EMAIL;CHARSET=utf-8:", r.*field);
    }
}

// The three address lines, written whether or not the contact has them.
void WriteAddresses(CLineFile& out, const R& r) {
    out.Utf8Line("ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:",
                 u";" + SoftBreaks(r.StreetAddress) + u";" + r.City + u";" + r.State + u";" + r.Zip + u";" + r.Country);
    out.Utf8Line("ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:",
                 u";" + r.Location + u";" + SoftBreaks(r.OfficeStreetAddress) + u";" + r.OfficeCity + u";" +
                     r.OfficeState + u";" + r.OfficeZip + u";" + r.OfficeCountry);
    out.Utf8Line("ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:",
                 u";" + SoftBreaks(r.OtherStreetAddress) + u";" + r.OtherCity + u";" + r.OtherState + u";" +
                     r.OtherZip + u";" + r.OtherCountry);
}

struct CTelephoneLine {
    const char* start;
    std::u16string R::*field;
};

constexpr CTelephoneLine telephoneLines[] = {
    {"TEL;TYPE=work,fax:", &R::OfficeFAXPhoneNumber},
    {"TEL;TYPE=work,voice:", &R::OfficePhoneNumber},
    {"TEL;TYPE=work,voice:", &R::PhoneNumber_9},
    {"TEL;TYPE=home,fax:", &R::HomeFaxPhoneNumber},
    {"TEL;TYPE=home,voice:", &R::PhoneNumber},
    {"TEL;TYPE=home,voice:", &R::PhoneNumber_10},
    {"TEL;TYPE=cell,voice:", &R::CellPhoneNumber},
    {"TEL;TYPE=msg:", &R::PersPager},
    {"TEL;TYPE=pager:", &R::PhoneNumber_6},
    {"TEL;TYPE=phone,pref:", &R::primaryPhoneNumber},
    {"TEL;VOICE;ASSISTANT:", &R::PhoneNumber_8},
};

constexpr CTelephoneLine personLines[] = {
    {"TITLE;CHARSET=utf-8:", &R::JobTitle},
    {"URL;WORK;CHARSET=utf-8:", &R::Website},
    {"X-MS-ASSISTANT;CHARSET=utf-8:", &R::Assistant},
    {"X-MS-MANAGER;CHARSET=utf-8:", &R::Manager},
    {"X-MS-SPOUSE;CHARSET=utf-8:", &R::Spouse},
    {"X-MS-IMADDRESS;CHARSET=utf-8:", &R::SametimeLogin},
};

void WriteDetails(CLineFile& out, const R& r) {
    for (const CTelephoneLine& line : telephoneLines) {
        if (!(r.*line.field).empty()) out.AnsiLine(line.start, r.*line.field);
    }
    for (const CTelephoneLine& line : personLines) {
        if (!(r.*line.field).empty()) out.Utf8Line(line.start, r.*line.field);
    }
    if (!r.Birthday.empty()) out.AnsiLine("BDAY:", VCardDateValue(r.Birthday));
    if (!r.Anniversary.empty()) out.AnsiLine("X-MS-ANNIVERSARY:", VCardDateValue(r.Anniversary));
    if (!r.Comment.empty()) out.Utf8Line("NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:", SoftBreaks(r.Comment));
}

// Embeds one detached picture; false when it could not be read back.
bool EmbedPhoto(CLineFile& out, const DetachedAttachment& detached) {
    sys::CBytes bytes;
    if (detached.status != LNNOERROR || detached.path.empty() || !ReadBackFile(detached.path, bytes)) return false;
    out.Line("PHOTO;ENCODING=BASE64:");
    out.Line(Base64Unwrapped(bytes.View()));
    out.Line("");
    return true;
}

// The attachment named exactly "ContactPhoto" becomes the card's picture;
// the detached file stays for the pass, which sets it as the picture.
void WritePhoto(CNsfConverter& context, CLineFile& out, LNNOTEID noteId, std::u16string& photoPath) {
    CRunLog& log = context.app.runLog;
    log.WriteRaw(u"Attachments:\t");
    LNDocument document;
    LNMailMessage mail;
    OpenMailAgain(context, noteId, document, mail);
    std::vector<LNAttachment> attachments;
    if (mail.HasAttachments()) {
        if (const LNSTATUS status = mail.GetAttachments(&attachments)) throw status;
    }
    for (const LNAttachment& attachment : attachments) {
        if (FromNotesText(attachment.GetAttachmentName()) != photoAttachmentName) continue;
        const DetachedAttachment detached = DetachAttachment(attachment);
        if (!EmbedPhoto(out, detached)) {
            ReportAttachmentLoss(context, detached);
            continue;
        }
        log.WriteRaw(detached.cleanedName + u",");
        photoPath = detached.path;
    }
    log.WriteRaw(u"\r\n");
    mail.Close();
    document.Close();
}

void WriteCard(CNsfConverter& context, CLineFile& out, const R& r, LNNOTEID noteId, std::u16string& photoPath) {
    out.Line("BEGIN:VCARD");
    WriteNames(out, r);
    WriteOrganisation(out, r);
    WriteAddresses(out, r);
    WriteDetails(out, r);
    context.app.runLog.WriteLine(u"Item Name:\t" + ContactDisplayName(r));
    if (!r.attachmentNames.empty()) WritePhoto(context, out, noteId, photoPath);
    out.Line("END:VCARD");
}

}  // namespace

std::u16string VCardDateValue(std::u16string_view notesDate) {
    const size_t lastSlash = notesDate.rfind(u'/');
    if (lastSlash == std::u16string_view::npos) return std::u16string(notesDate);
    std::u16string value(notesDate.substr(lastSlash));
    value += notesDate.substr(0, lastSlash);
    return ReplaceAll(value, u'/', u"");
}

std::u16string ContactDisplayName(const ContactRecord& r) {
    if (r.FirstName.empty() && r.LastName.empty()) return {};
    return WithBlank(r.FirstName) + WithBlank(r.MiddleInitial) + r.LastName;
}

int WriteContactFile(CNsfConverter& context, const ContactRecord& record, const std::u16string& path,
                     LNNOTEID noteId, std::u16string& photoPath) {
    CLineFile out;
    if (!out.Create(path)) {
        ++context.app.errorCount;
        context.app.runLog.WriteRaw(u"ERROR:Invalid Path. Contact Entry cannot be dump. \r\n");
        ReportLoss(context, u"the contact file cannot be written");
        return 0;
    }
    try {
        WriteCard(context, out, record, noteId, photoPath);
        out.Close();
        return 1;
    } catch (...) {
        out.Close();
        ++context.app.errorCount;
        context.app.runLog.WriteRaw(u"ERROR:Contact Entry is Not Dump \r\n");
        ReportLoss(context, u"the contact file cannot be written");
        return 0;
    }
}
