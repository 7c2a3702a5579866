"""A mail run with little address space and a rich-text body of tens of
megabytes: the body is converted, or the run log and the outcome log say
that it was too large; the mail after it converts either way."""
import os
import resource
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import worker_driver as wd  # noqa: E402

LIMIT = 300 * 1024 * 1024
PARAGRAPH = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor. " * 12
BODY_BYTES = 30 * 1024 * 1024


def mailbox(body_paragraphs):
    def memo(note_id, subject, body):
        return {"noteId": note_id, "form": "Memo", "items": {"Subject": subject, "From": "CN=A/O=B",
                                                             "Body": {"richtext": body}}}
    return {"documents": [memo(2310, "Big body", [PARAGRAPH] * body_paragraphs), memo(2314, "Small", ["small"])],
            "views": [{"name": "($Inbox)", "folder": True, "noteId": 8250, "entries": [2310, 2314]}]}


def body_sizes(pst):
    """Subject -> size of the HTML body of every message of the PST."""
    import pypff
    f = pypff.file()
    f.open(pst)
    sizes = {}

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            try:
                sizes[m.subject] = len(m.html_body or b"")
            except OSError:
                sizes[m.subject] = 0
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))

    walk(f.get_root_folder())
    f.close()
    return sizes


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (LIMIT, LIMIT))


class BodyTooLargeForMemory(unittest.TestCase):
    def run_limited(self, root, name, paragraphs):
        nsf = wd.build_description(os.path.join(root, name + ".json"), mailbox(paragraphs))
        work = wd.WorkDir(os.path.join(root, name), nsf)
        work.set_record(8250, 0, "Inbox", 1)
        proc = subprocess.run([wd.SAVER, work.command_line(False)], env=work.env, capture_output=True,
                              preexec_fn=limited, timeout=600)
        return work, proc.returncode, work.runstate()

    def test_big_body_is_converted_or_said(self):
        with tempfile.TemporaryDirectory(prefix="worker_run_") as root:
            # A program built with the address sanitizer cannot start within the limit.
            _, code, state = self.run_limited(root, "probe", 1)
            if (code, state) != (255, "complete"):
                self.skipTest("the worker does not run within %d MB of address space" % (LIMIT >> 20))
            work, code, state = self.run_limited(root, "big", BODY_BYTES // len(PARAGRAPH))
            self.assertEqual((code, state), (255, "complete"))
            outcomes = [line.split("\t") for line in work.read("outcomes.txt").decode("utf-8").splitlines()]
            self.assertEqual([(o[0], o[2]) for o in outcomes if o[0] == "2314"], [("2314", "converted")])
            big = [o for o in outcomes if o[0] == "2310"]
            sizes = body_sizes(work.build_pst())
            self.assertGreater(sizes["Small"], 0)
            if big == [["2310", "8250", "converted", "mail", "Inbox", ""]]:
                self.assertGreater(sizes["Big body"], BODY_BYTES)   # converted whole within the limit
                return
            self.assertEqual(big, [["2310", "8250", "incomplete", "mail", "Inbox", "body too large to convert"]])
            self.assertIn("WARNING:The body is too large to convert: Insufficient memory\r\n", work.log_text())
            self.assertIn("Warnings:\t 1\r\n", work.log_text())
            self.assertIn("Big body", sizes)


if __name__ == "__main__":
    unittest.main()
