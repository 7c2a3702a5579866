// The viewer's reader of the NSF file: it opens the database through the
// Notes client, discovers the views and folders that can be exported (under
// their Outlook names) and reads the documents of one view or folder into
// rows of the item list. Failures of Notes calls become trace lines
// ("Func: 121a" ...) in the run log.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/notes/LNDatabase.h"
#include "worker/core/ExportSettings.h"

class CLotusNotesApp;

struct FolderRecord {
    std::u16string name;      // display name; backslashes separate levels
    uint32_t noteId = 0;
    uint8_t hasEntries = 0;   // 1 when it had at least one entry
    bool operator==(const FolderRecord&) const = default;
};

struct ItemRow {
    std::u16string to;
    std::u16string from;
    std::u16string subject;
    uint8_t hasAttachment = 0;
    std::u16string dateTime;
    bool operator==(const ItemRow&) const = default;
};

// Where the reader sends progress (the two synchronous window messages).
class IProgressTarget {
public:
    virtual ~IProgressTarget() = default;
    virtual void SendProgressRange(uint32_t lower, uint32_t upper) = 0;
    virtual void SendProgressPosition(uint32_t position) = 0;
};

class CNsfReader {
public:
    explicit CNsfReader(CLotusNotesApp& app) : app(app) {}
    void SetProgressTarget(IProgressTarget* target) { progress = target; }

    // Gets and opens the database (path in the ANSI code page, server empty
    // = local file). False when the database could not be opened.
    bool OpenDatabase(const std::u16string& nsfPath, const std::u16string& serverName);
    // Fills and returns the folder list, in discovery order, with the
    // includeSystemViews and includeAllView options of the export settings.
    const std::vector<FolderRecord>& DiscoverFolders();
    // The rows of the view or folder with that note ID, in entry order.
    // Names are translated with the options of `settings`, a copy that no
    // other thread changes while the rows are read.
    std::vector<ItemRow> ReadItems(uint32_t noteId, const ExportSettings& settings);
    // Closes the database when open and ends the session when initialised.
    void CloseAll();

    LNNotesSession session;
    LNDatabase database;
    std::vector<FolderRecord> folders;
    ItemRow scratchRow;

private:
    void Trace(const char16_t* tag, LNSTATUS status);
    void Range(uint32_t upper);
    void Position(uint32_t position);
    void ConsiderView(LNViewFolder& view);
    void ReadEntry(const LNViewFolder& view, LNINT index, const ExportSettings& settings);
    void FillMailRow(const class LNMailMessage& mail, const ExportSettings& settings);
    void FillOtherRow(const class LNDocument& doc);

    CLotusNotesApp& app;
    IProgressTarget* progress = nullptr;
};

// The Notes message text of a status (at most 512 bytes, ANSI) in UTF-16.
std::u16string NotesErrorText(LNSTATUS status);
