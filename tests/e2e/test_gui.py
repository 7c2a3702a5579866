"""Mode 1 of nsf2pst driven through the X server with xdotool, as a person
would use it: the viewer's main window scans the sample mailbox, two folders
are checked in the folder tree with the keyboard, Export opens the Save as
PST dialog, which is confirmed with a destination folder; the worker runs
then end by themselves. The written PST, read with libpff's Python bindings
and with readpst, must hold the items of the two chosen folders once each and
nothing of the other folders.

Run it inside an X server, e.g.
  xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 tests/e2e/test_gui.py -v
Without DISPLAY it skips. On failure the temporary directory, with a
screenshot of the screen, is kept and its path printed."""
import collections
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import pst_items  # noqa: E402
from e2e_paths import NSF2PST, NSFDB, SAMPLE  # noqa: E402

VIEWER_TITLE = "Kelvro Show NSF Data v18.0"
WORKER_TITLE = "Kelvro Saving Data"
RUN_LOG = "KelvroNSF2PST_log_.txt"

# The folders to check: tree label -> Notes view of the sample. Inbox holds
# mail, an entry without a document and two calendar documents (which go to
# the PST calendar); Tasks holds tasks, one of them also filed in another
# folder.
CHOSEN = {"Inbox": "($Inbox)", "Tasks": "($ToDo)"}

MAIL_FORMS = {"Memo", "Reply", "NonDelivery Report", "Return Receipt"}
CALENDAR_FORMS = {"Appointment", "Notice", "(ReplyNotice)"}

# Main window and Save as PST dialog sizes in dialog units; control centres
# below are in the same units.
MAIN_DLU = (500, 330)
SAVE_DLU = (407, 275)
TREE_EMPTY_SPOT = (137, 262)   # bottom right corner inside the folder tree
EXPORT_BUTTON = (407, 316)
PATH_EDIT = (192, 31)
OK_BUTTON = (184, 263)

SCAN_TIMEOUT = 60
CONVERSION_TIMEOUT = 120
# A worker's progress window closes when its run ends; one that stays this
# long has hung.
WORKER_WINDOW_LIMIT = 30


def xdotool(*args):
    r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=10)
    if r.returncode != 0:
        raise AssertionError(f"xdotool {' '.join(map(str, args))} failed: {r.stderr.strip()}")
    return r.stdout


def visible_windows(title):
    """Ids of the mapped windows whose name is exactly `title`."""
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(title) + "$"],
                       capture_output=True, text=True, timeout=10)
    return [int(w) for w in r.stdout.split()]


def geometry(window):
    """(x, y, width, height) of a window, or None once it is gone."""
    r = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)],
                       capture_output=True, text=True, timeout=10)
    if r.returncode != 0:
        return None
    values = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def click_dlu(window, dlu_size, point):
    """Clicks a point given in dialog units of a window whose client area is
    dlu_size dialog units (the windows have no frame without a window
    manager, so the window size is the client size)."""
    _, _, width, height = geometry(window)
    x = round(point[0] * width / dlu_size[0])
    y = round(point[1] * height / dlu_size[1])
    xdotool("mousemove", "--window", window, x, y, "click", "1")


def shows_an_icon(window, shot):
    """Whether the left part of a message box, where its icon goes, holds a
    coloured picture: the box's text, frame and buttons are all grey."""
    subprocess.run(["import", "-window", str(window), shot], capture_output=True, timeout=30, check=True)
    chroma = subprocess.run(["convert", shot, "-gravity", "NorthWest", "-crop", "25%x60%+0+0", "-colorspace", "HCL",
                             "-channel", "G", "-separate", "-format", "%[fx:maxima]", "info:"],
                            capture_output=True, text=True, timeout=30, check=True).stdout
    return float(chroma) > 0.15


def expected_items(sample, chosen):
    """(PST folder, subject) of every item that converting the chosen views
    must write: mail into the folder itself, tasks into Tasks, calendar
    documents once each into Calendar; deleted entries are skipped."""
    documents = {d["noteId"]: d for d in sample["documents"]}
    views = {v["name"]: v for v in sample["views"]}
    items = []
    calendar = []
    for folder, view in chosen.items():
        for entry in views[view]["entries"]:
            if entry is None:
                continue
            note_id = entry["noteId"] if isinstance(entry, dict) else entry
            doc = documents[note_id]
            subject = doc["items"].get("Subject") or ""
            if doc["form"] in MAIL_FORMS:
                items.append((folder, subject))
            elif doc["form"] == "Task":
                items.append(("Tasks", subject))
            elif doc["form"] in CALENDAR_FORMS:
                if note_id not in calendar:
                    calendar.append(note_id)
            else:
                raise AssertionError(f"choose folders without contacts and groups (note {note_id})")
    items += [("Calendar", documents[n]["items"].get("Subject") or "") for n in calendar]
    return collections.Counter(items)


def readpst_counts(pst, outdir):
    """Per folder name, the entries readpst reports (items and subfolders)."""
    os.makedirs(outdir, exist_ok=True)
    r = subprocess.run(["readpst", "-j", "0", "-o", outdir, "-D", "-S", pst], capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        raise AssertionError(f"readpst failed on {pst}: {r.stderr}")
    counts = {}
    for name, done, skipped in re.findall(r'"([^"]*)" - (\d+) items done, (\d+) items skipped', r.stdout + r.stderr):
        counts[name] = int(done) + int(skipped)
    return counts


def pypff_entry_counts(pst):
    """Per folder name, items plus direct subfolders, read with pypff."""
    f = pst_items.open_pst(pst)
    counts = {}

    def walk(folder):
        counts[folder.name or ""] = folder.number_of_sub_messages + folder.number_of_sub_folders
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))

    walk(f.get_root_folder())
    f.close()
    return counts


def by_folder(listing, root):
    """The pst_items listing with paths relative to the top of the PST."""
    out = collections.Counter()
    for path, cls, subject in listing:
        if path.startswith(root + "\\"):
            path = path[len(root) + 1:]
        out[(path, cls, subject)] += 1
    return out


class GuiConversion(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        if not os.environ.get("DISPLAY"):
            raise unittest.SkipTest("no DISPLAY: run inside xvfb-run")
        for tool in ("xdotool", "import", "readpst"):
            if not shutil.which(tool):
                raise unittest.SkipTest(f"{tool} is not installed")

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="nsf2pst-gui-")
        self.process = None
        self.stderr_path = os.path.join(self.tmp, "nsf2pst.err")

    def tearDown(self):
        # nsf2pst still running here means the scenario broke off.
        if self.process and self.process.poll() is None:
            self.screenshot()
        self.stop_conversion()

    def run(self, result=None):
        # The temporary directory stays when the test does not pass.
        result = result if result is not None else self.defaultTestResult()
        problems = len(result.failures) + len(result.errors)
        outcome = super().run(result)
        tmp = getattr(self, "tmp", None)
        if tmp and len(result.failures) + len(result.errors) > problems:
            print(f"\nkept {tmp} (screenshot and nsf2pst output)", file=sys.stderr)
        elif tmp:
            shutil.rmtree(tmp, ignore_errors=True)
        return outcome

    # ---- helpers ---------------------------------------------------------------

    def stop_conversion(self):
        if self.process and self.process.poll() is None:
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(self.process.pid, sig)
                except ProcessLookupError:
                    break
                try:
                    self.process.wait(timeout=5)
                    break
                except subprocess.TimeoutExpired:
                    continue

    def screenshot(self):
        shot = os.path.join(self.tmp, "screen.png")
        if not os.path.exists(shot):
            subprocess.run(["import", "-window", "root", shot], capture_output=True, timeout=30)
        return shot

    def fail_with_screen(self, message):
        shot = self.screenshot()
        self.stop_conversion()
        with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
            output = f.read()
        self.fail(f"{message}\nscreenshot: {shot}\nnsf2pst said:\n{output}")

    def wait_for(self, what, timeout, probe):
        """Polls probe() until it answers something true; fails with a
        screenshot when the time is up or nsf2pst has ended."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            result = probe()
            if result:
                return result
            if self.process.poll() is not None:
                self.fail_with_screen(f"nsf2pst ended (status {self.process.returncode}) while waiting for {what}")
            time.sleep(0.2)
        self.fail_with_screen(f"timed out after {timeout} s waiting for {what}")

    def viewer_windows(self, main):
        """Windows with the viewer's title besides the main window, as
        (id, is_small): the message boxes are small, the Save as PST dialog is
        not."""
        _, _, mw, mh = geometry(main) or (0, 0, 1, 1)
        out = []
        for w in visible_windows(VIEWER_TITLE):
            g = geometry(w)
            if w != main and g:
                out.append((w, g[2] * g[3] < 0.2 * mw * mh))
        return out

    def tree_rows(self):
        """The folder tree's labels below the root in row order, from the
        "Processing Folder: " lines the viewer logs while it fills the tree
        (each line is one inserted item; parents come before children)."""
        logs = [os.path.join(self.tmp, d, RUN_LOG) for d in os.listdir(self.tmp) if d.startswith("nsf2pst-work-")]
        self.assertEqual(len(logs), 1, "one work directory")
        with open(logs[0], "rb") as f:
            text = f.read().decode("utf-16-le", "replace")
        return re.findall(r"Processing Folder: ([^\r\n]*)", text)

    # ---- the scenario -----------------------------------------------------------

    def build_database(self):
        db = os.path.join(self.tmp, "mailbox.nsf")
        subprocess.run([NSFDB, "build", SAMPLE, db], check=True, capture_output=True, timeout=60)
        return db

    def convert_everything(self, db):
        out = os.path.join(self.tmp, "all")
        os.mkdir(out)
        env = dict(os.environ, NSF2PST_HEADLESS="1", TMPDIR=self.tmp)
        r = subprocess.run([NSF2PST, db, out], env=env, capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        return os.path.join(out, "mailbox.pst")

    def start_gui_conversion(self, db, out):
        env = dict(os.environ, TMPDIR=self.tmp)
        env.pop("NSF2PST_HEADLESS", None)
        with open(self.stderr_path, "w") as err:
            self.process = subprocess.Popen([NSF2PST, "--gui", db, out], env=env, stdout=err, stderr=err,
                                            stdin=subprocess.DEVNULL, start_new_session=True)

    def choose_folders_and_export(self, out):
        def main_window():
            for w in visible_windows(VIEWER_TITLE):
                g = geometry(w)
                if g and g[2] > 500:
                    return w
            return None

        main = self.wait_for("the viewer's main window", SCAN_TIMEOUT, main_window)
        # The scan ends with the message "Scanning process done..".
        done = self.wait_for("the end-of-scan message", SCAN_TIMEOUT,
                             lambda: [w for w, small in self.viewer_windows(main) if small])
        self.assertTrue(shows_an_icon(done[0], os.path.join(self.tmp, "message.png")),
                        "the message box has no information icon")
        xdotool("windowfocus", done[0])
        xdotool("key", "Return")
        self.wait_for("the end-of-scan message to close", 10,
                      lambda: not [w for w, small in self.viewer_windows(main) if small])

        rows = self.tree_rows()
        for label in CHOSEN:
            self.assertIn(label, rows, f"tree rows: {rows}")
        targets = sorted(rows.index(label) + 1 for label in CHOSEN)  # row 0 is the database

        # Give the tree the focus with a click on its empty part, then work it
        # with the keyboard. The database item starts mixed (the "($All)"
        # folder is unchecked): the first Space checks everything, the second
        # clears everything.
        xdotool("windowfocus", main)
        click_dlu(main, MAIN_DLU, TREE_EMPTY_SPOT)
        keys = ["Home", "space", "space"]
        row = 0
        for target in targets:
            keys += ["Down"] * (target - row) + ["space"]
            row = target
        xdotool("key", "--delay", "40", *keys)

        click_dlu(main, MAIN_DLU, EXPORT_BUTTON)
        save = self.wait_for("the Save as PST dialog", 20,
                             lambda: [w for w, small in self.viewer_windows(main) if not small])[0]
        click_dlu(save, SAVE_DLU, PATH_EDIT)
        xdotool("key", "ctrl+a", "BackSpace")
        xdotool("type", "--delay", "10", out)
        click_dlu(save, SAVE_DLU, OK_BUTTON)
        # The viewer ends with the export; a message box instead means the
        # dialog or the hand-over refused.
        self.wait_for("the viewer to end", 20, lambda: self.viewer_gone_or_complaining(main))
        if visible_windows(VIEWER_TITLE):
            self.fail_with_screen("the viewer showed a message instead of exporting")

    def viewer_gone_or_complaining(self, main):
        if not visible_windows(VIEWER_TITLE):
            return True
        return geometry(main) is not None and any(small for _, small in self.viewer_windows(main))

    def wait_for_conversion(self):
        """Waits for nsf2pst to end; the worker's progress windows come and go
        by themselves."""
        deadline = time.monotonic() + CONVERSION_TIMEOUT
        worker_since = None
        while self.process.poll() is None:
            now = time.monotonic()
            if now > deadline:
                self.fail_with_screen(f"nsf2pst did not end within {CONVERSION_TIMEOUT} s")
            shown = visible_windows(WORKER_TITLE)
            worker_since = (worker_since or now) if shown else None
            if worker_since and now - worker_since > WORKER_WINDOW_LIMIT:
                self.fail_with_screen(f"a worker's progress window stayed open for {WORKER_WINDOW_LIMIT} s")
            time.sleep(0.2)
        if self.process.returncode != 0:
            self.fail_with_screen(f"nsf2pst ended with status {self.process.returncode}")

    def test_checked_folders_are_converted_and_nothing_else(self):
        db = self.build_database()
        everything = self.convert_everything(db)
        # The PST goes where the Save as PST dialog says, not to the
        # command line's output folder.
        given = os.path.join(self.tmp, "given")
        out = os.path.join(self.tmp, "chosen")
        os.mkdir(given)
        os.mkdir(out)
        self.start_gui_conversion(db, given)
        self.choose_folders_and_export(out)
        self.wait_for_conversion()
        pst = os.path.join(out, "mailbox.pst")
        self.assertTrue(os.path.exists(pst), os.listdir(out))
        self.assertEqual(os.listdir(given), [])

        all_listing = pst_items.items(everything)
        root = next(p for p, _, _ in all_listing if p.endswith("\\Inbox"))[:-len("\\Inbox")]
        all_items = by_folder(all_listing, root)
        chosen_items = by_folder(pst_items.items(pst), root)

        # Exactly the items of the chosen folders, each once.
        with open(SAMPLE, encoding="utf-8") as f:
            expected = expected_items(json.load(f), CHOSEN)
        got = collections.Counter()
        for (folder, _, subject), n in chosen_items.items():
            got[(folder, subject)] += n
        self.assertEqual(got, expected)
        # Each as the full conversion writes it, and a chosen mail folder whole.
        self.assertEqual(chosen_items - all_items, collections.Counter(), "items the full conversion lacks")
        inbox = lambda items: {k: n for k, n in items.items() if k[0] == "Inbox"}  # noqa: E731
        self.assertEqual(inbox(chosen_items), inbox(all_items))
        # The folders of the PST outside the chosen ones and the calendar are empty.
        others = {k[0] for k in chosen_items} - set(CHOSEN) - {"Calendar"}
        self.assertEqual(others, set())

        # readpst agrees with libpff on every folder it lists.
        counts = readpst_counts(pst, os.path.join(self.tmp, "readpst"))
        pff = pypff_entry_counts(pst)
        listed = {name for name in counts if name in pff and name != "Top of Outlook data file"}
        self.assertEqual(listed, set(CHOSEN) | {"Calendar"}, f"folders readpst lists: {counts}")
        for name in listed:
            self.assertEqual(counts[name], pff[name], f"readpst and pypff differ on folder {name}")

    def test_started_from_the_menu_it_asks_for_the_database(self):
        # The desktop entry starts "nsf2pst --gui" without a file: an open
        # dialog asks for the database, whose folders the viewer then shows.
        db = self.build_database()
        env = dict(os.environ, TMPDIR=self.tmp)
        with open(self.stderr_path, "w") as err:
            self.process = subprocess.Popen([NSF2PST, "--gui"], env=env, cwd=self.tmp, stdout=err, stderr=err,
                                            stdin=subprocess.DEVNULL, start_new_session=True)
        chooser = self.wait_for("the open dialog", 20,
                                lambda: visible_windows("Choose the Notes database to convert"))[0]
        xdotool("windowfocus", chooser)
        xdotool("type", "--delay", "10", db)
        xdotool("key", "Return")
        self.wait_for("the viewer's main window", SCAN_TIMEOUT,
                      lambda: [w for w in visible_windows(VIEWER_TITLE) if (geometry(w) or (0, 0, 0))[2] > 500])
        self.assertEqual(self.process.poll(), None)


if __name__ == "__main__":
    unittest.main()
