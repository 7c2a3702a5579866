"""Drives nsfsaver the way the launcher does, for the worker-run tests: a work
directory with config.txt, setting.txt, cal.txt and the run log; one folder
run record per folder, mail runs repeated while the worker asks for a
restart, then calendar runs over cal.txt; finally the PST written from the
staging store with pstbuild and read back with libpff's Python bindings.

The work-directory files are written here from their layouts, independently
of the C++ codecs."""
import os
import signal
import struct
import subprocess
import sys
import time

import pypff

BIN = os.environ.get("NSF2PST_BINARY_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SRC = os.environ.get("NSF2PST_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SAVER = os.path.join(BIN, "worker", "app", "nsfsaver")
NSFDB = os.path.join(BIN, "tools", "nsfdb", "nsfdb")
PSTBUILD = os.path.join(BIN, "tools", "pstbuild", "pstbuild")
MAILGEN = os.path.join(SRC, "tools", "mailgen", "mailgen.py")
LOG_NAME = "KelvroNSF2PST_log_.txt"


def utf16(text):
    return text.encode("utf-16-le")


def counted(text):
    """A string of config.txt and setting.txt: character count, UTF-16LE."""
    data = utf16(text)
    return struct.pack("<I", len(data) // 2) + data


def config_bytes(log_path, include_all_view=1, date_ranges=()):
    """config.txt with the worker's defaults except the run log path."""
    out = bytearray()
    out += bytes((0, 0, 1))                       # counterSet, includeSystemViews, exportRequested
    out += counted("") + counted("") + counted(log_path)
    out += struct.pack("<IIII", include_all_view, 0, 0, 0)
    out += bytes((0, 0)) + struct.pack("<I", 0)   # translateAddresses, useSmtpPattern, smtpPatternIndex
    out += counted("")                            # smtpDomain
    out += bytes((0, 0, 0))                       # useCsvMap, useNamesNsf, useFolderMapping
    out += struct.pack("<III", 0, 0, 0)           # removeEncryption, saveDocLinks, saveInternetHeaders
    out += struct.pack("<Q", 0) + struct.pack("<Q", 0)  # addressMap, folderMapping
    out += struct.pack("<Q", len(date_ranges))
    for start, end in date_ranges:
        out += struct.pack("<dIdI", start, 0, end, 0)
    return bytes(out)


def record_bytes(note_id, position, path, status):
    return struct.pack("<II", note_id, position) + counted(path) + bytes((status,))


def parse_record(data):
    note_id, position, n = struct.unpack_from("<III", data, 0)
    path = data[12:12 + 2 * n].decode("utf-16-le")
    status = data[12 + 2 * n] if len(data) > 12 + 2 * n else None
    return note_id, position, path, status


class WorkDir:
    """One work directory and one PST, as the launcher keeps them for one conversion."""

    def __init__(self, root, nsf, env=None, include_all_view=1, date_ranges=()):
        self.dir = root
        os.makedirs(root, exist_ok=True)
        self.nsf = nsf
        self.pst = os.path.join(root, "out.pst")
        self.log = os.path.join(root, LOG_NAME)
        self.tmp = os.path.join(root, "tmp")
        os.makedirs(self.tmp, exist_ok=True)
        self.env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=self.tmp)
        self.env.update(env or {})
        self.write("config.txt", config_bytes(self.log, include_all_view, date_ranges))
        self.write("setting.txt", b"")
        self.write("cal.txt", b"")
        self.write(LOG_NAME, b"\xff\xfe")
        self.runs = []  # (mode, runstate, record) of every run

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def set_record(self, note_id, position, path, status=1):
        # The worker writes from offset 0 without truncating; the launcher
        # does the same, so a shorter record leaves old bytes behind it.
        with open(self.path("setting.txt"), "r+b") as f:
            f.write(record_bytes(note_id, position, path, status))

    def record(self):
        return parse_record(self.read("setting.txt"))

    def calendar_ids(self):
        data = self.read("cal.txt")
        data += bytes(-len(data) % 4)
        return list(struct.unpack("<%dI" % (len(data) // 4), data))

    def log_text(self):
        # May be read while a worker appends to it: an odd tail is left out.
        data = self.read(LOG_NAME)[2:]
        return data[:len(data) - len(data) % 2].decode("utf-16-le", "replace")

    def command_line(self, calendar):
        return "%s/D /C %s/P %s/F%s/" % (self.nsf, "1" if calendar else "0", self.pst, self.dir)

    def start(self, calendar=False, env=None):
        """Starts one worker run without waiting for it."""
        try:
            os.remove(self.path("runstate.txt"))
        except FileNotFoundError:
            pass
        e = dict(self.env)
        e.update(env or {})
        return subprocess.Popen([SAVER, self.command_line(calendar)], env=e, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)

    def finish(self, proc, calendar, timeout=900):
        _, err = proc.communicate(timeout=timeout)
        state = self.runstate()
        self.runs.append(("calendar" if calendar else "mail", state, self.record()))
        return proc.returncode, state, err

    def run(self, calendar=False, env=None, timeout=900):
        """One worker run; returns (exit status, runstate word)."""
        code, state, _ = self.finish(self.start(calendar, env), calendar, timeout)
        return code, state

    def runstate(self):
        try:
            return self.read("runstate.txt").decode("utf-8").strip()
        except FileNotFoundError:
            return ""

    def convert_folder(self, note_id, path, env=None, max_runs=50):
        """Runs mail runs over one folder until the worker no longer asks for a
        restart; returns the number of runs."""
        self.set_record(note_id, 0, path, 1)
        return self._until_done(False, env, max_runs)

    def convert_calendar(self, env=None, max_runs=50):
        self.set_record(0, 0, "", 1)
        return self._until_done(True, env, max_runs)

    def _until_done(self, calendar, env, max_runs):
        for n in range(1, max_runs + 1):
            code, state = self.run(calendar, env)
            if code != 255:
                raise AssertionError("nsfsaver ended with %d after run %d" % (code, n))
            if state != "restart":
                if state != "complete":
                    raise AssertionError("run %d ended as %r" % (n, state))
                return n
        raise AssertionError("still asking for a restart after %d runs" % max_runs)

    def build_pst(self, out=None):
        out = out or os.path.join(self.dir, "final.pst")
        r = subprocess.run([PSTBUILD, self.pst + ".staging", out], capture_output=True, text=True)
        if r.returncode != 0:
            raise AssertionError("pstbuild failed: " + r.stderr)
        return out


def generate(out_json, *args, manifest=True):
    """Runs mailgen and builds the database; returns (nsf path, manifest)."""
    import json
    nsf = os.path.splitext(out_json)[0] + ".nsf"
    man = os.path.splitext(out_json)[0] + ".manifest.json"
    cmd = [sys.executable, MAILGEN, *args, "--build", nsf, "--nsfdb", NSFDB, out_json]
    if manifest:
        cmd[2:2] = ["--manifest", man]
    subprocess.run(cmd, check=True, capture_output=True)
    with open(man, encoding="utf-8") as f:
        return nsf, json.load(f)


def build_description(path, description):
    import json
    with open(path, "w", encoding="utf-8") as f:
        json.dump(description, f, ensure_ascii=False)
    nsf = os.path.splitext(path)[0] + ".nsf"
    subprocess.run([NSFDB, "build", path, nsf], check=True, capture_output=True)
    return nsf


def message_class(message):
    for entry in message.get_record_set(0).entries:
        if entry.entry_type == 0x001A:
            return (entry.data or b"").decode("utf-16-le", "replace").rstrip("\x00")
    return ""


def each_message(path, visit):
    """Calls visit(folder path, message) for every message of the PST while
    it is open, folder paths below the root joined with a backslash (the top
    of the personal folders included)."""
    f = pypff.file()
    f.open(path)

    def walk(folder, where):
        for i in range(folder.number_of_sub_messages):
            visit(where, folder.get_sub_message(i))
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            walk(sub, (where + "\\" if where else "") + (sub.name or ""))

    walk(f.get_root_folder(), "")
    f.close()


def pst_messages(path):
    """Every message of the PST as (folder path, message class, subject,
    attachment count)."""
    out = []
    each_message(path, lambda where, m: out.append((where, message_class(m), m.subject or "",
                                                    m.number_of_attachments)))
    return out


def readpst_counts(path, workdir):
    """Runs readpst over the PST, one file per item; returns its exit status,
    stderr and the number of items it wrote per folder (folder paths below
    the top folder, joined with a backslash)."""
    out = os.path.join(workdir, "readpst")
    os.makedirs(out, exist_ok=True)
    # One job: readpst's parallel jobs can give two items the same file name
    # and so lose one.
    r = subprocess.run(["readpst", "-q", "-j", "0", "-S", "-D", "-o", out, path], capture_output=True, text=True)
    counts = {}
    for where, _, files in os.walk(out):
        parts = os.path.relpath(where, out).split(os.sep)[1:]
        if parts:
            # Items are numbered files; their attachments are written beside them as N-name.
            counts["\\".join(parts)] = sum(1 for f in files if f.isdigit())
    return r.returncode, r.stderr, counts


def stop_run(work, calendar, wait_for, env=None, timeout=600):
    """Starts a run, waits until wait_for(work) is true, sends SIGINT and
    waits for the run to end; returns the finish() result."""
    proc = work.start(calendar, env)
    deadline = time.time() + timeout
    while not wait_for(work):
        if proc.poll() is not None:
            raise AssertionError("the run ended before it could be stopped")
        if time.time() > deadline:
            proc.kill()
            raise AssertionError("the run never reached the point to stop at")
        time.sleep(0.02)
    proc.send_signal(signal.SIGINT)
    return work.finish(proc, calendar, timeout)
