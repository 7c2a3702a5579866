"""The conversion report next to the PST (NAME.report.csv and .json) through
nsf2pst: every document of the database appears once with what became of
it, its counts equal what the PST holds (read back with libpff), and the
exit status says whether every document arrived. Folders that fail are
reported and the others still convert; a PST that takes the output name
while the conversion runs is never replaced."""
import csv
import json
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import unittest
from collections import Counter

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import BIN, NSF2PST, NSFDB, SAMPLE  # noqa: E402

TOP = "\\Top of Outlook data file\\"
KIND_OF_CLASS = {"IPM.Note": "mail", "IPM.Task": "task", "IPM.Appointment": "calendar",
                 "IPM.Contact": "contact", "IPM.DistList": "group"}


# Work directories of these runs (kept when a run fails on purpose) go here,
# not into the user's temporary folder; removed when the tests end.
WORK_TMP = tempfile.TemporaryDirectory(prefix="nsf2pst-e2e-")


def run(args, env=None):
    e = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=WORK_TMP.name)
    e.update(env or {})
    return subprocess.run(args, env=e, capture_output=True, text=True, timeout=600)


def read_report(pst):
    base = pst[:-len(".pst")]
    with open(base + ".report.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    with open(base + ".report.json", encoding="utf-8") as f:
        return rows, json.load(f)


def pst_counts(pst):
    """Counter of (PST folder below the top, lower case; item kind) of every item."""
    return Counter((folder[len(TOP):].lower(), KIND_OF_CLASS.get(".".join(cls.split(".")[:2]), cls))
                   for folder, cls, _ in pst_items.items(pst))


def report_counts(rows):
    return Counter((folder.lower(), row["itemKind"]) for row in rows
                   for folder in filter(None, row["pstFolders"].split("; ")))


def document_ids(description):
    with open(description, encoding="utf-8") as f:
        return sorted(d["noteId"] for d in json.load(f)["documents"])


def with_programs(test, viewer=None, saver=None):
    """nsf2pst in a folder of its own, next to the real viewer and worker or
    to the given scripts (which wrap them): it runs the programs beside it."""
    where = os.path.join(test.tmp.name, "programs")
    if os.path.exists(where):
        shutil.rmtree(where)
    os.mkdir(where)
    shutil.copy(NSF2PST, where)
    for name, real, script in (("nsfviewer", os.path.join(BIN, "viewer", "nsfviewer"), viewer),
                               ("nsfsaver", os.path.join(BIN, "worker", "app", "nsfsaver"), saver)):
        target = os.path.join(where, name)
        if script is None:
            os.symlink(os.path.abspath(real), target)
            continue
        with open(target, "w") as f:
            f.write("#!/usr/bin/python3\nimport os, struct, sys\nREAL = %r\n%s" % (os.path.abspath(real), script))
        os.chmod(target, 0o755)
    return os.path.join(where, "nsf2pst")


# A viewer that lists every folder as the real one does, then points the
# selection entry of "Projects" at a view that does not exist.
VIEWER_WITH_A_LOST_VIEW = r"""
import subprocess
line = sys.argv[1]
subprocess.run([REAL, line])
path = line[line.index("/F") + 2:] + "Folderpth.txt"
data = bytearray(open(path, "rb").read())
at, (count,) = 5, struct.unpack_from("<I", data, 1)
for _ in range(count):
    (n,) = struct.unpack_from("<I", data, at)
    name = data[at + 4:at + 4 + n].decode("utf-16-le")
    at += 4 + n + 1
    if name == "Projects":
        struct.pack_into("<I", data, at, 9996)
    at += 4
open(path, "wb").write(data)
"""

# A worker whose first calendar run finds a file under the PST's final name,
# as when another conversion into the same folder has just finished.
SAVER_THAT_SEES_THE_PST_APPEAR = r"""
line = sys.argv[1]
out = os.environ["PLANT_PST"]
if "/C 1/P " in line and not os.path.exists(out):
    with open(out, "wb") as f:
        f.write(b"another conversion's PST")
os.execv(REAL, [REAL, line])
"""


class Report(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.db = os.path.join(cls.tmp.name, "mailbox.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, cls.db], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def out(self, name):
        where = os.path.join(self.tmp.name, name)
        os.makedirs(where, exist_ok=True)
        return where

    def test_every_document_appears_once_and_the_counts_are_the_psts(self):
        out = self.out("plain")
        r = run([NSF2PST, "--quiet", "--remove-encryption", self.db, out])
        self.assertEqual(r.returncode, 0, r.stderr)
        pst = os.path.join(out, "mailbox.pst")
        rows, report = read_report(pst)
        documents = [row for row in rows if not row["form"].startswith("(")]
        self.assertEqual(sorted(int(row["noteId"]) for row in documents), document_ids(SAMPLE))
        self.assertEqual({row["outcome"] for row in documents}, {"converted"})
        self.assertEqual(report_counts(rows), pst_counts(pst))
        self.assertEqual(report["counts"]["documents"], len(documents))
        self.assertEqual(sum(report["counts"]["items"].values()), len(pst_items.items(pst)))
        self.assertIn("documents: %d (converted %d, merged 0, skipped 0, not converted 0, incomplete 0)"
                      % (len(documents), len(documents)), r.stdout)
        self.assertIn("report: " + os.path.join(out, "mailbox.report.csv"), r.stdout)

    def test_a_document_that_crashes_the_worker_costs_only_itself(self):
        with open(SAMPLE, encoding="utf-8") as f:
            description = json.load(f)
        listed = Counter(e if isinstance(e, int) else e["noteId"] for v in description["views"]
                         for e in v["entries"] if e is not None)
        memos = [d["noteId"] for d in description["documents"]
                 if d.get("form") == "Memo" and listed[d["noteId"]] == 1 and not d.get("encrypted")]
        def ids(view):
            return [e if isinstance(e, int) else e["noteId"] for e in view["entries"] if e is not None]
        folders = [v for v in description["views"] if v.get("folder")]
        inFolders = Counter(n for v in folders for n in ids(v))
        forms = {d["noteId"]: d for d in description["documents"]}
        inbox = [n for n in ids(next(v for v in folders if v["name"] == "($Inbox)"))
                 if forms[n].get("form") == "Memo" and inFolders[n] == 1 and not forms[n].get("encrypted")]
        # The first memo starts its folder; the last one in the inbox comes
        # after mails that may still wait to be saved when it crashes.
        for memo in (memos[0], inbox[-1]):
            with self.subTest(memo=memo):
                out = self.out("crash-%d" % memo)
                r = run([NSF2PST, "--quiet", "--remove-encryption", self.db, out],
                        env={"NSFDB_CRASH_NOTE": str(memo)})
                self.assertEqual(r.returncode, 3, r.stdout + r.stderr)
                pst = os.path.join(out, "mailbox.pst")
                rows, _ = read_report(pst)
                documents = {int(row["noteId"]): row for row in rows if not row["form"].startswith("(")}
                self.assertEqual(documents[memo]["outcome"], "not converted")
                self.assertIn("twice while converting it", documents[memo]["reason"])
                self.assertEqual({row["outcome"] for n, row in documents.items() if n != memo}, {"converted"})
                self.assertEqual(report_counts(rows), pst_counts(pst))

    def test_a_period_skips_by_choice_and_exits_0(self):
        out = self.out("period")
        r = run([NSF2PST, "--quiet", "--from", "2030-01-01", self.db, out])
        self.assertEqual(r.returncode, 0, r.stderr)
        rows, _ = read_report(os.path.join(out, "mailbox.pst"))
        documents = [row for row in rows if not row["form"].startswith("(")]
        self.assertEqual({(row["outcome"], row["reason"]) for row in documents},
                         {("skipped", "created outside the date range")})

    def test_no_readable_document_is_no_success(self):
        db = os.path.join(self.tmp.name, "unreadable.nsf")
        shutil.copy(self.db, db)
        with sqlite3.connect(db) as c:
            c.execute("DELETE FROM notes WHERE noteClass = 1")
        out = self.out("unreadable")
        r = run([NSF2PST, "--quiet", db, out])
        self.assertEqual(r.returncode, 3, r.stdout + r.stderr)
        rows, _ = read_report(os.path.join(out, "unreadable.pst"))
        documents = [row for row in rows if not row["form"].startswith("(")]
        self.assertEqual(sorted(int(row["noteId"]) for row in documents), document_ids(SAMPLE))
        self.assertEqual({row["outcome"] for row in documents}, {"not converted"})
        self.assertIn("%d of %d documents were not converted" % (len(documents), len(documents)), r.stderr)
        self.assertIn(os.path.join(out, "unreadable.report.csv"), r.stderr)
        self.assertEqual(pst_items.items(os.path.join(out, "unreadable.pst")), [])

    def test_a_folder_without_a_name_converts_and_so_do_the_folders_after_it(self):
        desc = os.path.join(self.tmp.name, "unnamed.json")
        memo = {"form": "Memo", "created": "2019-03-04T10:00:00+01:00"}
        with open(desc, "w") as f:
            json.dump({"title": "Unnamed folder", "forms": {"Memo": [], "Appointment": []}, "documents": [
                dict(memo, noteId=2304, items={"Subject": "In the folder without a name"}),
                dict(memo, noteId=2308, items={"Subject": "In a later folder"}),
                {"noteId": 2312, "form": "Appointment", "created": "2019-03-04T10:00:00+01:00",
                 "items": {"Subject": "Meeting", "StartDateTime": {"datetime": "2019-03-12T15:30:00+01:00"},
                           "EndDateTime": {"datetime": "2019-03-12T16:30:00+01:00"}}}],
                "views": [{"name": "", "folder": True, "noteId": 8250, "entries": [2304]},
                          {"name": "Later", "folder": True, "noteId": 8254, "entries": [2308, 2312]}]}, f)
        db = os.path.join(self.tmp.name, "unnamed.nsf")
        subprocess.run([NSFDB, "build", desc, db], check=True)
        out = self.out("unnamed")
        r = run([NSF2PST, "--quiet", db, out])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual([(folder, cls) for folder, cls, _ in pst_items.items(os.path.join(out, "unnamed.pst"))],
                         [(TOP + "(Untitled)", "IPM.Note"), (TOP + "Calendar", "IPM.Appointment"),
                          (TOP + "Later", "IPM.Note")])

    def test_a_folder_whose_view_is_lost_fails_and_the_others_convert(self):
        nsf2pst = with_programs(self, viewer=VIEWER_WITH_A_LOST_VIEW)
        out = self.out("lost-view")
        r = run([nsf2pst, "--quiet", "--remove-encryption", self.db, out])
        self.assertEqual(r.returncode, 3, r.stdout + r.stderr)
        self.assertIn("failed: Projects: ", r.stdout)
        self.assertIn("1 folder failed", r.stderr)
        pst = os.path.join(out, "mailbox.pst")
        rows, report = read_report(pst)
        self.assertEqual([f["result"] for f in report["folders"] if f["pstFolder"] == "Projects"], ["failed"])
        by_id = {int(row["noteId"]): row for row in rows}
        # The memo only "Projects" lists is lost with it; the folders after it
        # and the calendar entries still arrive.
        self.assertEqual(by_id[2364]["outcome"], "not converted")
        self.assertIn("the folder Projects, which could not be converted", by_id[2364]["reason"])
        self.assertEqual(by_id[2372]["outcome"], "converted")
        self.assertEqual(by_id[2500]["outcome"], "converted")
        self.assertEqual(report_counts(rows), pst_counts(pst))

    def test_a_pst_that_appears_during_the_conversion_is_not_replaced(self):
        nsf2pst = with_programs(self, saver=SAVER_THAT_SEES_THE_PST_APPEAR)
        out = self.out("appears")
        planted = os.path.join(out, "mailbox.pst")
        r = run([nsf2pst, "--quiet", self.db, out], env={"PLANT_PST": planted})
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        with open(planted, "rb") as f:
            self.assertEqual(f.read(), b"another conversion's PST")
        ours = os.path.join(out, "mailbox (2).pst")
        self.assertIn(planted + " appeared while the conversion ran", r.stderr)
        self.assertIn(ours, r.stderr)
        rows, _ = read_report(ours)
        self.assertEqual(report_counts(rows), pst_counts(ours))


if __name__ == "__main__":
    unittest.main()
