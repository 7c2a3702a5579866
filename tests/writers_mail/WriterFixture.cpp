#include "WriterFixture.h"

#include <algorithm>
#include <regex>

#include "platform/sys/Text.h"

namespace fs = std::filesystem;

std::u16string CWriterFixture::EmlPath() const
{
    return sys::Utf8ToUtf16((tmp / "1.eml").string());
}

std::string CWriterFixture::MailEml(LNNOTEID noteId)
{
    mail.Clear();
    ReadMailRecord(*converter, noteId, mail);
    EXPECT_EQ(WriteMailEml(*converter, mail, EmlPath(), noteId), 1);
    return ReadEml();
}

std::string CWriterFixture::TaskEml(LNNOTEID noteId)
{
    task.Clear();
    ReadTaskRecord(*converter, noteId, task);
    EXPECT_EQ(WriteTaskEml(*converter, task, EmlPath(), noteId), 1);
    return ReadEml();
}

std::string CWriterFixture::ReadEml() const
{
    return ReadFileBytes(tmp / "1.eml");
}

std::vector<std::string> CWriterFixture::FilesUnderRoot() const
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string CWriterFixture::BoundaryOf(const std::string& eml)
{
    // The boundary is a parameter of the message's own header.
    const std::string header = eml.substr(0, eml.find("\r\n\r\n"));
    std::smatch match;
    const std::regex pattern("boundary=\"(__=_Part_Boundary_00[1-9]_[0-9]{6}\\.[0-9]{6})\"");
    if (!std::regex_search(header, match, pattern)) {
        ADD_FAILURE() << "no boundary in\n" << eml;
        return "?";
    }
    return match[1].str();
}

std::string EncodedWord(const std::string& base64)
{
    return "=?utf-8?B?" + base64 + "?=";
}

std::string MultipartStart(const std::string& boundary)
{
    return "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n--" + boundary + "\r\n";
}

std::string NextPart(const std::string& boundary)
{
    return "\r\n--" + boundary + "\r\n";
}

std::string MultipartEnd(const std::string& boundary)
{
    return "\r\n--" + boundary + "--\r\n";
}

std::string TextPart(const std::string& type, const std::string& utf8Body)
{
    return "Content-Type: " + type + "; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + utf8Body;
}

std::string FilePart(const std::string& nameBase64, const std::string& base64Lines)
{
    return "Content-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; name=\"" +
           EncodedWord(nameBase64) + "\"\r\n\r\n" + base64Lines;
}
