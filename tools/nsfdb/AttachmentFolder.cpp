#include "tools/nsfdb/AttachmentFolder.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace nsfdb {

namespace {

constexpr size_t kMaxName = 200;
constexpr size_t kMaxExtension = 20;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Cuts UTF-8 text to at most n bytes without splitting a character.
std::string Cut(const std::string& s, size_t n) {
    if (s.size() <= n) return s;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

std::pair<std::string, std::string> SplitExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtension) return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

class CFile {
public:
    explicit CFile(int fd) : fd(fd) {}
    ~CFile() {
        if (fd >= 0) close(fd);
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    bool WriteAll(const std::string& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            at += static_cast<size_t>(n);
        }
        return true;
    }
    bool Close() {
        int result = close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

}  // namespace

std::string CleanFileName(const std::string& name) {
    std::string out;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        bool reserved = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        out += reserved ? '_' : c;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    size_t start = out.find_first_not_of(' ');
    out = start == std::string::npos ? std::string() : out.substr(start);
    if (!out.empty() && out[0] == '.') out[0] = '_';
    if (out.empty()) return "attachment";
    if (out.size() > kMaxName) {
        auto [stem, extension] = SplitExtension(out);
        out = Cut(stem, kMaxName - extension.size()) + extension;
    }
    return out;
}

CAttachmentFolder::CAttachmentFolder(const std::filesystem::path& folder) : folder(folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder))
        throw std::runtime_error("cannot make the attachment folder \"" + folder.string() + "\"");
}

// Names are compared without regard to case, so that the folder can be
// copied to a file system that ignores it.
std::filesystem::path CAttachmentFolder::Unused(const std::string& cleaned) {
    auto [stem, extension] = SplitExtension(cleaned);
    for (int n = 1;; ++n) {
        std::string candidate = n == 1 ? cleaned : Cut(stem, kMaxName - 8 - extension.size()) + " (" + std::to_string(n) + ")" + extension;
        std::filesystem::path path = folder / candidate;
        auto status = std::filesystem::symlink_status(path);
        bool occupied = std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
                        !std::filesystem::is_symlink(status);
        if (!occupied && taken.insert(Lower(candidate)).second) return path;
    }
}

std::filesystem::path CAttachmentFolder::Write(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = Unused(CleanFileName(name));
    unlink(path.c_str());   // an earlier dump's file, or a link: replaced, not followed
    auto fail = [&](int error) {
        unlink(path.c_str());
        throw std::runtime_error("cannot write \"" + path.string() + "\": " + std::strerror(error));
    };
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) fail(errno);
    CFile file(fd);
    if (!file.WriteAll(bytes)) fail(errno ? errno : EIO);
    if (!file.Close()) fail(errno);
    return path;
}

}  // namespace nsfdb
