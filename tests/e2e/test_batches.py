"""Batch limits through nsf2pst: a folder of more than 20,000 documents and
more than 99 calendar entries take several worker runs each, and every
document still arrives exactly once. Checked with libpff's Python bindings
and readpst."""
import collections
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import MAILGEN, NSF2PST, NSFDB  # noqa: E402
BIG = 20013
CALENDAR = 130


def tag_of(subject):
    found = re.search(r"\b[MTACG]\d{6}\b", subject)
    return found.group(0) if found else subject


class BatchLimits(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="e2e_batches_")
        desc = os.path.join(cls.tmp.name, "big.json")
        cls.manifest_path = os.path.join(cls.tmp.name, "manifest.json")
        cls.db = os.path.join(cls.tmp.name, "big.nsf")
        subprocess.run([sys.executable, MAILGEN, "--mails", "40", "--calendar", str(CALENDAR), "--tasks", "5",
                        "--contacts", "5", "--folder", f"Archive={BIG}", "--max-body", "300",
                        "--attachment-share", "0.01", "--max-attachment", "4096", "--no-all-view",
                        "--manifest", cls.manifest_path, "--build", cls.db, "--nsfdb", NSFDB, desc],
                       check=True, capture_output=True)
        with open(cls.manifest_path, encoding="utf-8") as f:
            cls.manifest = json.load(f)
        out = os.path.join(cls.tmp.name, "out")
        os.mkdir(out)
        cls.stats_path = os.path.join(cls.tmp.name, "stats.json")
        env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=cls.tmp.name)
        cls.result = subprocess.run([NSF2PST, "--stats", cls.stats_path, cls.db, out], env=env,
                                    capture_output=True, text=True, timeout=1500)
        cls.pst = os.path.join(out, "big.pst")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_conversion_succeeds_in_several_runs(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr[-3000:])
        with open(self.stats_path) as f:
            stats = json.load(f)
        folders = sum(1 for line in self.result.stderr.splitlines() if re.match(r"Folder \d+ of \d+: ", line))
        # One run per folder, and one more for the folder past the 20,000-position batch.
        self.assertEqual(stats["mail"]["runs"], folders + 1)
        # At most 99 calendar entries per run.
        self.assertEqual(stats["calendar"]["runs"], (CALENDAR + 98) // 99)
        self.assertIn("continuing Archive at position 19999", self.result.stderr)

    def test_every_document_arrives_once(self):
        items = pst_items.items(self.pst)
        counts = collections.Counter((folder.split("\\")[-1], cls, tag_of(subject)) for folder, cls, subject in items)
        doubled = [k for k, n in counts.items() if n > 1]
        self.assertEqual(doubled, [])
        archive = {tag for folder, cls, tag in counts if folder == "Archive"}
        docs = {d["noteId"]: d for d in self.manifest["documents"]}
        view = next(v for v in self.manifest["views"] if v["pst"] == "Archive")
        self.assertEqual(len(view["entries"]), BIG)
        self.assertEqual(archive, {docs[n]["tag"] for n in view["entries"]})
        calendar = {tag for folder, cls, tag in counts if folder == "Calendar"}
        self.assertEqual(calendar, {d["tag"] for d in self.manifest["documents"] if d["kind"] == "calendar"})

    def test_readpst_reads_the_big_folder(self):
        with tempfile.TemporaryDirectory() as out:
            r = subprocess.run(["readpst", "-q", "-j", "0", "-S", "-D", "-o", out, self.pst], capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            archive = [files for where, _, files in os.walk(out) if os.path.basename(where) == "Archive"]
            self.assertEqual(len(archive), 1)
            self.assertEqual(sum(1 for f in archive[0] if f.isdigit()), BIG)


if __name__ == "__main__":
    unittest.main()
