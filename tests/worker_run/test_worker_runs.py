"""Worker runs driven like the launcher drives them, over generated and
hand-written mailboxes, checked in the PST written from the staging store
(libpff's Python bindings, readpst): every document of every folder arrives
once as the right kind of item; calendar entries arrive once in batches of
at most 99 per run; forced restarts and Stop lose and duplicate nothing; the
run log of a small mailbox holds exactly the expected text."""
import base64
import datetime
import json
import os
import re
import sqlite3
import struct
import sys
import tempfile
import time
import unittest
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import worker_driver as wd  # noqa: E402

TOP = "Top of Outlook data file"


def tag_of(subject):
    m = re.search(r"[MTACG]\d{6}", subject or "")
    return m.group(0) if m else None


def converted_views(manifest):
    """The views a conversion of every folder takes, in database order: all
    but ($All), whose calendar entries would not be recorded anyway."""
    return [v for v in manifest["views"] if v["name"] != "($All)"]


def convert_everything(work, manifest, env=None):
    """One record per folder, mail runs until each is done, then the
    calendar runs; returns the number of runs of each folder."""
    runs = {}
    for v in converted_views(manifest):
        runs[v["name"]] = work.convert_folder(v["noteId"], v["pst"], env)
    runs["calendar"] = work.convert_calendar(env)
    return runs


def expected_items(manifest):
    """Counter of (PST folder, message class, tag) that a full conversion
    gives: a mail once per folder it is filed in; a task, contact, group or
    calendar entry once, however many folders list it."""
    want = Counter()
    calendar = set()
    once = set()
    by_id = {d["noteId"]: d for d in manifest["documents"]}
    for v in converted_views(manifest):
        for note_id in v["entries"]:
            d = by_id[note_id]
            if d["kind"] == "mail":
                want[(TOP + "\\" + v["pst"], "IPM.Note", d["tag"])] += 1
            elif d["kind"] == "task":
                once.add((TOP + "\\Tasks", "IPM.Task", d["tag"]))
            elif d["kind"] == "contact":
                once.add((TOP + "\\Contacts", "IPM.Contact", d["tag"]))
            elif d["kind"] == "group":
                once.add((TOP + "\\Contacts", "IPM.DistList", d["tag"]))
            elif d["kind"] == "calendar":
                calendar.add(d["tag"])
    for tag in calendar:
        want[(TOP + "\\Calendar", "IPM.Appointment", tag)] += 1
    for item in once:
        want[item] += 1
    return want


def got_items(pst):
    return Counter((folder, cls, tag_of(subject)) for folder, cls, subject, _ in wd.pst_messages(pst))


def record_set_value(message, entry_type):
    for entry in message.get_record_set(0).entries:
        if entry.entry_type == entry_type:
            return entry.data
    return None


class MixedMailbox(unittest.TestCase):
    """A generated mailbox with every kind of document, converted folder by
    folder as the launcher does it."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="worker_run_")
        root = cls.tmp.name
        cls.nsf, cls.manifest = wd.generate(
            os.path.join(root, "mixed.json"), "--mails", "160", "--tasks", "15", "--contacts", "16",
            "--groups", "5", "--calendar", "40", "--attachment-share", "0.25", "--max-attachment", "300000",
            "--photo-share", "0.5", "--seed", "11")
        with open(os.path.join(root, "mixed.json"), encoding="utf-8") as f:
            cls.description = {d["noteId"]: d for d in json.load(f)["documents"]}
        cls.work = wd.WorkDir(os.path.join(root, "plain"), cls.nsf)
        cls.runs = convert_everything(cls.work, cls.manifest)
        cls.pst = cls.work.build_pst()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_every_document_arrives_once_as_its_kind(self):
        self.assertEqual(got_items(self.pst), expected_items(self.manifest))
        # Each folder fits into one run; the calendar into one run of at most 99.
        self.assertEqual(set(self.runs.values()), {1})

    def test_calendar_documents_met_in_two_folders_are_recorded_twice_and_converted_once(self):
        ids = self.work.calendar_ids()
        calendar_docs = [d for d in self.manifest["documents"] if d["kind"] == "calendar"]
        listed = Counter()
        for v in converted_views(self.manifest):
            for note_id in v["entries"]:
                listed[note_id] += 1
        want = Counter({d["noteId"]: listed[d["noteId"]] for d in calendar_docs})
        self.assertEqual(Counter(ids), want)
        self.assertGreater(len(ids), len(calendar_docs), "the mailbox should list some invitations twice")

    def test_items_carry_attachments_read_state_importance_and_body(self):
        f = wd.pypff.file()
        f.open(self.pst)
        by_tag = {d["tag"]: d for d in self.manifest["documents"]}
        checked = Counter()

        def walk(folder, where):
            for i in range(folder.number_of_sub_messages):
                self.check_message(folder.get_sub_message(i), where, by_tag, checked)
            for i in range(folder.number_of_sub_folders):
                sub = folder.get_sub_folder(i)
                walk(sub, where + "\\" + (sub.name or ""))

        walk(f.get_root_folder(), "")
        f.close()
        self.assertGreater(checked["attachments"], 20)
        self.assertGreater(checked["unread"], 3)
        self.assertGreater(checked["photo"], 3)
        self.assertGreater(checked["calendar attachments"], 0)

    def check_message(self, m, where, by_tag, checked):
        tag = tag_of(m.subject)
        cls = wd.message_class(m)
        self.assertIsNotNone(tag, "%s: %r" % (where, m.subject))
        d = by_tag[tag]
        what = "%s %s in %s" % (cls, tag, where)
        source = self.description[d["noteId"]]
        if cls in ("IPM.Note", "IPM.Task"):
            # The images of a mail's rich-text body travel as attachments of
            # its HTML body; a task's rich text is written as plain text.
            images = json.dumps(source["items"].get("Body")).count('{"image":') if cls == "IPM.Note" else 0
            self.assertEqual(m.number_of_attachments, len(d["attachments"]) + images, what)
            checked["attachments"] += len(d["attachments"])
            self.assertIn("Item %s." % tag, self.body_text(m), what)
        if cls == "IPM.Note":
            self.assertEqual(m.subject, d["subject"], what)
            flags = struct.unpack("<I", record_set_value(m, 0x0E07))[0]
            folder_pst = where.split("\\", 2)[-1]
            view = next(v for v in self.manifest["views"] if v["pst"] == folder_pst)
            unread = d["noteId"] in view["unread"]
            checked["unread"] += unread
            self.assertEqual(bool(flags & 1), not unread, what)
            self.assertEqual(m.sender_name, self.expected_sender(source["items"]), what)
            self.assertEqual(m.client_submit_time, self.expected_sent(source), what)
            importance = struct.unpack("<I", record_set_value(m, 0x0017))[0]
            self.assertEqual(importance, {"1": 2, "3": 0}.get(source["items"].get("Importance"), 1), what)
        if cls == "IPM.Contact":
            has_photo = "ContactPhoto" in d["attachments"]
            checked["photo"] += has_photo
            self.assertEqual(m.number_of_attachments > 0, has_photo, what)
        if cls == "IPM.Appointment":
            self.assertEqual(m.subject, d["subject"], what)
            self.assertEqual(m.number_of_attachments, len(d["attachments"]), what)
            checked["calendar attachments"] += len(d["attachments"])

    @staticmethod
    def expected_sender(items):
        # Without address translation the sender is the Internet address of
        # "INetFrom", or else the common name of the Notes name.
        if items.get("INetFrom"):
            return items["INetFrom"]
        return items["From"].split("CN=", 1)[1].split("/", 1)[0]

    @staticmethod
    def expected_sent(source):
        # The sent date (or the creation date) is taken as the clock time of
        # its own zone, which the store reads as local time.
        text = source["items"].get("PostedDate", {}).get("datetime") or source["created"]
        wall = datetime.datetime.fromisoformat(text).replace(tzinfo=None)
        return wall.astimezone(datetime.timezone.utc).replace(tzinfo=None)

    @staticmethod
    def body_text(m):
        for body in (m.plain_text_body, m.html_body):
            if body:
                return body.decode("utf-8", "replace")
        rtf = m.rtf_body
        return rtf.decode("latin-1") if rtf else ""

    def test_readpst_reads_the_same_items(self):
        code, err, counts = wd.readpst_counts(self.pst, self.work.dir)
        self.assertEqual(code, 0, err)
        # readpst writes mail, appointments and contacts (not tasks nor
        # distribution lists).
        want = Counter()
        for folder, cls, _ in got_items(self.pst).elements():
            if cls in ("IPM.Note", "IPM.Appointment", "IPM.Contact"):
                want[folder.split("\\", 1)[1]] += 1
        self.assertEqual({k: v for k, v in counts.items() if v}, dict(want))

    def test_all_view_records_no_calendar_entries_and_is_skipped_when_excluded(self):
        all_view = next(v for v in self.manifest["views"] if v["name"] == "($All)")
        calendar = {d["noteId"] for d in self.manifest["documents"] if d["kind"] == "calendar"}
        self.assertTrue(calendar & set(all_view["entries"]))
        work = wd.WorkDir(os.path.join(self.tmp.name, "all"), self.nsf)
        self.assertEqual(work.convert_folder(all_view["noteId"], all_view["pst"]), 1)
        self.assertEqual(work.calendar_ids(), [])
        self.assertIn("Total number of emails: %d\r\n" % len(all_view["entries"]), work.log_text())
        # With the ($All) view excluded the run converts nothing and leaves the
        # record as it was.
        skipped = wd.WorkDir(os.path.join(self.tmp.name, "all-excluded"), self.nsf, include_all_view=0)
        skipped.set_record(all_view["noteId"], 0, all_view["pst"], 1)
        code, _ = skipped.run()
        self.assertEqual(code, 255)
        self.assertEqual(skipped.read("setting.txt"), wd.record_bytes(all_view["noteId"], 0, all_view["pst"], 1))
        self.assertNotIn("Dumping Folder", skipped.log_text())
        self.assertEqual(wd.pst_messages(skipped.build_pst()), [])

    def test_date_range_keeps_only_documents_created_inside_it(self):
        def ole(day):
            return float((day - datetime.date(1899, 12, 30)).days)

        # The generated documents are created on days 1 to 28 of a month, so
        # no zone offset moves one across these bounds.
        ranges = [(ole(datetime.date(2017, 12, 30)), ole(datetime.date(2019, 12, 30)))]
        work = wd.WorkDir(os.path.join(self.tmp.name, "ranges"), self.nsf, date_ranges=ranges)
        views = {v["name"]: v for v in self.manifest["views"]}
        for name in ("($Inbox)", "($Meetings)"):
            self.assertEqual(work.convert_folder(views[name]["noteId"], views[name]["pst"]), 1)
        self.assertEqual(work.convert_calendar(), 1)
        by_id = {d["noteId"]: d for d in self.manifest["documents"]}

        def inside(note_id):
            return self.description[note_id]["created"][:4] in ("2018", "2019")

        want = Counter()
        for name in ("($Inbox)", "($Meetings)"):
            for note_id in views[name]["entries"]:
                d = by_id[note_id]
                if d["kind"] == "mail" and inside(note_id):
                    want[(TOP + "\\Inbox", "IPM.Note", d["tag"])] += 1
                elif d["kind"] == "calendar" and inside(note_id):
                    want[(TOP + "\\Calendar", "IPM.Appointment", d["tag"])] = 1
        self.assertGreater(len(want), 10)
        self.assertEqual(got_items(work.build_pst()), want)
        # The rejected documents are counted as found but not dumped.
        inbox = views["($Inbox)"]["entries"]
        kept = sum(1 for n in inbox if inside(n) and by_id[n]["kind"] == "mail")
        self.assertIn("%d\t:items found\r\n%d\t:items Dump\r\n" % (len(inbox), kept + sum(
            1 for n in inbox if inside(n) and by_id[n]["kind"] == "calendar")), work.log_text())

    def test_forced_restarts_lose_and_duplicate_nothing(self):
        # Every process may open only a few documents: the mail and calendar
        # runs restart again and again in the middle of their folders.
        work = wd.WorkDir(os.path.join(self.tmp.name, "restarts"), self.nsf)
        runs = convert_everything(work, self.manifest, env={"NSFDB_OPEN_LIMIT": "13"})
        self.assertGreater(runs["($Inbox)"], 3)
        self.assertGreater(runs["calendar"], 3)
        self.assertTrue(all(state in ("restart", "complete") for _, state, _ in work.runs))
        self.assertEqual(sorted(work.calendar_ids()), sorted(self.work.calendar_ids()))
        pst = work.build_pst()
        self.assertEqual(got_items(pst), got_items(self.pst))
        self.assertEqual(sorted(wd.pst_messages(pst)), sorted(wd.pst_messages(self.pst)))


class OneFolder(unittest.TestCase):
    """A folder of short mails for the restart and Stop cases."""

    COUNT = 3000

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="worker_run_")
        cls.nsf, cls.manifest = wd.generate(
            os.path.join(cls.tmp.name, "folder.json"), "--mails", "0", "--folder", "Archive\\2019=%d" % cls.COUNT,
            "--max-body", "200", "--attachment-share", "0.01", "--max-attachment", "4096", "--category-share", "0",
            "--seed", "5")
        cls.view = next(v for v in cls.manifest["views"] if v["name"] == "Archive\\2019")
        by_id = {d["noteId"]: d for d in cls.manifest["documents"]}
        cls.tags = [by_id[n]["tag"] for n in cls.view["entries"]]
        cls.where = TOP + "\\Archive\\2019"

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def folder_tags(self, pst):
        return Counter(tag_of(s) for folder, _, s, _ in wd.pst_messages(pst) if folder == self.where)

    def test_restart_at_a_document_in_the_middle_resumes_there(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "restart"), self.nsf)
        work.set_record(self.view["noteId"], 0, self.view["pst"], 1)
        code, state = work.run(env={"NSFDB_OPEN_LIMIT": "41"})
        self.assertEqual((code, state), (255, "restart"))
        note_id, position, path, status = work.record()
        self.assertEqual((note_id, path, status), (self.view["noteId"], self.view["pst"], 1))
        self.assertGreater(position, 5)
        self.assertLess(position, 41)
        # What the first run saved is exactly the documents before the one it
        # could not open.
        first = work.build_pst(os.path.join(work.dir, "first.pst"))
        self.assertEqual(self.folder_tags(first), Counter(self.tags[:position]))
        self.assertIn("Email number: %d \r\n" % position, work.log_text())
        # The next runs (without the limit) continue at that document.
        runs = work._until_done(False, None, 5)
        self.assertEqual(runs, 1)
        self.assertEqual(work.record(), (self.view["noteId"], 0, self.view["pst"], 1))
        self.assertEqual(self.folder_tags(work.build_pst()), Counter(self.tags))

    def test_restart_at_the_first_document_and_start_at_the_end(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "first"), self.nsf)
        work.set_record(self.view["noteId"], 0, self.view["pst"], 1)
        # Not one document can be opened: the record stays at position 0 with
        # status 1, the same record as a finished folder; runstate.txt tells
        # them apart.
        self.assertEqual(work.run(env={"NSFDB_OPEN_LIMIT": "0"}), (255, "restart"))
        self.assertEqual(work.read("setting.txt"), wd.record_bytes(self.view["noteId"], 0, self.view["pst"], 1))
        self.assertEqual(wd.pst_messages(work.build_pst()), [])
        # A run that starts at the end touches no document and resets the position.
        work.set_record(self.view["noteId"], self.COUNT, self.view["pst"], 1)
        self.assertEqual(work.run(), (255, "complete"))
        self.assertEqual(work.record(), (self.view["noteId"], 0, self.view["pst"], 1))
        log = work.log_text()
        self.assertNotIn("Email number: %d " % self.COUNT, log)
        self.assertIn("Total number of emails: %d\r\n0\t:items found\r\n0\t:items Dump\r\n" % self.COUNT, log)

    def test_a_refused_save_ends_the_run_at_its_document(self):
        # From the 41st new item on the store refuses every save, as a full
        # disk would: the run fails at position 40 and goes no further, the
        # 40 mails before it are in the PST, and the log ends with that
        # document, its error and the folder's counts.
        work = wd.WorkDir(os.path.join(self.tmp.name, "refused"), self.nsf)
        work.set_record(self.view["noteId"], 0, self.view["pst"], 1)
        code, state = work.run(env={"PSTSTORE_REFUSE_FROM": "41"})
        self.assertEqual(code, 255)
        self.assertTrue(state.startswith("failed"), state)
        self.assertEqual(self.folder_tags(work.build_pst()), Counter(self.tags[:40]))
        log = work.log_text()
        last = log.rindex("Email number: 40 \r\n")
        self.assertNotIn("Email number: 41 ", log)
        tail = log[last:]
        self.assertIn("ERROR:Item cannot be saved in the PST file: ", tail)
        self.assertIn("41\t:items found\r\n40\t:items Dump\r\nWarnings:\t 0\r\nErrors:\t1\r\n", tail)
        self.assertLess(tail.index("ERROR:Item cannot be saved"), tail.index(":items found"))

    def test_killed_run_resumes_at_the_record(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "killed"), self.nsf)
        work.set_record(self.view["noteId"], 0, self.view["pst"], 1)
        proc = work.start()
        deadline = time.time() + 120
        while "Email number: 500 " not in work.log_text() and proc.poll() is None and time.time() < deadline:
            time.sleep(0.01)
        proc.kill()
        proc.communicate()
        self.assertEqual(work.runstate(), "")
        note_id, position, path, status = work.record()
        self.assertGreaterEqual(position, 500)
        self.assertLess(position, self.COUNT)
        # The launcher starts the next run at the recorded position.
        self.assertEqual(work._until_done(False, None, 5), 1)
        self.assertEqual(self.folder_tags(work.build_pst()), Counter(self.tags))

    def test_stop_in_the_middle_leaves_position_0_and_status_0(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "stop"), self.nsf)
        work.set_record(self.view["noteId"], 0, self.view["pst"], 1)
        code, state, err = wd.stop_run(work, False, lambda w: "Email number: 200 " in w.log_text())
        self.assertEqual((code, state), (255, "stopped"), err)
        expected = wd.record_bytes(self.view["noteId"], 0, self.view["pst"], 0)
        self.assertEqual(work.read("setting.txt"), expected)
        log = work.log_text()
        done = log.count("Processing email: ")
        self.assertGreater(done, 200)
        self.assertLess(done, self.COUNT)
        # The run ended with the folder summary of the documents it converted.
        self.assertIn("%d\t:items found\r\n%d\t:items Dump\r\n" % (done, done), log)
        self.assertEqual(self.folder_tags(work.build_pst()), Counter(self.tags[:done]))
        # A later conversion converts the whole folder.
        again = wd.WorkDir(os.path.join(self.tmp.name, "after-stop"), self.nsf)
        self.assertEqual(again.convert_folder(self.view["noteId"], self.view["pst"]), 1)
        self.assertEqual(self.folder_tags(again.build_pst()), Counter(self.tags))
        # So does a later run into the same PST from the position the record
        # holds (0): the documents saved before the Stop are not saved twice.
        self.assertEqual(work.convert_folder(self.view["noteId"], self.view["pst"]), 1)
        self.assertEqual(self.folder_tags(work.build_pst()), Counter(self.tags))


class CalendarBatches(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="worker_run_")
        cls.nsf, cls.manifest = wd.generate(os.path.join(cls.tmp.name, "cal.json"), "--mails", "0", "--calendar",
                                            "250", "--attachment-share", "0", "--no-all-view", "--seed", "3")
        cls.meetings = next(v for v in cls.manifest["views"] if v["name"] == "($Meetings)")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def recorded(self, name):
        """A work directory whose cal.txt holds the IDs of the Meetings view."""
        work = wd.WorkDir(os.path.join(self.tmp.name, name), self.nsf)
        self.assertEqual(work.convert_folder(self.meetings["noteId"], self.meetings["pst"]), 1)
        self.assertEqual(work.calendar_ids(), self.meetings["entries"])
        return work

    def appointment_tags(self, work):
        return Counter(tag_of(s) for folder, cls, s, _ in wd.pst_messages(work.build_pst())
                       if folder == TOP + "\\Calendar" and cls == "IPM.Appointment")

    def test_empty_calendar_list(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "empty"), self.nsf)
        work.set_record(0, 0, "Calendar", 1)
        self.assertEqual(work.run(calendar=True), (255, "complete"))
        self.assertEqual(work.record(), (0, 0, "Calendar", 1))
        self.assertEqual(self.appointment_tags(work), Counter())

    def test_the_toolkit_is_loaded_only_with_a_display(self):
        """Without a display a worker never loads the window toolkit (its
        start stays short); with one it shows its progress window from the
        window module and ends by itself."""
        if not os.environ.get("DISPLAY"):
            self.skipTest("no display")
        for shown in (False, True):
            with self.subTest(display=shown):
                work = wd.WorkDir(os.path.join(self.tmp.name, "toolkit-%d" % shown), self.nsf)
                work.set_record(0, 0, "Calendar", 1)
                env = {"LD_DEBUG": "files", "NSF2PST_HEADLESS": "0" if shown else "1"}
                code, state, err = work.finish(work.start(True, env), True, timeout=120)
                self.assertEqual((code, state), (255, "complete"))
                loaded = {os.path.basename(name) for name in
                          re.findall(r"file=(\S+) \[0\];  (?:needed|dynamically loaded) by", err.decode())}
                toolkit = sorted(name for name in loaded if "wx" in name)
                self.assertEqual("libnsf2pst-wxui.so" in loaded, shown, toolkit)
                self.assertEqual(any(name.startswith("libwx_") for name in loaded), shown, toolkit)

    def test_stop_in_a_calendar_run(self):
        work = self.recorded("stop")
        ids = work.calendar_ids()
        work.set_record(0, 0, "Calendar", 1)
        code, state, err = wd.stop_run(work, True, lambda w: "save app" in w.log_text())
        self.assertEqual((code, state), (255, "stopped"), err)
        self.assertEqual(work.record(), (ids[-1], 0, "Calendar", 0))
        done = work.log_text().count("save app")
        self.assertLess(done, 99)
        by_id = {d["noteId"]: d["tag"] for d in self.manifest["documents"]}
        self.assertEqual(self.appointment_tags(work), Counter(by_id[n] for n in ids[:done]))

    def test_250_entries_take_three_calendar_runs_of_at_most_99(self):
        manifest = self.manifest
        work = self.recorded("batches")
        ids = work.calendar_ids()
        work.set_record(0, 0, "Calendar", 1)
        records = []
        for _ in range(3):
            code, state = work.run(calendar=True)
            records.append((code, state, work.record()))
        self.assertEqual(records, [
            (255, "restart", (ids[99], 99, "Calendar", 1)),
            (255, "restart", (ids[198], 198, "Calendar", 1)),
            (255, "complete", (ids[-1], 0, "Calendar", 1)),
        ])
        log = work.log_text()
        self.assertEqual(log.count("save app"), 250)
        self.assertEqual(log.count("Calendar entries saved. \r\n"), 3)
        self.assertEqual(self.appointment_tags(work), Counter(d["tag"] for d in manifest["documents"]))


    def test_entries_listed_twice_across_batches_become_one_appointment_each(self):
        # Invitations are listed in the Inbox and in the Meetings view, some
        # meetings in Projects too: cal.txt holds more than 250 IDs.
        nsf, manifest = wd.generate(os.path.join(self.tmp.name, "twice.json"), "--mails", "0", "--calendar", "250",
                                    "--attachment-share", "0", "--seed", "9")
        views = {v["name"]: v for v in manifest["views"]}
        work = wd.WorkDir(os.path.join(self.tmp.name, "twice"), nsf)
        for name in ("($Inbox)", "Projects", "($Meetings)"):
            self.assertEqual(work.convert_folder(views[name]["noteId"], views[name]["pst"]), 1)
        ids = work.calendar_ids()
        self.assertEqual(len(set(ids)), 250)
        self.assertGreater(len(ids), 2 * 99)
        self.assertEqual(work.convert_calendar(), 3)
        self.assertEqual(self.appointment_tags(work), Counter(d["tag"] for d in manifest["documents"]))


def tiny_gif(red, green):
    """A valid 1 x 1 GIF whose palette makes its bytes its own."""
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00" + bytes([red, green, 0, 255, 255, 255]) +
            b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b")


class InlineImagesOfConsecutiveMails(unittest.TestCase):
    def test_each_mail_keeps_its_own_picture(self):
        # Every mail's picture is saved under the same temporary file name;
        # mails are imported while later ones are converted, so a picture
        # read after the next mail rewrote that file would go to the wrong
        # message.
        count = 40
        gifs = [tiny_gif(i, 255 - i) for i in range(count)]
        docs = [{"noteId": 2304 + 4 * i, "form": "Memo", "created": "2019-03-04T10:00:00+01:00",
                 "items": {"Subject": "Picture %02d" % i, "From": "CN=John Smith/O=Acme",
                           "SendTo": ["CN=Jane Doe/O=Acme"],
                           "Body": {"richtext": ["Item %02d." % i,
                                                 {"image": {"base64": base64.b64encode(g).decode("ascii")}}]}}}
                for i, g in enumerate(gifs)]
        with tempfile.TemporaryDirectory(prefix="worker_run_") as root:
            nsf = wd.build_description(os.path.join(root, "pictures.json"), {
                "forms": FORMS, "documents": docs,
                "views": [{"name": "($Inbox)", "folder": True, "noteId": 8250,
                           "entries": [d["noteId"] for d in docs]}]})
            work = wd.WorkDir(os.path.join(root, "w"), nsf)
            work.convert_folder(8250, "Inbox")
            pictures = {}

            def picture(_, m):
                self.assertEqual(m.number_of_attachments, 1, m.subject)
                a = m.get_attachment(0)
                pictures[m.subject] = a.read_buffer(a.size)

            wd.each_message(work.build_pst(), picture)
            self.assertEqual(pictures, {"Picture %02d" % i: g for i, g in enumerate(gifs)})


class PstOfCategorisedMail(unittest.TestCase):
    def test_mail_with_categories_only_gives_a_pst_libpff_opens(self):
        # The only named property of the store is the categories keyword.
        with tempfile.TemporaryDirectory(prefix="worker_run_") as root:
            nsf = wd.build_description(os.path.join(root, "cat.json"), {
                "forms": {"Memo": [{"name": "Subject", "type": "text"}, {"name": "Body", "type": "richtext"}]},
                "documents": [{"noteId": 2304, "form": "Memo", "created": "2018-02-05T09:07:30+01:00",
                               "items": {"Subject": "With a category", "From": "CN=John Smith/O=Acme",
                                         "SendTo": ["CN=Jane Doe/O=Acme"], "Categories": ["Finance"],
                                         "Body": "Hello"}}],
                "views": [{"name": "($Inbox)", "folder": True, "noteId": 8250, "entries": [2304]}]})
            work = wd.WorkDir(os.path.join(root, "w"), nsf)
            work.convert_folder(8250, "Inbox")
            pst = work.build_pst()
            self.assertEqual([(f, s) for f, _, s, _ in wd.pst_messages(pst)],
                             [(TOP + "\\Inbox", "With a category")])


FORMS = {
    "Memo": [{"name": n, "type": t} for n, t in (("Subject", "text"), ("From", "text"), ("SendTo", "text"),
                                                  ("PostedDate", "datetime"), ("Body", "richtext"))],
    "Task": [{"name": n, "type": t} for n, t in (("Subject", "text"), ("From", "text"), ("StartDate", "datetime"),
                                                  ("DueDate", "datetime"), ("Body", "richtext"))],
    "Appointment": [{"name": n, "type": t} for n, t in (
        ("Subject", "text"), ("From", "text"), ("StartDate", "datetime"), ("StartDateTime", "datetime"),
        ("EndDateTime", "datetime"), ("StartTimeZone", "text"), ("EndTimeZone", "text"), ("Body", "richtext"))],
    "Person": [{"name": n, "type": "text"} for n in ("FullNameInput", "FirstName", "LastName")],
    "Group": [{"name": n, "type": "text"} for n in ("ListName", "Members")],
}
with open(os.path.join(wd.SRC, "samples", "mailbox", "images", "photo.jpg"), "rb") as photo_file:
    PHOTO = base64.b64encode(photo_file.read()).decode("ascii")
ZONE = "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe"
SMALL_MAILBOX = {
    "title": "Run log sample",
    "forms": FORMS,
    "documents": [
        {"noteId": 2304, "form": "Memo", "created": "2019-03-04T10:00:00+01:00",
         "items": {"Subject": "Lunch on Friday", "From": "CN=John Smith/O=Acme", "INetFrom": "john.smith@acme.example",
                   "SendTo": ["CN=Jane Doe/O=Acme"], "Body": "See you at noon."}},
        {"noteId": 2308, "form": "Memo", "created": "2019-03-05T10:00:00+01:00",
         "items": {"Subject": "Notes: draft/final", "From": "CN=Maria Lopez/O=Acme", "SendTo": ["CN=Jane Doe/O=Acme"],
                   "Body": {"richtext": ["The notes are attached.", {"attachment": "notes.txt"}]}},
         "attachments": [{"name": "notes.txt", "text": "first\r\nsecond\r\n"}]},
        {"noteId": 2312, "form": "Task", "created": "2019-03-06T10:00:00+01:00",
         "items": {"Subject": "Send the report", "From": "CN=Jane Doe/O=Acme",
                   "StartDate": {"datetime": "2019-03-07T09:00:00+01:00"},
                   "DueDate": {"datetime": "2019-03-08T17:00:00+01:00"}, "Body": "By Friday."},
         "attachments": [{"name": "checklist.txt", "text": "1. figures\r\n2. charts\r\n"}]},
        {"noteId": 2316, "form": "Person", "created": "2019-03-07T10:00:00+01:00",
         "items": {"FullNameInput": "Anna Berg", "FirstName": "Anna", "LastName": "Berg"},
         "attachments": [{"name": "ContactPhoto", "base64": PHOTO}]},
        {"noteId": 2320, "form": "Group", "created": "2019-03-08T10:00:00+01:00",
         "items": {"ListName": "Team", "Members": ["CN=John Smith/O=Acme", "CN=Anna Berg/O=Acme"]}},
        {"noteId": 2324, "form": "Appointment", "created": "2019-03-09T10:00:00+01:00",
         "items": {"Subject": "Dentist", "From": "CN=Jane Doe/O=Acme",
                   "StartDate": {"datetime": "2019-03-12T15:30:00+01:00"},
                   "StartDateTime": {"datetime": "2019-03-12T15:30:00+01:00"},
                   "EndDateTime": {"datetime": "2019-03-12T16:15:00+01:00"},
                   "StartTimeZone": ZONE, "EndTimeZone": ZONE},
         "attachments": [{"name": "agenda.txt", "text": "Check-up\r\n"}]},
        {"noteId": 2328, "form": "Discussion", "created": "2019-03-10T10:00:00+01:00",
         "items": {"Subject": "A form the converter does not know"}},
        {"noteId": 2332, "form": "Memo", "created": "2019-03-11T10:00:00+01:00",
         "items": {"Subject": "Lost in the database", "From": "CN=John Smith/O=Acme"}},
        {"noteId": 2336, "form": "Memo", "created": "2019-03-12T10:00:00+01:00",
         "items": {"From": "CN=John Smith/O=Acme", "SendTo": ["CN=Jane Doe/O=Acme"], "Body": "No subject item."}},
    ],
    "views": [{"name": "Mixed", "folder": True, "noteId": 8250,
               "entries": [2304, {"noteId": 2308, "unread": True}, None, 2312, 2316, 2320, 2324, 2328, 2332,
                           2336]},
              {"name": "Lost", "folder": True, "noteId": 8254, "entries": [2332, 2332]}],
}
FINISH_TIME = r"(?P<m>[1-9]|1[0-2])/(?P<d>[1-9]|[12][0-9]|3[01])/(?P<y>[0-9]{4}) " \
              r"(?P<H>[0-9]|1[0-9]|2[0-3]):(?P<M>[0-9]|[1-5][0-9]):(?P<S>[0-9]|[1-5][0-9])"


class RunLogText(unittest.TestCase):
    """The run log of one mail run and one calendar run over a small mailbox
    with a document of each kind, a null entry, an unknown form (error), a
    document that cannot be opened (warning) and a mail without a subject."""

    @staticmethod
    def damaged_database(root):
        nsf = wd.build_description(os.path.join(root, "small.json"), SMALL_MAILBOX)
        # Damage the database: the note 2332 that the folders list is gone.
        db = sqlite3.connect(nsf)
        db.execute("DELETE FROM items WHERE noteId = 2332")
        db.execute("DELETE FROM notes WHERE noteId = 2332")
        db.commit()
        db.close()
        return nsf

    def test_documents_that_cannot_be_opened_never_make_the_converted_count_negative(self):
        with tempfile.TemporaryDirectory(prefix="worker_run_") as root:
            work = wd.WorkDir(os.path.join(root, "w"), self.damaged_database(root))
            self.assertEqual(work.convert_folder(8254, "Lost"), 1)
            self.assertIn("Total number of emails: 2\r\n"
                          "Email number: 0 \r\nInvalid or nonexistent document\r\n"
                          "WARNING:Document cannot be opened\r\n\r\n"
                          "Email number: 1 \r\nInvalid or nonexistent document\r\n"
                          "WARNING:Document cannot be opened\r\n\r\n"
                          "0\t:items found\r\n0\t:items Dump\r\nWarnings:\t 2\r\nErrors:\t0\r\n",
                          work.log_text())

    def test_run_log_bytes(self):
        with tempfile.TemporaryDirectory(prefix="worker_run_") as root:
            nsf = self.damaged_database(root)
            work = wd.WorkDir(os.path.join(root, "w"), nsf)
            before = datetime.datetime.now()
            self.assertEqual(work.convert_folder(8250, "Mixed"), 1)
            after = datetime.datetime.now()
            self.assertEqual(work.calendar_ids(), [2324])
            self.assertEqual(work.convert_calendar(), 1)
            data = work.read(wd.LOG_NAME)
            self.assertEqual(data[:2], b"\xff\xfe")
            text = data[2:].decode("utf-16-le")
            times = list(re.finditer(r"Dumping of folder Finish Time:\t(%s)\r\n" % FINISH_TIME, text))
            self.assertEqual(len(times), 1, text)
            t = times[0]
            finish = datetime.datetime(*(int(t.group(k)) for k in "ymdHMS"))
            self.assertLessEqual(before.replace(microsecond=0), finish)
            self.assertLessEqual(finish, after)
            text = text[:t.start(1)] + "<time>" + text[t.end(1):]
            self.maxDiff = None
            self.assertEqual(text, self.expected(work.pst))
            self.assertEqual(data, b"\xff\xfe" + text.replace("<time>", t.group(1)).encode("utf-16-le"))
            self.check_pst(work)

    @staticmethod
    def expected(pst):
        def entry(i, note_id, form):
            return "Email number: %d \r\n\r\nItem ID:\t%d\r\nItem Type:\t%s\r\n" % (i, note_id, form)

        mail_run = (
            "Saving data process starts:\r\n"
            "Session open for pst file: " + pst + "\r\n"
            "ReOpening  Database \r\n"
            "\r\n " + "-" * 76 + "\r\n"
            "Dumping Folder :\t Mixed\r\n"
            "Dumping folder path: Mixed\r\n"
            "Total number of emails: 10\r\n"
            + entry(0, 2304, "Memo")
            + "Processing email: Lunch on Friday[john.smith@acme.example]\r\n"
            "Item Name:\tjohn.smith@acme.example Lunch on Friday\r\n"
            + entry(1, 2308, "Memo")
            + "Processing email: Notes  draft final[Maria Lopez]\r\n"
            "Item Name:\tMaria Lopez Notes: draft/final\r\n"
            "Attachments:\tnotes.txt,\r\n"
            "Email number: 2 \r\n"
            + entry(3, 2312, "Task")
            + "Processing email: Send the report[Jane Doe]\r\n"
            "Item Name:\tJane Doe Send the report\r\n"
            "Attachments:\tchecklist.txt,\r\n"
            + entry(4, 2316, "Person")
            + "Processing email: Anna Berg\r\n"
            "Item Name:\tAnna Berg\r\n"
            "Attachments:\tContactPhoto,\r\n"
            + entry(5, 2320, "Group")
            + "Processing email: Team\r\n"
            "Item Name:\tTeam\r\n"
            + entry(6, 2324, "Appointment")
            + entry(7, 2328, "Discussion")
            + "ERROR:Item Type not found.Entry cannot be dump in Database\r\n"
            "\r\n"
            "Email number: 8 \r\n"
            "Invalid or nonexistent document\r\n"
            "WARNING:Document cannot be opened\r\n"
            "\r\n"
            + entry(9, 2336, "Memo")
            + "Processing email: \r\n"
            "Item Name:\t\r\n"
            "8\t:items found\r\n"
            "6\t:items Dump\r\n"
            "Warnings:\t 1\r\n"
            "Errors:\t1\r\n"
            "Dumping of folder Finish Time:\t<time>\r\n"
            "\r\n")
        calendar_run = (
            "Session open for pst file for calendar entires: " + pst + "\r\n"
            "ReOpening  Database \r\n"
            "\r\nItem ID:\t2324\r\n"
            "Item Type:\tAppointment\r\n"
            "\r\n"
            "\r\n"
            "doc is closed1"
            "\r\n"
            "creating appointment"
            "\r\n"
            "session found"
            "Item Name:\tJane Doe Dentist\r\n"
            "Attachments:\tagenda.txt,\r\n"
            "\r\n"
            "save app"
            "Calendar entries saved. \r\n")
        return mail_run + calendar_run

    def check_pst(self, work):
        f = wd.pypff.file()
        f.open(work.build_pst())
        seen = []
        attachments = {}

        def walk(folder, where):
            for i in range(folder.number_of_sub_messages):
                m = folder.get_sub_message(i)
                flags = struct.unpack("<I", record_set_value(m, 0x0E07))[0]
                seen.append((where, wd.message_class(m), m.subject or "", bool(flags & 1)))
                attachments[m.subject or ""] = m.number_of_attachments
            for i in range(folder.number_of_sub_folders):
                sub = folder.get_sub_folder(i)
                walk(sub, (where + "\\" if where else "") + (sub.name or ""))

        walk(f.get_root_folder(), "")
        f.close()
        items = sorted((w, c, s) for w, c, s, _ in seen)
        self.assertEqual(items, sorted([
            (TOP + "\\Mixed", "IPM.Note", "Lunch on Friday"),
            (TOP + "\\Mixed", "IPM.Note", "Notes: draft/final"),
            (TOP + "\\Mixed", "IPM.Note", ""),
            (TOP + "\\Tasks", "IPM.Task", "Send the report"),
            (TOP + "\\Contacts", "IPM.Contact", "Anna Berg"),
            (TOP + "\\Contacts", "IPM.DistList", "Team"),
            (TOP + "\\Calendar", "IPM.Appointment", "Dentist"),
        ]))
        read = {s: r for w, c, s, r in seen if c == "IPM.Note"}
        self.assertEqual(read, {"Lunch on Friday": True, "Notes: draft/final": False, "": True})
        self.assertEqual(attachments, {"Lunch on Friday": 0, "Notes: draft/final": 1, "": 0, "Send the report": 1,
                                       "Anna Berg": 1, "Team": 0, "Dentist": 1})


if __name__ == "__main__":
    unittest.main()
