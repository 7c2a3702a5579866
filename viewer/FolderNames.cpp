#include "viewer/FolderNames.h"

#include <array>
#include <utility>

#include "worker/notes/CToken.h"

namespace {

struct FolderImage {
    std::u16string_view text;
    int image;
    bool topLevelOnly;
};

// In table order: the first text found in the item text decides.
constexpr std::array<FolderImage, 20> folderImages{{
    {u"Junk E-mail", 14, false},
    {u"Inbox", 3, false},
    {u"Outbox", 6, false},
    {u"RSS Feeds", 17, false},
    {u"Sent Items", 7, false},
    {u"Drafts", 2, false},
    {u"Deleted Items", 16, false},
    {u"Large Mail", 15, false},
    {u"Unread Mail", 15, false},
    {u"Categorized Mail", 15, false},
    {u"Search Folders", 15, false},
    {u"Search", 15, false},
    {u"Calendar", 1, false},
    {u"Tasks", 8, false},
    {u"Journal", 4, false},
    {u"Notes", 5, false},
    {u"Contacts", 11, false},
    {u"$Alarms", 1, true},
    {u"$ByCategory", 15, true},
    {u"$Inbox-Categorized1", 15, true},
}};

constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 7> systemFolders{{
    {u"($Sent)", u"Sent Items"},
    {u"($Inbox)", u"Inbox"},
    {u"($Drafts)", u"Drafts"},
    {u"($ToDo)", u"Tasks"},
    {u"($Meetings)", u"Calendar"},
    {u"($JunkMail)", u"Junk E-mail"},
    {u"($Trash)", u"Trash"},
}};

}  // namespace

std::u16string RenameSystemFolder(std::u16string_view notesName) {
    for (const auto& [notes, outlook] : systemFolders)
        if (notesName == notes) return std::u16string(outlook);
    return std::u16string(notesName);
}

int FolderImageIndex(std::u16string_view text, bool topLevel) {
    for (const FolderImage& entry : folderImages) {
        if (entry.topLevelOnly && !topLevel) continue;
        if (text.find(entry.text) != std::u16string_view::npos) return entry.image;
    }
    return 10;
}

std::u16string CleanFolderName(std::u16string_view name) {
    std::u16string cleaned(name);
    for (char16_t& c : cleaned) {
        switch (c) {
        case u'\n': case u'\r': case u'/': case u':': case u'*': case u'?':
        case u'<': case u'>': case u'|': case u'\\': case u'\t':
            c = u' ';
            break;
        default:
            break;
        }
    }
    return cleaned;
}

std::u16string MapFolderName(std::u16string_view name, const ExportSettings& settings) {
    std::u16string cleaned = CleanFolderName(name);
    if (settings.useFolderMapping == 1) {
        auto it = settings.folderMapping.find(cleaned);
        if (it != settings.folderMapping.end() && !it->second.empty()) return it->second;
    }
    return cleaned;
}

std::u16string BatchFolderPath(std::u16string_view name, const ExportSettings& settings) {
    if (name.size() < 2 || name.find(u'\\', 1) == std::u16string_view::npos) return MapFolderName(name, settings);
    std::u16string path;
    CToken parts(name);
    parts.SetSeparator(u"\\");
    while (parts.MoreTokens()) {
        path += MapFolderName(parts.NextToken(), settings);
        path += u'\\';
    }
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    return path;
}
