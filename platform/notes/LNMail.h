// Mail-message and calendar-entry views of a document, over the item names
// of the Notes mail template. Assign an open or closed document and open the
// view object again.
#pragma once
#include "platform/notes/LNNote.h"

class LNMailMessage : public LNDocument {
public:
    LNMailMessage() = default;
    LNMailMessage(const LNDocument& doc) : LNDocument(doc) { openHere = false; }
    LNMailMessage& operator=(const LNDocument& doc);

    LNText GetSubject() const;                  // "Subject"
    LNText GetSender() const;                   // "From"
    // 0 = To ("SendTo"), 1 = Copy ("CopyTo"), 2 = Blind copy ("BlindCopyTo").
    LNText GetRecipients(LNINT kind) const;
    LNDatetime GetDateSent() const;             // "PostedDate"; null when absent
    // "Importance": "1" gives 2 (high), "3" gives 0 (low), anything else 1.
    LNINT GetMailImportance() const;
    // "Body" as rich text (CD records or native MIME); a text "Body" gives
    // its text as plain text; an absent or other body gives empty rich text.
    LNRichText GetBody() const;
};

class LNCalendarEntry : public LNDocument {
public:
    LNCalendarEntry() = default;
    LNCalendarEntry(const LNDocument& doc) : LNDocument(doc) { openHere = false; }
    LNCalendarEntry& operator=(const LNDocument& doc);

    // "StartDateTime" and "EndDateTime" (first values); null parts when absent.
    LNDatetimeRange GetDatetimeRange() const;
    bool IsRepeating() const;                   // "Repeats" = "1"
    bool GetIsPrivate() const;                  // "OrgConfidential" = "1"
    bool GetIsAlarmEnabled() const;             // "$Alarm" = 1
    LNINT GetAlarmOffsetMinutes() const;        // "$AlarmOffset", negative before the start
    LNDatetime GetAlarmDatetime() const;        // start + offset
    LNString GetAlarmDescription() const;       // "$AlarmDescription"
    LNINT GetEntryType() const;                 // "AppointmentType" (text or number)
    LNString GetBriefDescription() const;       // "Subject"
    // Plain text of "Body" (rich text or text); empty for other bodies.
    LNString GetDetailedDescription() const;
    LNText GetRequiredAttendees() const;        // "RequiredAttendees"
    LNText GetOptionalAttendees() const;        // "OptionalAttendees"
};
