// Runs the nsfsaver program on prepared work directories, without a display,
// and checks what it leaves in the run log and its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/sys/Text.h"
#include "tests/core/TestBytes.h"
#include "worker/core/ExportSettings.h"
#include "worker/core/WorkFiles.h"

using namespace testbytes;

namespace {

const std::string saverPath = std::string(NSF2PST_BINARY_DIR) + "/worker/app/nsfsaver";

struct RunResult {
    int exitStatus = -1;
    bool timedOut = false;
};

// Starts nsfsaver with one argument (the whole command line) and waits at most 60 s.
RunResult RunSaver(const std::u16string& commandLine, const std::u16string& tmpDir) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("NSF2PST_HEADLESS", "1", 1);
        setenv("TMPDIR", sys::Utf16ToUtf8(tmpDir).c_str(), 1);
        std::string line = sys::Utf16ToUtf8(commandLine);
        execl(saverPath.c_str(), saverPath.c_str(), line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    RunResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

class CWorkDir {
public:
    explicit CWorkDir(bool withLog = true) {
        ExportSettings settings;
        settings.logFilePath = LogPath();
        EXPECT_TRUE(WriteExportSettings(dir.File(u"config.txt"), settings));
        EXPECT_TRUE(sys::WriteWholeFile(dir.File(u"setting.txt"), ""));
        EXPECT_TRUE(WriteFolderRunRecord(dir.File(u"setting.txt"), {8250, 0, u"Inbox", 1}));
        EXPECT_TRUE(sys::WriteWholeFile(dir.File(u"cal.txt"), ""));
        if (withLog) {
            EXPECT_TRUE(sys::WriteWholeFile(LogPath(), "\xFF\xFE"));
        }
    }
    std::u16string LogPath() const { return dir.File(u"KelvroNSF2PST_log_.txt"); }
    std::u16string Pst() const { return dir.File(u"out.pst"); }
    std::u16string Line(std::u16string_view mode) const {
        return dir.File(u"missing.nsf") + u"/D /C " + std::u16string(mode) + u"/P " + Pst() + u"/F" + dir.Path();
    }
    CScratchDir dir;
};

}  // namespace

TEST(WorkerRun, MailRunLogsItsStartAndEndsWith255) {
    CWorkDir work;
    RunResult result = RunSaver(work.Line(u"0"), work.dir.Path());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 255);
    const std::string expected = "\xFF\xFE" + W(u"Saving data process starts:\r\n" u"Session open for pst file: " +
                                                work.Pst() + u"\r\nReOpening  Database \r\n");
    EXPECT_EQ(ReadAll(work.LogPath()), expected);
}

TEST(WorkerRun, CalendarModeOnlyWithTheDigitRightBeforeTheMarker) {
    struct Case {
        std::u16string mode;
        bool calendar;
    };
    for (const Case& c : {Case{u"1", true}, Case{u"1 ", false}, Case{u"0", false}}) {
        CWorkDir work;
        RunResult result = RunSaver(work.Line(c.mode), work.dir.Path());
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, 255);
        std::u16string log = sys::FromUtf16LeBytes(ReadAll(work.LogPath()).substr(2));
        std::u16string calendarLine = u"Session open for pst file for calendar entires: " + work.Pst();
        EXPECT_EQ(log.find(calendarLine) != std::u16string::npos, c.calendar) << sys::Utf16ToUtf8(c.mode);
        EXPECT_EQ(log.find(u"Saving data process starts:") != std::u16string::npos, !c.calendar);
    }
}

TEST(WorkerRun, NoMarkersMeansAMailRunWithEmptyValues) {
    CWorkDir work;
    // Without "/D " nothing is set: config.txt is looked up by its bare name
    // in the current directory, is missing there, and the log path stays empty.
    RunResult result = RunSaver(u"just a path without markers", work.dir.Path());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 255);
    EXPECT_EQ(ReadAll(work.LogPath()), "\xFF\xFE");
}

TEST(WorkerRun, MissingLogEndsTheRunInsteadOfHanging) {
    CWorkDir work(false);
    RunResult result = RunSaver(work.Line(u"0"), work.dir.Path());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 255);
    EXPECT_FALSE(sys::FileExists(work.LogPath()));
}
