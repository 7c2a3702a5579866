#!/usr/bin/env python3
"""Writes the description of a realistic generated Notes mailbox for nsfdb.

The mailbox holds mail in several folders (Inbox, the Sent and Drafts views,
Trash, Junk mail and a few nested folders), tasks in the To Do view,
appointments, meetings and invitations in the Meetings view (invitations are
also listed in the Inbox, some meetings in a project folder), contacts in
My Contacts and groups in Groups. Bodies are plain text, rich text (runs,
images, attachment hotspots, document links) or HTML stored as UTF-16 or
ANSI, from short notes to about 100 kB; a share of mails and tasks carries
attachments of 1 kB to 1 MB.

Every item has a unique subject (or name) carrying a tag: M000001 for mail,
T000001 for tasks, A000001 for calendar entries, C000001 for contacts and
G000001 for groups, so that items can be matched in the converted PST.

Attachment and image files are written into OUT.files/ next to OUT.json
(the description refers to them by relative path). With --manifest the
generator also writes a JSON file listing every view (note ID, Notes name,
the PST folder path the viewer gives it, entries) and every document (note
ID, kind, form, tag, subject, views, unread flag, attachment names).

Examples:
  mailgen.py --mails 10000 --tasks 200 --contacts 300 --groups 20 \\
      --calendar 400 --attachment-share 0.1 --seed 7 big.json
  mailgen.py --mails 0 --folder "Archive\\2019=45000" --max-body 300 \\
      --build big.nsf --nsfdb build/tools/nsfdb/nsfdb archive.json
"""
import argparse
import datetime
import json
import os
import random
import shutil
import subprocess
import sys
from zoneinfo import ZoneInfo

MAIL_FORMS = [("Memo", 0.86), ("Reply", 0.1), ("NonDelivery Report", 0.02), ("Return Receipt", 0.02)]

# Notes name, whether it is a folder, PST folder path the viewer gives it,
# share of the mails.
MAIL_FOLDERS = [
    ("($Inbox)", True, "Inbox", 0.45),
    ("($Sent)", False, "Sent Items", 0.2),
    ("($Drafts)", False, "Drafts", 0.02),
    ("($Trash)", True, "Trash", 0.04),
    ("($JunkMail)", True, "Junk E-mail", 0.03),
    ("Projects", True, "Projects", 0.08),
    ("Projects\\Alpha", True, "Projects\\Alpha", 0.07),
    ("Projects\\Alpha\\Budget", True, "Projects\\Alpha\\Budget", 0.05),
    ("Customers", True, "Customers", 0.06),
]
# The forms of the mail template, fields in form order: "name:type" with
# t = text, d = date/time, r = rich text. The readers of tasks and calendar
# entries find their date fields through the form, so every form is needed.
MAIL_FIELDS = ("Subject:t From:t SendTo:t CopyTo:t BlindCopyTo:t PostedDate:d Importance:t Categories:t "
               "Body:r")
CALENDAR_FIELDS = ("Subject:t Chair:t From:t SendTo:t RequiredAttendees:t OptionalAttendees:t StartDate:d "
                   "StartTime:d StartDateTime:d EndDateTime:d StartTimeZone:t EndTimeZone:t Location:t "
                   "AppointmentType:t Categories:t Body:r")
FORM_FIELDS = {
    "Memo": MAIL_FIELDS, "Reply": MAIL_FIELDS, "NonDelivery Report": MAIL_FIELDS, "Return Receipt": MAIL_FIELDS,
    "Task": "Subject:t From:t SendTo:t StartDate:d tmpStartDate:d DueDate:d Categories:t Body:r",
    "Appointment": CALENDAR_FIELDS, "Notice": CALENDAR_FIELDS,
    "Person": ("FullNameInput:t Title:t FirstName:t MiddleInitial:t LastName:t Suffix:t ShortName:t CompanyName:t "
               "Department:t JobTitle:t Manager:t Assistant:t MailAddress:t email_1:t miscPhone1:t MiscPhone1:t "
               "MiscPhone2:t MiscPhone3:t email_5:t primaryPhoneNumber:t OfficePhoneNumber:t PhoneNumber:t "
               "CellPhoneNumber:t OfficeFAXPhoneNumber:t PhoneNumber_6:t PhoneNumber_8:t HomeFaxPhoneNumber:t "
               "PersPager:t PhoneNumber_9:t PhoneNumber_10:t SametimeLogin:t Location:t Website:t Blogsite:t "
               "Spouse:t Children:t Birthday:d Anniversary:d OfficeStreetAddress:t OfficeCity:t OfficeState:t "
               "OfficeZip:t OfficeCountry:t StreetAddress:t City:t State:t Zip:t Country:t OtherStreetAddress:t "
               "OtherCity:t OtherState:t OtherZip:t OtherCountry:t primaryAddress:t Categories:t "
               "AltFullNameSort:t Custom1:t Custom2:t Custom3:t Comment:r"),
    "Group": "ListName:t ListDescription:t ListOwner:t Members:t Categories:t Comment:r",
}
FIELD_TYPES = {"t": "text", "d": "datetime", "r": "richtext"}


def forms_description():
    return {form: [{"name": f.split(":")[0], "type": FIELD_TYPES[f.split(":")[1]]} for f in fields.split()]
            for form, fields in FORM_FIELDS.items()}


SYSTEM_NAMES = {
    "($Sent)": "Sent Items", "($Inbox)": "Inbox", "($Drafts)": "Drafts", "($ToDo)": "Tasks",
    "($Meetings)": "Calendar", "($JunkMail)": "Junk E-mail", "($Trash)": "Trash",
}

FIRST = ["Jane", "John", "Maria", "Oleg", "Taro", "Anna", "Peter", "Lucia", "Ahmed", "Chen", "Sofia", "Lars",
         "Emma", "Pierre", "Ingrid", "Raj", "Olga", "Carlos", "Mei", "Tom"]
LAST = ["Doe", "Smith", "Fernandez", "Petrov", "Yamada", "Schmidt", "Novak", "Rossi", "Haddad", "Wang",
        "Costa", "Berg", "Brown", "Martin", "Larsen", "Patel", "Ivanova", "Garcia", "Li", "Walker"]
ORGS = ["Acme", "Acme/OU=Sales", "Acme/OU=Finance"]
DOMAIN = "acme.example"
TOPICS = ["Quarterly report", "Budget review", "Project status", "Meeting minutes", "Travel plans",
          "Customer feedback", "Release schedule", "Invoice", "Contract draft", "Team offsite",
          "Hiring update", "Security notice", "Newsletter", "Weekly summary", "Server maintenance",
          "Price list", "Training session", "Holiday request", "Board presentation", "Market analysis"]
FOREIGN = ["Отчёт о продажах", "会議の議事録", "회의록", "Grüße aus München – Café", "Résumé du projet",
           "Informe trimestral", "Sprawozdanie kwartalne", "Ανακοίνωση"]
WORDS = ("budget team schedule product cost resource market quality revenue training plan goal customer "
         "contract invoice delivery review meeting agenda report figure chart office project release "
         "update server network support account order forecast target risk issue action owner date "
         "the a of to and in for on with by from at as is are was were be this that").split()
EXTENSIONS = ["pdf", "docx", "xlsx", "csv", "txt", "zip", "pptx", "bin"]
CATEGORIES = ["Finance", "Projects", "Personal", "Travel", "Customers", "Reports"]
COLORS = ["red", "blue", "darkgreen", "magenta", "darkblue", "gray"]
ZONES = [  # offset text, Notes time-zone item text
    ("+01:00", "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe"),
    ("-05:00", "Z=5$DO=1$DL=3 2 1 11 1 1$ZX=25$ZN=Eastern"),
    ("+09:00", "Z=-9$DO=0$ZX=42$ZN=Tokyo"),
    ("+00:00", "Z=0$DO=1$DL=3 -1 1 10 -1 1$ZX=10$ZN=GMT"),
]
# Where each zone's daylight-saving rules are kept in the system's zone data.
ZONE_PLACES = {ZONES[0][1]: "Europe/Berlin", ZONES[1][1]: "America/New_York",
               ZONES[2][1]: "Asia/Tokyo", ZONES[3][1]: "Europe/London"}


def gif_image(width, height, seed):
    """A GIF of width x height with 128 colours, LZW-coded with a clear code
    before the code table would grow past 8 bits (no compression needed)."""
    rnd = random.Random(seed)
    palette = bytearray()
    base = [rnd.randrange(256) for _ in range(3)]
    for i in range(128):
        palette += bytes(((base[0] + i * 2) % 256, (base[1] + i * 5) % 256, (base[2] + i * 11) % 256))
    pixels = bytes(((x * 7 + y * 3 + base[0]) % 128) for y in range(height) for x in range(width))
    codes = bytearray()
    for start in range(0, len(pixels), 120):
        codes.append(128)  # clear
        codes += pixels[start:start + 120]
    codes.append(129)  # end of information
    data = bytearray()
    for start in range(0, len(codes), 255):
        chunk = codes[start:start + 255]
        data.append(len(chunk))
        data += chunk
    data.append(0)
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes((0xF6, 0, 0))  # global colour table of 128 entries, 7 bits
    out += palette
    out += b"," + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x00"
    out += bytes((7,)) + data + b";"
    return bytes(out)


class Generator:
    def __init__(self, args, out_path):
        self.args = args
        self.rnd = random.Random(args.seed)
        self.out_path = out_path
        self.base_dir = os.path.dirname(os.path.abspath(out_path))
        stem = os.path.splitext(os.path.basename(out_path))[0]
        self.files_rel = stem + ".files"
        self.files_dir = os.path.join(self.base_dir, self.files_rel)
        self.replica = "%08X%08X" % (self.rnd.getrandbits(32), self.rnd.getrandbits(32))
        words = [self.rnd.choice(WORDS) for _ in range(40000)]
        self.corpus = " ".join(words)
        self.next_note = 2304
        self.docs = []   # planned documents: dict(kind, noteId, tag, views, unread)
        self.views = []  # dict(name, folder, pst, noteId, entries)
        self.view_by_name = {}
        self.pool = []   # (relative path, size) of attachment files
        self.images = []

    # ----- planning -------------------------------------------------------
    def note_id(self):
        n = self.next_note
        self.next_note += 4
        return n

    def view(self, name, folder):
        if name not in self.view_by_name:
            pst = SYSTEM_NAMES.get(name, name)
            v = {"name": name, "folder": folder, "pst": pst, "entries": []}
            self.views.append(v)
            self.view_by_name[name] = v
        return self.view_by_name[name]

    def plan(self):
        a = self.args
        forced = a.forced
        forced_names = {n for n, _ in forced}
        shares = [(n, f, w) for n, f, _, w in MAIL_FOLDERS if n not in forced_names]
        for n, f, _ in shares:
            self.view(n, f)
        for n, _ in forced:
            # A nested folder needs its parents (they stay empty unless named).
            parts = n.split("\\")
            for k in range(1, len(parts)):
                self.view("\\".join(parts[:k]), True)
            self.view(n, n not in ("($Sent)", "($Drafts)"))
        self.view("($ToDo)", False)
        self.view("($Meetings)", False)
        self.view("My Contacts", False)
        self.view("Groups", False)
        if a.all_view:
            self.view("($All)", False)
        serial = {"mail": 0, "task": 0, "calendar": 0, "contact": 0, "group": 0}
        prefix = {"mail": "M", "task": "T", "calendar": "A", "contact": "C", "group": "G"}

        def add(kind, views, unread_share=0.0):
            serial[kind] += 1
            d = {"kind": kind, "noteId": self.note_id(), "tag": "%s%06d" % (prefix[kind], serial[kind]),
                 "views": views, "unread": self.rnd.random() < unread_share}
            self.docs.append(d)
            return d

        # Mails split by weight, with exact totals.
        total_w = sum(w for _, _, w in shares) or 1
        counts = [int(a.mails * w / total_w) for _, _, w in shares]
        for i in range(a.mails - sum(counts)):
            counts[i % len(counts)] += 1
        for (name, _, _), count in zip(shares, counts):
            unread = 0.2 if name in ("($Inbox)", "($JunkMail)") else 0.0
            for _ in range(count):
                add("mail", [name], unread)
        for name, count in forced:
            for _ in range(count):
                add("mail", [name], 0.1)
        for _ in range(a.tasks):
            views = ["($ToDo)"]
            if "Projects\\Alpha" in self.view_by_name and self.rnd.random() < 0.1:
                views.append("Projects\\Alpha")
            add("task", views, 0.1)
        for _ in range(a.calendar):
            d = add("calendar", ["($Meetings)"], 0.0)
            d["notice"] = self.rnd.random() < 0.15
            if d["notice"] and "($Inbox)" in self.view_by_name:
                d["views"].append("($Inbox)")
                d["unread"] = self.rnd.random() < 0.5
            elif "Projects" in self.view_by_name and self.rnd.random() < 0.05:
                d["views"].append("Projects")
        for _ in range(a.contacts):
            add("contact", ["My Contacts"])
        for _ in range(a.groups):
            add("group", ["Groups"])
        # View entries in document order; the inbox mixes invitations between mails.
        for d in self.docs:
            for name in d["views"]:
                v = self.view_by_name[name]
                v["entries"].append({"noteId": d["noteId"], "unread": True} if d["unread"] else d["noteId"])
        if a.all_view:
            self.view_by_name["($All)"]["entries"] = [d["noteId"] for d in self.docs
                                                      if d["kind"] in ("mail", "calendar", "task")]
        for v in self.views:
            v["noteId"] = self.note_id()

    # ----- files ----------------------------------------------------------
    def make_files(self):
        os.makedirs(self.files_dir, exist_ok=True)
        # Attachment pool: sizes spread log-uniformly from the least to the largest.
        lo = max(1, self.args.min_attachment)
        hi = max(lo, self.args.max_attachment)
        for k in range(self.args.pool):
            size = int(lo * (hi / lo) ** (k / max(1, self.args.pool - 1)))
            name = "att%03d.bin" % k
            path = os.path.join(self.files_dir, name)
            if not (os.path.exists(path) and os.path.getsize(path) == size):
                rnd = random.Random(self.args.seed * 1000 + k)
                chunk = bytes(rnd.getrandbits(8) for _ in range(4096))
                with open(path, "wb") as f:
                    left = size
                    while left > 0:
                        f.write(chunk[:left])
                        left -= len(chunk)
            self.pool.append((self.files_rel + "/" + name, size))
        for k, (w, h) in enumerate([(16, 16), (64, 48), (200, 120), (320, 240)]):
            name = "image%d.gif" % k
            with open(os.path.join(self.files_dir, name), "wb") as f:
                f.write(gif_image(w, h, k))
            self.images.append(self.files_rel + "/" + name)
        photo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples", "mailbox",
                             "images", "photo.jpg")
        self.photo = None
        if os.path.exists(photo):
            shutil.copyfile(photo, os.path.join(self.files_dir, "photo.jpg"))
            self.photo = self.files_rel + "/photo.jpg"

    # ----- content --------------------------------------------------------
    def person(self):
        first, last = self.rnd.choice(FIRST), self.rnd.choice(LAST)
        return first, last, "CN=%s %s/O=%s" % (first, last, self.rnd.choice(ORGS)), \
            "%s.%s@%s" % (first.lower(), last.lower(), DOMAIN)

    def people(self, lo, hi):
        return [self.person() for _ in range(self.rnd.randint(lo, hi))]

    def text(self, size):
        size = max(1, min(size, self.args.max_body))
        start = self.rnd.randrange(0, len(self.corpus) - 1)
        out = self.corpus[start:start + size]
        while len(out) < size:
            out += " " + self.corpus[:size - len(out)]
        return out.strip() or "text"

    def body_size(self):
        r = self.rnd.random()
        if r < 0.6:
            return self.rnd.randint(40, 600)
        if r < 0.9:
            return self.rnd.randint(1000, 8000)
        if r < 0.99:
            return self.rnd.randint(8000, 40000)
        return self.rnd.randint(40000, 100000)

    def when(self, year_lo=2015, year_hi=2024):
        y = self.rnd.randint(year_lo, year_hi)
        m = self.rnd.randint(1, 12)
        d = self.rnd.randint(1, 28)
        hh, mm, ss = self.rnd.randint(6, 20), self.rnd.randrange(0, 60, 5), self.rnd.randint(0, 59)
        zone = self.rnd.choice(ZONES)
        return (y, m, d, hh, mm, ss), zone

    @staticmethod
    def iso(t, zone):
        y, m, d, hh, mm, ss = t
        return "%04d-%02d-%02dT%02d:%02d:%02d%s" % (y, m, d, hh, mm, ss, zone[0])

    @staticmethod
    def weekly(start, end, zone, weeks):
        """A weekly series at one local time of day in the zone's place: the
        offset of each occurrence follows its daylight-saving rules."""
        place = ZoneInfo(ZONE_PLACES[zone[1]])
        first, last = (datetime.datetime(*t[:5], tzinfo=place) for t in (start, end))
        week = datetime.timedelta(weeks=1)
        return ([(first + w * week).isoformat() for w in range(weeks)],
                [(last + w * week).isoformat() for w in range(weeks)])

    def subject(self, tag):
        topic = self.rnd.choice(FOREIGN) if self.rnd.random() < 0.05 else self.rnd.choice(TOPICS)
        return "%s %s" % (topic, tag)

    def paragraphs(self, size):
        text = self.text(size)
        out, pos = [], 0
        while pos < len(text):
            n = self.rnd.randint(80, 2000)
            out.append(text[pos:pos + n].strip() or ".")
            pos += n
        return out

    def body(self, tag, attachments, allow_links=True):
        kind = self.rnd.random()
        size = self.body_size()
        head = "Item %s." % tag
        if kind < 0.35:
            paras = [head] + self.paragraphs(size)
            return paras if self.rnd.random() < 0.5 else "\n".join(paras)
        if kind < 0.8:
            rich = [head]
            for p in self.paragraphs(size):
                r = self.rnd.random()
                if r < 0.15:
                    rich.append({"text": p, "bold": True})
                elif r < 0.25:
                    rich.append({"text": p, "italic": True, "color": self.rnd.choice(COLORS)})
                elif r < 0.3:
                    rich.append({"text": p, "underline": True, "size": 12, "font": "roman"})
                else:
                    rich.append(p)
            if self.rnd.random() < self.args.image_share:
                rich.insert(self.rnd.randint(1, len(rich)), {"image": self.rnd.choice(self.images)})
            for a in attachments:
                if self.rnd.random() < 0.5:
                    rich.append({"attachment": a["name"]})
            if allow_links and self.docs_written and self.rnd.random() < 0.05:
                other = self.rnd.choice(self.docs_written)
                rich.append({"doclink": {"replicaId": self.replica, "view": "00000000000000000000000000000000",
                                         "document": other[0], "description": other[1]}})
            return {"richtext": rich}
        paras = self.paragraphs(size)
        html = "<html><body><p>%s</p>%s</body></html>" % (head, "".join(
            "<p>%s</p>" % (("<b>%s</b>" % p) if i % 4 == 1 else p) for i, p in enumerate(paras)))
        return {"html": html, "charset": "utf-16" if kind < 0.92 else "ansi"}

    def attachments(self, share):
        if self.rnd.random() >= share:
            return []
        out = []
        for k in range(self.rnd.choice([1, 1, 1, 2, 3])):
            path, _ = self.rnd.choice(self.pool)
            name = "%s-%d.%s" % (self.rnd.choice(["report", "scan", "notes", "data", "photo", "draft"]),
                                 len(out) + 1, self.rnd.choice(EXTENSIONS))
            out.append({"name": name, "path": path})
        return out

    def unid(self, note_id):
        # Deterministic, as nsfdb would derive it only inside the builder.
        return "%s%08X%08X" % (self.replica, 0x00010000 + note_id, note_id)

    # ----- documents ------------------------------------------------------
    def mail(self, d):
        form = self.rnd.choices([f for f, _ in MAIL_FORMS], [w for _, w in MAIL_FORMS])[0]
        if d["views"][0] == "($Sent)":
            form = "Memo"
        t, zone = self.when()
        sender = self.person()
        to = self.people(1, 4)
        cc = self.people(0, 2) if self.rnd.random() < 0.3 else []
        bcc = self.people(1, 1) if self.rnd.random() < 0.05 else []
        subject = self.subject(d["tag"])
        if form == "Reply":
            subject = "Re: " + subject
        atts = self.attachments(self.args.attachment_share)
        items = {"Subject": subject, "From": sender[2], "SendTo": [p[2] for p in to]}
        if cc:
            items["CopyTo"] = [p[2] for p in cc]
        if bcc:
            items["BlindCopyTo"] = [p[2] for p in bcc]
        if self.rnd.random() < 0.7:
            items["INetFrom"] = sender[3]
            items["INetSendTo"] = [p[3] for p in to]
        if d["views"][0] != "($Drafts)":
            items["PostedDate"] = {"datetime": self.iso(t, zone)}
        r = self.rnd.random()
        if r < 0.1:
            items["Importance"] = "1"
        elif r < 0.15:
            items["Importance"] = "3"
        if self.rnd.random() < self.args.category_share:
            items["Categories"] = self.rnd.sample(CATEGORIES, self.rnd.randint(1, 2))
        items["Body"] = self.body(d["tag"], atts)
        d["subject"] = subject
        return self.doc(d, form, t, zone, items, atts)

    def task(self, d):
        t, zone = self.when()
        owner = self.person()
        subject = self.subject(d["tag"])
        atts = self.attachments(self.args.attachment_share / 2)
        items = {"Subject": subject, "From": owner[2], "SendTo": [p[2] for p in self.people(1, 2)]}
        start = (t[0], t[1], t[2], 9, 0, 0)
        due = (t[0], t[1], min(28, t[2] + self.rnd.randint(0, 10)), 17, 0, 0)
        items["tmpStartDate" if self.rnd.random() < 0.2 else "StartDate"] = {"datetime": self.iso(start, zone)}
        if self.rnd.random() < 0.9:
            items["DueDate"] = {"datetime": self.iso(due, zone)}
        if self.rnd.random() < 2 * self.args.category_share:
            items["Categories"] = self.rnd.sample(CATEGORIES, 1)
        items["Body"] = self.body(d["tag"], atts, allow_links=False)
        d["subject"] = subject
        return self.doc(d, "Task", t, zone, items, atts)

    def calendar(self, d):
        t, zone = self.when(2016, 2024)
        chair = self.person()
        subject = self.subject(d["tag"])
        kind = self.rnd.choices(["0", "3", "2", "4"], [0.4, 0.45, 0.1, 0.05])[0]
        form = "Notice" if d.get("notice") else "Appointment"
        if form == "Notice":
            kind = "3"
        minutes = self.rnd.choice([15, 30, 45, 60, 90, 120])
        y, m, dd, hh, mm, _ = t
        start = (y, m, dd, hh, mm, 0)
        end_min = hh * 60 + mm + minutes
        end = (y, m, dd, min(23, end_min // 60), end_min % 60 if end_min // 60 < 24 else 59, 0)
        items = {"Subject": subject, "Chair": chair[2], "From": chair[2], "AppointmentType": kind}
        if kind == "2":
            date = "%04d-%02d-%02d" % (y, m, dd)
            items.update({"StartDate": {"datetime": date}, "StartDateTime": {"datetime": date},
                          "EndDateTime": {"datetime": date}})
        else:
            items.update({"StartDate": {"datetime": self.iso(start, zone)},
                          "StartTime": {"datetime": self.iso(start, zone)}})
            if self.rnd.random() < 0.1:
                weeks = self.rnd.randint(2, 5)
                starts, ends = self.weekly(start, end, zone, weeks)
                items.update({"Repeats": "1", "RepeatUnit": "W", "RepeatInterval": "1", "RepeatFor": str(weeks),
                              "StartDate": {"datetime": starts[0]}, "StartTime": {"datetime": starts[0]},
                              "StartDateTime": {"datetimes": starts}, "EndDateTime": {"datetimes": ends},
                              "RepeatInstanceDates": {"datetimes": starts}})
            else:
                items.update({"StartDateTime": {"datetime": self.iso(start, zone)},
                              "EndDateTime": {"datetime": self.iso(end, zone)}})
            items["StartTimeZone"] = zone[1]
            items["EndTimeZone"] = zone[1]
        if kind == "3":
            req = self.people(1, 4)
            items["SendTo"] = [p[2] for p in req]
            items["RequiredAttendees"] = [p[2] for p in req]
            if self.rnd.random() < 0.4:
                items["OptionalAttendees"] = [p[2] for p in self.people(1, 2)]
        if self.rnd.random() < 0.6:
            items["Location"] = self.rnd.choice(["Room 2.01", "Room 4.12", "Main hall", "Online",
                                                 "Café am Markt", "東京オフィス"])
        if self.rnd.random() < 0.5:
            items["$Alarm"] = {"number": 1}
            items["$AlarmOffset"] = {"number": -self.rnd.choice([0, 5, 15, 30])}
        if self.rnd.random() < 0.1:
            items["OrgConfidential"] = "1"
        if self.rnd.random() < 1.5 * self.args.category_share:
            items["Categories"] = self.rnd.sample(CATEGORIES, 1)
        atts = self.attachments(self.args.attachment_share / 3)
        if self.rnd.random() < 0.8:
            items["Body"] = self.body(d["tag"], atts, allow_links=False)
        d["subject"] = subject
        return self.doc(d, form, t, zone, items, atts)

    def contact(self, d):
        first, last, _, mail = self.person()
        t, zone = self.when(2010, 2020)
        full = "%s %s %s" % (first, last, d["tag"])
        items = {"FullNameInput": full, "FirstName": first, "LastName": "%s %s" % (last, d["tag"]),
                 "MailAddress": mail, "CompanyName": self.rnd.choice(["Acme", "Acme Iberia S.L.", "Globex"])}
        optional = {
            "JobTitle": lambda: self.rnd.choice(["Controller", "Engineer", "Manager"]),
            "Department": lambda: self.rnd.choice(["Finance", "Sales", "IT"]),
            "OfficePhoneNumber": lambda: "+49 30 555 %04d" % self.rnd.randrange(10000),
            "CellPhoneNumber": lambda: "+49 170 555 %04d" % self.rnd.randrange(10000),
            "PhoneNumber": lambda: "+49 30 444 %04d" % self.rnd.randrange(10000),
            "OfficeStreetAddress": lambda: "Hauptstraße %d" % self.rnd.randint(1, 200),
            "OfficeCity": lambda: self.rnd.choice(["Berlin", "Madrid", "Tokyo", "Москва"]),
            "OfficeZip": lambda: "%05d" % self.rnd.randrange(100000),
            "OfficeCountry": lambda: self.rnd.choice(["Germany", "Spain", "Japan"]),
            "StreetAddress": lambda: "Gartenweg %d\nHinterhaus" % self.rnd.randint(1, 50),
            "City": lambda: self.rnd.choice(["Potsdam", "Sevilla", "Osaka"]),
            "Website": lambda: "https://www.example.com/%s" % first.lower(),
            "Spouse": lambda: self.rnd.choice(FIRST),
            "Birthday": lambda: {"datetimes": ["%04d-%02d-%02d" % (self.rnd.randint(1950, 2000),
                                                                   self.rnd.randint(1, 12), self.rnd.randint(1, 28))]},
        }
        for key, make in optional.items():
            if self.rnd.random() < 0.5:
                items[key] = make()
        items["primaryAddress"] = self.rnd.choice(["Business", "Home", "Other", ""])
        if self.rnd.random() < 0.3:
            items["Comment"] = {"richtext": ["Contact %s." % d["tag"], self.text(200)]}
        atts = []
        if self.photo and self.rnd.random() < self.args.photo_share:
            atts.append({"name": "ContactPhoto", "path": self.photo})
        d["subject"] = full
        return self.doc(d, "Person", t, zone, items, atts)

    def group(self, d):
        t, zone = self.when(2010, 2020)
        name = "%s list %s" % (self.rnd.choice(["Project", "Sales", "Board", "Social"]), d["tag"])
        items = {"ListName": name, "ListOwner": [self.person()[2]],
                 "Members": [p[2] if self.rnd.random() < 0.7 else p[3] for p in self.people(1, 8)]}
        if self.rnd.random() < 0.5:
            items["ListDescription"] = "Members of %s" % name
        d["subject"] = name
        return self.doc(d, "Group", t, zone, items, [])

    def doc(self, d, form, t, zone, items, atts):
        d["form"] = form
        d["attachments"] = [a["name"] for a in atts]
        created = self.iso(t, zone)
        out = {"noteId": d["noteId"], "unid": self.unid(d["noteId"]), "form": form, "created": created,
               "modified": created, "items": items}
        if atts:
            out["attachments"] = atts
        return out

    # ----- output ---------------------------------------------------------
    def write(self):
        self.plan()
        self.make_files()
        self.docs_written = []
        makers = {"mail": self.mail, "task": self.task, "calendar": self.calendar, "contact": self.contact,
                  "group": self.group}
        tmp = self.out_path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write('{"title": %s, "replicaId": "%s",\n' % (json.dumps(self.args.title), self.replica))
            f.write('"forms": %s,\n' % json.dumps(forms_description(), separators=(",", ":")))
            f.write('"views": [\n')
            f.write(",\n".join(json.dumps({"name": v["name"], "folder": v["folder"], "noteId": v["noteId"],
                                           "type": 0, "entries": v["entries"]}, separators=(",", ":"))
                               for v in self.views))
            f.write('],\n"documents": [\n')
            first = True
            for d in self.docs:
                doc = makers[d["kind"]](d)
                if d["kind"] == "mail" and len(self.docs_written) < 1000:
                    self.docs_written.append((self.unid(d["noteId"]), d["subject"]))
                if not first:
                    f.write(",\n")
                first = False
                f.write(json.dumps(doc, ensure_ascii=False, separators=(",", ":")))
            f.write("\n]}\n")
        os.replace(tmp, self.out_path)

    def write_manifest(self, path):
        manifest = {
            "replicaId": self.replica,
            "views": [{"name": v["name"], "folder": v["folder"], "pst": v["pst"], "noteId": v["noteId"],
                       "entries": [e["noteId"] if isinstance(e, dict) else e for e in v["entries"]],
                       "unread": [e["noteId"] for e in v["entries"] if isinstance(e, dict)]}
                      for v in self.views],
            "documents": [{k: d[k] for k in ("noteId", "kind", "form", "tag", "subject", "views", "unread",
                                              "attachments")} for d in self.docs],
        }
        with open(path, "w", encoding="utf-8") as f:
            json.dump(manifest, f, ensure_ascii=False, separators=(",", ":"))


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="mailgen.py", formatter_class=argparse.RawDescriptionHelpFormatter,
        description=__doc__.split("\n\n")[0],
        epilog=__doc__.split("\n", 1)[1])
    p.add_argument("out", metavar="OUT.json", help="description file to write")
    p.add_argument("--mails", type=int, default=100, help="mails split over the mail folders by weight (100)")
    p.add_argument("--tasks", type=int, default=0, help="tasks in the To Do view (0)")
    p.add_argument("--contacts", type=int, default=0, help="contacts in My Contacts (0)")
    p.add_argument("--groups", type=int, default=0, help="groups in Groups (0)")
    p.add_argument("--calendar", type=int, default=0,
                   help="appointments, meetings, all-day events and invitations in the Meetings view (0)")
    p.add_argument("--attachment-share", type=float, default=0.1,
                   help="share of mails with 1 to 3 attachments (0.1; tasks half, calendar entries a third)")
    p.add_argument("--max-attachment", type=int, default=1 << 20,
                   help="largest attachment in bytes (1048576); sizes spread from --min-attachment")
    p.add_argument("--min-attachment", type=int, default=1024,
                   help="least attachment in bytes (1024)")
    p.add_argument("--pool", type=int, default=24, help="distinct attachment files to draw from (24)")
    p.add_argument("--image-share", type=float, default=0.1, help="share of rich-text bodies with an image (0.1)")
    p.add_argument("--photo-share", type=float, default=0.2, help="share of contacts with a photo (0.2)")
    p.add_argument("--category-share", type=float, default=0.1,
                   help="share of mails with categories (0.1; tasks twice, calendar entries one and a half times)")
    p.add_argument("--max-body", type=int, default=100000,
                   help="longest body text in characters (100000); a small value makes every body a short note")
    p.add_argument("--folder", action="append", default=[], metavar="NAME=COUNT",
                   help="put exactly COUNT more mails into the folder NAME (nested with \\), which then takes "
                        "no share of --mails; may be repeated")
    p.add_argument("--no-all-view", dest="all_view", action="store_false",
                   help="leave out the ($All) view")
    p.add_argument("--title", default="Mail of Jane Doe", help="database title")
    p.add_argument("--seed", type=int, default=1, help="random seed (1); the same seed gives the same mailbox")
    p.add_argument("--manifest", metavar="PATH", help="also write the list of views and documents as JSON")
    p.add_argument("--build", metavar="OUT.nsf", help="run nsfdb build on the description")
    p.add_argument("--nsfdb", metavar="PATH", default="nsfdb", help="the nsfdb program for --build")
    a = p.parse_args(argv)
    for name in ("mails", "tasks", "contacts", "groups", "calendar"):
        if getattr(a, name) < 0:
            p.error("--%s must not be negative" % name)
    if not 0 <= a.attachment_share <= 1:
        p.error("--attachment-share lies between 0 and 1")
    a.forced = []
    for spec in a.folder:
        name, _, count = spec.rpartition("=")
        if not name or not count.isdigit():
            p.error("--folder wants NAME=COUNT, not %r" % spec)
        a.forced.append((name, int(count)))
    if a.max_body < 20:
        p.error("--max-body must be at least 20")
    return a


def main(argv):
    args = parse_args(argv)
    gen = Generator(args, args.out)
    gen.write()
    if args.manifest:
        gen.write_manifest(args.manifest)
    kinds = {}
    for d in gen.docs:
        kinds[d["kind"]] = kinds.get(d["kind"], 0) + 1
    print("mailgen: %s: %d documents (%s), %d views" % (
        args.out, len(gen.docs), ", ".join("%d %s" % (n, k) for k, n in sorted(kinds.items())), len(gen.views)),
        file=sys.stderr)
    if args.build:
        r = subprocess.run([args.nsfdb, "build", args.out, args.build])
        if r.returncode != 0:
            return r.returncode
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
