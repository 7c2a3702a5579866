// nsf2pst: converts a Notes database into a PST file with one command. It
// prepares a work directory, runs the viewer to choose the folders, runs the
// worker folder by folder until each is done, then the calendar runs, writes
// the PST and prints a summary. Given many databases it runs a batch: one
// such conversion per database, in processes of its own.
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/Batch.h"
#include "launcher/BatchSummary.h"
#include "launcher/Conversion.h"
#include "launcher/LauncherOptions.h"
#include "nsf2pst/Version.h"
#include "platform/ui/UserInterface.h"

namespace {
std::string SelfPath(const char* argv0) {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return argv0;
    return std::string(buffer, static_cast<size_t>(n));
}

// One conversion, its row appended to a batch summary shared with others
// when --summary-row names one.
int ConvertOne(LauncherOptions options, const std::string& self) {
    const std::string rowPath = options.summaryRowPath;
    CBatchRow row;
    row.database = options.databasePath;
    std::string pst = options.outputDir + "/" + PstStem(options) + ".pst";
    auto started = std::chrono::system_clock::now();
    auto clock = std::chrono::steady_clock::now();
    CConversion conversion(std::move(options), FindPrograms(self));
    row.status = conversion.Run();
    if (rowPath.empty()) return row.status;
    row.outcome = OutcomeOfStatus(row.status);
    row.started = LocalTimestamp(started);
    row.ended = LocalTimestamp(std::chrono::system_clock::now());
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clock).count();
    ReadReportCounts(row, pst);
    std::string error;
    if (!AppendBatchRow(rowPath, row, error)) std::fprintf(stderr, "nsf2pst: cannot add the summary row: %s\n", error.c_str());
    return row.status;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = ParseLauncherOptions(args);
    if (parsed.help) {
        std::fputs(LauncherUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::puts("nsf2pst " NSF2PST_VERSION);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "nsf2pst: %s\nTry 'nsf2pst --help'.\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options->chooseDatabase) {
        parsed.options->databasePath = ui::ChooseNotesDatabase();
        if (parsed.options->databasePath.empty()) {
            std::fputs("nsf2pst: no database chosen\n", stderr);
            return 2;
        }
    }
    if (parsed.options->batch) return CBatch(std::move(*parsed.options), SelfPath(argv[0])).Run();
    return ConvertOne(std::move(*parsed.options), SelfPath(argv[0]));
}
