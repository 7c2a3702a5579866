// Time zones of appointments: a zone read from the Notes zone text
// ("Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=5$ZN=W. Europe": offset in hours west of
// Greenwich, daylight observed, daylight rule as start month/week/day and end
// month/week/day, zone name) and its persisted forms, the time-zone
// definition stream and the 48-byte time-zone structure.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/store/Dispatch.h"

namespace store {

struct CZoneDate {  // the SYSTEMTIME of a yearly transition rule
    uint16_t month = 0, dayOfWeek = 0, week = 0, hour = 0, minute = 0;  // month 0 = no transition
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

// The persisted time-zone definition (one rule, flagged as the effective one,
// and also as the one a recurring series follows when forRecurrence is set).
std::string TimeZoneDefinition(const CTimeZoneInfo& zone, bool forRecurrence = false);
// The 48-byte time-zone structure (bias, standard and daylight rules).
std::string TimeZoneStruct(const CTimeZoneInfo& zone);
// The zone a 48-byte structure holds, named keyName; nothing when it is no such structure.
std::optional<CTimeZoneInfo> ZoneFromStruct(std::string_view bytes, std::u16string keyName);

// The zone the host's clock keeps (the process's TZ), with the yearly
// rules it follows now; Greenwich time when it cannot be told.
const CTimeZoneInfo& HostZone();

// True when the zone changes to daylight time and back.
bool ObservesDaylight(const CTimeZoneInfo& zone);
// Minutes since 1601-01-01: the zone's wall clock at a Greenwich time, and
// the Greenwich time of a wall-clock time (a time that the change to daylight
// time skips is read as daylight time; one that the change back repeats, as
// its first occurrence).
int64_t LocalFromUtc(const CTimeZoneInfo& zone, int64_t utcMinutes);
int64_t UtcFromLocal(const CTimeZoneInfo& zone, int64_t localMinutes);

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
