#include "PimFixture.h"

#include <algorithm>

#include "platform/sys/Text.h"
#include "worker/writers/CalendarWriter.h"

namespace fs = std::filesystem;

std::u16string CPimFixture::TempFile(const std::string& name) const {
    return sys::Utf8ToUtf16((tmp / name).string());
}

std::string CPimFixture::ReadBytes(const std::u16string& path) const {
    return ReadFileBytes(sys::Utf16ToUtf8(path));
}

std::vector<std::string> CPimFixture::TempFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(tmp)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), tmp).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void CCalendarFixture::SetUp() {
    CPimFixture::SetUp();
    OpenDatabase(database);
}

std::string CCalendarFixture::Ics(LNNOTEID noteId) {
    ReadCalendarEntry(*converter, noteId, record);
    const std::u16string path = TempFile(std::to_string(noteId) + "t.ics");
    EXPECT_EQ(WriteCalendarFile(*converter, record, path, noteId), 1);
    return ReadBytes(path);
}
