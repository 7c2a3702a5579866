// nsf2pst: converts a Notes database into a PST file with one command. It
// prepares a work directory, runs the viewer to choose the folders, runs the
// worker folder by folder until each is done, then the calendar runs, writes
// the PST and prints a summary.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/Conversion.h"
#include "launcher/LauncherOptions.h"

namespace {
std::string SelfPath(const char* argv0) {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return argv0;
    return std::string(buffer, static_cast<size_t>(n));
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = ParseLauncherOptions(args);
    if (parsed.help) {
        std::fputs(LauncherUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "nsf2pst: %s\nTry 'nsf2pst --help'.\n", parsed.error.c_str());
        return 2;
    }
    CConversion conversion(std::move(*parsed.options), FindPrograms(SelfPath(argv[0])));
    return conversion.Run();
}
