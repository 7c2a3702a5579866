// Folder names between Notes and Outlook: the Outlook names of the Notes
// system folders, the folder image of a tree item, the cleaning of a name
// into a PST folder name, the folder mapping, and the path written for a
// discovered folder in the batch selection.
#pragma once
#include <string>
#include <string_view>

#include "worker/core/ExportSettings.h"

// "($Inbox)" gives "Inbox" and so on; every other name is kept.
std::u16string RenameSystemFolder(std::u16string_view notesName);

// Image index in the folder strip for a new tree item: the first known text
// that occurs in the item text, else 10. The "$" texts count only for
// top-level folders.
int FolderImageIndex(std::u16string_view text, bool topLevel);

// LF, CR, '/', ':', '*', '?', '<', '>', '|', backslash and tab become blanks.
std::u16string CleanFolderName(std::u16string_view name);

// The cleaned name, replaced by its non-empty folder mapping when mapping is on.
std::u16string MapFolderName(std::u16string_view name, const ExportSettings& settings);

// The selection path of a discovered folder in the batch run: a name with a
// backslash after its first character is split at backslashes, each part
// cleaned and mapped and followed by a backslash, trailing backslashes
// removed; any other name is cleaned and mapped whole.
std::u16string BatchFolderPath(std::u16string_view name, const ExportSettings& settings);
