// Outlook names of the Notes system folders, folder images, cleaning,
// folder mapping and the batch selection path.
#include <gtest/gtest.h>

#include "viewer/FolderNames.h"

namespace {

TEST(FolderNames, SystemFoldersRenamedByExactName) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"($Sent)", u"Sent Items"},   {u"($Inbox)", u"Inbox"},      {u"($Drafts)", u"Drafts"},
        {u"($ToDo)", u"Tasks"},        {u"($Meetings)", u"Calendar"}, {u"($JunkMail)", u"Junk E-mail"},
        {u"($Trash)", u"Trash"},       {u"($inbox)", u"($inbox)"},    {u"($Inbox) ", u"($Inbox) "},
        {u"($All)", u"($All)"},        {u"Projects", u"Projects"}};
    for (const auto& [notes, outlook] : cases) EXPECT_EQ(RenameSystemFolder(notes), outlook);
}

struct ImageCase {
    std::u16string text;
    bool topLevel;
    int image;
};

TEST(FolderNames, ImageOfFirstTextFoundInTableOrder) {
    const ImageCase cases[] = {
        {u"Inbox", true, 3},
        {u"Old Inbox 2019", false, 3},          // substring
        {u"inbox", true, 10},                   // case-sensitive
        {u"Junk E-mail", true, 14},
        {u"Sent Items", true, 7},
        {u"Sent Items Search", true, 7},        // Sent Items comes before Search
        {u"Search Folders", true, 15},
        {u"Calendar", false, 1},
        {u"Tasks", true, 8},
        {u"Notes", true, 5},
        {u"Contacts", true, 11},
        {u"Deleted Items", true, 16},
        {u"RSS Feeds", true, 17},
        {u"Outbox", true, 6},
        {u"Drafts", true, 2},
        {u"Journal", true, 4},
        {u"($Alarms)", true, 1},
        {u"($Alarms)", false, 10},              // "$" texts only for top-level folders
        {u"($ByCategory)", true, 15},
        {u"($Inbox-Categorized1)", true, 3},    // Inbox is found first
        {u"Trash", true, 10},
        {u"", false, 10}};
    for (const ImageCase& c : cases)
        EXPECT_EQ(FolderImageIndex(c.text, c.topLevel), c.image) << std::string(c.text.begin(), c.text.end());
}

TEST(FolderNames, CleaningReplacesEachForbiddenCharacterByABlank) {
    EXPECT_EQ(CleanFolderName(u"a\nb\rc/d:e*f?g<h>i|j\\k\tl"), u"a b c d e f g h i j k l");
    EXPECT_EQ(CleanFolderName(u" Re: x "), u" Re  x ");   // not trimmed
}

TEST(FolderNames, MappingReplacesCleanedNameWhenOnAndNotEmpty) {
    ExportSettings settings;
    settings.folderMapping = {{u"Inbox", u"Posteingang"}, {u"Drafts", u""}, {u"A B", u"Mapped"}};
    EXPECT_EQ(MapFolderName(u"Inbox", settings), u"Inbox");   // mapping off
    settings.useFolderMapping = 1;
    EXPECT_EQ(MapFolderName(u"Inbox", settings), u"Posteingang");
    EXPECT_EQ(MapFolderName(u"Drafts", settings), u"Drafts");   // empty value
    EXPECT_EQ(MapFolderName(u"A:B", settings), u"Mapped");       // key is the cleaned name
    EXPECT_EQ(MapFolderName(u"inbox", settings), u"inbox");
}

TEST(FolderNames, BatchPathsOfNamesWithAndWithoutBackslashes) {
    ExportSettings settings;
    settings.useFolderMapping = 1;
    settings.folderMapping = {{u"Inbox", u"Posteingang"}};
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Projects\\2018", u"Projects\\2018"},
        {u"Projects\\2018\\Budget", u"Projects\\2018\\Budget"},
        {u"A:1\\B|2", u"A 1\\B 2"},
        {u"Inbox\\Inbox", u"Posteingang\\Posteingang"},
        {u"Old\\", u"Old"},
        {u"Old\\\\", u"Old"},
        {u"A\\\\B", u"A\\\\B"},
        {u"\\Top", u" Top"},           // backslash only at the first character
        {u"Inbox", u"Posteingang"},
        {u"Re: Inbox", u"Re  Inbox"}};
    for (const auto& [name, path] : cases) EXPECT_EQ(BatchFolderPath(name, settings), path);
}

}  // namespace
