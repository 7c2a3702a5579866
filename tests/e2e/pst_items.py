"""Lists what a PST holds, read with libpff's Python bindings: one line per
item as folder path, message class and subject, sorted."""
import sys

import pypff


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


def items(path):
    f = pypff.file()
    f.open(path)
    out = []
    root = f.get_root_folder()
    walk(root, "", out)
    f.close()
    return sorted(out)


def attachments(path):
    """(subject, attachment name, size) of every message, sorted."""
    f = pypff.file()
    f.open(path)
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
    f = pypff.file()
    f.open(path)
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
