// pstbuild STAGING OUT.pst: writes a Unicode PST file from a staging store.
#include <cstdio>
#include <string>

#include "platform/pst/PstWriter.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pstbuild STAGING OUT.pst\n");
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
