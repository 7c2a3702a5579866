// CleanName: turns a display name or an attachment name into text that can
// stand in a file name or a run-log line. Line breaks, tabs and the
// characters / : * ? < > | " \ become blanks; every other character,
// letters of any script included, stays as it is.
#pragma once
#include <string>
#include <string_view>

std::u16string CleanName(std::u16string_view name);
