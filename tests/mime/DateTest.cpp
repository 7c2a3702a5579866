// The Date field for local times in several zones, winter and summer, and
// times that give no Date field.
#include <gtest/gtest.h>

#include <string>

#include "ScopedTimeZone.h"
#include "worker/mime/CMimeMessage.h"

namespace {

struct DateCase {
    const char* zone;
    int year, month, day, hour, minute, second;
    const char* expected;  // null: no Date field
};

// Summer times carry the summer offset (+0200 in Berlin, -0230 in St John's).
const DateCase kCases[] = {
    {"Europe/Berlin", 2013, 3, 5, 14, 7, 9, "Tue, 5 Mar 2013 14:07:09 +0100"},
    {"Europe/Berlin", 2013, 7, 5, 14, 7, 9, "Fri, 5 Jul 2013 14:07:09 +0200"},
    {"Europe/Berlin", 2014, 1, 1, 0, 30, 0, "Wed, 1 Jan 2014 00:30:00 +0100"},
    {"Asia/Kolkata", 2013, 3, 5, 14, 7, 9, "Tue, 5 Mar 2013 14:07:09 +0530"},
    {"Asia/Kolkata", 2013, 7, 5, 9, 0, 0, "Fri, 5 Jul 2013 09:00:00 +0530"},
    {"Asia/Kolkata", 2013, 3, 1, 2, 0, 0, "Fri, 1 Mar 2013 02:00:00 +0530"},
    {"America/St_Johns", 2013, 3, 5, 14, 7, 9, "Tue, 5 Mar 2013 14:07:09 -0330"},
    {"America/St_Johns", 2013, 7, 5, 14, 7, 9, "Fri, 5 Jul 2013 14:07:09 -0230"},
    {"America/St_Johns", 2013, 2, 28, 22, 0, 0, "Thu, 28 Feb 2013 22:00:00 -0330"},
    {"UTC", 2013, 12, 31, 23, 59, 59, "Tue, 31 Dec 2013 23:59:59 +0000"},
    {"UTC", 1970, 1, 1, 0, 0, 0, "Thu, 1 Jan 1970 00:00:00 +0000"},
    {"Europe/Berlin", 1970, 1, 1, 0, 30, 0, nullptr},
    {"Europe/Berlin", 1969, 7, 20, 20, 17, 0, nullptr},
    {"America/St_Johns", 1955, 1, 1, 12, 0, 0, nullptr},
};

}  // namespace

TEST(MessageDate, LocalTimeWithZone)
{
    for (const DateCase& c : kCases) {
        const CScopedTimeZone zone(c.zone);
        CMimeMessage message;
        message.SetDate(c.year, c.month, c.day, c.hour, c.minute, c.second);
        const std::string* value = message.FieldValue("Date");
        if (c.expected) {
            ASSERT_NE(value, nullptr) << c.zone << " " << c.year;
            EXPECT_EQ(*value, c.expected) << c.zone;
            EXPECT_EQ(message.Fields().front().name, "Date");
        } else {
            EXPECT_EQ(value, nullptr) << c.zone << " " << c.year;
            EXPECT_TRUE(message.Fields().empty());
        }
    }
}

TEST(MessageDate, SettingAgainReplacesInPlace)
{
    const CScopedTimeZone zone("UTC");
    CMimeMessage message;
    message.SetDate(2013, 3, 5, 14, 7, 9);
    message.SetSubject("s");
    message.SetDate(2020, 2, 29, 8, 5, 1);
    ASSERT_EQ(message.Fields().size(), 2u);
    EXPECT_EQ(message.Fields()[0].value, "Sat, 29 Feb 2020 08:05:01 +0000");
}
