#include "launcher/Batch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "launcher/ChildProcess.h"
#include "launcher/ReportFiles.h"

namespace fs = std::filesystem;

namespace {
// The last line in which the conversion said why it failed.
std::string LastComplaint(const std::string& logPath) {
    std::ifstream in(logPath);
    std::string line, last;
    const std::string prefix = "nsf2pst: ";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0 && line.find("The work directory") == std::string::npos)
            last = line.substr(prefix.size());
    return last;
}

bool WriteAtomically(const std::string& path, const std::string& text) {
    std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << text)) return false;
    }
    return rename(temporary.c_str(), path.c_str()) == 0;
}
}  // namespace

CBatch::CBatch(LauncherOptions o, std::string selfPath) : options(std::move(o)), self(std::move(selfPath)) {}

CBatch::~CBatch() {
    if (lockFd >= 0) close(lockFd);
}

void CBatch::Say(const std::string& text) const {
    if (!options.quiet) std::fprintf(stderr, "%s\n", text.c_str());
}

std::string CBatch::PstPath(size_t index) const {
    return (fs::path(outputDir) / (items[index].pstStem + ".pst")).string();
}

std::string CBatch::LogPath(size_t index) const {
    return (fs::path(outputDir) / "batch-logs" / (items[index].pstStem + ".log")).string();
}

bool CBatch::Prepare(std::string& error) {
    outputDir = options.outputDir;
    std::error_code ec;
    fs::create_directories(fs::path(outputDir) / "batch-logs", ec);
    if (ec) return error = "cannot create the output folder " + outputDir + ": " + ec.message(), false;
    // One batch at a time writes into an output folder.
    std::string lockPath = (fs::path(outputDir) / ".nsf2pst-batch.lock").string();
    lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0 || flock(lockFd, LOCK_EX | LOCK_NB) != 0)
        return error = "another batch is converting into " + outputDir, false;
    items = PlanBatch(options.databasePaths, error);
    if (items.empty()) return false;
    rows.resize(items.size());
    state.emplace((fs::path(outputDir) / kStateName).string());
    if (!state->Load()) return error = "cannot read the batch state " + std::string(kStateName) + " in " + outputDir, false;
    return true;
}

std::vector<size_t> CBatch::TakeOverFinished() {
    std::vector<size_t> queue;
    for (size_t i = 0; i < items.size(); ++i) {
        uint64_t size = 0;
        int64_t modified = 0;
        const CBatchEntry* entry = state->Find(items[i].key);
        if (StatDatabase(items[i].database, size, modified) && AlreadyDone(entry, size, modified)) {
            rows[i] = entry->row;
            rows[i]->database = items[i].database;
            ++finished;
        } else {
            queue.push_back(i);
        }
    }
    if (finished > 0)
        Say("Batch: " + std::to_string(finished) + " of " + std::to_string(items.size()) +
            " databases were converted by an earlier run of this batch");
    return queue;
}

std::vector<std::string> CBatch::ChildArguments(size_t index) const {
    std::vector<std::string> args = {self};
    args.insert(args.end(), options.passOn.begin(), options.passOn.end());
    // An earlier run of this batch began this database: what it left is replaced.
    const CBatchEntry* entry = state->Find(items[index].key);
    if (entry && entry->row.status != 2) args.push_back("--overwrite");
    args.push_back(items[index].database);
    args.push_back(PstPath(index));
    return args;
}

bool CBatch::Start(size_t index) {
    const CBatchEntry* before = state->Find(items[index].key);
    std::vector<std::string> args = ChildArguments(index);
    if (before && before->row.status != 2) {
        std::error_code ec;
        std::string pst = PstPath(index);
        for (const char* extension : {"csv", "json"}) fs::remove(ReportPathFor(pst, extension), ec);
        fs::remove(pst, ec);
    }
    CBatchEntry entry;
    StatDatabase(items[index].database, entry.size, entry.modified);
    entry.row.database = items[index].database;
    entry.row.status = -1;
    state->Set(items[index].key, entry);
    if (!state->Save()) std::fprintf(stderr, "nsf2pst: cannot write the batch state in %s\n", outputDir.c_str());

    const pid_t parent = getpid();
    std::string log = LogPath(index);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // Its own process group, so that a terminal's Ctrl-C reaches it once,
        // through the batch; and it ends with the batch however that ends.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out >= 0) dup2(out, STDOUT_FILENO), dup2(out, STDERR_FILENO);
        if (in >= 0) dup2(in, STDIN_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    running.push_back({index, pid, std::chrono::system_clock::now(), std::chrono::steady_clock::now()});
    Say("[" + std::to_string(finished + running.size()) + "/" + std::to_string(items.size()) + "] " +
        items[index].database + " -> " + PstPath(index));
    return true;
}

void CBatch::Ended(const CRunning& run, int waitStatus) {
    CBatchRow row;
    row.database = items[run.index].database;
    row.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    row.outcome = OutcomeOfStatus(row.status);
    row.started = LocalTimestamp(run.started);
    row.ended = LocalTimestamp(std::chrono::system_clock::now());
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.clock).count();
    ReadReportCounts(row, PstPath(run.index));
    if (WIFSIGNALED(waitStatus))
        row.reason = "the conversion ended with signal " + std::to_string(WTERMSIG(waitStatus));
    else if (row.status != 0)
        row.reason = LastComplaint(LogPath(run.index));
    if (row.status == 127 && row.reason.empty()) row.reason = "cannot run " + self;
    ++finished;
    Say("  " + row.database + ": " + row.outcome + ", " + std::to_string(row.items) + " items" +
        (row.reason.empty() ? "" : " (" + row.reason + ")"));
    CBatchEntry entry = *state->Find(items[run.index].key);
    // A stopped conversion is not finished: the next run does it again.
    entry.ended = row.status != 130;
    entry.row = row;
    state->Set(items[run.index].key, entry);
    if (!state->Save()) std::fprintf(stderr, "nsf2pst: cannot write the batch state in %s\n", outputDir.c_str());
    rows[run.index] = std::move(row);
}

void CBatch::Loop(const std::vector<size_t>& queue) {
    size_t next = 0;
    while (true) {
        if (StopRequested() && !stopped) {
            stopped = true;
            Say("Stopping the running conversions ...");
            for (const CRunning& r : running) StopChild(r.pid);
        }
        while (!stopped && running.size() < static_cast<size_t>(options.jobs) && next < queue.size())
            if (!Start(queue[next++])) std::fprintf(stderr, "nsf2pst: cannot start a conversion\n");
        if (running.empty()) return;
        int status = 0;
        pid_t pid = waitpid(-1, &status, WNOHANG);
        for (size_t i = 0; pid > 0 && i < running.size(); ++i) {
            if (running[i].pid != pid) continue;
            CRunning ended = running[i];
            running.erase(running.begin() + static_cast<long>(i));
            Ended(ended, status);
            break;
        }
        if (pid <= 0) usleep(50000);
    }
}

void CBatch::Finish() {
    std::vector<CBatchRow> all;
    for (size_t i = 0; i < items.size(); ++i) {
        if (rows[i]) {
            all.push_back(*rows[i]);
            continue;
        }
        CBatchRow notStarted;
        notStarted.database = items[i].database;
        notStarted.outcome = "not started";
        all.push_back(notStarted);
    }
    std::string summary = (fs::path(outputDir) / kSummaryName).string();
    if (!WriteAtomically(summary, BatchCsv(all)))
        std::fprintf(stderr, "nsf2pst: cannot write the batch summary %s\n", summary.c_str());
    std::fprintf(stdout, "\nBatch %s\n%s", stopped ? "stopped" : "finished", BatchTable(all).c_str());
    std::fprintf(stdout, "summary: %s\n", summary.c_str());
    std::fflush(stdout);
}

int CBatch::Run() {
    std::string error;
    if (!Prepare(error)) {
        std::fprintf(stderr, "nsf2pst: %s\n", error.c_str());
        return 2;
    }
    InstallStopHandler();
    Loop(TakeOverFinished());
    Finish();
    std::vector<CBatchRow> done;
    for (const auto& row : rows)
        if (row) done.push_back(*row);
    int status = BatchExitStatus(done, stopped);
    if (status == 1) std::fprintf(stderr, "nsf2pst: databases failed; the batch summary says which and why.\n");
    return status;
}
