#include "worker/writers/GroupWriter.h"

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/writers/ContactLineFile.h"
#include "worker/writers/DocumentLosses.h"

namespace {

void WriteUtf16(sys::CFile& file, std::u16string_view text) {
    if (!file.Write(sys::ToUtf16LeBytes(text))) throw CFileWriteError();
}

void WriteGroupLines(sys::CFile& file, const ContactRecord& r) {
    if (!file.Write("\xFF\xFE")) throw CFileWriteError();
    WriteUtf16(file, u"Group Name: " + r.ListName + u"\r\n");
    WriteUtf16(file, u"Group Description: " + r.ListDescription + u"\r\n");
    WriteUtf16(file, u"Group Owner: " + r.ListOwner + u"\r\n");
    WriteUtf16(file, u"Group Members: " + r.Members + u"\r\n");
    WriteUtf16(file, u"Comments: " + r.Comment + u"\r\n");
}

}  // namespace

int WriteGroupFile(CNsfConverter& context, const ContactRecord& record, const std::u16string& path) {
    CRunLog& log = context.app.runLog;
    sys::CFile file;
    if (!file.CreateOrTruncate(path)) {
        ++context.app.errorCount;
        log.WriteRaw(u"ERROR:Invalid Path. Group Entry cannot be dump. \r\n");
        ReportLoss(context, u"the group file cannot be written");
        return 0;
    }
    try {
        WriteGroupLines(file, record);
    } catch (...) {
        file.Close();
        ++context.app.errorCount;
        log.WriteRaw(u"ERROR:Distribution list Entry is Not Dump \r\n");
        ReportLoss(context, u"the group file cannot be written");
        return 0;
    }
    file.Close();
    log.WriteLine(u"Item Name:\t" + record.ListName);
    return 1;
}
