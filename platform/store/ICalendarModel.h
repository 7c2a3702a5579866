// The structure of an iCalendar file as the import reads it: components as
// a tree of content lines, DATE and DATE-TIME values, and the time zones its
// VTIMEZONE components define by their yearly rules.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/ContentLines.h"
#include "platform/store/TimeZone.h"

namespace store {

struct CCalComponent {
    std::string name;  // upper case
    std::vector<CContentLine> lines;
    std::vector<CCalComponent> children;
    bool ended = false;  // its END line was read

    const CContentLine* Find(const std::string& lineName) const;
    std::vector<const CContentLine*> FindAll(const std::string& lineName) const;
};

// The VCALENDAR component of a file; throws CDispatchError when the file
// does not begin with it. Lines after its END are not read.
CCalComponent ParseCalendar(std::string_view bytes);

// A DATE or DATE-TIME value as written.
struct CCalTime {
    int64_t wallMinutes = 0;  // the fields as minutes since 1601
    int second = 0;
    bool dateOnly = false;
    bool utc = false;         // ends in Z
    std::string tzid;
};

// YYYYMMDD, YYYYMMDDTHHMMSS or YYYYMMDDTHHMMSSZ, with the line's TZID.
std::optional<CCalTime> ParseCalTime(const std::string& value, const std::string& tzid = "");
// The comma-separated values of a line (DTSTART, EXDATE, RDATE...); PERIOD values give their starts.
std::vector<CCalTime> ParseCalTimes(const CContentLine& line);

// The zones of a calendar by TZID: those whose VTIMEZONE gives the offsets
// (a zone without STANDARD and DAYLIGHT rules is no zone here).
class CCalZones {
public:
    explicit CCalZones(const CCalComponent& calendar);
    const CTimeZoneInfo* Find(const std::string& tzid) const;
    // The first zone the file defines, for times written without one.
    const CTimeZoneInfo* First() const { return zones.empty() ? nullptr : &zones.front().second; }

private:
    std::vector<std::pair<std::string, CTimeZoneInfo>> zones;
};

// The zone a VTIMEZONE defines, named by its TZID (a zone database name
// becomes the Windows name of the zone); nothing without offsets.
std::optional<CTimeZoneInfo> ZoneOfVTimeZone(const CCalComponent& vtimezone);

}  // namespace store
