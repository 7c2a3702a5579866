// CleanName: turns a display name or an attachment name into text that can
// stand in a file name or a run-log line. Line breaks, tabs and the
// characters / : * ? < > | " \ become blanks; every other character,
// letters of any script included, stays as it is.
//
// CleanPartName: the name an attachment is given in the message (and so in
// the store's display name), made from its cleaned name: the control
// characters that CleanName leaves in place (and line separators and the
// bidirectional overrides that can disguise a name) are left out, since
// they show as glyphs or reorder the name. The run log keeps the cleaned name.
#pragma once
#include <string>
#include <string_view>

std::u16string CleanName(std::u16string_view name);
std::u16string CleanPartName(std::u16string_view cleanedName);
