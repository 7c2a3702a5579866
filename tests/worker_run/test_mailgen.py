"""The mailbox generator: exact counts per kind and folder, unique tags,
the same mailbox for the same seed, views that name only described
documents, and a description nsfdb builds and dumps back."""
import json
import os
import subprocess
import sys
import tempfile
import unittest
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import worker_driver as wd  # noqa: E402


def run_mailgen(out, *args):
    return subprocess.run([sys.executable, wd.MAILGEN, *args, out], capture_output=True, text=True)


class Mailgen(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="mailgen_")
        self.addCleanup(self.tmp.cleanup)

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def generate(self, name, *args):
        out = self.path(name + ".json")
        r = run_mailgen(out, "--manifest", self.path(name + ".manifest.json"), *args)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            description = json.load(f)
        with open(self.path(name + ".manifest.json"), encoding="utf-8") as f:
            return description, json.load(f)

    def test_counts_tags_and_views(self):
        description, manifest = self.generate(
            "m", "--mails", "101", "--tasks", "7", "--contacts", "9", "--groups", "3", "--calendar", "11",
            "--folder", "Archive\\2019=17", "--seed", "4")
        kinds = Counter(d["kind"] for d in manifest["documents"])
        self.assertEqual(kinds, Counter({"mail": 118, "task": 7, "contact": 9, "group": 3, "calendar": 11}))
        tags = [d["tag"] for d in manifest["documents"]]
        self.assertEqual(len(tags), len(set(tags)))
        subjects = Counter(d["subject"] for d in manifest["documents"])
        self.assertEqual(max(subjects.values()), 1)
        views = {v["name"]: v for v in description["views"]}
        self.assertEqual(len(views["Archive\\2019"]["entries"]), 17)
        self.assertIn("Archive", views)
        self.assertTrue(views["Archive"]["folder"])
        documents = {d["noteId"] for d in description["documents"]}
        for v in description["views"]:
            for e in v["entries"]:
                self.assertIn(e["noteId"] if isinstance(e, dict) else e, documents, v["name"])
        note_ids = [d["noteId"] for d in description["documents"]] + [v["noteId"] for v in description["views"]]
        self.assertEqual(len(note_ids), len(set(note_ids)))
        # Every form a document uses is described, with its fields.
        self.assertLessEqual({d["form"] for d in description["documents"]}, set(description["forms"]))
        # The manifest gives the viewer's folder names.
        pst = {v["name"]: v["pst"] for v in manifest["views"]}
        self.assertEqual((pst["($Inbox)"], pst["($Meetings)"], pst["($ToDo)"]), ("Inbox", "Calendar", "Tasks"))

    def test_same_seed_same_mailbox(self):
        first, _ = self.generate("a", "--mails", "40", "--calendar", "5", "--seed", "8")
        second, _ = self.generate("b", "--mails", "40", "--calendar", "5", "--seed", "8")
        other, _ = self.generate("c", "--mails", "40", "--calendar", "5", "--seed", "9")
        # The attachment folder is named after the output file.
        norm = lambda d: json.dumps(d).replace("a.files", "X").replace("b.files", "X").replace("c.files", "X")
        self.assertEqual(norm(first), norm(second))
        self.assertNotEqual(norm(first), norm(other))

    def test_attachments_and_body_sizes(self):
        description, manifest = self.generate("s", "--mails", "300", "--attachment-share", "0.5",
                                              "--max-attachment", "20000", "--seed", "2")
        sizes = []
        for d in description["documents"]:
            for a in d.get("attachments", []):
                sizes.append(os.path.getsize(os.path.join(self.tmp.name, a["path"])))
        with_attachments = sum(1 for d in manifest["documents"] if d["attachments"])
        self.assertGreater(with_attachments, 100)
        self.assertLess(with_attachments, 200)
        self.assertGreaterEqual(min(sizes), 1024)
        self.assertLessEqual(max(sizes), 20000)
        bodies = Counter(type(d["items"]["Body"]).__name__ if not isinstance(d["items"]["Body"], dict)
                         else next(iter(d["items"]["Body"])) for d in description["documents"])
        self.assertEqual(set(bodies), {"str", "list", "richtext", "html"})
        short, _ = self.generate("short", "--mails", "50", "--max-body", "100", "--seed", "2")
        for d in short["documents"]:
            self.assertLess(len(json.dumps(d["items"]["Body"], ensure_ascii=False)), 400)

    def test_builds_into_a_database(self):
        out = self.path("b.json")
        nsf = self.path("b.nsf")
        r = run_mailgen(out, "--mails", "30", "--tasks", "3", "--contacts", "3", "--groups", "2", "--calendar", "4",
                        "--attachment-share", "0.3", "--build", nsf, "--nsfdb", wd.NSFDB)
        self.assertEqual(r.returncode, 0, r.stderr)
        dump = subprocess.run([wd.NSFDB, "dump", nsf], capture_output=True, text=True)
        self.assertEqual(dump.returncode, 0, dump.stderr)
        self.assertEqual(len(json.loads(dump.stdout)["documents"]), 42)

    def test_bad_options(self):
        for args in (["--folder", "NoCount"], ["--mails", "-1"], ["--attachment-share", "2"]):
            r = run_mailgen(self.path("x.json"), *args)
            self.assertEqual(r.returncode, 2, args)
            self.assertFalse(os.path.exists(self.path("x.json")), args)


if __name__ == "__main__":
    unittest.main()
