// The process command line as one text: exactly one argument is taken
// verbatim (blanks kept); several are joined with one blank.
#pragma once
#include <string>

namespace sys {

std::u16string CommandLineText(int argc, char** argv);

}  // namespace sys
