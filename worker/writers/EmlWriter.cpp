#include "worker/writers/EmlWriter.h"

#include <optional>
#include <stdexcept>

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "platform/sys/Time.h"
#include "worker/core/NsfConverter.h"
#include "worker/mime/CMimeMessage.h"
#include "worker/writers/Attachments.h"
#include "worker/writers/DocLinks.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/EncodedWord.h"

namespace {

void SetDateField(CMimeMessage& message, const std::u16string& sentDateText)
{
    if (sentDateText.empty()) return;
    const std::optional<sys::CSystemTime> date = sys::ParseMonthFirstDate(sentDateText);
    if (date) message.SetDate(date->year, date->month, date->day, date->hour, date->minute, date->second);
}

void SetBodyPart(CMimeBody& body, const EmlContent& content)
{
    if (content.bodyText.empty()) return;
    body.SetContentType(content.bodyIsHtml ? "text/html" : "text/plain");
    body.SetCharset("UTF-8");
    body.SetTransferEncoding("8bit");
    const std::string bytes = sys::Utf16ToUtf8(content.bodyText);
    body.SetTextContent(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// Creates or truncates the file and writes the bytes. Nothing when the file
// cannot be created; false when the bytes could not all be written (the
// partial file is removed).
std::optional<bool> WriteEmlFile(const std::u16string& emlPath, std::string_view bytes)
{
    sys::CFile file;
    if (!file.CreateOrTruncate(emlPath)) return std::nullopt;
    const bool written = file.Write(bytes);
    file.Close();
    if (!written) sys::DeleteFile(emlPath);
    return written;
}

void ReportFailure(CNsfConverter& context, std::u16string_view failureLine) noexcept
{
    ++context.app.errorCount;
    try {
        context.app.runLog.WriteRaw(failureLine);
        ReportLoss(context, u"the message file cannot be written");
    } catch (...) {
    }
}

}  // namespace

std::u16string ComposeEml(CMimeMessage& message, const EmlContent& content)
{
    std::u16string itemName;
    SetDateField(message, content.sentDateText);
    if (!content.fromText.empty()) {
        itemName += content.fromText + u" ";
        message.SetFrom(Utf8EncodedWord(content.fromText));
    }
    if (!content.toText.empty()) message.SetTo(Utf8EncodedWord(content.toText));
    if (!content.ccText.empty()) message.SetCc(Utf8EncodedWord(content.ccText));
    if (!content.bccText.empty()) message.SetBcc(Utf8EncodedWord(content.bccText));
    if (!content.subjectText.empty()) {
        itemName += content.subjectText;
        message.SetSubject(Utf8EncodedWord(content.subjectText));
    }
    message.SetContentType("multipart/mixed");
    message.SetBoundary();
    SetBodyPart(*message.AddPart(), content);
    return itemName;
}

sys::CBytes StoreEml(const CMimeMessage& message)
{
    const int64_t measured = message.MeasureStored();
    if (measured <= 0) throw std::runtime_error("message could not be stored");
    sys::CBytes stored(static_cast<size_t>(measured));
    const int64_t written = message.StoreTo(stored.data.get(), measured);
    // Nothing stored means a message that cannot be written; never hand on an
    // empty file as a written one.
    if (written <= 0) throw std::runtime_error("message could not be stored");
    stored.size = static_cast<size_t>(written);
    return stored;
}

int WriteEml(CNsfConverter& context, const EmlContent& content, const std::u16string& emlPath, LNNOTEID noteId,
             std::u16string_view failureLine)
{
    try {
        CMimeMessage message;
        const std::u16string itemName = ComposeEml(message, content);
        context.app.runLog.WriteLine(u"Item Name:\t" + itemName);
        if (context.app.settings.saveDocLinks == 1) AddLinkParts(context, message, noteId);
        if (!content.attachmentNames.empty()) AddAttachmentParts(context, message, noteId);
        AddInternetHeadersPart(message, content.internetHeaders);
        const std::optional<bool> written = WriteEmlFile(emlPath, StoreEml(message).View());
        if (!written) return 0;
        if (*written) return 1;
    } catch (...) {
    }
    ReportFailure(context, failureLine);
    return 0;
}
