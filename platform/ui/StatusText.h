// Status texts in a one-line field (the status lines of the viewer and the
// worker, their console lines): the texts keep their line breaks for the run
// log, the field shows them as one line.
#pragma once
#include <string>
#include <string_view>

namespace ui {

// Line breaks (CR, LF, CR LF, U+2028, U+2029) and tabs inside the text become
// one blank each, breaks at its ends are dropped, and other control
// characters are left out.
std::u16string OneLine(std::u16string_view text);

}  // namespace ui
