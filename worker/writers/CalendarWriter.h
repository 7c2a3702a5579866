// Calendar entries: reading a Notes calendar document into a
// CalendarRecord, and writing a record as an iCalendar file for the
// store's import.
//
// A single entry's event carries its own start and end in Greenwich time
// (labelled "Greenwich Mean Time"), or its whole days as dates for an
// all-day entry. A repeating entry's event is the series in the entry's own
// zone (its VTIMEZONE), with its UID, recurrence rule, exclusions, extra
// dates and an event per moved instance. The entry's event has the
// summary, organizer, required attendees, description, location and
// categories, the document links and attachments of the entry embedded as
// base64 ATTACH lines, the importance number and the reminder. Lines
// marked "CHARSET=utf-8" carry UTF-8 values, all others the system ANSI
// code page.
#pragma once
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"
#include "worker/writers/CalendarRecord.h"

class CNsfConverter;

// Resets the record and fills it from the document. A Notes error ends the
// reading with what was read so far and puts its text on the run log.
void ReadCalendarEntry(CNsfConverter& context, LNNOTEID noteId, CalendarRecord& record);

// Creates or truncates the .ics file at path and writes the record; the
// document noteId is opened again for its links and attachments. 1 when
// written; 0 after logging an "ERROR:" line and counting one error.
int WriteCalendarFile(CNsfConverter& context, const CalendarRecord& record, const std::u16string& path,
                      LNNOTEID noteId);

// The iCalendar time of a date text: 2/5/2018 9:7:30 gives
// 20180205T090730 (no zone suffix); every part of one digit gets a leading
// zero. A text without a blank gives "T".
std::u16string ICalendarTime(std::u16string_view dateText);
