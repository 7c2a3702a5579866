// Small pieces both conversion passes use: the Notes error text of a status,
// numbers as log text, date texts read as store dates, and the run record.
#pragma once
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"
#include "platform/store/Dispatch.h"
#include "worker/core/OutcomeLog.h"

class CNsfConverter;
class CsavingprocessApp;

// The message text of a Notes status in UTF-16.
std::u16string NotesErrorText(LNSTATUS status);
std::u16string Decimal(uint64_t value);
// Between two documents: true when the run ends here, because the batch is
// full (a restart follows; the count includes the coming document) or Stop
// was pressed (the flag is set back and `stopped` set).
bool RunEndsHere(CsavingprocessApp& app, uint64_t batchCount, uint64_t batchLimit, bool& stopped);
// A save the PST store refused: logged as an error and counted in
// errorCount; the run then ends as failed at this document.
void ReportStoreFailure(CsavingprocessApp& app, const std::string& reason, uint64_t& errorCount);
// The outcome of a document the store saved: incomplete when the readers and
// writers could not carry all of it (their reasons joined), merged when the
// save replaced the copy an earlier folder or run made, converted otherwise.
COutcome SavedOutcome(const std::vector<std::u16string>& problems, bool savedOver);
// The text of an exception that ended a document: a Notes status gives its
// message text, anything else what it says of itself.
std::u16string ExceptionText(const std::exception_ptr& error);
// A month-first date text as a store date, or nothing when it is not a valid date.
std::optional<store::COleDate> StoreDate(const std::u16string& dateText);
