// What a killed launcher leaves behind: the next conversion removes the work
// directories of conversions whose launcher has ended, and only those.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "launcher/WorkDirectory.h"
#include "platform/sys/Text.h"

namespace {

namespace fs = std::filesystem;

// A private TMPDIR for one test, removed at the end.
class CScopedTmpdir {
public:
    CScopedTmpdir() {
        std::string pattern = (fs::temp_directory_path() / "launcher-test-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : "";
        if (const char* old = std::getenv("TMPDIR")) previous = old, hadValue = true;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~CScopedTmpdir() {
        hadValue ? setenv("TMPDIR", previous.c_str(), 1) : unsetenv("TMPDIR");
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string dir;

private:
    std::string previous;
    bool hadValue = false;
};

// Runs `body` in a child process that ends without running destructors, as a
// killed launcher would.
void InEndedProcess(const std::function<void()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

void MakeWorkDirectory(bool keep) {
    CWorkDirectory* work = new CWorkDirectory;  // never destroyed: its process ends
    std::string error;
    if (!work->Create(ExportSettings{}, error)) _exit(1);
    if (keep) work->Keep();
    std::ofstream(fs::temp_directory_path() / (keep ? "kept-path" : "ended-path")) << sys::Utf16ToUtf8(work->Path());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

std::string OwnPidNamespace() { return fs::read_symlink("/proc/self/ns/pid").string(); }

fs::path PlantWorkDirectory(const std::string& tmp, const std::string& name, const std::string& owner) {
    fs::path dir = fs::path(tmp) / ("nsf2pst-work-" + name);
    fs::create_directory(dir);
    if (!owner.empty()) std::ofstream(dir / "owner.pid") << owner << "\n";
    return dir;
}

TEST(WorkDirectory, RemovesOnlyTheFoldersOfEndedConversions) {
    CScopedTmpdir tmp;
    ASSERT_FALSE(tmp.dir.empty());
    CWorkDirectory running;
    std::string error;
    ASSERT_TRUE(running.Create(ExportSettings{}, error)) << error;
    InEndedProcess([] { MakeWorkDirectory(true); });
    InEndedProcess([] { MakeWorkDirectory(false); });
    const fs::path ended = ReadFile(fs::path(tmp.dir) / "ended-path");
    const fs::path kept = ReadFile(fs::path(tmp.dir) / "kept-path");
    ASSERT_TRUE(fs::exists(ended / "config.txt"));
    const std::string ns = OwnPidNamespace();
    // Our PID with another start time: the PID was given to a new process
    // after the conversion that owned the folder ended.
    const fs::path reused = PlantWorkDirectory(tmp.dir, "reused", std::to_string(getpid()) + " 1 " + ns);
    const fs::path otherNamespace = PlantWorkDirectory(tmp.dir, "container", "1 1 pid:[1]");
    const fs::path withoutOwner = PlantWorkDirectory(tmp.dir, "older", "");
    const fs::path unreadable = PlantWorkDirectory(tmp.dir, "garbled", "not a record");
    const fs::path outside = PlantWorkDirectory(tmp.dir, "target", "1 1 " + ns);
    fs::rename(outside, fs::path(tmp.dir) / "elsewhere");
    fs::create_directory_symlink(fs::path(tmp.dir) / "elsewhere", fs::path(tmp.dir) / "nsf2pst-work-link");

    CWorkDirectory next;
    ASSERT_TRUE(next.Create(ExportSettings{}, error)) << error;

    EXPECT_FALSE(fs::exists(ended));
    EXPECT_FALSE(fs::exists(reused));
    EXPECT_TRUE(fs::exists(sys::Utf16ToUtf8(running.LogPath())));
    EXPECT_TRUE(fs::exists(kept / "config.txt"));
    EXPECT_TRUE(fs::exists(otherNamespace));
    EXPECT_TRUE(fs::exists(withoutOwner));
    EXPECT_TRUE(fs::exists(unreadable));
    EXPECT_TRUE(fs::exists(fs::path(tmp.dir) / "elsewhere" / "owner.pid"));
    EXPECT_TRUE(fs::is_symlink(fs::path(tmp.dir) / "nsf2pst-work-link"));
    EXPECT_TRUE(fs::exists(sys::Utf16ToUtf8(next.LogPath())));
}

}  // namespace
