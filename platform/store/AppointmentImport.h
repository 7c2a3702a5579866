// The appointment side of the calendar import: where the event's times lie
// (the zone a TZID names, Greenwich time for any other, an all-day event's
// dates in the entry's zone), the meeting's identity and whose meeting it
// is, and a repeating event as an Outlook recurring series with its
// exception attachments, or as items of their own where no pattern holds
// the instances.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/store/AppointmentSeries.h"
#include "platform/store/ICalendarModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/MessageData.h"

namespace store {

// The meeting property set, where the meeting's identity lives.
constexpr CGuid psetMeeting = {0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10,
                               0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05};
inline CNamedKey Meeting(uint32_t lid, uint16_t type) { return Named(psetMeeting, lid, type); }

// A text value with its "\n", "\,", "\;" and "\\" escapes undone.
std::u16string EventText(const CContentLine& line);
// "PT1H30M", "-P1D", "-PT-15M" (a doubled sign): the minutes, whatever the sign.
std::optional<int32_t> DurationMinutes(const std::string& text);

// PidTagAttachFlags and its bit for an attachment that is a changed instance.
constexpr uint32_t tagAttachmentFlags = 0x7FFD0003;
constexpr int32_t afException = 0x2;

// True for the hidden attachment that carries a changed instance of a series.
bool IsExceptionAttachment(const CAttachment& attachment);
// Makes an appointment a single instance: no recurrence, no series zone.
void RemoveSeries(CPropertyBag& props);

// The meeting's identity (a clean global object id) on the appointment, and
// with each one's instance date on its exception messages and its further
// items, whenever it is given.
void SetMeetingIdentity(CMessageData& data, const std::string& cleanId);
// Whose meeting it is: the mailbox owner's own (organized) or one it received
// (and accepted, as it stands in the owner's calendar).
void SetMeetingOwnerChairs(CPropertyBag& props, bool ownerChairs);
// Before a save: the exception messages take the appointment's meeting state
// and categories, which may be set after the series was read.
void ShareWithExceptions(CMessageData& data);

class CAppointmentImport {
public:
    CAppointmentImport(CMessageData& data, const CCalZones& zones);

    void ApplyTimes(const CCalComponent& event);
    // The UID as the meeting's identity, unless one was put before.
    void ApplyIdentity(const CCalComponent& event);
    void ApplySeries(const CCalComponent& event, const std::vector<const CCalComponent*>& changes);

private:
    // A time of the file placed on the time line.
    struct CPlaced {
        int64_t utc = 0;   // minutes since 1601
        int second = 0;
        int64_t wall = 0;  // as written
        const CTimeZoneInfo* zone = nullptr;
        bool date = false, fromFile = false;
        CFileTime FileTime() const;
    };
    CPlaced Place(const CCalTime& time) const;
    std::optional<CPlaced> Place(const CContentLine* line) const;
    std::optional<CPlaced> EndOf(const CCalComponent& event, const CPlaced& start) const;
    void SetDisplayZone(uint32_t lid, const CTimeZoneInfo& zone);
    void ApplyBusyStatus(const CCalComponent& event);

    // The series, on the wall clock of its zone.
    int64_t SeriesWall(const CCalTime& time) const;
    int64_t SeriesEndWall() const;  // the first instance's end
    CSeriesInput SeriesInput(const CCalComponent& event, const std::vector<const CCalComponent*>& changes) const;
    std::optional<CInstanceChange> ChangeOf(const CCalComponent& change, const std::string& uid) const;
    void ApplyPattern(const CSeriesPlan& plan);
    CAttachment ExceptionAttachment(const CInstance& instance) const;
    CPropertyBag InstanceProps(const CInstance& instance) const;
    void ApplyInstance(CPropertyBag& props, const CInstance& instance) const;
    CFileTime UtcOfWall(int64_t wall) const;
    void ApplySeriesZone();

    CMessageData& data;
    const CCalZones& zones;
    CTimeZoneInfo greenwich;
    CTimeZoneInfo dayZone;  // where the days of all-day events lie
    bool dayZoneFromFile = false;
    std::optional<CPlaced> start, end;
    CTimeZoneInfo seriesZone;
    std::string globalId;  // the meeting's identity, without an instance date
};

}  // namespace store
