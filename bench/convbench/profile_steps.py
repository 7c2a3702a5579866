#!/usr/bin/env python3
"""Where the time of a conversion goes: reads `perf script` output of a
recording made with call graphs (perf record --call-graph dwarf) and prints,
for every kind of process, the share of its samples in each step of the
conversion and in each library.

    perf record -F 250 --call-graph dwarf,16384 -o conv.data nsf2pst --overwrite DB.nsf OUT
    perf script -i conv.data -F comm,pid,ip,sym,dso | bench/convbench/profile_steps.py

A sample counts for the first step found walking its stack from the thread's
start towards the sampled instruction, so nested steps are not counted twice.
"""
import collections
import re
import sys

# Steps of a conversion in the order they are looked for (outermost first).
STEPS = [
    ("process start", r"^(_dl_start|dl_main|_dl_init|_dl_relocate_object|_dl_map_object)"),
    ("process end", r"^(exit|__run_exit_handlers|_exit|__libc_csu_fini|_dl_fini)$"),
    ("PST writing", r"WritePstFromStaging"),
    ("viewer scan", r"(ScanDatabase|CNsfScan|ScanFolders)"),
    ("run record, log, cal.txt", r"(WriteFolderRunRecord|CRunLog::|CCalendarIdWriter|WriteFolderSummary)"),
    ("open document", r"(LNNote::Open|LNDocument::Open|LNViewFolder|LNVFEntry|GetDocument|ReadEntries)"),
    ("read record", r"^(ReadMailRecord|ReadTaskRecord|ReadContact|ReadCalendarEntry)"),
    ("write .eml/.ics/.vcf", r"^(WriteMailEml|WriteTaskEml|WriteContactFile|WriteGroupFile|WriteCalendarFile)"),
    ("store import", r"^(storeops::Import|store::CItemObject::Import)"),
    ("store save", r"^(storeops::Save|store::CItemObject::Save)"),
    ("store create item", r"^storeops::AddItem"),
    ("store properties", r"^(storeops::Put|storeops::PutOnce|storeops::CallMethod|store::PutItemProperty)"),
    ("store session and folders", r"^(storeops::|store::)"),
    ("delete temporary files", r"^sys::DeleteFile"),
    ("session start (Notes, store, UI)", r"(SavingProcessApp|RunSavingProcess|wxEntry|gtk_init|InitNotes|LNNotesSession)"),
]

LIBRARIES = [
    ("SQLite", r"libsqlite3"),
    ("GMime/GLib", r"lib(gmime|glib|gobject|gio)"),
    ("ICU", r"libicu"),
    ("libc (malloc, memcpy, syscalls)", r"libc\.so"),
    ("libstdc++", r"libstdc\+\+"),
    ("kernel (files, page faults)", r"kernel"),
    ("wxWidgets/GTK", r"lib(wx|gtk|gdk|X|cairo|pango|atk|harfbuzz|fontconfig|freetype)"),
    ("dynamic loader", r"ld-linux"),
]


def Samples(stream):
    """Yields (comm, frames from leaf to root as (symbol, dso))."""
    comm, frames = None, []
    for line in stream:
        line = line.rstrip("\n")
        if not line.strip():
            if comm is not None:
                yield comm, frames
            comm, frames = None, []
            continue
        if not line.startswith(("\t", " " * 8)) or comm is None:
            if comm is not None:
                yield comm, frames
            comm, frames = line.split()[0], []
            continue
        m = re.match(r"\s*[0-9a-f]+\s+(.*?)(?:\s+\((.*)\))?$", line)
        if m:
            frames.append((m.group(1), m.group(2) or ""))
    if comm is not None:
        yield comm, frames


def Step(frames):
    for symbol, _ in reversed(frames):
        for name, pattern in STEPS:
            if re.search(pattern, symbol):
                return name
    return "other"


def Library(frames):
    if not frames:
        return "unknown"
    symbol, dso = frames[0]
    for name, pattern in LIBRARIES:
        if re.search(pattern, dso):
            return name
    if symbol.startswith("[unknown]") or not dso:
        return "unknown"
    return "own code"


def main():
    steps = collections.defaultdict(collections.Counter)
    libs = collections.defaultdict(collections.Counter)
    for comm, frames in Samples(sys.stdin):
        steps[comm][Step(frames)] += 1
        libs[comm][Library(frames)] += 1
    grand = sum(sum(c.values()) for c in steps.values())
    for comm in sorted(steps, key=lambda c: -sum(steps[c].values())):
        total = sum(steps[comm].values())
        print("%s: %d samples, %.1f%% of all" % (comm, total, 100.0 * total / grand))
        for name, count in steps[comm].most_common():
            print("  %-36s %5.1f%%" % (name, 100.0 * count / total))
        print("  by library of the sampled instruction:")
        for name, count in libs[comm].most_common():
            print("    %-34s %5.1f%%" % (name, 100.0 * count / total))


if __name__ == "__main__":
    main()
