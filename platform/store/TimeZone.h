// Time zones of appointments: a zone read from the Notes zone text
// ("Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=5$ZN=W. Europe": offset in hours west of
// Greenwich, daylight observed, daylight rule as start month/week/day and end
// month/week/day, zone name) and its persisted forms, the time-zone
// definition stream and the 48-byte time-zone structure.
#pragma once
#include <cstdint>
#include <string>

#include "platform/store/Dispatch.h"

namespace store {

struct CZoneDate {  // the SYSTEMTIME of a yearly transition rule
    uint16_t month = 0, dayOfWeek = 0, week = 0, hour = 0;  // month 0 = no transition
    bool operator==(const CZoneDate&) const = default;
};

struct CTimeZoneInfo {
    std::u16string keyName = u"Greenwich Standard Time";
    std::u16string description = u"Greenwich Mean Time";
    int32_t bias = 0;           // minutes; UTC = local + bias
    int32_t standardBias = 0;
    int32_t daylightBias = 0;
    CZoneDate standardDate;     // change back to standard time
    CZoneDate daylightDate;     // change to daylight time
    bool operator==(const CTimeZoneInfo&) const = default;
};

// Reads the Notes zone text; an empty or unreadable text gives Greenwich time.
CTimeZoneInfo ParseNotesZone(std::u16string_view text);

// The persisted time-zone definition (one rule, flagged as the effective one).
std::string TimeZoneDefinition(const CTimeZoneInfo& zone);
// The 48-byte time-zone structure (bias, standard and daylight rules).
std::string TimeZoneStruct(const CTimeZoneInfo& zone);

// A time-zone object as the session's time-zone collection hands it out.
class CTimeZoneObject : public IDispatchObject {
public:
    explicit CTimeZoneObject(CTimeZoneInfo info) : zone(std::move(info)) {}
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;
    const CTimeZoneInfo& Zone() const { return zone; }

private:
    CTimeZoneInfo zone;
};

}  // namespace store
