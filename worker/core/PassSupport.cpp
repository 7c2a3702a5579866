#include "worker/core/PassSupport.h"

#include <string>

#include "platform/notes/LNErrors.h"
#include "platform/sys/Text.h"
#include "platform/sys/Time.h"
#include "worker/core/SavingProcessApp.h"

std::u16string NotesErrorText(LNSTATUS status) {
    char buffer[512] = {};
    LNGetErrorMessageText(status, buffer, sizeof buffer);
    return sys::AnsiToUtf16(buffer);
}

std::u16string Decimal(uint64_t value) { return sys::Widen(std::to_string(value)); }

bool RunEndsHere(CsavingprocessApp& app, uint64_t batchCount, uint64_t batchLimit, bool& stopped) {
    if (batchCount == batchLimit) {
        app.restartNeeded = 1;
        return true;
    }
    if (app.keepRunning == 0) {
        app.keepRunning = 1;
        stopped = true;
        return true;
    }
    return false;
}

void ReportStoreFailure(CsavingprocessApp& app, const std::string& reason, uint64_t& errorCount) {
    app.runLog.WriteRaw(u"ERROR:Item cannot be saved in the PST file: " + sys::Utf8ToUtf16(reason) + u"\r\n");
    ++errorCount;
    app.storeFailure = "the PST store cannot save items: " + reason;
}

COutcome SavedOutcome(const std::vector<std::u16string>& problems, bool savedOver) {
    COutcome event;
    event.outcome = savedOver ? EOutcome::Merged : EOutcome::Converted;
    if (savedOver) event.reason = u"saved over the copy made earlier";
    if (problems.empty()) return event;
    event.outcome = EOutcome::Incomplete;
    std::u16string joined;
    for (const std::u16string& problem : problems) joined += (joined.empty() ? u"" : u"; ") + problem;
    event.reason = joined;
    return event;
}

std::u16string ExceptionText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (LNSTATUS status) {
        return NotesErrorText(status);
    } catch (const std::exception& e) {
        return sys::Utf8ToUtf16(e.what());
    } catch (...) {
    }
    return u"unknown error";
}

std::optional<store::COleDate> StoreDate(const std::u16string& dateText) {
    auto parsed = sys::ParseMonthFirstDate(dateText);
    if (!parsed) return std::nullopt;
    return store::COleDate{sys::ToOleDate(*parsed)};
}
