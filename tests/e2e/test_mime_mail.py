"""End-to-end conversion of native MIME mail: the three memos of the real
MIMEMsg.nsf through nsf2pst, read back with libpff's Python bindings and
with readpst. Expected texts, names and sizes are those the sample
programs wrote into the database."""
import email
import email.policy
import glob
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, SRC  # noqa: E402

DATABASE = os.path.join(SRC, "tests", "data", "nsf-samples", "MIMEMsg.nsf")
PLAIN = "MIME message(plain text)"
WITH_TXT = "MIME message(with txt attachment)"
INLINE = "MIME message with attachmetn(Txt/BMP/Jpg) and inline images"


def pst_messages(path):
    """Subject -> (plain text, HTML, attachment count) of every message."""
    f = pst_items.open_pst(path)
    found = {}

    def visit(folder):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            plain = (m.plain_text_body or b"").decode("utf-8", "replace")
            html = (m.html_body or b"").decode("utf-8", "replace")
            found[m.subject] = (plain, html, m.number_of_attachments)
        for i in range(folder.number_of_sub_folders):
            visit(folder.get_sub_folder(i))

    visit(f.get_root_folder())
    f.close()
    return found


class MimeMail(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=cls.tmp.name)
        out = os.path.join(cls.tmp.name, "out")
        os.mkdir(out)
        cls.result = subprocess.run([NSF2PST, "--quiet", DATABASE, out], env=env, capture_output=True, text=True,
                                    timeout=300)
        cls.pst = os.path.join(out, "MIMEMsg.pst")
        cls.eml = {}
        if cls.result.returncode != 0:
            return
        rp = os.path.join(cls.tmp.name, "readpst")
        os.mkdir(rp)
        subprocess.run(["readpst", "-j", "0", "-D", "-o", rp, "-e", cls.pst], check=True, capture_output=True)
        for name in glob.glob(os.path.join(rp, "**", "*.eml"), recursive=True):
            with open(name, "rb") as f:
                message = email.message_from_binary_file(f, policy=email.policy.default)
            cls.eml[str(message["Subject"])] = message

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)

    def files(self, subject):
        """File name -> decoded bytes of the message's attachments (readpst)."""
        return {part.get_filename(): part.get_content() for part in self.eml[subject].iter_attachments()}

    def test_bodies_carry_the_text_and_html_of_the_mime_parts(self):
        messages = pst_messages(self.pst)
        self.assertEqual(set(messages), {PLAIN, WITH_TXT, INLINE})
        expected = {
            PLAIN: ("This is a test message.",
                    '<font size=2 color=blue face="sans-serif"><b>message.</b></font>'),
            WITH_TXT: ("This is a text message, with a txt file attached.",
                       '<font size=2 face="sans-serif">This is a text message, with a txt file'),
            INLINE: ("You can get two types of Help in Notes:",
                     '<font size=1 face="sans-serif">You can get two types of Help in Notes:</font>'),
        }
        for subject, (text, html) in expected.items():
            plain, body, _ = messages[subject]
            self.assertIn(text, plain, subject)
            self.assertIn(html, body, subject)
            self.assertNotIn("=3D", body, subject)   # quoted-printable decoded

    def test_attachments_arrive_with_their_bytes(self):
        self.assertEqual(pst_messages(self.pst)[PLAIN][2], 0)
        txt = self.files(WITH_TXT)
        self.assertEqual(list(txt), ["New Text Document.txt"])
        self.assertEqual(len(txt["New Text Document.txt"]), 510)
        files = self.files(INLINE)
        self.assertEqual(len(files["Plain.txt"]), 510)
        self.assertEqual(hashlib.md5(files["Sample.jpg"]).hexdigest(), "4d006a61ea3f37dd54e0a3c3dd85ade9")
        self.assertEqual(len(files["sampleBMP.bmp"]), 296406)
        mak = files["mswin32.mak"].decode("ascii") if isinstance(files["mswin32.mak"], bytes) else files["mswin32.mak"]
        self.assertTrue(mak.startswith("#\r\n# Makefile for Notes API sample program"), mak[:60])
        self.assertIn("PROGNAME = parseMMmsg", mak)

    def test_inline_images_are_embedded_once_where_the_html_shows_them(self):
        message = self.eml[INLINE]
        html = message.get_body(("html",)).get_content()
        cids = re.findall(r'<img src="cid:([^"]+)"', html)
        self.assertEqual(len(cids), 3, html)
        images = {}
        for part in message.walk():
            if part.get_content_type() == "image/gif":
                images[part["Content-ID"].strip("<>")] = part.get_content()
        self.assertEqual(sorted(images), sorted(cids))
        for data in images.values():
            self.assertEqual(data[:6], b"GIF89a")
        # The first image of the HTML is the 186 x 125 picture of the first part.
        first = images[cids[0]]
        self.assertEqual((first[6] | first[7] << 8, first[8] | first[9] << 8), (186, 125))
        # Four files and three pictures: nothing shown twice.
        self.assertEqual(pst_messages(self.pst)[INLINE][2], 7)


if __name__ == "__main__":
    unittest.main()
