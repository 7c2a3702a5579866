#include "platform/sys/CommandLine.h"

#include "platform/sys/Text.h"

namespace sys {

std::u16string CommandLineText(int argc, char** argv) {
    std::u16string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += u' ';
        line += Utf8ToUtf16(argv[i]);
    }
    return line;
}

}  // namespace sys
