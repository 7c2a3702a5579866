#include "launcher/AddressSources.h"

#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "viewer/dialogs/AddressSources.h"

bool LoadAddressSources(LauncherOptions& options, std::string& error) {
    ExportSettings& s = options.settings;
    if (!options.csvPath.empty()) {
        ECsvResult result = ReadCsvFile(sys::Utf8ToUtf16(options.csvPath), s.addressMap, s.useCsvMap);
        if (result == ECsvResult::CannotOpen) return error = "cannot read the CSV file " + options.csvPath, false;
        if (result == ECsvResult::NotValid)
            return error = "the CSV file " + options.csvPath + " is not a list of name,address lines", false;
    }
    if (!options.namesPath.empty()) {
        LNNotesSession session;
        LNDatabase database;
        if (!ReadNamesAddressBook(session, database, sys::Utf8ToUtf16(options.namesPath), s.addressMap,
                                  s.useNamesNsf))
            return error = "cannot open the address book " + options.namesPath, false;
    }
    return true;
}
