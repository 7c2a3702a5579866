"""nsf2pst as a CI job sees it: the console output in a log is a line per
folder and for the calendar entries with what they added, and the summary,
without bars, carriage returns or repeated window titles; a killed nsf2pst
takes its worker with it and the next conversion removes its work directory
and its temporary folder;
control characters of attachment names stay out of the PST's names while
the run log keeps the names as cleaned."""
import glob
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SAMPLE  # noqa: E402
from processes import live_processes_naming, wait_for  # noqa: E402


# The sample holds an encrypted memo: decrypted, every document converts.
FULLY = ["--remove-encryption"]


def env_with(tmp, **extra):
    e = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=tmp)
    e.update(extra)
    return e


def worker_temp_folder(pid):
    with open(f"/proc/{pid}/environ", "rb") as f:
        env = dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)
    return env[b"TMPDIR"].decode()


class ConsoleAndProcesses(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.db = os.path.join(cls.tmp.name, "mailbox.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, cls.db], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def out_dir(self, name):
        out = os.path.join(self.tmp.name, name)
        os.makedirs(out, exist_ok=True)
        return out

    def test_log_output_has_a_line_per_folder_and_no_bars(self):
        out = self.out_dir("log")
        r = subprocess.run([NSF2PST, *FULLY, self.db, out], env=env_with(self.tmp.name), capture_output=True,
                           text=True, timeout=600)
        self.assertEqual(r.returncode, 0, r.stderr)
        log = r.stderr + r.stdout
        self.assertNotIn("\r", log)
        self.assertNotIn("Kelvro", log)
        self.assertNotRegex(log, r"\[[#.]+\]\s*\d+%")
        self.assertNotIn("\n\n\n", log)
        started = re.findall(r"^Folder (\d+) of (\d+): ", r.stderr, re.M)
        ended = re.findall(r"^(Folder \d+ of \d+, .*|Calendar entries): (\d+) items? added, (\d+) in the PST$",
                           r.stderr, re.M)
        self.assertEqual(len(ended), len(started) + 1, r.stderr)
        self.assertEqual(ended[-1][0], "Calendar entries")
        # What the lines add up to is what the PST holds.
        in_pst = len([i for i in pst_items.items(os.path.join(out, "mailbox.pst")) if i[1]])
        self.assertEqual(sum(int(added) for _, added, _ in ended), in_pst)
        self.assertEqual(int(ended[-1][2]), in_pst)
        self.assertIn("Conversion finished", r.stdout)

    def test_a_conversion_loads_no_window_toolkit(self):
        # The front program's only window, the open-file dialog, comes from
        # the window module; a conversion given its database starts without
        # the toolkit's libraries.
        out = self.out_dir("toolkit")
        r = subprocess.run([NSF2PST, "--quiet", self.db, out], env=env_with(self.tmp.name, LD_DEBUG="files"),
                           capture_output=True, text=True, timeout=600)
        self.assertEqual(r.returncode, 0, r.stderr[-2000:])
        loaded = set(re.findall(r"file=(\S+) \[0\];  (?:needed|dynamically loaded) by (\S+)", r.stderr))
        front = sorted(os.path.basename(name) for name, by in loaded if os.path.basename(by) == "nsf2pst")
        self.assertTrue(front, "no library loads recorded")
        self.assertEqual([name for name in front if "wx" in name or "gtk" in name], [], front)

    def test_killed_launcher_takes_its_worker_and_leaves_no_work_directory(self):
        tmp = tempfile.mkdtemp(dir=self.tmp.name)
        out = self.out_dir("killed")
        p = subprocess.Popen([NSF2PST, *FULLY, self.db, out], env=env_with(tmp), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, start_new_session=True)
        workers = []

        def hold_a_worker():
            # A worker held still, so that it cannot end on its own in time; one
            # that ends before it is held is replaced by the next run's.
            for w in live_processes_naming("nsfsaver", self.db):
                try:
                    os.kill(w, signal.SIGSTOP)
                    workers.append(w)
                except ProcessLookupError:
                    pass
            return bool(workers) and any(w in live_processes_naming(self.db) for w in workers)

        try:
            self.assertTrue(wait_for(hold_a_worker, 60), "no worker started")
            work_dirs = glob.glob(os.path.join(tmp, "nsf2pst-work-*"))
            self.assertEqual(len(work_dirs), 1)
            # The worker's short-lived files go to a folder in memory when
            # /dev/shm has room for them, else into the work directory.
            scratch = worker_temp_folder(workers[0])
            in_work = os.path.realpath(scratch) == os.path.realpath(work_dirs[0])
            self.assertTrue(in_work or scratch.startswith("/dev/shm/nsf2pst-"), scratch)
            p.kill()
            p.wait(timeout=60)
            gone = wait_for(lambda: not any(w in live_processes_naming(self.db) for w in workers), 10)
            self.assertTrue(gone, "the worker outlived nsf2pst")
        finally:
            if p.poll() is None:
                p.kill()
                p.wait(timeout=60)
            for w in live_processes_naming(self.db):
                if w in workers:
                    try:
                        os.kill(w, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
        r = subprocess.run([NSF2PST, *FULLY, "--overwrite", self.db, out], env=env_with(tmp), capture_output=True,
                           text=True, timeout=600)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertFalse(os.path.exists(work_dirs[0]), "the killed conversion's work directory is still there")
        self.assertFalse(os.path.exists(scratch), "the killed conversion's temporary folder is still there")
        self.assertEqual(glob.glob(os.path.join(tmp, "nsf2pst-work-*")), [])

    def test_control_characters_stay_out_of_attachment_names(self):
        name = "bell\u0007 esc\u001b report\u202e.txt"
        desc = os.path.join(self.tmp.name, "names.json")
        with open(desc, "w") as f:
            json.dump({
                "title": "Names", "replicaId": "85257A1B0049D7E4",
                "forms": {"Memo": [{"name": "Subject", "type": "text"}, {"name": "Body", "type": "richtext"}]},
                "documents": [{"noteId": 2310, "form": "Memo",
                               "items": {"Subject": "Odd name", "From": "CN=A B/O=C",
                                         "Body": {"richtext": ["see the file", {"attachment": name}]}},
                               "attachments": [{"name": name, "text": "hello"}]}],
                "views": [{"name": "($Inbox)", "folder": True, "noteId": 8250, "entries": [2310]}],
            }, f)
        db = os.path.join(self.tmp.name, "names.nsf")
        subprocess.run([NSFDB, "build", desc, db], check=True)
        out = self.out_dir("names")
        r = subprocess.run([NSF2PST, "--keep-work", db, out], env=env_with(self.tmp.name), capture_output=True,
                           text=True, timeout=600)
        self.assertEqual(r.returncode, 0, r.stderr)
        names = set()
        f = pst_items.open_pst(os.path.join(out, "names.pst"))

        def visit(folder):
            for i in range(folder.number_of_sub_messages):
                m = folder.get_sub_message(i)
                for k in range(m.number_of_attachments):
                    for entry in m.get_attachment(k).get_record_set(0).entries:
                        # display name and long file name (the short one is 8.3)
                        if entry.entry_type in (0x3001, 0x3707) and entry.data:
                            names.add(entry.data.decode("utf-16-le").rstrip("\x00"))
            for i in range(folder.number_of_sub_folders):
                visit(folder.get_sub_folder(i))

        visit(f.get_root_folder())
        f.close()
        self.assertEqual(names, {"bell esc report.txt"})
        work = re.search(r"Work directory: (\S+)", r.stderr).group(1)
        with open(os.path.join(work, "KelvroNSF2PST_log_.txt"), "rb") as log:
            self.assertIn(("Attachments:\t" + name + ",").encode("utf-16-le"), log.read())


if __name__ == "__main__":
    unittest.main()
