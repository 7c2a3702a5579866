"""Lists what a PST holds, read with libpff's Python bindings: one line per
item as folder path, message class and subject, sorted.

Every PST read through this module is also opened once with pst-extractor,
whose folders and message counts must equal libpff's (cross_check); when
pst-extractor is not installed that check is skipped with a note on
standard error."""
import os
import sys

import pypff

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pst"))
import pst_extractor  # noqa: E402

_checked = {}
_noted = []


def walk(folder, path, out):
    for i in range(folder.number_of_sub_messages):
        m = folder.get_sub_message(i)
        out.append((path, m.get_record_set(0) and message_class(m) or "", m.subject or ""))
    for i in range(folder.number_of_sub_folders):
        sub = folder.get_sub_folder(i)
        walk(sub, path + "\\" + (sub.name or ""), out)


def message_class(message):
    for entry in message.get_record_set(0).entries:
        if entry.entry_type == 0x001A:
            data = entry.data or b""
            return data.decode("utf-16-le", "replace").rstrip("\x00")
    return ""


def folder_counts(f):
    """(folder path below the root, number of messages) of every folder,
    sorted, read with libpff from an open file."""
    out = []

    def visit(folder, path):
        out.append((path, folder.number_of_sub_messages))
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            visit(sub, path + "/" + (sub.name or ""))

    visit(f.get_root_folder(), "")
    return sorted(out)


def cross_check(path):
    """Opens the PST with pst-extractor (once per version of the file) and
    raises AssertionError when it cannot read it or when its folders and
    message counts differ from libpff's. Returns pst-extractor's walk, or
    None when pst-extractor is unavailable."""
    st = os.stat(path)
    key = (os.path.abspath(path), st.st_size, st.st_mtime_ns)
    if key in _checked:
        return _checked[key]
    reason = pst_extractor.unavailable()
    if reason:
        if not _noted:
            _noted.append(reason)
            print("note: pst-extractor is unavailable, PSTs are not opened with it: " + reason, file=sys.stderr)
        return None
    result, problem = pst_extractor.walk(path)
    if problem:
        raise AssertionError("pst-extractor cannot read %s: %s" % (path, problem))
    f = pypff.file()
    f.open(path)
    want = folder_counts(f)
    f.close()
    # Both the messages pst-extractor walked and the folder's content count.
    for field in ("messages", "contentCount"):
        got = sorted((p, r[field]) for p, r in result["folders"].items())
        if got != want:
            diff = sorted(set(got) ^ set(want))
            raise AssertionError("pst-extractor (%s) and libpff differ on %s, (folder, count) on one side only: %r"
                                 % (field, path, diff[:20]))
    _checked[key] = result
    return result


def open_pst(path):
    """The PST opened with libpff, after cross_check."""
    cross_check(path)
    f = pypff.file()
    f.open(path)
    return f


def items(path):
    f = open_pst(path)
    out = []
    root = f.get_root_folder()
    walk(root, "", out)
    f.close()
    return sorted(out)


def attachments(path):
    """(subject, attachment name, size) of every message, sorted."""
    f = open_pst(path)
    out = []

    def visit(folder):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            for k in range(m.number_of_attachments):
                a = m.get_attachment(k)
                name = ""
                for entry in a.get_record_set(0).entries:
                    if entry.entry_type in (0x3707, 0x3704) and entry.data:
                        name = entry.data.decode("utf-16-le").rstrip("\x00")
                out.append((m.subject, name, a.size))
        for i in range(folder.number_of_sub_folders):
            visit(folder.get_sub_folder(i))

    visit(f.get_root_folder())
    f.close()
    return sorted(out)


def folder_names(path):
    """The names of every folder in the PST, at any depth."""
    f = open_pst(path)
    names = []

    def visit(folder):
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            names.append(sub.name or "")
            visit(sub)

    visit(f.get_root_folder())
    f.close()
    return names


if __name__ == "__main__":
    for folder, cls, subject in items(sys.argv[1]):
        print(f"{folder}\t{cls}\t{subject}")
