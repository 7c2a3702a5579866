#!/usr/bin/python3
"""Dumps a PST file as JSON with libpff's Python bindings: the folder tree,
and for each message its properties (by tag), recipients and attachments."""
import base64
import json
import sys

import pypff


def value_of(entry):
    vt = entry.value_type
    try:
        if vt in (0x0002, 0x0003, 0x0014):
            return entry.data_as_integer
        if vt == 0x000B:
            return bool(entry.data_as_boolean)
        if vt == 0x0005:
            return entry.data_as_floating_point
        if vt == 0x0040:
            return entry.get_data_as_integer()
        if vt in (0x001F, 0x001E):
            return entry.data_as_string
    except Exception:
        pass
    data = entry.data
    return {"hex": data.hex() if data is not None else ""}


def record_set(rs):
    props = {}
    for e in rs.entries:
        props["%04X%04X" % (e.entry_type, e.value_type)] = value_of(e)
    return props


def message(m):
    out = {"props": {}, "recipients": [], "attachments": []}
    for rs in m.record_sets:
        out["props"].update(record_set(rs))
    try:
        out["subject"] = m.subject
        out["html"] = (m.html_body or b"").decode("utf-8", "replace")
        out["plain"] = (m.plain_text_body or b"").decode("utf-8", "replace")
    except Exception as exc:
        out["error"] = str(exc)
    recipients = getattr(m, "recipients", None)
    if recipients is not None:
        for r in recipients.record_sets if hasattr(recipients, "record_sets") else []:
            out["recipients"].append(record_set(r))
    for a in m.attachments:
        att = {"props": {}}
        for rs in a.record_sets:
            att["props"].update(record_set(rs))
        try:
            size = a.size
            att["data"] = base64.b64encode(a.read_buffer(size)).decode() if size else ""
        except Exception as exc:
            att["error"] = str(exc)
        out["attachments"].append(att)
    return out


def folder(f, path, out):
    name = f.name or ""
    here = path + "\\" + name if path else name
    out[here] = [message(m) for m in f.sub_messages]
    for s in f.sub_folders:
        folder(s, here, out)


def main():
    f = pypff.file()
    f.open(sys.argv[1])
    out = {}
    folder(f.get_root_folder(), "", out)
    json.dump(out, sys.stdout, indent=1)


main()
