// CalendarRecord: what the calendar reader takes from a Notes calendar
// entry for the iCalendar writer and for the appointment properties the
// calendar pass sets. Texts are empty when absent; dates are date texts
// "%d/%d/%d %d:%d:%d" (month first, no leading zeros), start and end in
// Greenwich time, creation and modification in the note's own zone.
//
// After the fields of every entry come the series and the identity: each
// occurrence of a repeating entry, the repeat rule Notes was given, the
// identity its meeting shares and whose meeting it is.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One occurrence: its start and end, and the start it had when the series
// was made (a moved instance differs). Seconds since 1970-01-01 in
// Greenwich time; for an all-day entry the whole local days as seconds of
// their midnights, with the end the day after the last.
struct CalendarOccurrence {
    int64_t start = 0;
    int64_t end = 0;
    int64_t originalStart = 0;
    bool operator==(const CalendarOccurrence&) const = default;
};

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

    int32_t entryType = 0;          // "AppointmentType": 0 appointment, 1 anniversary, 2 event, 3 meeting, 4 reminder
    uint8_t allDay = 0;             // anniversaries and events take whole days
    // Every value of "StartDateTime" with its "EndDateTime" and
    // "RepeatInstanceDates" value, in order; two or more make a series.
    std::vector<CalendarOccurrence> occurrences;
    std::u16string seriesTimeZone;  // the "StartTimeZone" item, whatever the form's fields
    std::u16string repeatUnit;      // "RepeatUnit": D, W, MD, MP, Y or C (custom dates)
    int32_t repeatInterval = 0;     // "RepeatInterval"; 0 when absent
    std::u16string uid;             // "ApptUNID", else the document's UNID (32 hex digits)
    uint8_t isMeeting = 0;          // a meeting, or a notice of one
    uint8_t ownerIsChair = 0;       // the mailbox owner chairs it (see the reader)

    // Texts empty, numbers and flags 0.
    void Reset() { *this = CalendarRecord(); }
    // A repeating entry: written as a series, its appointments share the uid.
    bool IsSeries() const { return occurrences.size() >= 2; }
};
