"""Batches of databases through nsf2pst: a damaged database among good ones
(the others complete, the summary names the failure, the exit status says
so), two databases of the same name, a batch killed halfway and run again
(nothing converted twice, nothing missing), two conversions at once, and
GNU parallel running single conversions that share one summary file."""
import csv
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
from datetime import datetime

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SAMPLE  # noqa: E402
from processes import live_processes_naming, wait_for  # noqa: E402

SAMPLE_ITEMS = 36  # mail, tasks, calendar entries, contacts and groups of the sample


def env_for(tmp):
    return dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=tmp)


def read_summary(path):
    with open(path, newline="", encoding="utf-8") as f:
        return {row["database"]: row for row in csv.DictReader(f)}


def interval(row):
    return datetime.fromisoformat(row["started"]), datetime.fromisoformat(row["ended"])


def overlap(a, b):
    (s1, e1), (s2, e2) = interval(a), interval(b)
    return max(s1, s2) < min(e1, e2)


class BatchMany(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.db = os.path.join(cls.tmp.name, "sample.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, cls.db], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def place(self, *names):
        """Copies of the sample at the given paths under the test's folder."""
        paths = []
        for name in names:
            path = os.path.join(self.tmp.name, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copy(self.db, path)
            paths.append(path)
        return paths

    def nsf2pst(self, *args, timeout=120):
        return subprocess.run([NSF2PST, *args], env=env_for(self.tmp.name), capture_output=True, text=True,
                              timeout=timeout)

    def assert_complete(self, row, pst):
        self.assertEqual(row["outcome"], "converted", row)
        self.assertEqual(row["pst"], pst)
        self.assertEqual(len(pst_items.items(pst)), SAMPLE_ITEMS, pst)
        self.assertEqual(int(row["items"]), SAMPLE_ITEMS, row)

    def test_a_damaged_database_fails_alone_and_same_names_get_numbers(self):
        alice, other = self.place("damaged/src/alice.nsf", "damaged/other/alice.nsf")
        bad = os.path.join(self.tmp.name, "damaged", "src", "bad.nsf")
        with open(self.db, "rb") as f, open(bad, "wb") as out:
            out.write(f.read(5000))
        out_dir = os.path.join(self.tmp.name, "damaged", "out")  # created by the batch
        r = self.nsf2pst(alice, bad, other, out_dir)
        self.assertEqual(r.returncode, 1, r.stderr)
        rows = read_summary(os.path.join(out_dir, "batch-summary.csv"))
        self.assertEqual(list(rows), [alice, bad, other])
        self.assert_complete(rows[alice], os.path.join(out_dir, "alice.pst"))
        self.assert_complete(rows[other], os.path.join(out_dir, "alice (2).pst"))
        self.assertEqual(rows[bad]["outcome"], "failed")
        self.assertEqual(rows[bad]["pst"], "")
        self.assertIn("bad.nsf", rows[bad]["reason"])
        self.assertIn("alice (2).pst", r.stdout)  # the console table
        self.assertFalse(os.path.exists(os.path.join(out_dir, "bad.pst")))

    def test_a_killed_batch_resumes_without_converting_anything_twice(self):
        names = ["kill/src/%s.nsf" % n for n in ("ann", "ben", "cat", "dan")]
        self.place(*names)
        with open(os.path.join(self.tmp.name, "kill", "src", "notes.txt"), "w") as f:
            f.write("not a database")
        src = os.path.join(self.tmp.name, "kill", "src")
        out_dir = os.path.join(self.tmp.name, "kill", "out")
        state_path = os.path.join(out_dir, ".nsf2pst-batch.json")

        def state():
            try:
                with open(state_path, encoding="utf-8") as f:
                    return json.load(f)["databases"]
            except (OSError, ValueError):
                return []

        batch = subprocess.Popen([NSF2PST, src, out_dir], env=env_for(self.tmp.name), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            # Killed while a database converts, after at least one has ended.
            self.assertTrue(wait_for(lambda: any(e["ended"] for e in state()) and
                                     any(not e["ended"] for e in state()), 60))
        finally:
            os.killpg(batch.pid, signal.SIGKILL)
            batch.wait()
        before = {e["database"]: e for e in state() if e["ended"]}
        interrupted = [e["database"] for e in state() if not e["ended"]]
        self.assertEqual(len(interrupted), 1)
        self.assertTrue(wait_for(lambda: not live_processes_naming(out_dir) and not live_processes_naming(src), 10),
                        "conversions outlived the batch")
        mtimes = {db: os.stat(e["pst"]).st_mtime_ns for db, e in before.items()}

        r = self.nsf2pst(src, out_dir)
        self.assertEqual(r.returncode, 0, r.stderr + r.stdout)
        rows = read_summary(os.path.join(out_dir, "batch-summary.csv"))
        self.assertEqual(sorted(rows), sorted(os.path.join(src, n.split("/")[-1]) for n in names))
        for db, row in rows.items():
            self.assert_complete(row, os.path.join(out_dir, os.path.basename(db)[:-4] + ".pst"))
        for db, e in before.items():
            self.assertEqual(rows[db]["started"], e["started"], db + " was converted again")
            self.assertEqual(os.stat(e["pst"]).st_mtime_ns, mtimes[db], db + " was converted again")
        self.assertGreater(interval(rows[interrupted[0]])[0], max(interval(rows[db])[1] for db in before))

    def test_jobs_run_conversions_at_once(self):
        one, two = self.place("jobs/one.nsf", "jobs/two.nsf")
        out_dir = os.path.join(self.tmp.name, "jobs", "out")
        r = self.nsf2pst("--jobs", "2", one, two, out_dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = read_summary(os.path.join(out_dir, "batch-summary.csv"))
        self.assertTrue(overlap(rows[one], rows[two]), rows)
        self.assert_complete(rows[two], os.path.join(out_dir, "two.pst"))

    @unittest.skipUnless(shutil.which("parallel"), "GNU parallel is not installed")
    def test_gnu_parallel_jobs_share_one_summary(self):
        dbs = self.place("parallel/p1.nsf", "parallel/p2.nsf", "parallel/p3.nsf")
        out_dir = os.path.join(self.tmp.name, "parallel", "out")
        os.makedirs(out_dir)
        summary = os.path.join(out_dir, "summary.csv")
        r = subprocess.run(["parallel", "--will-cite", "-j", "2", NSF2PST, "--quiet", "--summary-row", summary,
                            "{}", out_dir + "/{/.}.pst", ":::", *dbs],
                           env=env_for(self.tmp.name), capture_output=True, text=True, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(summary, encoding="utf-8") as f:
            self.assertEqual(f.read().count("database,outcome"), 1)
        rows = read_summary(summary)
        self.assertEqual(sorted(rows), dbs)
        for db in dbs:
            self.assert_complete(rows[db], os.path.join(out_dir, os.path.basename(db)[:-4] + ".pst"))
        self.assertTrue(any(overlap(rows[a], rows[b]) for a in dbs for b in dbs if a < b), rows)


if __name__ == "__main__":
    unittest.main()
