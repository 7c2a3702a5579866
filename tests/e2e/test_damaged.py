"""Damaged databases through nsf2pst: database files built with nsfdb, then
cut, with damaged pages, with malformed CD records in bodies or with tables
dropped, and real NSF samples cut or with flipped bytes. Every run that can
open the database ends with a conversion report in which each document
appears exactly once with an outcome that agrees with the PST (read back
with libpff) and with the exit status; one that cannot open it fails with
its reason."""
import base64
import json
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SAMPLE, SRC  # noqa: E402
from test_report import pst_counts, read_report, report_counts, run  # noqa: E402

OUTCOMES = {"converted", "merged", "incomplete", "skipped", "not converted"}
REAL_SAMPLES = os.path.join(SRC, "tests", "data", "nsf-samples")


def description_ids(path):
    with open(path, encoding="utf-8") as f:
        return sorted(d["noteId"] for d in json.load(f)["documents"])


def cd_records(value):
    """(offset, signature, header size, length) of each CD record of a rich
    text value (its type word first)."""
    at, out = 2, []
    while at + 2 <= len(value):
        sig = struct.unpack_from("<H", value, at)[0]
        if sig >> 8 == 0xFF:
            header, length = 4, struct.unpack_from("<H", value, at + 2)[0]
        elif sig >> 8 == 0:
            header, length = 6, struct.unpack_from("<I", value, at + 2)[0]
        else:
            header, length = 2, sig >> 8
        out.append((at, sig, header, length))
        if length < header:
            break
        at += length + (length & 1)
    return out


# One memo per malformed CD record, each with valid text before and after it.
CD_DAMAGE = {
    2304: "past the end",
    2308: "zero length",
    2312: "length 0xFFFFFFFF",
    2316: "unterminated string",
}


def cd_mailbox(root):
    with open(os.path.join(SRC, "samples", "mailbox", "images", "chart.gif"), "rb") as f:
        gif = base64.b64encode(f.read()).decode()
    docs = []
    for note_id in sorted(CD_DAMAGE) + [2320]:
        middle = {2312: {"image": {"base64": gif}},
                  2316: {"doclink": {"replicaId": "85257A1B0049D7E2", "description": "The budget"}}}.get(
                      note_id, {"text": "DAMAGED RUN", "bold": True})
        docs.append({"noteId": note_id, "form": "Memo", "created": "2019-03-04T10:00:00+01:00",
                     "items": {"Subject": "Memo %d" % note_id, "From": "CN=John Smith/O=Acme",
                               "Body": {"richtext": ["Before the damage.", middle, "After the damage."]}}})
    desc = {"title": "CD damage", "forms": {"Memo": [{"name": "Body", "type": "richtext"}]}, "documents": docs,
            "views": [{"name": "($Inbox)", "folder": True, "noteId": 8250, "entries": sorted(CD_DAMAGE) + [2320]}]}
    path = os.path.join(root, "cd.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(desc, f)
    nsf = os.path.join(root, "cd.nsf")
    subprocess.run([NSFDB, "build", path, nsf], check=True)
    with sqlite3.connect(nsf) as db:
        for note_id, how in CD_DAMAGE.items():
            (seq, value), = db.execute("SELECT seq, value FROM items WHERE noteId = ? AND name = ?",
                                       (note_id, b"Body")).fetchall()
            db.execute("UPDATE items SET value = ? WHERE noteId = ? AND seq = ?",
                       (break_record(bytearray(value), how), note_id, seq))
    return path, nsf


def break_record(value, how):
    records = cd_records(value)
    if how == "length 0xFFFFFFFF":
        at = next(r[0] for r in records if r[1] == 0x0099)  # CDGRAPHIC
        struct.pack_into("<I", value, at + 2, 0xFFFFFFFF)
    elif how == "unterminated string":
        at, _, _, length = next(r for r in records if r[1] == 0xFF91)  # CDLINK2
        for i in range(at + 6, at + length):
            if value[i] == 0:
                value[i] = ord("x")
    else:
        text = bytes(value).index(b"DAMAGED RUN")
        at = max(r[0] for r in records if r[0] < text and r[1] == 0xFF85)  # its CDTEXT
        struct.pack_into("<H", value, at + 2, 0 if how == "zero length" else len(value) + 100)
    return bytes(value)


def message_bodies(pst):
    """(subject, plain text and HTML body) of every message of the PST."""
    f = pst_items.open_pst(pst)
    out = []

    def visit(folder):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            out.append((m.subject or "", (m.plain_text_body or b"") + (m.html_body or b"")))
        for i in range(folder.number_of_sub_folders):
            visit(folder.get_sub_folder(i))

    visit(f.get_root_folder())
    f.close()
    return out


class DamagedDatabases(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.db = os.path.join(cls.tmp.name, "mailbox.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, cls.db], check=True)
        cls.ids = description_ids(SAMPLE)
        cls.runs = 0

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def copy(self, source, name, change=None):
        path = os.path.join(self.tmp.name, name + os.path.splitext(source)[1])
        shutil.copy(source, path)
        if change:
            with open(path, "r+b") as f:
                data = bytearray(f.read())
                data = change(data)
                f.seek(0)
                f.truncate()
                f.write(data)
        return path

    def convert(self, db):
        """Converts and checks what every run must hold; returns the
        documents of the report by note ID, or None when the database
        cannot be opened at all."""
        type(self).runs += 1
        out = os.path.join(self.tmp.name, "out%d" % self.runs)
        os.mkdir(out)
        # The sample's encrypted memo is decrypted, so that it is no shortfall.
        r = run([NSF2PST, "--quiet", "--remove-encryption", db, out])
        pst = os.path.join(out, os.path.splitext(os.path.basename(db))[0] + ".pst")
        if r.returncode == 1 and not os.path.exists(pst):
            self.assertRegex(r.stderr, "nsf2pst: .*(cannot be opened|cannot be listed)")
            return None
        self.assertIn(r.returncode, (0, 3), r.stdout + r.stderr)
        rows, report = read_report(pst)
        documents = [row for row in rows if not row["form"].startswith("(")]
        ids = [int(row["noteId"]) for row in documents]
        self.assertEqual(len(ids), len(set(ids)), "a document appears twice")
        self.assertLessEqual({row["outcome"] for row in rows}, OUTCOMES)
        short = any(row["outcome"] in ("not converted", "incomplete") for row in documents)
        failed = any(f["result"] == "failed" for f in report["folders"] + [report["calendar"]])
        self.assertEqual(r.returncode, 3 if short or failed else 0, r.stderr)
        for row in documents:
            saved = row["outcome"] in ("converted", "merged", "incomplete")
            self.assertEqual(bool(row["pstFolders"]), saved, row)
            if row["outcome"] in ("not converted", "incomplete"):
                self.assertTrue(row["reason"], row)
        self.assertEqual(report_counts(rows), pst_counts(pst))
        self.pst = pst
        return {int(row["noteId"]): row for row in documents}

    def test_cut_databases(self):
        size = os.path.getsize(self.db)
        for share in (0.3, 0.6, 0.95):
            with self.subTest(share=share):
                db = self.copy(self.db, "cut%d" % int(share * 100), lambda d: d[:int(size * share)])
                got = self.convert(db)
                if got is not None:
                    self.assertLessEqual(set(got), set(self.ids))

    def test_damaged_pages(self):
        # The page type of a B-tree page damaged: everything on it is lost,
        # each document of the description is still accounted for.
        pages = os.path.getsize(self.db) // 4096
        for page in range(2, pages + 1, 4):
            def damage(d, page=page):
                d[(page - 1) * 4096] ^= 0x5A
                return d
            with self.subTest(page=page):
                got = self.convert(self.copy(self.db, "page%d" % page, damage))
                self.assertIsNotNone(got)
                self.assertEqual(sorted(got), self.ids)

    def test_malformed_cd_records_lose_only_that_record(self):
        desc, db = cd_mailbox(self.tmp.name)
        got = self.convert(db)
        self.assertEqual(sorted(got), description_ids(desc))
        # A string that runs to the end of its record may be read up to there.
        self.assertIn(got.pop(2316)["outcome"], ("incomplete", "converted"))
        self.assertEqual({n: row["outcome"] for n, row in got.items()},
                         {2304: "incomplete", 2308: "incomplete", 2312: "incomplete", 2320: "converted"})
        bodies = dict(message_bodies(self.pst))
        for note_id in CD_DAMAGE:
            with self.subTest(damage=CD_DAMAGE[note_id]):
                self.assertIn(b"Before the damage.", bodies["Memo %d" % note_id])
                self.assertIn(b"After the damage.", bodies["Memo %d" % note_id])

    def test_missing_tables(self):
        attachments = {2304, 2308, 2344, 2372, 2408, 2504, 2600}
        every = set(self.ids)
        cases = [
            # table, documents that arrive whole, documents that arrive in part
            ("viewEntries", every, set()),
            ("views", every, set()),
            ("objects", every - attachments, attachments),
            ("items", set(), set()),
            ("notes", set(), set()),
        ]
        for table, whole, partly in cases:
            with self.subTest(table=table):
                db = self.copy(self.db, "no-" + table)
                with sqlite3.connect(db) as c:
                    c.execute("DROP TABLE " + table)
                got = self.convert(db)
                self.assertIsNotNone(got)
                self.assertEqual(sorted(got), self.ids)
                want = {n: "converted" if n in whole else "incomplete" if n in partly else "not converted"
                        for n in self.ids}
                self.assertEqual({n: row["outcome"] for n, row in got.items()}, want)

    def test_damaged_real_samples(self):
        for sample in ("MIMEMsg.nsf", "hfinn.nsf"):
            source = os.path.join(REAL_SAMPLES, sample)
            whole = self.convert(source)
            size = os.path.getsize(source)
            changes = [("cut at %d%%" % (share * 100), lambda d, share=share: d[:int(size * share)])
                       for share in (0.5, 0.9)]
            for at in (0.4, 0.8):
                def flip(d, at=at):
                    for i in range(int(size * at), int(size * at) + 64):
                        d[i] ^= 0xA5
                    return d
                changes.append(("64 bytes flipped at %d%%" % (at * 100), flip))
            for what, change in changes:
                with self.subTest(sample=sample, damage=what):
                    name = os.path.splitext(sample)[0] + "-" + what.replace(" ", "-").replace("%", "")
                    got = self.convert(self.copy(source, name, change))
                    if got is not None:
                        self.assertLessEqual(set(got), set(whole))


if __name__ == "__main__":
    unittest.main()
