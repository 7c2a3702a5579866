// Message-level setters and the Date text.
#include "worker/mime/CMimeMessage.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Minutes east of UTC as the Date field states them: the difference of the
// local and the UTC breakdown (the day difference wrapped at month ends).
// That difference already includes daylight saving time, so summer times
// carry their true offset.
int ZoneOffsetMinutes(const std::tm& local, const std::tm& utc)
{
    int dayDifference = local.tm_mday - utc.tm_mday;
    if (dayDifference > 1) dayDifference = -1;
    if (dayDifference < -1) dayDifference = 1;
    int offset = dayDifference * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    return offset;
}

}  // namespace

void CMimeMessage::SetFrom(std::string_view value) { PutField("From", value); }
void CMimeMessage::SetTo(std::string_view value) { PutField("To", value); }
void CMimeMessage::SetCc(std::string_view value) { PutField("CC", value); }
void CMimeMessage::SetBcc(std::string_view value) { PutField("BCC", value); }
void CMimeMessage::SetSubject(std::string_view value) { PutField("Subject", value); }

void CMimeMessage::SetDate(int year, int month, int day, int hour, int minute, int second)
{
    std::tm wanted{};
    wanted.tm_year = year - 1900;
    wanted.tm_mon = month - 1;
    wanted.tm_mday = day;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = second;
    wanted.tm_isdst = -1;
    const std::time_t value = std::mktime(&wanted);
    if (value < 0) return;
    std::tm local{};
    std::tm utc{};
    if (!localtime_r(&value, &local) || !gmtime_r(&value, &utc)) return;
    const int offset = ZoneOffsetMinutes(local, utc);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", kWeekdays[local.tm_wday],
                  local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset < 0 ? '-' : '+', std::abs(offset / 60), std::abs(offset % 60));
    PutField("Date", text);
}
