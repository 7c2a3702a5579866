"""End-to-end conversions of the sample mailbox with nsf2pst, checked in the
written PST with libpff's Python bindings and readpst: every folder and item
arrives once, forced restarts and a stop followed by a new conversion lose
and duplicate nothing, and bad input fails cleanly."""
import os
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SAMPLE  # noqa: E402
from processes import live_processes_naming, wait_for  # noqa: E402


def kill_processes_naming(text):
    """SIGKILL to every process whose command line holds the text (the
    workers run in process groups of their own)."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if text.encode() in f.read():
                    os.kill(int(pid), signal.SIGKILL)
        except (OSError, ProcessLookupError):
            pass


def run(args, env=None, **kw):
    e = dict(os.environ)
    e["NSF2PST_HEADLESS"] = "1"
    e.update(env or {})
    return subprocess.run(args, env=e, capture_output=True, text=True, timeout=600, **kw)


class Conversion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.db = os.path.join(cls.tmp.name, "mailbox.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, cls.db], check=True)
        out = os.path.join(cls.tmp.name, "plain")
        os.mkdir(out)
        r = run([NSF2PST, cls.db, out], env={"TMPDIR": cls.tmp.name})
        cls.plainResult = r
        cls.plain = os.path.join(out, "mailbox.pst")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def convert(self, name, extra=(), env=None):
        out = os.path.join(self.tmp.name, name)
        os.makedirs(out, exist_ok=True)
        e = {"TMPDIR": self.tmp.name}
        e.update(env or {})
        r = run([NSF2PST, *extra, self.db, out], env=e)
        return r, os.path.join(out, "mailbox.pst")

    def test_sample_converts_with_every_kind_of_item(self):
        self.assertEqual(self.plainResult.returncode, 0, self.plainResult.stderr)
        classes = {cls.split(".")[0] + "." + cls.split(".")[1] for _, cls, _ in pst_items.items(self.plain) if "." in cls}
        for expected in ("IPM.Note", "IPM.Task", "IPM.Appointment", "IPM.Contact", "IPM.DistList"):
            self.assertIn(expected, classes)
        info = subprocess.run(["pffinfo", self.plain], capture_output=True, text=True)
        self.assertEqual(info.returncode, 0, info.stderr)
        with tempfile.TemporaryDirectory() as rp:
            r = subprocess.run(["readpst", "-o", rp, "-D", self.plain], capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)

    def test_forced_restarts_lose_and_duplicate_nothing(self):
        r, pst = self.convert("restarts", env={"NSFDB_OPEN_LIMIT": "7"})
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(pst_items.items(pst), pst_items.items(self.plain))

    def test_stop_then_new_conversion(self):
        out = os.path.join(self.tmp.name, "stopped")
        os.makedirs(out, exist_ok=True)
        e = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=self.tmp.name, NSFDB_OPEN_LIMIT="5")
        p = subprocess.Popen([NSF2PST, self.db, out], env=e, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # Stopped while a worker converts; a conversion that ended before the
        # stop arrived ends as it would have (3: the encrypted memo).
        wait_for(lambda: live_processes_naming("nsfsaver", self.db), 60)
        p.send_signal(signal.SIGINT)
        p.communicate(timeout=600)
        self.assertIn(p.returncode, (3, 130))
        pst = os.path.join(out, "mailbox.pst")
        self.assertTrue(os.path.exists(pst))
        r, again = self.convert("stopped", extra=["--overwrite"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(pst_items.items(again), pst_items.items(self.plain))

    def empty_folder(self):
        path = os.path.join(self.tmp.name, "no-databases")
        os.makedirs(path, exist_ok=True)
        return path

    def test_bad_input_fails_cleanly(self):
        bad = os.path.join(self.tmp.name, "truncated.nsf")
        with open(self.db, "rb") as f, open(bad, "wb") as g:
            g.write(f.read()[:1000])
        cases = [
            ([bad], "truncated database"),
            ([self.empty_folder()], "a directory without databases"),
            ([os.path.join(self.tmp.name, "missing.nsf")], "missing file"),
            (["--bogus", self.db], "unknown option"),
        ]
        for args, what in cases:
            out = os.path.join(self.tmp.name, "bad-" + what.replace(" ", "-"))
            os.makedirs(out, exist_ok=True)
            r = run([NSF2PST, *args, out], env={"TMPDIR": self.tmp.name})
            self.assertNotEqual(r.returncode, 0, what)
            self.assertIn("nsf2pst:", r.stderr, what)
            self.assertFalse(any(n.endswith(".pst") for n in os.listdir(out)), what)

    def test_killed_workers_lose_and_duplicate_nothing(self):
        # Every worker process is killed (SIGKILL) right after its third
        # commit of saved items, before it can record their documents as
        # done: the next run saves them again, which must not give a second
        # item.
        r, pst = self.convert("killed", env={"PSTSTORE_KILL_AFTER_SAVES": "3"})
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("ended unexpectedly (signal 9)", r.stderr)
        self.assertEqual(pst_items.items(pst), pst_items.items(self.plain))

    def test_killed_conversion_then_new_conversion(self):
        out = os.path.join(self.tmp.name, "killed-all")
        os.makedirs(out, exist_ok=True)
        e = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=self.tmp.name, NSFDB_OPEN_LIMIT="5")
        p = subprocess.Popen([NSF2PST, self.db, out], env=e, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             start_new_session=True)
        wait_for(lambda: live_processes_naming("nsfsaver", self.db), 60)
        os.killpg(p.pid, signal.SIGKILL)
        kill_processes_naming(self.db)
        p.communicate(timeout=60)
        pst = os.path.join(out, "mailbox.pst")
        self.assertFalse(os.path.exists(pst) and os.path.getsize(pst) == 0)
        r, again = self.convert("killed-all", extra=["--overwrite"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(pst_items.items(again), pst_items.items(self.plain))

    def test_empty_database_gives_the_default_folders(self):
        desc = os.path.join(self.tmp.name, "empty.json")
        with open(desc, "w") as f:
            f.write('{"title": "Empty", "replicaId": "85257A1B0049D7E3", "forms": {}, "documents": [],'
                    ' "views": [{"name": "($Inbox)", "folder": true, "entries": []}]}')
        db = os.path.join(self.tmp.name, "empty.nsf")
        subprocess.run([NSFDB, "build", desc, db], check=True)
        out = os.path.join(self.tmp.name, "empty-out")
        os.makedirs(out, exist_ok=True)
        r = run([NSF2PST, db, out], env={"TMPDIR": self.tmp.name})
        self.assertEqual(r.returncode, 0, r.stderr)
        pst = os.path.join(out, "empty.pst")
        self.assertEqual(pst_items.items(pst), [])
        names = pst_items.folder_names(pst)
        for folder in ("Inbox", "Sent Items", "Deleted Items", "Calendar", "Contacts", "Tasks"):
            self.assertIn(folder, names)

    def mounted(self, name, options):
        """A fresh tmpfs, or a skip where this machine cannot mount one."""
        where = os.path.join(self.tmp.name, name)
        os.makedirs(where, exist_ok=True)
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", where], capture_output=True)
        if r.returncode != 0:
            self.skipTest("cannot mount a tmpfs here: " + r.stderr.decode().strip())
        self.addCleanup(subprocess.run, ["umount", "-l", where])
        return where

    def test_unwritable_output_folder(self):
        out = self.mounted("readonly", "ro,size=1m")
        r = run([NSF2PST, self.db, out], env={"TMPDIR": self.tmp.name})
        self.assertEqual(r.returncode, 2, r.stderr)
        self.assertIn("cannot write into the output folder", r.stderr)
        self.assertEqual(os.listdir(out), [])

    def test_full_output_disk_leaves_no_pst(self):
        out = self.mounted("full-out", "size=64k")
        r = run([NSF2PST, self.db, out], env={"TMPDIR": self.tmp.name})
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("nsf2pst: cannot write", r.stderr)
        self.assertEqual(os.listdir(out), [])

    def test_full_work_disk_fails_clearly(self):
        work = self.mounted("full-work", "size=256k")
        out = os.path.join(self.tmp.name, "full-work-out")
        os.makedirs(out, exist_ok=True)
        r = run([NSF2PST, self.db, out], env={"TMPDIR": work})
        self.assertNotEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("is full", r.stderr)
        # Whatever was written is complete and readable; nothing sits under
        # the final name half-written.
        pst = os.path.join(out, "mailbox.pst")
        if os.path.exists(pst):
            info = subprocess.run(["pffinfo", pst], capture_output=True, text=True)
            self.assertEqual(info.returncode, 0, info.stderr)
        self.assertEqual([n for n in os.listdir(out) if n != "mailbox.pst"], [])

    def test_existing_pst_is_not_overwritten(self):
        out = os.path.dirname(self.plain)
        before = os.path.getmtime(self.plain)
        r = run([NSF2PST, self.db, out], env={"TMPDIR": self.tmp.name})
        self.assertEqual(r.returncode, 2)
        self.assertIn("--overwrite", r.stderr)
        self.assertEqual(os.path.getmtime(self.plain), before)


if __name__ == "__main__":
    unittest.main()
