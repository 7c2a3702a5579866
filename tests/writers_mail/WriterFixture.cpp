#include "WriterFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"

namespace fs = std::filesystem;

void CWriterFixture::SetEnv(const char* name, const std::string& value)
{
    const char* old = std::getenv(name);
    savedEnv.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
}

void CWriterFixture::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    root = fs::path(::testing::TempDir()) / ("writers_mail_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "tmp");
    tmp = root / "tmp/";
    SetEnv("TMPDIR", tmp.string());
    SetEnv("TZ", "Europe/Berlin");
    tzset();
    std::ofstream(root / "log.txt", std::ios::binary).flush();
    ASSERT_TRUE(app.runLog.Open(sys::Utf8ToUtf16((root / "log.txt").string())));
    converter = std::make_unique<CNsfConverter>(app);
}

void CWriterFixture::TearDown()
{
    if (converter) converter->CloseNotesDatabase();
    converter.reset();
    app.runLog.Close();
    for (auto it = savedEnv.rbegin(); it != savedEnv.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
    tzset();
    fs::remove_all(root);
}

void CWriterFixture::OpenDatabase(const std::string& descriptionName)
{
    const fs::path data = fs::path(NSF2PST_SOURCE_DIR) / "tests/writers_mail/data";
    std::ifstream in(data / descriptionName);
    ASSERT_TRUE(in) << descriptionName;
    nsfdb::BuildDatabase(nsfdb::Json::parse(in), data, root / "db.nsf");
    converter->session.Initialize();
    ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16((root / "db.nsf").string()), u""), 1);
}

void CWriterFixture::OpenDatabaseFromText(const std::string& descriptionJson)
{
    const fs::path data = fs::path(NSF2PST_SOURCE_DIR) / "tests/writers_mail/data";
    nsfdb::BuildDatabase(nsfdb::Json::parse(descriptionJson), data, root / "db.nsf");
    converter->session.Initialize();
    ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16((root / "db.nsf").string()), u""), 1);
}

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
    std::ifstream in(tmp / "1.eml", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::u16string CWriterFixture::LogText() const
{
    std::ifstream in(root / "log.txt", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return sys::FromUtf16LeBytes(bytes.str());
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
