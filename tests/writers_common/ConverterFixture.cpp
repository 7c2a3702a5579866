#include "tests/writers_common/ConverterFixture.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"

namespace fs = std::filesystem;

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void CConverterFixture::SaveEnv(const char* name) {
    const char* old = std::getenv(name);
    savedEnv.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

void CConverterFixture::SetEnv(const char* name, const std::string& value) {
    SaveEnv(name);
    setenv(name, value.c_str(), 1);
}

void CConverterFixture::UnsetEnv(const char* name) {
    SaveEnv(name);
    unsetenv(name);
}

void CConverterFixture::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    root = fs::path(::testing::TempDir()) / (testFolder + "_" + name + "_" + std::to_string(getpid()));
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

void CConverterFixture::TearDown() {
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

fs::path CConverterFixture::DataDirectory() const {
    return fs::path(NSF2PST_SOURCE_DIR) / "tests" / testFolder / "data";
}

void CConverterFixture::OpenDatabase(const std::string& descriptionName) {
    std::ifstream in(DataDirectory() / descriptionName);
    ASSERT_TRUE(in) << descriptionName;
    nsfdb::BuildDatabase(nsfdb::Json::parse(in), DataDirectory(), root / "db.nsf");
    converter->session.Initialize();
    ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16((root / "db.nsf").string()), u""), 1);
}

void CConverterFixture::OpenDatabaseFromText(const std::string& descriptionJson) {
    nsfdb::BuildDatabase(nsfdb::Json::parse(descriptionJson), DataDirectory(), root / "db.nsf");
    converter->session.Initialize();
    ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16((root / "db.nsf").string()), u""), 1);
}

std::u16string CConverterFixture::LogText() const {
    return sys::FromUtf16LeBytes(ReadFileBytes(root / "log.txt"));
}
