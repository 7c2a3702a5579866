"""The outcome log of the worker runs (outcomes.txt in the work directory):
what became of every document a mail or calendar run handled, and the
folder summaries that must agree with it; a folder whose view cannot be had
fails instead of passing for an empty one."""
import copy
import os
import sqlite3
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import worker_driver as wd  # noqa: E402
import test_worker_runs as runs  # noqa: E402


def outcomes(work):
    """(note ID, folder note ID, outcome, item kind, PST folder, reason) of every event."""
    try:
        text = work.read("outcomes.txt").decode("utf-8")
    except FileNotFoundError:
        return []
    return [tuple(int(f) if i < 2 else f for i, f in enumerate(line.split("\t")))
            for line in text.split("\n")[:-1]]


def summary(log, folder):
    """(found, dumped) of the folder summary that follows the folder's header."""
    tail = log[log.index("Dumping Folder :\t " + folder + "\r\n"):]
    found = int(tail[:tail.index("\t:items found")].rsplit("\n", 1)[-1])
    dumped = int(tail[:tail.index("\t:items Dump")].rsplit("\n", 1)[-1])
    return found, dumped


class DocumentOutcomes(unittest.TestCase):
    """The small mailbox of the run-log test with a second folder that lists a
    mail, a task and an appointment again, and a folder that lists a mail twice."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="worker_run_")
        description = copy.deepcopy(runs.SMALL_MAILBOX)
        description["views"] += [{"name": "Work", "folder": True, "noteId": 8258, "entries": [2304, 2312, 2324]},
                                 {"name": "Twice", "folder": True, "noteId": 8262, "entries": [2336, 2336]}]
        root = cls.tmp.name
        nsf = wd.build_description(os.path.join(root, "outcomes.json"), description)
        # The damage of the run-log test: note 2332, which the folders list, is gone.
        db = sqlite3.connect(nsf)
        db.execute("DELETE FROM items WHERE noteId = 2332")
        db.execute("DELETE FROM notes WHERE noteId = 2332")
        db.commit()
        db.close()
        cls.work = wd.WorkDir(os.path.join(root, "w"), nsf)
        for note_id, path in ((8250, "Mixed"), (8258, "Work"), (8262, "Twice")):
            cls.work.convert_folder(note_id, path)
        cls.work.convert_calendar()
        cls.events = outcomes(cls.work)
        cls.log = cls.work.log_text()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_every_handled_document_has_its_outcome(self):
        got = [(n, f, o, k, p) for n, f, o, k, p, _ in self.events]
        self.assertEqual(got, [
            (2304, 8250, "converted", "mail", "Mixed"),
            (2308, 8250, "converted", "mail", "Mixed"),
            (2312, 8250, "converted", "task", "Tasks"),
            (2316, 8250, "converted", "contact", "Contacts"),
            (2320, 8250, "converted", "group", "Contacts"),
            (2324, 8250, "deferred", "calendar", ""),
            (2328, 8250, "skipped", "", ""),
            (2332, 8250, "not converted", "", ""),
            (2336, 8250, "converted", "mail", "Mixed"),
            # A mail is kept once per folder; a task once in all.
            (2304, 8258, "converted", "mail", "Work"),
            (2312, 8258, "merged", "task", "Tasks"),
            (2324, 8258, "deferred", "calendar", ""),
            (2336, 8262, "converted", "mail", "Twice"),
            (2336, 8262, "merged", "mail", "Twice"),
            # The calendar run converts the entry once and says so of the second listing.
            (2324, 0, "converted", "calendar", "Calendar"),
            (2324, 0, "skipped", "calendar", ""),
        ])
        reasons = {(n, f, o): r for n, f, o, _, _, r in self.events}
        self.assertIn("Discussion", reasons[(2328, 8250, "skipped")])
        self.assertIn("nonexistent", reasons[(2332, 8250, "not converted")])
        self.assertIn("listed again", reasons[(2324, 0, "skipped")])

    def test_items_saved_over_an_earlier_copy_are_not_counted_as_dumped(self):
        # Work: the mail and the deferred appointment count, the task that
        # replaced its copy from Mixed does not; Twice: the mail once.
        self.assertEqual(summary(self.log, "Work"), (3, 2))
        self.assertEqual(summary(self.log, "Twice"), (2, 1))
        # What the PST holds agrees with the events.
        pst = self.work.build_pst()
        self.assertEqual(len(wd.pst_messages(pst)),
                         len({(n, f if k == "mail" else 0) for n, f, o, k, _, _ in self.events
                              if o in ("converted", "merged", "incomplete")}))


class FolderRuns(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="worker_run_")
        self.addCleanup(self.tmp.cleanup)
        self.nsf = wd.build_description(os.path.join(self.tmp.name, "small.json"), runs.SMALL_MAILBOX)

    def test_a_command_line_without_a_work_folder_writes_nothing(self):
        here = os.path.join(self.tmp.name, "cwd")
        os.makedirs(here)
        r = subprocess.run([wd.SAVER, self.nsf + "/D /C 0/P " + os.path.join(here, "x.pst")], cwd=here,
                           env=dict(os.environ, NSF2PST_HEADLESS="1"), capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 255)
        self.assertEqual(os.listdir(here), [])

    def test_a_folder_whose_view_does_not_exist_fails(self):
        work = wd.WorkDir(os.path.join(self.tmp.name, "w"), self.nsf)
        work.set_record(9996, 3, "Gone", 1)
        code, state = work.run()
        self.assertEqual(code, 255)
        self.assertTrue(state.startswith("folder failed: "), state)
        log = work.log_text()
        tail = log[log.index("Dumping folder path: Gone\r\n"):]
        self.assertRegex(tail, "^Dumping folder path: Gone\r\n"
                               "Folder view cannot be fetch with noteid \r\n"
                               "Folder view cannot be open \r\n"
                               "[^\r\n]+\tERROR:while processing folder\r\n"
                               "(?!.*:items found)")
        self.assertNotIn("Total number of emails", tail)
        # No final record: the record of the launcher stays as it was.
        self.assertEqual(work.record(), (9996, 3, "Gone", 1))

    def test_a_document_left_to_the_next_run_is_not_counted_by_this_one(self):
        # The first document's own open takes the only note handle of the
        # process; its reader then runs out and the run restarts at it.
        work = wd.WorkDir(os.path.join(self.tmp.name, "w"), self.nsf, env={"NSFDB_OPEN_LIMIT": "1"})
        work.set_record(8250, 0, "Mixed", 1)
        self.assertEqual(work.run(), (255, "restart"))
        self.assertEqual(summary(work.log_text(), "Mixed"), (0, 0))
        self.assertEqual(outcomes(work), [])


if __name__ == "__main__":
    unittest.main()
