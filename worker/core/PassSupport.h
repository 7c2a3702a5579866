// Small pieces both conversion passes use: the Notes error text of a status,
// numbers as log text, date texts read as store dates, and the run record.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/notes/NotesTypes.h"
#include "platform/store/Dispatch.h"

class CNsfConverter;
class CsavingprocessApp;

// The message text of a Notes status in UTF-16.
std::u16string NotesErrorText(LNSTATUS status);
std::u16string Decimal(uint64_t value);
// Between two documents: true when the run ends here, because the batch is
// full (a restart follows; the count includes the coming document) or Stop
// was pressed (the flag is set back and `stopped` set).
bool RunEndsHere(CsavingprocessApp& app, uint64_t batchCount, uint64_t batchLimit, bool& stopped);
// A save the PST store refused: logged as an error and counted; the run then
// ends as failed at this document.
void ReportStoreFailure(CsavingprocessApp& app, const std::string& reason);
// A month-first date text as a store date, or nothing when it is not a valid date.
std::optional<store::COleDate> StoreDate(const std::u16string& dateText);
