// The open-file dialog with which a program started without a database (from
// the desktop menu) asks for one.
#pragma once
#include <string>

namespace ui {

// The path of the Notes database the user picked, in UTF-8; empty when the
// user cancelled or no display can be opened.
std::string ChooseNotesDatabase();

}  // namespace ui
