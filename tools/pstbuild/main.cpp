// pstbuild STAGING OUT.pst: writes a Unicode PST file from a staging store.
#include <cstdio>
#include <cstring>
#include <string>

#include "nsf2pst/Version.h"
#include "platform/pst/PstWriter.h"

namespace {
const char kUsage[] =
    "usage: pstbuild STAGING OUT.pst\n"
    "Writes a Unicode PST file from a staging store.\n"
    "  --help     show this text\n"
    "  --version  print the version and exit\n";
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("pstbuild " NSF2PST_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    pst::CWriteStats stats;
    std::string error = pst::WritePstFromStaging(argv[1], argv[2], &stats);
    if (!error.empty()) {
        std::fprintf(stderr, "pstbuild: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %llu folders, %llu messages, %llu attachments, %llu bytes\n", argv[2],
                (unsigned long long)stats.folders, (unsigned long long)stats.messages,
                (unsigned long long)stats.attachments, (unsigned long long)stats.fileBytes);
    return 0;
}
