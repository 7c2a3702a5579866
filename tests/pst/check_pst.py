#!/usr/bin/python3
"""Checks a PST file with independent readers against an expectation file.

usage: check_pst.py FILE.pst EXPECTED.json WORKDIR

Runs pffinfo -v, pffexport -m all and readpst on the file, then walks it with
libpff's Python bindings and compares folders, messages, raw property values,
attachments, recipients and named properties with the expectation. Prints
every difference and exits 1 when there is any.
"""
import hashlib
import json
import os
import re
import subprocess
import sys

import pypff

problems = []


def fail(text):
    problems.append(text)


def run(cmd):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def pattern_matches(read_chunk, size, seed):
    """Compares a stream with the test pattern byte i = (i + seed) % 251."""
    period = bytes((j + seed) % 251 for j in range(251))
    big = period * (1 << 14)
    done = 0
    while done < size:
        n = min(len(big) - (len(big) % 251), size - done)
        got = read_chunk(n)
        start = done % 251
        want = (period[start:] + big)[:n]
        if got != want:
            return False
        done += n
    return True


def check_tools(pst, work, expected):
    rc, out, err = run(["pffinfo", "-v", pst])
    if rc != 0 or re.search(r"unable|error|mismatch|invalid", err, re.I):
        fail("pffinfo: rc=%d %s" % (rc, err.strip()[:500]))
    target = os.path.join(work, "pffexport")
    rc, out, err = run(["pffexport", "-q", "-m", "all", "-f", "all", "-t", target, pst])
    if rc != 0 or re.search(r"unable|error", out + err, re.I):
        fail("pffexport: rc=%d %s" % (rc, (out + err).strip()[:500]))
    for suffix in (".orphans", ".recovered"):
        d = target + suffix
        if os.path.isdir(d) and os.listdir(d):
            fail("pffexport found %s: %s" % (suffix, os.listdir(d)[:5]))
    check_export_recipients(target + ".export", expected)
    outdir = os.path.join(work, "readpst")
    os.makedirs(outdir, exist_ok=True)
    # One mbox file per folder; readpst counts messages and subfolders as items.
    rc, out, err = run(["readpst", "-D", "-b", "-o", outdir, pst])
    if rc != 0 or re.search(r"error|warning|fatal", out + err, re.I):
        fail("readpst: rc=%d %s" % (rc, (out + err).strip()[:500]))
    done = 0
    for m in re.finditer(r'"([^"]*)" - (\d+) items done, (\d+) items skipped', out):
        done += int(m.group(2))
        if m.group(3) != "0":
            fail("readpst skipped items in %s" % m.group(1))
    top = "/Top of Outlook data file/"
    want = sum(1 for m in expected["messages"] if not m.get("associated"))
    want += sum(1 for p in expected["folders"] if p.startswith(top))
    if done != want:
        fail("readpst handled %d items, expected %d messages and folders" % (done, want))


def check_export_recipients(export_dir, expected):
    """Compares the Recipients.txt files of pffexport with the expected rows."""
    by_subject = {m["subject"]: m for m in expected["messages"] if "recipients" in m}
    if not by_subject:
        return
    seen = set()
    for root, _, files in os.walk(export_dir):
        if "OutlookHeaders.txt" not in files:
            continue
        headers = open(os.path.join(root, "OutlookHeaders.txt"), encoding="utf-8", errors="replace").read()
        m = re.search(r"^Subject:\t+(.*)$", headers, re.M)
        subject = m.group(1) if m else ""
        if subject not in by_subject:
            continue
        seen.add(subject)
        text = ""
        if "Recipients.txt" in files:
            text = open(os.path.join(root, "Recipients.txt"), encoding="utf-8", errors="replace").read()
        rows = []
        for block in text.strip().split("\n\n"):
            fields = dict(re.findall(r"^([^:\n]+):\t+(.*)$", block, re.M))
            if fields:
                rows.append(fields)
        want = by_subject[subject]["recipients"]
        if len(rows) != len(want):
            fail("message %r: pffexport shows %d recipients, expected %d" % (subject, len(rows), len(want)))
            continue
        for got, exp in zip(rows, want):
            for key, field in (("name", "Display name"), ("email", "Email address"), ("type", "Recipient type")):
                if got.get(field) != exp[key]:
                    fail("message %r recipient %s: %r, expected %r" % (subject, field, got.get(field), exp[key]))
    for s in by_subject:
        if s not in seen:
            fail("pffexport: message %r not exported" % s)


def entries(item):
    out = {}
    for rs in item.record_sets:
        for e in rs.entries:
            out[(e.entry_type, e.value_type)] = e.data or b""
    return out


def check_props(what, item, props):
    have = entries(item)
    for tag, hexvalue in props:
        key = (tag >> 16, tag & 0xFFFF)
        if key not in have:
            fail("%s: property %08X missing" % (what, tag))
        elif have[key] != bytes.fromhex(hexvalue):
            fail("%s: property %08X = %s, expected %s" % (what, tag, have[key][:64].hex(), hexvalue[:128]))


def check_attachment(what, att, exp):
    if att.size != exp["size"]:
        fail("%s: size %d, expected %d" % (what, att.size, exp["size"]))
        return
    att.seek_offset(0, os.SEEK_SET)
    if not pattern_matches(att.read_buffer, exp["size"], exp["seed"]):
        fail("%s: data differs" % what)
    have = entries(att)
    name = have.get((0x3707, 0x1F), b"").decode("utf-16-le")
    if name != exp["name"]:
        fail("%s: name %r, expected %r" % (what, name, exp["name"]))


def check_message(path, msg, exp):
    what = "%s/%r" % (path, exp["subject"])
    check_props(what, msg, [(int(t, 16), v) for t, v in exp.get("props", [])])
    atts = exp.get("attachments", [])
    if msg.number_of_attachments != len(atts):
        fail("%s: %d attachments, expected %d" % (what, msg.number_of_attachments, len(atts)))
        return
    for i, a in enumerate(atts):
        check_attachment("%s attachment %d" % (what, i), msg.get_attachment(i), a)


def walk(folder, path, found):
    found[path] = folder
    for sub in folder.sub_folders:
        walk(sub, path + "/" + (sub.name or ""), found)


def check_model(pst, expected):
    f = pypff.file()
    f.open(pst)
    if f.number_of_orphan_items:
        fail("%d orphan items" % f.number_of_orphan_items)
    store = entries(f.get_message_store())
    name = store.get((0x3001, 0x1F), b"").decode("utf-16-le")
    if name != expected["store"]:
        fail("store name %r, expected %r" % (name, expected["store"]))
    record_key = store.get((0x0FF9, 0x102), b"")
    folders = {}
    walk(f.get_root_folder(), "", folders)
    nids = {p: fo.identifier for p, fo in folders.items()}
    for p, want in expected["folders"].items():
        fo = folders.get(p)
        if fo is None:
            fail("folder %r missing (have %s)" % (p, sorted(folders)[:30]))
            continue
        props = entries(fo)
        cls = props.get((0x3613, 0x1F), b"").decode("utf-16-le")
        if cls != want.get("class", cls):
            fail("folder %r: class %r, expected %r" % (p, cls, want["class"]))
        if fo.number_of_sub_messages != want["messages"]:
            fail("folder %r: %d messages, expected %d" % (p, fo.number_of_sub_messages, want["messages"]))
        count = props.get((0x3602, 0x3))
        if count is None or int.from_bytes(count, "little") != want["messages"]:
            fail("folder %r: content count %r" % (p, count))
    # Entry ids naming folders: (owner, tag) -> folder path.
    owners = {"store": store, "root": entries(f.get_root_folder())}
    for owner, tag, target in expected.get("entryIds", []):
        eid = owners[owner].get((int(tag, 16) >> 16, 0x102), None)
        if eid is None or len(eid) != 24:
            fail("%s entry id %s missing" % (owner, tag))
            continue
        if eid[4:20] != record_key or int.from_bytes(eid[20:24], "little") != nids.get(target, -1):
            fail("%s entry id %s does not name %r" % (owner, tag, target))
    by_folder = {}
    for m in expected["messages"]:
        by_folder.setdefault(m["folder"], []).append(m)
    for p, msgs in by_folder.items():
        fo = folders.get(p)
        if fo is None:
            continue
        have = {}
        for i in range(fo.number_of_sub_messages):
            m = fo.get_sub_message(i)
            # The raw subject: libpff's own string conversion mangles
            # characters outside the Basic Multilingual Plane.
            raw = entries(m).get((0x37, 0x1F), b"")
            have.setdefault(raw.decode("utf-16-le"), []).append(m)
        for exp in msgs:
            cands = have.get(exp["subject"], [])
            if not cands:
                fail("%s: message %r missing" % (p, exp["subject"]))
                continue
            check_message(p, cands.pop(0), exp)
    check_named(f, expected.get("named", []))


def check_named(f, named):
    if not named:
        return
    nm = entries(f.name_to_id_map)
    guids = nm.get((0x2, 0x102), b"")
    stream = nm.get((0x3, 0x102), b"")
    strings = nm.get((0x4, 0x102), b"")
    found = {}
    for i in range(0, len(stream), 8):
        ident = int.from_bytes(stream[i:i + 4], "little")
        gfield = int.from_bytes(stream[i + 4:i + 6], "little")
        idx = int.from_bytes(stream[i + 6:i + 8], "little")
        g = gfield >> 1
        guid = bytes.fromhex("2803020000000000c000000000000046" if g == 1 else "2903020000000000c000000000000046") \
            if g in (1, 2) else guids[(g - 3) * 16:(g - 2) * 16]
        if gfield & 1:
            n = int.from_bytes(strings[ident:ident + 4], "little")
            key = (guid.hex(), "name", strings[ident + 4:ident + 4 + n].decode("utf-16-le"))
        else:
            key = (guid.hex(), "lid", ident)
        found[key] = 0x8000 + idx
    for n in named:
        key = (n["guid"], "lid", n["lid"]) if "lid" in n else (n["guid"], "name", n["name"])
        if found.get(key) != n["propId"]:
            fail("named property %r maps to %r, expected %04X" % (key, found.get(key), n["propId"]))


def main():
    pst, expected_path, work = sys.argv[1:4]
    expected = json.load(open(expected_path, encoding="utf-8"))
    os.makedirs(work, exist_ok=True)
    if expected.get("tools", True):
        check_tools(pst, work, expected)
    check_model(pst, expected)
    for p in problems[:50]:
        print(p)
    if problems:
        print("%d problems" % len(problems))
        sys.exit(1)
    print("ok")


main()
