#!/usr/bin/python3
"""Lists what libpff finds in the parts of a split PST, as JSON.

usage: list_parts.py PART.pst...

For every part: the store's name and, for every folder by path, the raw
subjects of its messages, its content and unread counts and subfolder flag
as stored, and the unread messages and subfolders actually found.
"""
import json
import sys

import pypff


def entries(item):
    out = {}
    for rs in range(item.number_of_record_sets):
        for e in item.get_record_set(rs).entries:
            out[(e.entry_type, e.value_type)] = e.data
    return out


def number(props, tag, kind=0x3):
    data = props.get((tag, kind))
    return None if data is None else int.from_bytes(data, "little")


def walk(folder, path, out):
    props = entries(folder)
    subjects, unread = [], 0
    for i in range(folder.number_of_sub_messages):
        m = entries(folder.get_sub_message(i))
        subjects.append((m.get((0x37, 0x1F)) or b"").decode("utf-16-le"))
        if not (number(m, 0x0E07) or 0) & 1:
            unread += 1
    out[path] = {
        "subjects": subjects,
        "contentCount": number(props, 0x3602),
        "unreadCount": number(props, 0x3603),
        "unreadFound": unread,
        "hasSubfolders": number(props, 0x360A, 0xB),
        "subfolders": folder.number_of_sub_folders,
    }
    for sub in folder.sub_folders:
        walk(sub, path + "/" + (sub.name or ""), out)


parts = []
for path in sys.argv[1:]:
    f = pypff.file()
    f.open(path)
    store = entries(f.get_message_store())
    folders = {}
    walk(f.get_root_folder(), "", folders)
    parts.append({"store": (store.get((0x3001, 0x1F)) or b"").decode("utf-16-le"), "folders": folders,
                  "orphans": f.number_of_orphan_items})
print(json.dumps(parts))
