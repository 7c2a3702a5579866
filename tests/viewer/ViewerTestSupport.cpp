#include "tests/viewer/ViewerTestSupport.h"

#include <fstream>
#include <sstream>

#include <unistd.h>

#include "platform/notes/LNErrors.h"
#include "tools/nsfdb/Description.h"

namespace viewertest {

CWorkDir::CWorkDir() {
    static int counter = 0;
    dir = std::filesystem::temp_directory_path() /
          ("nsf-viewer-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
}

CWorkDir::~CWorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::u16string CWorkDir::Prefix() const {
    std::u16string prefix;
    for (char c : dir.string()) prefix += static_cast<char16_t>(static_cast<unsigned char>(c));
    return prefix + u"/";
}

std::string CWorkDir::BuildNsf(const std::string& json, const std::string& name) const {
    const auto path = dir / name;
    nsfdb::BuildDatabase(nsfdb::Json::parse(json), dir, path);
    return path.string();
}

void CWorkDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string CWorkDir::Read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string U32(uint32_t v) {
    std::string b;
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

std::string U16Le(const std::string& ascii) {
    std::string b;
    for (char c : ascii) {
        b += c;
        b += '\0';
    }
    return b;
}

std::string U16Le(const std::u16string& text) {
    std::string b;
    for (char16_t c : text) {
        b += static_cast<char>(c & 0xFF);
        b += static_cast<char>(c >> 8);
    }
    return b;
}

std::string LogLine(const std::string& ascii) { return U16Le(ascii + "\r\n"); }

std::string Separator() { return LogLine(std::string(149, '*')); }

std::string FolderEntry(const std::string& path, uint8_t hasEntries, uint32_t noteId) {
    return U32(static_cast<uint32_t>(path.size() * 2)) + U16Le(path) + std::string(1, static_cast<char>(hasEntries)) +
           U32(noteId);
}

std::string NotesError(uint32_t status) {
    char text[512] = {};
    LNGetErrorMessageText(status, text, sizeof text);
    return text;
}

void CFakeViewerWindow::SetStatusText(const std::u16string& text) {
    std::lock_guard guard(lock);
    statuses.push_back(text);
}

void CFakeViewerWindow::SetProgressRange(int32_t, int32_t upper) { rangeUpper = upper; }
void CFakeViewerWindow::SetProgressPosition(int32_t position) {
    lastPosition = position;
    if (onPosition) onPosition(position);
}

void CFakeViewerWindow::InsertItemRowAtTop(const ItemRow& row, uint32_t itemData) {
    list.insert(list.begin(), {row, itemData});
}

ui::EAnswer CFakeViewerWindow::Message(const std::u16string& text, ui::EButtons buttons) {
    std::lock_guard guard(lock);
    messages.push_back(text);
    return buttons == ui::EButtons::Ok ? ui::EAnswer::Ok : answer;
}

}  // namespace viewertest
