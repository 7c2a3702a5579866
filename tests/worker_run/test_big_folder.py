"""A folder of 45,000 documents: the mail runs stop before their 20,000th
position, so the folder takes exactly three runs, and every document arrives
once in the PST (read back with libpff's Python bindings)."""
import os
import re
import sys
import tempfile
import unittest
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import worker_driver as wd  # noqa: E402
from test_worker_runs import TOP, tag_of  # noqa: E402

COUNT = 45000


class BigFolder(unittest.TestCase):
    def test_45000_documents_take_three_mail_runs(self):
        with tempfile.TemporaryDirectory(prefix="worker_run_big_") as root:
            nsf, manifest = wd.generate(
                os.path.join(root, "big.json"), "--mails", "0", "--folder", "Archive\\2019=%d" % COUNT,
                "--max-body", "300", "--attachment-share", "0.002", "--max-attachment", "4096",
                "--category-share", "0", "--no-all-view", "--seed", "45")
            view = next(v for v in manifest["views"] if v["name"] == "Archive\\2019")
            self.assertEqual(len(view["entries"]), COUNT)
            work = wd.WorkDir(os.path.join(root, "w"), nsf)
            work.set_record(view["noteId"], 0, view["pst"], 1)
            results = []
            for _ in range(3):
                code, state = work.run(timeout=1800)
                results.append((code, state, work.record()))
            note, path = view["noteId"], view["pst"]
            self.assertEqual(results, [
                (255, "restart", (note, 19999, path, 1)),
                (255, "restart", (note, 39998, path, 1)),
                (255, "complete", (note, 0, path, 1)),
            ])
            log = work.log_text()
            self.assertEqual(log.count("Total number of emails: %d\r\n" % COUNT), 3)
            self.assertEqual(log.count("Processing email: "), COUNT)
            # Every run ends with the summary of its own batch.
            found = re.findall(r"(\d+)\t:items found\r\n(\d+)\t:items Dump\r\nWarnings:\t 0\r\nErrors:\t0\r\n", log)
            self.assertEqual(found, [("19999", "19999"), ("19999", "19999"), ("5002", "5002")])
            by_id = {d["noteId"]: d["tag"] for d in manifest["documents"]}
            want = Counter(by_id[n] for n in view["entries"])
            got = Counter(tag_of(s) for folder, cls, s, _ in wd.pst_messages(work.build_pst())
                          if folder == TOP + "\\Archive\\2019" and cls == "IPM.Note")
            self.assertEqual(sum(got.values()), COUNT)
            self.assertEqual(got, want)


if __name__ == "__main__":
    unittest.main()
