"""Real Notes databases through nsf2pst: every sample of tests/data/nsf-samples
converts and its PST opens in pffinfo, readpst and libpff; documents of mail
forms become items, the others are listed by form in the run log, documents
in no folder reach the PST; a damaged note or attachment is named with its
reason and the rest still arrives; a damaged database fails with a reason."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, SRC  # noqa: E402

SAMPLES = os.path.join(SRC, "tests", "data", "nsf-samples")


# Work directories (kept with --keep-work) go here; removed when the tests end.
WORK_TMP = tempfile.TemporaryDirectory(prefix="nsf2pst-e2e-")


def run(args):
    env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=WORK_TMP.name)
    return subprocess.run(args, env=env, capture_output=True, timeout=600)


def run_log(result):
    m = re.search(rb"Work directory: (\S+)", result.stderr)
    with open(os.path.join(m.group(1).decode(), "KelvroNSF2PST_log_.txt"), "rb") as f:
        return f.read().decode("utf-16-le")


class RealNsf(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def convert(self, path, name="out"):
        out = os.path.join(self.tmp.name, name)
        os.makedirs(out, exist_ok=True)
        r = run([NSF2PST, "--keep-work", "--quiet", path, out])
        base = os.path.splitext(os.path.basename(path))[0]
        return r, os.path.join(out, base + ".pst")

    def damaged_copy(self, sample, change):
        path = os.path.join(self.tmp.name, sample)
        shutil.copy(os.path.join(SAMPLES, sample), path)
        with open(path, "r+b") as f:
            data = bytearray(f.read())
            change(data)
            f.seek(0)
            f.write(data)
        return path

    def test_every_sample_converts_and_every_reader_opens_the_pst(self):
        samples = sorted(glob.glob(os.path.join(SAMPLES, "*.nsf")))
        self.assertEqual(len(samples), 59)
        for i, path in enumerate(samples):
            with self.subTest(os.path.basename(path)):
                r, pst = self.convert(path, str(i))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(run(["pffinfo", pst]).returncode, 0)
                rp = os.path.join(self.tmp.name, f"readpst-{i}")
                os.mkdir(rp)
                self.assertEqual(run(["readpst", "-j", "0", "-q", "-o", rp, pst]).returncode, 0)
                pst_items.items(pst)

    def test_mail_becomes_items_and_other_forms_are_listed(self):
        r, pst = self.convert(os.path.join(SAMPLES, "hfinn.nsf"))
        self.assertEqual(r.returncode, 0, r.stderr)
        items = pst_items.items(pst)
        self.assertEqual([i for i in items if i[1] == "IPM.Note"],
                         [("\\Top of Outlook data file\\Not in any folder", "IPM.Note",
                           "Re: APISUPP.NSF Stub attached")])
        self.assertIn(("Re: APISUPP.NSF Stub attached", "APISUPP.NSF", 32768), pst_items.attachments(pst))

        r, pst = self.convert(os.path.join(SAMPLES, "simple.nsf"), "simple")
        self.assertEqual(r.returncode, 0)
        log = run_log(r)
        self.assertEqual(log.count("Item Type:\tSimpleDataForm\r\n"), 3)
        self.assertEqual(pst_items.items(pst), [])
        self.assertIn(b'documents in no Notes folder: 3 (in the PST folder "Not in any folder")', r.stdout)

    def test_damaged_attachment_is_named_and_the_mail_still_arrives(self):
        def break_attachment(data):
            # APISUPP.NSF's Huffman-coded object starts at 0x6B000.
            data[0x6B000 + 2000] ^= 0x5A
        r, pst = self.convert(self.damaged_copy("hfinn.nsf", break_attachment))
        # The conversion finishes, but the mail is incomplete.
        self.assertEqual(r.returncode, 3, r.stderr)
        log = run_log(r)
        self.assertIn("ERROR: APISUPP.NSF is not dump.\r\n\tAttachment data is damaged or incomplete "
                      "(attachment \"APISUPP.NSF\": attachment data ", log)
        self.assertEqual([s for s, _, _ in pst_items.attachments(pst)], [])
        self.assertEqual(len([i for i in pst_items.items(pst) if i[1] == "IPM.Note"]), 1)

    def test_damaged_note_is_named_and_the_others_arrive(self):
        def break_note(data):
            # The non-summary record of memo 0x8F6 names the note: make it
            # name another one.
            m = re.search(rb"\x10\x00..\x00\x00\xf6\x08\x00\x00", bytes(data), re.S)
            data[m.start() + 6] = 0xF7
        r, pst = self.convert(self.damaged_copy("MIMEMsg.nsf", break_note))
        # The conversion finishes, but one document is not converted.
        self.assertEqual(r.returncode, 3, r.stderr)
        log = run_log(r)
        self.assertIn("Document is damaged and cannot be read (note 2294: non-summary record cannot be found)\r\n"
                      "WARNING:Document cannot be opened\r\n", log)
        subjects = sorted(s for _, c, s in pst_items.items(pst) if c == "IPM.Note")
        self.assertEqual(subjects, ["MIME message with attachmetn(Txt/BMP/Jpg) and inline images",
                                    "MIME message(with txt attachment)"])

    def test_damaged_database_fails_with_its_reason(self):
        path = os.path.join(self.tmp.name, "cut.nsf")
        with open(os.path.join(SAMPLES, "hfinn.nsf"), "rb") as f:
            data = f.read(100000)
        with open(path, "wb") as f:
            f.write(data)
        r, pst = self.convert(path)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"cannot be opened: no readable bucket descriptor block", r.stderr)
        self.assertFalse(os.path.exists(pst))


if __name__ == "__main__":
    unittest.main()
