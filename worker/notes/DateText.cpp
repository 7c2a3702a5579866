#include "worker/notes/DateText.h"

#include <cstdio>

#include "platform/sys/Text.h"
#include "platform/sys/Time.h"

namespace {

struct DateParts {
    LNINT month = 0, day = 0, year = 0;
    LNINT hour = 0, minute = 0, second = 0;
};

DateParts ReadParts(const LNDatetime& value)
{
    DateParts parts;
    value.GetDate(&parts.month, &parts.day, &parts.year);
    value.GetTime(&parts.hour, &parts.minute, &parts.second);
    return parts;
}

bool IsCalendarDate(const DateParts& p)
{
    static const int daysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1) {
        return false;
    }
    const bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
    const int last = p.month == 2 && !leap ? 28 : daysIn[p.month - 1];
    return p.day <= last && p.hour >= 0 && p.hour < 24 && p.minute >= 0 && p.minute < 60 &&
           p.second >= 0 && p.second < 60;
}

}  // namespace

std::u16string FormatDateText(const LNDatetime& value, bool toGreenwich)
{
    LNDatetime moved = value;
    if (toGreenwich) {
        moved.AdjustTimeZone(0);
    }
    const DateParts p = ReadParts(moved);
    char text[80];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%d:%d", static_cast<int>(p.month),
                  static_cast<int>(p.day), static_cast<int>(p.year), static_cast<int>(p.hour),
                  static_cast<int>(p.minute), static_cast<int>(p.second));
    return sys::Widen(text);
}

OleTimestamp ToOleTimestamp(const LNDatetime& value)
{
    if (value.IsNull() || !value.HasDate()) {
        return OleTimestamp{0, DateNull};
    }
    const DateParts p = ReadParts(value);
    if (!IsCalendarDate(p)) {
        return OleTimestamp{0, DateInvalid};
    }
    sys::CSystemTime wallClock;
    wallClock.year = p.year;
    wallClock.month = p.month;
    wallClock.day = p.day;
    wallClock.hour = p.hour;
    wallClock.minute = p.minute;
    wallClock.second = p.second;
    return OleTimestamp{sys::ToOleDate(wallClock), DateValid};
}
