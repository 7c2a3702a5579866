#include "worker/core/PassSupport.h"

#include <string>

#include "platform/notes/LNErrors.h"
#include "platform/sys/Text.h"
#include "platform/sys/Time.h"

std::u16string NotesErrorText(LNSTATUS status) {
    char buffer[512] = {};
    LNGetErrorMessageText(status, buffer, sizeof buffer);
    return sys::AnsiToUtf16(buffer);
}

std::u16string Decimal(uint64_t value) { return sys::Widen(std::to_string(value)); }

std::optional<store::COleDate> StoreDate(const std::u16string& dateText) {
    auto parsed = sys::ParseMonthFirstDate(dateText);
    if (!parsed) return std::nullopt;
    return store::COleDate{sys::ToOleDate(*parsed)};
}
