"""Repeating entries, all-day events, anniversaries, meetings chaired and
received, a task with both start fields and a memo with Internet
identifiers (data/calendar_series.json) through nsf2pst, read back with
readpst's iCalendar output, libpff's properties and pst-extractor.

The expected dates follow from the calendar rules of each series: the
weekday, day of month or position of its occurrences, their count, the
zone's daylight-saving dates (W. Europe: 2018-03-25 and 2018-10-28;
Eastern: 2018-03-11, 2024-03-10)."""
import datetime
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SRC  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "pst"))
from check_pst import entries, named_ids  # noqa: E402

DESCRIPTION = os.path.join(SRC, "tests", "e2e", "data", "calendar_series.json")

APPOINTMENT = "0220060000000000c000000000000046"
MEETING = "90dad86e0b451b1098da00aa003f1305"
TASK = "0320060000000000c000000000000046"
COMMON = "0820060000000000c000000000000046"
NAMED = {
    "recur": (APPOINTMENT, 0x8216), "recurring": (APPOINTMENT, 0x8223), "subType": (APPOINTMENT, 0x8215),
    "stateFlags": (APPOINTMENT, 0x8217), "response": (APPOINTMENT, 0x8218), "zone": (APPOINTMENT, 0x8233),
    "start": (APPOINTMENT, 0x820D), "end": (APPOINTMENT, 0x820E),
    "goid": (MEETING, 0x0003), "cleanGoid": (MEETING, 0x0023),
    "taskStart": (TASK, 0x8104), "taskDue": (TASK, 0x8105),
    "commonStart": (COMMON, 0x8516), "commonEnd": (COMMON, 0x8517),
}
TAGS = {"created": 0x3007, "modified": 0x3008, "messageId": 0x1035, "inReplyTo": 0x1042, "references": 0x1039}

# Subject -> the RRULE readpst writes (INTERVAL=1 left out, BYDAY=2TU as
# BYDAY=TU;BYSETPOS=2) and pst-extractor's reading of PidLidAppointmentRecur:
# frequency, pattern type, period, what the pattern type adds, the count,
# the first and last day, the deleted and modified instance dates, the
# minutes from local midnight to start and end.
SERIES = {
    "Daily standup": ({"FREQ": "DAILY", "COUNT": "5"},
                      ("Daily", "Day", 1440, None, 5, "2018-06-04", "2018-06-08", [], [], 540, 555)),
    "Tuesdays and Thursdays": ({"FREQ": "WEEKLY", "COUNT": "4", "BYDAY": "TU,TH"},
                               ("Weekly", "Week", 1, ["Tu", "Th"], 4, "2018-09-04", "2018-09-13", [], [], 600, 660)),
    "Rent review": ({"FREQ": "MONTHLY", "COUNT": "4", "BYMONTHDAY": "15"},
                    ("Monthly", "Month", 1, 15, 4, "2018-01-15", "2018-04-15", [], [], 840, 900)),
    "Board call": ({"FREQ": "MONTHLY", "COUNT": "4", "BYDAY": "TU", "BYSETPOS": "2"},
                   ("Monthly", "MonthNth", 1, {"weekdays": ["Tu"], "nth": 2}, 4, "2024-01-09", "2024-04-09", [], [],
                    600, 630)),
    "Annual review": ({"FREQ": "YEARLY", "COUNT": "3", "BYMONTH": "3", "BYMONTHDAY": "20"},
                      ("Yearly", "Month", 12, 20, 3, "2019-03-20", "2021-03-20", [], [], 540, 600)),
    "Founding day": ({"FREQ": "YEARLY", "COUNT": "3", "BYMONTH": "7", "BYMONTHDAY": "4"},
                     ("Yearly", "Month", 12, 4, 3, "2019-07-04", "2021-07-04", [], [], 0, 1440)),
    # Mondays 09:00 from March 12 to April 16 in W. Europe, across the change
    # to summer time; March 26 deleted, April 9 moved to Tuesday 10:00.
    "Weekly team meeting": ({"FREQ": "WEEKLY", "COUNT": "6", "BYDAY": "MO"},
                            ("Weekly", "Week", 1, ["Mo"], 6, "2018-03-12", "2018-04-16", ["2018-03-26", "2018-04-09"],
                             ["2018-04-10"], 540, 600)),
}
MOVED = [{"start": "2018-04-10T10:00", "end": "2018-04-10T11:00", "originalStart": "2018-04-09T09:00"}]

# Subject -> first start and end in Greenwich time (PidLidAppointmentStartWhole
# and EndWhole, readpst's DTSTART and DTEND), all day or not.
FIRST = {
    "Daily standup": ("2018-06-04T07:00:00Z", "2018-06-04T07:15:00Z", False),
    "Tuesdays and Thursdays": ("2018-09-04T14:00:00Z", "2018-09-04T15:00:00Z", False),
    "Rent review": ("2018-01-15T13:00:00Z", "2018-01-15T14:00:00Z", False),
    "Board call": ("2024-01-09T15:00:00Z", "2024-01-09T15:30:00Z", False),
    "Annual review": ("2019-03-20T08:00:00Z", "2019-03-20T09:00:00Z", False),
    "Founding day": ("2019-07-04T04:00:00Z", "2019-07-05T04:00:00Z", True),
    "Weekly team meeting": ("2018-03-12T08:00:00Z", "2018-03-12T09:00:00Z", False),
    # June 15 to 17 as whole days in W. Europe (summer time).
    "Trade fair": ("2018-06-14T22:00:00Z", "2018-06-17T22:00:00Z", True),
    "Budget review": ("2018-05-03T14:00:00Z", "2018-05-03T15:00:00Z", False),
}
# A custom repeat no Outlook pattern expresses: one appointment each.
AUDITS = [("2018-01-05T12:00:00Z", "2018-01-05T13:00:00Z"), ("2018-02-20T12:00:00Z", "2018-02-20T13:00:00Z"),
          ("2018-03-07T12:00:00Z", "2018-03-07T13:00:00Z")]
# Zone -> bias, standard bias, daylight bias, then month, week, weekday of
# the change to standard and to daylight time (TZSTRUCT).
ZONES = {"W. Europe": (-60, 0, -60, 10, 5, 0, 3, 5, 0), "Eastern": (300, 0, -60, 11, 1, 0, 3, 2, 0)}
SERIES_ZONE = {"Daily standup": "W. Europe", "Tuesdays and Thursdays": "Eastern", "Rent review": "W. Europe",
               "Board call": "Eastern", "Annual review": "W. Europe", "Weekly team meeting": "W. Europe"}

WEEKDAYS = ["Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"]


def filetime(data):
    n = int.from_bytes(data[:8], "little")
    return (datetime.datetime(1601, 1, 1) + datetime.timedelta(microseconds=n // 10)).strftime("%Y-%m-%dT%H:%M:%SZ")


def utf16(data):
    return data.decode("utf-16-le").rstrip("\x00")


def read_pypff(pst):
    """Every message of the PST as {subject, folder, props: name -> raw
    bytes}."""
    f = pst_items.open_pst(pst)
    ids = named_ids(f)
    by_name = {name: ids.get((guid, "lid", lid)) for name, (guid, lid) in NAMED.items()}
    by_name.update(TAGS)

    def props(item):
        have = {}
        for (etype, _), data in entries(item).items():
            have.setdefault(etype, data)
        return {name: have[pid] for name, pid in by_name.items() if pid in have}

    out = []

    def visit(folder, path):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            out.append({"subject": m.subject or "", "folder": path, "props": props(m)})
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            visit(sub, path + "/" + (sub.name or ""))

    visit(f.get_root_folder(), "")
    f.close()
    return out


def readpst_events(pst, out):
    """The VEVENTs of readpst's calendar output: SUMMARY -> list of
    {line name: value}."""
    r = subprocess.run(["readpst", "-q", "-j", "0", "-o", out, pst], capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        raise AssertionError("readpst failed: " + r.stderr)
    events = {}
    for name in os.listdir(out):
        if not name.endswith(".calendar"):
            continue
        with open(os.path.join(out, name), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for block in re.findall(r"BEGIN:VEVENT\n(.*?)END:VEVENT", text, re.S):
            fields = {}
            for line in block.splitlines():
                key, _, value = line.partition(":")
                fields.setdefault(key.split(";")[0], value)
            events.setdefault(fields.get("SUMMARY", ""), []).append(fields)
    return events


def rrule(text):
    # readpst separates the days of BYDAY with ";" as well ("BYDAY=TU;TH").
    parts = {}
    key = None
    for part in text.split(";"):
        if "=" in part:
            key, value = part.split("=", 1)
            parts[key] = value
        elif key == "BYDAY" and part:
            parts[key] += "," + part
    if parts.get("INTERVAL") == "1":
        del parts["INTERVAL"]
    m = re.fullmatch(r"(-?\d)([A-Z]{2})", parts.get("BYDAY", ""))
    if m:
        parts["BYDAY"], parts["BYSETPOS"] = m.group(2), m.group(1)
    return parts


def ical_utc(iso):
    return iso.replace("-", "").replace(":", "")


class CalendarSeries(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        db = os.path.join(cls.tmp.name, "series.nsf")
        subprocess.run([NSFDB, "build", DESCRIPTION, db], check=True)
        out = os.path.join(cls.tmp.name, "out")
        os.makedirs(out)
        env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=cls.tmp.name)
        r = subprocess.run([NSF2PST, "--quiet", db, out], env=env, capture_output=True, text=True, timeout=600)
        if r.returncode != 0:
            raise AssertionError("nsf2pst failed: " + r.stderr)
        cls.pst = os.path.join(out, "series.pst")
        cls.extracted = pst_items.cross_check(cls.pst)
        cls.messages = read_pypff(cls.pst)
        os.makedirs(os.path.join(cls.tmp.name, "readpst"))
        cls.events = readpst_events(cls.pst, os.path.join(cls.tmp.name, "readpst"))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def pypff(self, subject):
        found = [m for m in self.messages if m["subject"] == subject]
        self.assertTrue(found, subject + " is not in the PST")
        return found

    def extractor(self, subject):
        if self.extracted is None:
            self.skipTest("pst-extractor is unavailable: " + str(pst_items.pst_extractor.unavailable()))
        found = [m for m in self.extracted["messages"] if m["subject"] == subject]
        self.assertTrue(found, subject + " is not read by pst-extractor")
        return found

    def test_readpst_decodes_each_series_into_its_rrule(self):
        for subject, (rule, _) in SERIES.items():
            with self.subTest(subject):
                events = self.events.get(subject, [])
                self.assertEqual(len(events), 1, "one VEVENT for the series")
                self.assertEqual(rrule(events[0].get("RRULE", "")), rule)
                start, end, _ = FIRST[subject]
                self.assertEqual((events[0]["DTSTART"], events[0]["DTEND"]), (ical_utc(start), ical_utc(end)))

    def test_single_entries_have_no_rule_and_custom_dates_each_their_own(self):
        for subject in ("Trade fair", "Budget review"):
            with self.subTest(subject):
                for event in self.events.get(subject, []):
                    self.assertNotIn("RRULE", event)
        audits = sorted((e["DTSTART"], e["DTEND"], "RRULE" in e) for e in self.events.get("Audits", []))
        self.assertEqual(audits, [(ical_utc(s), ical_utc(e), False) for s, e in AUDITS])
        starts = sorted(filetime(m["props"]["start"]) for m in self.pypff("Audits"))
        self.assertEqual(starts, [s for s, _ in AUDITS])
        for m in self.pypff("Audits"):
            self.assertNotIn("recur", m["props"])

    def test_pst_extractor_reads_each_recurrence_pattern(self):
        for subject, (_, want) in SERIES.items():
            with self.subTest(subject):
                (m,) = self.extractor(subject)
                a = m["appointment"]
                self.assertTrue(a["recurring"])
                p = a["recurrence"]
                self.assertIsNotNone(p, "no PidLidAppointmentRecur")
                specific = p["patternTypeSpecific"]
                if isinstance(specific, list):
                    specific = [WEEKDAYS[i] for i, on in enumerate(specific) if on]
                elif isinstance(specific, dict):
                    specific = {"weekdays": [WEEKDAYS[i] for i, on in enumerate(specific["weekdays"]) if on],
                                "nth": specific["nth"]}
                inst = p.get("instances") or {}
                day = lambda iso: iso[:10]  # noqa: E731
                got = (p["recurFrequency"], p["patternType"], p["period"], specific, p["occurrenceCount"],
                       day(inst.get("startDate", "")), day(inst.get("endDate", "")),
                       [day(d) for d in inst.get("deleted", [])], [day(d) for d in inst.get("modified", [])],
                       inst.get("startTimeOffset"), inst.get("endTimeOffset"))
                self.assertEqual(got, want)
                self.assertEqual(p["endType"], "AfterNOccurrences")
                self.assertEqual((a["start"], a["end"]), tuple(t.replace("Z", ".000Z") for t in FIRST[subject][:2]))

    def test_moved_instance_keeps_its_new_time(self):
        (m,) = self.extractor("Weekly team meeting")
        exceptions = (m["appointment"]["recurrence"].get("instances") or {}).get("exceptions", [])
        self.assertEqual([{k: e[k][:16] for k in ("start", "end", "originalStart")} for e in exceptions], MOVED)

    def test_pypff_series_properties(self):
        for subject, (start, end, all_day) in FIRST.items():
            with self.subTest(subject):
                for m in self.pypff(subject):
                    p = m["props"]
                    self.assertEqual((filetime(p["start"]), filetime(p["end"])), (start, end))
                    self.assertEqual(bool(p.get("subType", b"\0")[0]), all_day, "PidLidAppointmentSubType")
                    series = subject in SERIES
                    self.assertEqual("recur" in p, series, "PidLidAppointmentRecur")
                    self.assertEqual(bool(p.get("recurring", b"\0")[0]), series, "PidLidRecurring")
                    if subject in SERIES_ZONE:
                        bias, std_bias, dst_bias = struct.unpack_from("<iii", p["zone"], 0)
                        std = struct.unpack_from("<HHHH", p["zone"], 14)
                        dst = struct.unpack_from("<HHHH", p["zone"], 32)
                        self.assertEqual((bias, std_bias, dst_bias, std[1], std[3], std[2], dst[1], dst[3], dst[2]),
                                         ZONES[SERIES_ZONE[subject]], "PidLidTimeZoneStruct")

    def test_meeting_identity_and_organizer_state(self):
        chaired = self.pypff("Weekly team meeting")
        received = self.pypff("Budget review")
        self.assertEqual(len(received), 2, "the accepted entry and the invitation")
        ids = {}
        for name, items in (("chaired", chaired), ("received", received)):
            goids = {bytes(m["props"].get("goid", b"")) for m in items}
            cleans = {bytes(m["props"].get("cleanGoid", b"")) for m in items}
            self.assertEqual(len(goids), 1, name + ": PidLidGlobalObjectId differs between its items")
            self.assertEqual(len(cleans), 1, name + ": PidLidCleanGlobalObjectId differs between its items")
            (goid,), (clean,) = goids, cleans
            self.assertTrue(goid.startswith(bytes.fromhex("040000008200E00074C5B7101A82E008")), name)
            self.assertEqual(goid, clean, name + ": a series' own identity has no instance date")
            ids[name] = goid
        self.assertNotEqual(ids["chaired"], ids["received"])
        for m in chaired:
            p = m["props"]
            self.assertEqual((int.from_bytes(p["stateFlags"], "little"), int.from_bytes(p["response"], "little")),
                             (1, 1), "organizer: asfMeeting, respOrganized")
        for m in received:
            flags, response = (int.from_bytes(m["props"][k], "little") for k in ("stateFlags", "response"))
            self.assertEqual(flags & 3, 3, "received meeting: asfMeeting | asfReceived")
            self.assertNotEqual(response, 1, "received meeting is not organized by the owner")
        self.assertEqual(int.from_bytes(self.pypff("Daily standup")[0]["props"].get("stateFlags", b"\0"), "little"), 0)

    def test_items_keep_the_documents_times_and_identifiers(self):
        with open(DESCRIPTION, encoding="utf-8") as f:
            docs = json.load(f)["documents"]
        want = {}
        for d in docs:
            want.setdefault(d["items"]["Subject"], set()).add((d["created"], d["modified"]))
        for subject, times in want.items():
            with self.subTest(subject):
                got = {(filetime(m["props"]["created"]), filetime(m["props"]["modified"])) for m in self.pypff(subject)}
                self.assertEqual(got, times)
        (memo,) = self.pypff("Status update")
        self.assertEqual(utf16(memo["props"]["messageId"]), "<4F2A9C@acme.example>")
        self.assertEqual(utf16(memo["props"]["inReplyTo"]), "<3E1B8D@acme.example>")
        self.assertEqual(utf16(memo["props"]["references"]), "<2D0A7C@acme.example> <3E1B8D@acme.example>")
        if self.extracted is not None:
            (m,) = self.extractor("Status update")
            self.assertEqual((m["messageId"], m["created"]), ("<4F2A9C@acme.example>", "2018-02-05T08:07:30.000Z"))

    def test_task_start_survives_an_empty_later_field(self):
        # Monday May 7 to Friday May 11, 2018, Central European summer time:
        # the task dates are the days, the common start and end the instants
        # those days begin.
        (task,) = self.pypff("Write the report")
        p = task["props"]
        self.assertEqual((filetime(p["taskStart"]), filetime(p["taskDue"])),
                         ("2018-05-07T00:00:00Z", "2018-05-11T00:00:00Z"))
        self.assertEqual((filetime(p["commonStart"]), filetime(p["commonEnd"])),
                         ("2018-05-06T22:00:00Z", "2018-05-10T22:00:00Z"))
        if self.extracted is not None:
            (m,) = self.extractor("Write the report")
            self.assertEqual((m["task"]["start"], m["task"]["commonStart"]),
                             ("2018-05-07T00:00:00.000Z", "2018-05-06T22:00:00.000Z"))


if __name__ == "__main__":
    unittest.main()
