#!/usr/bin/python3
"""Checks a PST file with independent readers against an expectation file.

usage: check_pst.py FILE.pst EXPECTED.json WORKDIR

Runs pffinfo -v, pffexport -m all and readpst on the file, then walks it with
libpff's Python bindings and with pst-extractor and compares folders,
messages, raw property values, attachments, recipients and named properties
with the expectation. Prints every difference and exits 1 when there is any.
"""
import hashlib
import json
import os
import re
import subprocess
import struct
import sys
import zlib

import pypff

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pst_extractor  # noqa: E402

problems = []
notes = []


def fail(text):
    problems.append(text)


def run(cmd):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


PATTERN_CHUNK = 251 * 4096
_periods = {}


def pattern_matches(read_chunk, size, seed):
    """Compares a stream with the test pattern byte i = (i + seed) % 251."""
    if seed not in _periods:
        period = bytes((j + seed) % 251 for j in range(251))
        _periods[seed] = period * (PATTERN_CHUNK // 251 + 1)
    big = _periods[seed]
    done = 0
    while done < size:
        n = min(PATTERN_CHUNK, size - done)
        start = done % 251
        if read_chunk(n) != big[start:start + n]:
            return False
        done += n
    return True


def check_tools(pst, work, expected):
    rc, out, err = run(["pffinfo", "-v", pst])
    if rc != 0 or re.search(r"unable|error|mismatch|invalid", err, re.I):
        fail("pffinfo: rc=%d %s" % (rc, err.strip()[:500]))
    # A folder of many thousand messages makes pffexport write as many
    # directories; such scenarios may leave it out.
    target = os.path.join(work, "pffexport") if expected.get("pffexport", True) else None
    rc, out, err = 0, "", ""
    if target:
        rc, out, err = run(["pffexport", "-q", "-m", "all", "-f", "all", "-t", target, pst])
    if rc != 0 or re.search(r"unable|error", out + err, re.I):
        fail("pffexport: rc=%d %s" % (rc, (out + err).strip()[:500]))
    for suffix in (".orphans", ".recovered"):
        d = (target or "") + suffix
        if target and os.path.isdir(d) and os.listdir(d):
            fail("pffexport found %s: %s" % (suffix, os.listdir(d)[:5]))
    if target:
        check_export_recipients(target + ".export", expected)
    outdir = os.path.join(work, "readpst")
    os.makedirs(outdir, exist_ok=True)
    # One mbox file per folder; readpst counts messages and subfolders as items.
    # One job: readpst's parallel jobs can give two items the same file.
    rc, out, err = run(["readpst", "-j", "0", "-D", "-b", "-o", outdir, pst])
    if rc != 0 or re.search(r"error|warning|fatal", out + err, re.I):
        fail("readpst: rc=%d %s" % (rc, (out + err).strip()[:500]))
    done = skipped = 0
    for m in re.finditer(r'"([^"]*)" - (\d+) items done, (\d+) items skipped', out):
        done += int(m.group(2))
        skipped += int(m.group(3))
    # libpst reads no property context whose BTree-on-heap has index levels
    # (over 447 properties); scenarios with such messages say how many.
    if skipped != expected.get("readpstSkips", 0):
        fail("readpst skipped %d items" % skipped)
    done += expected.get("readpstSkips", 0)
    top = "/Top of Outlook data file/"
    want = sum(1 for m in expected["messages"] if not m.get("associated"))
    want += sum(1 for p in expected["folders"] if p.startswith(top))
    if done != want:
        fail("readpst handled %d items, expected %d messages and folders" % (done, want))


def crc(data):
    """The PST CRC-32: zlib's polynomial with initial value 0 and no final XOR."""
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def sig(ib, bid):
    v = (ib ^ bid) & 0xFFFFFFFF
    return (v >> 16) ^ (v & 0xFFFF)


def check_structure(pst):
    """Byte-level checks: header CRCs, BTree pages, block trailers, allocation maps."""
    data = open(pst, "rb").read()
    if data[:4] != b"!BDN" or struct.unpack_from("<H", data, 10)[0] != 23:
        fail("structure: not a Unicode PST")
        return
    if struct.unpack_from("<I", data, 4)[0] != crc(data[8:0x1DF]):
        fail("structure: header partial CRC")
    if struct.unpack_from("<I", data, 0x20C)[0] != crc(data[8:0x20C]):
        fail("structure: header full CRC")
    eof, amap_last, amap_free = struct.unpack_from("<QQQ", data, 0xB8)
    nbt = struct.unpack_from("<QQ", data, 0xD8)
    bbt = struct.unpack_from("<QQ", data, 0xE8)
    next_page_bid = struct.unpack_from("<Q", data, 0x20)[0]
    next_bid = struct.unpack_from("<Q", data, 0x204)[0]
    if eof != len(data) or (eof - 0x4400) % 0x3E000 or amap_last != eof - 0x3E000 or data[0xF8] != 2:
        fail("structure: file size / ibAMapLast / fAMapValid")
    used = set()  # allocated 64-byte slots

    def mark(ib, size):
        for slot in range(ib // 64, (ib + size + 63) // 64):
            if slot in used:
                fail("structure: overlap at %#x" % (slot * 64))
            used.add(slot)

    def walk(bref, ptype, level, leaf_ent, leaf_max, out):
        bid, ib = bref
        page = data[ib:ib + 512]
        if ib % 512 or page[496] != ptype or page[497] != ptype or \
                struct.unpack_from("<H", page, 498)[0] != sig(ib, bid) or \
                struct.unpack_from("<I", page, 500)[0] != crc(page[:496]) or \
                struct.unpack_from("<Q", page, 504)[0] != bid or bid >= next_page_bid:
            fail("structure: bad page at %#x" % ib)
            return None
        mark(ib, 512)
        cent, cmax, cb, lvl = page[488], page[489], page[490], page[491]
        if level is not None and lvl != level:
            fail("structure: page level at %#x" % ib)
        if (lvl == 0 and (cb != leaf_ent or cmax != leaf_max)) or (lvl > 0 and (cb != 24 or cmax != 20)):
            fail("structure: cbEnt/cEntMax at %#x" % ib)
        keys = []
        for i in range(cent):
            e = page[i * cb:(i + 1) * cb]
            key = struct.unpack_from("<Q", e)[0]
            keys.append(key)
            if lvl == 0:
                out.append(e)
            else:
                first = walk(struct.unpack_from("<QQ", e, 8), ptype, lvl - 1, leaf_ent, leaf_max, out)
                if first is not None and first != key:
                    fail("structure: branch key %#x is not the child's first key" % key)
        if keys != sorted(set(keys)):
            fail("structure: unsorted page at %#x" % ib)
        return keys[0] if keys else None

    nodes, blocks = [], []
    walk(nbt, 0x81, None, 32, 15, nodes)
    walk(bbt, 0x80, None, 24, 20, blocks)
    bids = set()
    for e in blocks:
        bid, ib, cb, cref = struct.unpack_from("<QQHH", e)
        bids.add(bid)
        size = (cb + 16 + 63) // 64 * 64
        t = ib + size - 16
        tcb, tsig, tcrc, tbid = struct.unpack_from("<HHIQ", data, t)
        if ib % 64 or tcb != cb or tsig != sig(ib, bid) or tbid != bid or tcrc != crc(data[ib:ib + cb]) \
                or any(data[ib + cb:t]) or bid >= next_bid:
            fail("structure: bad block %#x at %#x" % (bid, ib))
        mark(ib, size)
    nids = set()
    for e in nodes:
        nid, bid_data, bid_sub, parent = struct.unpack_from("<QQQI", e)
        nids.add(nid)
        for b in (bid_data, bid_sub):
            if b and b not in bids:
                fail("structure: node %#x refers to missing block %#x" % (nid, b))
    for e in nodes:
        nid, _, _, parent = struct.unpack_from("<QQQI", e)
        if parent and parent not in nids:
            fail("structure: node %#x has missing parent %#x" % (nid, parent))
    check_heap_layouts(data, nodes, blocks)
    free = 0
    for n in range((eof - 0x4400) // 0x3E000):
        base = 0x4400 + n * 0x3E000
        maps = [(base, 0x84)]
        if n % 8 == 0:
            maps.append((base + 512 * len(maps), 0x83))
        if n >= 128 and (n - 128) % 496 == 0:
            maps.append((base + 512 * len(maps), 0x82))
        for ib, ptype in maps:
            page = data[ib:ib + 512]
            if page[496] != ptype or struct.unpack_from("<I", page, 500)[0] != crc(page[:496]) \
                    or struct.unpack_from("<Q", page, 504)[0] != ib:
                fail("structure: bad map page at %#x" % ib)
            mark(ib, 512)
        amap = data[base:base + 496]
        for i in range(496 * 8):
            bit = (amap[i // 8] >> (7 - i % 8)) & 1
            if bit != ((base // 64 + i) in used):
                fail("structure: AMap bit %d of %#x is %d" % (i, base, bit))
                break
            free += 64 * (1 - bit)
    if free != amap_free:
        fail("structure: cbAMapFree %d, counted %d" % (amap_free, free))


def check_heap_layouts(data, nodes, blocks):
    """Every property context's BTree-on-heap header at HID 0x20; every table
    context's row-index header at 0x20 and its TCINFO at 0x40, as Outlook
    lays them out and as readers such as pst-extractor expect them."""
    where = {}
    for e in blocks:
        bid, ib, cb, _ = struct.unpack_from("<QQHH", e)
        where[bid & ~1] = (ib, cb)

    def block(bid):
        ib, cb = where.get(bid & ~1, (0, 0))
        return data[ib:ib + cb]

    def first_data_block(bid):
        while bid & 2:  # an XBLOCK or XXBLOCK: follow its first child
            b = block(bid)
            if len(b) < 16 or b[0] != 1:
                return b""
            bid = struct.unpack_from("<Q", b, 8)[0]
        return block(bid)

    def alloc(page, hid):
        ib_map = struct.unpack_from("<H", page, 0)[0]
        count = struct.unpack_from("<H", page, ib_map)[0] if ib_map + 2 <= len(page) else 0
        index = (hid >> 5) - 1
        if hid >> 16 or hid & 0x1F or not 0 <= index < count:
            return b""
        start, end = struct.unpack_from("<HH", page, ib_map + 4 + 2 * index)
        return page[start:end]

    def check(what, bid):
        page = first_data_block(bid)
        if len(page) < 12 or page[2] != 0xEC:
            return
        client, root = page[3], struct.unpack_from("<I", page, 4)[0]
        if client == 0xBC and (root != 0x20 or alloc(page, 0x20)[:1] != b"\xb5"):
            fail("structure: %s: property context's BTree-on-heap header at %#x, not at 0x20" % (what, root))
        elif client == 0x7C:
            info = alloc(page, 0x40)
            if root != 0x40 or len(info) < 22 or struct.unpack_from("<I", info, 10)[0] != 0x20 \
                    or alloc(page, 0x20)[:1] != b"\xb5":
                fail("structure: %s: table context's TCINFO at %#x and row index not at 0x40 and 0x20" % (what, root))

    def subnodes(what, bid):
        b = block(bid)
        if len(b) < 8 or b[0] != 2:
            return
        level, count = b[1], struct.unpack_from("<H", b, 2)[0]
        for i in range(count):
            if level == 0:
                snid, sdata, ssub = struct.unpack_from("<QQQ", b, 8 + 24 * i)
                check("%s subnode %#x" % (what, snid), sdata)
                if ssub:
                    subnodes("%s subnode %#x" % (what, snid), ssub)
            else:
                subnodes(what, struct.unpack_from("<QQ", b, 8 + 16 * i)[1])

    for e in nodes:
        nid, bid_data, bid_sub, _ = struct.unpack_from("<QQQI", e)
        if bid_data:
            check("node %#x" % nid, bid_data)
        if bid_sub:
            subnodes("node %#x" % nid, bid_sub)


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
    if exp.get("embedded"):
        return
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


def named_ids(f):
    """The name-to-ID map of an open pypff file: (GUID hex, "lid", number)
    or (GUID hex, "name", text) -> property ID."""
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
    return found


def check_named(f, named):
    if not named:
        return
    found = named_ids(f)
    for n in named:
        key = (n["guid"], "lid", n["lid"]) if "lid" in n else (n["guid"], "name", n["name"])
        if found.get(key) != n["propId"]:
            fail("named property %r maps to %r, expected %04X" % (key, found.get(key), n["propId"]))


def pattern_sha256(size, seed):
    """SHA-256 of the test pattern byte i = (i + seed) % 251."""
    h = hashlib.sha256()
    done = 0
    period = bytes((j + seed) % 251 for j in range(251)) * (PATTERN_CHUNK // 251 + 1)
    while done < size:
        n = min(PATTERN_CHUNK, size - done)
        start = done % 251
        h.update(period[start:start + n])
        done += n
    return h.hexdigest()


def check_pst_extractor(pst, expected):
    """Opens the file with pst-extractor and compares what it reads with the
    expectation: folders and their counts, messages, recipients (with the
    recipient table's own display name and entry ID) and attachments with
    their data."""
    reason = pst_extractor.unavailable()
    if reason:
        notes.append("pst-extractor skipped: " + reason)
        return
    result, problem = pst_extractor.walk(pst)
    if problem:
        fail("pst-extractor cannot read the file: " + problem)
        return
    if result["end"].get("store") != expected["store"]:
        fail("pst-extractor: store name %r, expected %r" % (result["end"].get("store"), expected["store"]))
    # pst-extractor, like libpst, reads no property context whose BTree-on-heap
    # has index levels and passes over such messages; scenarios say how many.
    skips = expected.get("extractorSkips", 0)
    shortfall = 0
    for path, want in expected["folders"].items():
        got = result["folders"].get(path)
        if got is None:
            fail("pst-extractor: folder %r missing" % path)
        elif got["contentCount"] != want["messages"] or not 0 <= want["messages"] - got["messages"] <= skips:
            fail("pst-extractor: folder %r has %d messages (content count %d), expected %d"
                 % (path, got["messages"], got["contentCount"], want["messages"]))
        else:
            shortfall += want["messages"] - got["messages"]
    if shortfall != skips:
        fail("pst-extractor passed over %d messages, expected %d" % (shortfall, skips))
    have = {}
    for m in result["messages"]:
        have.setdefault((m["folder"], m["subject"]), []).append(m)
    missing = 0
    for exp in expected["messages"]:
        if exp.get("associated"):
            continue
        cands = have.get((exp["folder"], exp["subject"]), [])
        if not cands:
            missing += 1
            if missing > skips:
                fail("pst-extractor: %s/%r missing" % (exp["folder"], exp["subject"]))
            continue
        check_extracted_message("pst-extractor: %s/%r" % (exp["folder"], exp["subject"]), cands.pop(0), exp)


def check_extracted_message(what, got, exp):
    types = {"To": 1, "CC": 2, "BCC": 3}
    want_recipients = exp.get("recipients", [])
    if len(got["recipients"]) != len(want_recipients):
        fail("%s: %d recipients, expected %d" % (what, len(got["recipients"]), len(want_recipients)))
    for r, w in zip(got["recipients"], want_recipients):
        if (r["name"], r["email"], r["type"]) != (w["name"], w["email"], types[w["type"]]):
            fail("%s: recipient %r, expected %r" % (what, (r["name"], r["email"], r["type"]), w))
        if r["ids"] is not None and "5FF6" not in r["ids"]:
            fail("%s: recipient %r has no PidTagRecipientDisplayName" % (what, r["name"]))
        if r["ids"] is not None and "0FFF" in r["ids"] and "5FF7" not in r["ids"]:
            fail("%s: recipient %r has no PidTagRecipientEntryId" % (what, r["name"]))
    want_attachments = exp.get("attachments", [])
    if len(got["attachments"]) != len(want_attachments):
        fail("%s: %d attachments, expected %d" % (what, len(got["attachments"]), len(want_attachments)))
        return
    for i, (a, w) in enumerate(zip(got["attachments"], want_attachments)):
        if w.get("embedded"):
            # pst-extractor lists an attached message but does not open it
            # (PidTagAttachDataObject as a PtypObject reference, which
            # libpff and libpst follow).
            if a["method"] != 5:
                fail("%s attachment %d: method %r, expected an attached message" % (what, i, a["method"]))
            continue
        if a["name"] != w["name"] or a.get("bytes") != w["size"]:
            fail("%s attachment %d: %r of %r bytes, expected %r of %d"
                 % (what, i, a["name"], a.get("bytes"), w["name"], w["size"]))
        elif a.get("sha256") != pattern_sha256(w["size"], w["seed"]):
            fail("%s attachment %d: data differs" % (what, i))


def main():
    pst, expected_path, work = sys.argv[1:4]
    expected = json.load(open(expected_path, encoding="utf-8"))
    os.makedirs(work, exist_ok=True)
    check_structure(pst)
    if expected.get("tools", True):
        check_tools(pst, work, expected)
    check_model(pst, expected)
    if expected.get("tools", True):
        check_pst_extractor(pst, expected)
    for n in notes:
        print(n)
    for p in problems[:50]:
        print(p)
    if problems:
        print("%d problems" % len(problems))
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
