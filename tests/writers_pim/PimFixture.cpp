#include "PimFixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"

namespace fs = std::filesystem;

void CPimFixture::SaveEnv(const char* name) {
    const char* old = std::getenv(name);
    savedEnv.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

void CPimFixture::SetEnv(const char* name, const std::string& value) {
    SaveEnv(name);
    setenv(name, value.c_str(), 1);
}

void CPimFixture::UnsetEnv(const char* name) {
    SaveEnv(name);
    unsetenv(name);
}

void CPimFixture::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    root = fs::path(::testing::TempDir()) / ("writers_pim_" + name + "_" + std::to_string(getpid()));
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

void CPimFixture::TearDown() {
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

void CPimFixture::OpenDatabase(const std::string& descriptionName) {
    const fs::path data = fs::path(NSF2PST_SOURCE_DIR) / "tests/writers_pim/data";
    std::ifstream in(data / descriptionName);
    ASSERT_TRUE(in) << descriptionName;
    nsfdb::BuildDatabase(nsfdb::Json::parse(in), data, root / "db.nsf");
    converter->session.Initialize();
    ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16((root / "db.nsf").string()), u""), 1);
}

std::u16string CPimFixture::TempFile(const std::string& name) const {
    return sys::Utf8ToUtf16((tmp / name).string());
}

std::string CPimFixture::ReadBytes(const std::u16string& path) const {
    std::ifstream in(sys::Utf16ToUtf8(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::u16string CPimFixture::LogText() const {
    return sys::FromUtf16LeBytes(ReadBytes(sys::Utf8ToUtf16((root / "log.txt").string())));
}

std::vector<std::string> CPimFixture::TempFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(tmp)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), tmp).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}
