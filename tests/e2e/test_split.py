"""A PST split at a size limit through nsf2pst --split-size: a generated
mailbox with attachments converts into NAME.pst, NAME-2.pst, ... each within
the limit, each with the whole folder tree and read cleanly by libpff,
pst-extractor and readpst, and together they hold exactly the items of the
same conversion without a limit. Sizes that make no sense are usage errors."""
import collections
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import MAILGEN, NSF2PST, NSFDB  # noqa: E402

LIMIT = 1 << 20


class SplitTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        desc = os.path.join(cls.tmp.name, "mail.json")
        cls.db = os.path.join(cls.tmp.name, "mail.nsf")
        subprocess.run([sys.executable, MAILGEN, "--mails", "70", "--tasks", "4", "--contacts", "4",
                        "--calendar", "6", "--attachment-share", "0.4", "--max-attachment", "150000",
                        "--max-body", "20000", "--no-all-view", "--seed", "5", "--build", cls.db, "--nsfdb", NSFDB,
                        desc], check=True, capture_output=True)
        env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=cls.tmp.name)
        cls.split_dir = os.path.join(cls.tmp.name, "split")
        cls.whole_dir = os.path.join(cls.tmp.name, "whole")
        os.mkdir(cls.split_dir)
        os.mkdir(cls.whole_dir)
        cls.split = subprocess.run([NSF2PST, "--quiet", "--split-size", "1M", cls.db, cls.split_dir], env=env,
                                   capture_output=True, text=True, timeout=600)
        cls.whole = subprocess.run([NSF2PST, "--quiet", cls.db, cls.whole_dir], env=env,
                                   capture_output=True, text=True, timeout=600)
        cls.parts = []
        for n in range(1, 100):
            path = os.path.join(cls.split_dir, "mail.pst" if n == 1 else "mail-%d.pst" % n)
            if not os.path.exists(path):
                break
            cls.parts.append(path)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_conversion_splits_into_parts_within_the_limit(self):
        self.assertEqual(self.split.returncode, 0, self.split.stderr[-3000:])
        self.assertEqual(self.whole.returncode, 0, self.whole.stderr[-3000:])
        self.assertGreaterEqual(len(self.parts), 3)
        self.assertGreater(os.path.getsize(os.path.join(self.whole_dir, "mail.pst")), LIMIT)
        for part in self.parts:
            self.assertLessEqual(os.path.getsize(part), LIMIT, part)
            self.assertIn(part, self.split.stdout)
        leftovers = [n for n in os.listdir(self.split_dir) if ".writing-" in n or n.startswith("mail-%d" % (len(self.parts) + 1))]
        self.assertEqual(leftovers, [])

    def test_parts_hold_every_item_of_the_unsplit_pst_once(self):
        got = collections.Counter()
        for part in self.parts:
            got.update(pst_items.items(part))  # also opens each part with pst-extractor
        want = collections.Counter(pst_items.items(os.path.join(self.whole_dir, "mail.pst")))
        self.assertEqual(sum(want.values()), sum(got.values()))
        self.assertEqual(want, got)

    def test_every_part_has_the_whole_folder_tree(self):
        want = sorted(pst_items.folder_names(os.path.join(self.whole_dir, "mail.pst")))
        for part in self.parts:
            self.assertEqual(sorted(pst_items.folder_names(part)), want, part)

    def test_readpst_reads_each_part_without_errors(self):
        for part in self.parts:
            with tempfile.TemporaryDirectory() as out:
                r = subprocess.run(["readpst", "-q", "-j", "0", "-o", out, part], capture_output=True, text=True)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertNotRegex(r.stderr.lower(), "error|fatal", part)

    def test_nonsense_sizes_are_usage_errors(self):
        out = os.path.join(self.tmp.name, "bad")
        os.makedirs(out, exist_ok=True)
        for size in ["0", "abc", "10X", "-5M", "1.5G", "100K", ""]:
            r = subprocess.run([NSF2PST, "--split-size", size, self.db, out], capture_output=True, text=True)
            self.assertEqual(r.returncode, 2, (size, r.stderr))
            self.assertIn("--split-size", r.stderr)
        self.assertEqual(os.listdir(out), [])


if __name__ == "__main__":
    unittest.main()
