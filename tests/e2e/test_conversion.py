"""End-to-end conversions of the sample mailbox with nsf2pst, checked in the
written PST with libpff's Python bindings and readpst: every folder and item
arrives once, forced restarts and a stop followed by a new conversion lose
and duplicate nothing, and bad input fails cleanly."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402

BIN = os.environ.get("NSF2PST_BINARY_DIR", "build")
SRC = os.environ.get("NSF2PST_SOURCE_DIR", ".")
NSF2PST = os.path.join(BIN, "launcher", "nsf2pst")
NSFDB = os.path.join(BIN, "tools", "nsfdb", "nsfdb")
SAMPLE = os.path.join(SRC, "samples", "mailbox", "mailbox.json")


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
        time.sleep(1.0)
        p.send_signal(signal.SIGINT)
        p.communicate(timeout=600)
        self.assertIn(p.returncode, (0, 130))
        pst = os.path.join(out, "mailbox.pst")
        self.assertTrue(os.path.exists(pst))
        r, again = self.convert("stopped", extra=["--overwrite"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(pst_items.items(again), pst_items.items(self.plain))

    def test_bad_input_fails_cleanly(self):
        bad = os.path.join(self.tmp.name, "truncated.nsf")
        with open(self.db, "rb") as f, open(bad, "wb") as g:
            g.write(f.read()[:1000])
        cases = [
            ([bad], "truncated database"),
            ([self.tmp.name], "a directory"),
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

    def test_existing_pst_is_not_overwritten(self):
        out = os.path.dirname(self.plain)
        before = os.path.getmtime(self.plain)
        r = run([NSF2PST, self.db, out], env={"TMPDIR": self.tmp.name})
        self.assertEqual(r.returncode, 2)
        self.assertIn("--overwrite", r.stderr)
        self.assertEqual(os.path.getmtime(self.plain), before)


if __name__ == "__main__":
    unittest.main()
