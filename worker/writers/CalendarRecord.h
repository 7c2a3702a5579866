// CalendarRecord: what the calendar reader takes from a Notes calendar
// entry for the iCalendar writer and for the appointment properties the
// calendar pass sets. Texts are empty when absent; dates are date texts
// "%d/%d/%d %d:%d:%d" (month first, no leading zeros), start and end in
// Greenwich time, creation and modification in the note's own zone.
#pragma once
#include <cstdint>
#include <string>

struct CalendarRecord {
    std::u16string sendTo;          // To recipients and "INetSendTo", translated
    std::u16string organizer;       // sender and "INetFrom", translated
    std::u16string copyTo;          // Copy recipients and "InetCopyTo", translated
    std::u16string blindCopyTo;     // Blind-copy recipients and "InetBlindCopyTo", translated
    std::u16string endText;
    std::u16string attachmentNames; // each name followed by ", "
    std::u16string startTimeZone;   // "StartTimeZone" values joined with ";"
    std::u16string endTimeZone;     // "EndTimeZone" values joined with ";"
    std::u16string location;        // "Location" values joined with ";"
    uint8_t alarmEnabled = 0;
    int32_t alarmOffsetMinutes = 0; // as the Notes API reports it
    std::u16string startText;
    std::u16string optionalAttendees;
    std::u16string requiredAttendees;
    uint8_t descriptionIsHtml = 0;
    std::u16string description;
    std::u16string summary;
    std::u16string categories;      // joined with ";"
    std::u16string createdText;
    std::u16string lastModifiedText;
    int32_t importance = 0;         // mail importance as the Notes API reports it
    uint8_t isRead = 0;             // set by the calendar pass

    // Texts empty, numbers and flags 0.
    void Reset() { *this = CalendarRecord(); }
};
