#!/usr/bin/env python3
"""Conversion benchmark: generates a mailbox of N documents, converts it end to
end with nsf2pst and prints documents per second (end to end, mail runs,
calendar runs), MB per second of PST written, the peak memory of every kind of
process (viewer, worker, front program), the bytes written to disk, the share
of time spent in the viewer, the mail runs, the calendar runs and PST writing,
and the times of readpst, gzip -1 and dd over the PST as yardsticks.

    bench/convbench/convbench.py -n 10000

The figures come from `nsf2pst --stats FILE` when the front program offers
it. Otherwise the viewer and the worker are measured through small wrapper
programs placed beside a copy of nsf2pst (it starts the programs that lie in
its own folder), and PST writing is what remains of the front program's time.
"""
import argparse
import json
import os
import platform
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Runs one program, measures it with wait4 and appends a line to the
# measurement file; placed beside the copy of nsf2pst as nsfviewer and nsfsaver.
WRAPPER = r'''#!/usr/bin/env python3
import json, os, signal, sys, time
real, kind, log = %(real)r, %(kind)r, %(log)r
start = time.monotonic()
pid = os.fork()
if pid == 0:
    os.execv(real, [real] + sys.argv[1:])
def forward(sig, frame):
    try: os.kill(pid, sig)
    except ProcessLookupError: pass
signal.signal(signal.SIGINT, forward)
signal.signal(signal.SIGTERM, forward)
while True:
    try:
        _, status, usage = os.wait4(pid, 0)
        break
    except InterruptedError:
        continue
seconds = time.monotonic() - start
line = " ".join(sys.argv[1:])
if kind == "saver":
    mode = line.split("/D ", 1)[-1].split("/C ", 1)[-1].split("/P ", 1)[0]
    kind = "calendar" if mode == "1" else "mail"
with open(log, "a") as f:
    f.write(json.dumps({"kind": kind, "seconds": seconds, "cpuSeconds": usage.ru_utime + usage.ru_stime,
                        "peakRssKiB": usage.ru_maxrss}) + "\n")
os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 255)
'''


def Fail(text):
    sys.stderr.write("convbench: " + text + "\n")
    sys.exit(2)


# Share of each kind in a generated mailbox of N documents; the rest is mail.
MIX = {"tasks": 0.02, "calendar": 0.04, "contacts": 0.03, "groups": 0.002}


def MixCounts(n):
    counts = {kind: int(round(n * share)) for kind, share in MIX.items()}
    counts["mails"] = n - sum(counts.values())
    return counts


def Generate(args, workdir):
    """Writes the mailbox description with the mailbox generator and returns its path."""
    description = os.path.join(workdir, "mailbox.json")
    generator = args.generator or os.path.join(ROOT, "tools", "mailgen", "mailgen.py")
    if not os.path.exists(generator):
        Fail("no mailbox generator at " + generator + " (give one with --generator)")
    command = [sys.executable, generator, "--seed", str(args.seed)]
    for kind, count in MixCounts(args.n).items():
        command += ["--" + kind, str(count)]
    command += ["--attachment-share", str(args.attachment_share), "--max-attachment", str(args.max_attachment),
                "--min-attachment", str(args.min_attachment)]
    command += args.generator_option + [description]
    # The generator's own line goes to stderr so that stdout holds only the figures.
    subprocess.run(command, check=True, stdout=sys.stderr)
    return description


ATTACHMENT_BYTES = r'''
import json, os, sys
description = sys.argv[1]
with open(description) as f:
    mailbox = json.load(f)
base = os.path.dirname(description)
sizes, total = {}, 0
for document in mailbox.get("documents", []):
    for attachment in document.get("attachments", []):
        path = attachment.get("path")
        if path and path not in sizes:
            sizes[path] = os.path.getsize(os.path.join(base, path))
        total += sizes.get(path, len(attachment.get("text", "")))
print(total)
'''


def AttachmentBytes(description):
    """The bytes of every attachment the generated mailbox holds. Counted in a
    process of its own: the loaded description would stay in this one, and a
    program started from it inherits its peak memory as its own."""
    out = subprocess.run([sys.executable, "-c", ATTACHMENT_BYTES, description], check=True, capture_output=True,
                         text=True).stdout
    return int(out.strip())


def BuildDatabase(args, description, workdir):
    nsf = os.path.join(workdir, "mailbox.nsf")
    subprocess.run([os.path.join(args.build, "tools", "nsfdb", "nsfdb"), "build", description, nsf], check=True,
                   stdout=sys.stderr)
    return nsf


def HasStatsOption(nsf2pst):
    text = subprocess.run([nsf2pst, "--help"], capture_output=True, text=True).stdout
    return "--stats" in text


def PrepareWrappers(args, workdir):
    """A copy of nsf2pst with measuring wrappers as its viewer and worker."""
    folder = os.path.join(workdir, "wrapped")
    os.makedirs(folder, exist_ok=True)
    log = os.path.join(workdir, "runs.jsonl")
    shutil.copy2(os.path.join(args.build, "launcher", "nsf2pst"), os.path.join(folder, "nsf2pst"))
    programs = {"nsfviewer": ("viewer", os.path.join(args.build, "viewer", "nsfviewer")),
                "nsfsaver": ("saver", os.path.join(args.build, "worker", "app", "nsfsaver"))}
    for name, (kind, real) in programs.items():
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(WRAPPER % {"real": real, "kind": kind, "log": log})
        os.chmod(path, 0o755)
    return os.path.join(folder, "nsf2pst"), log


class PeakWatcher:
    """Polls the high-water mark of one process's resident memory."""

    def __init__(self, pid):
        self.pid, self.peak, self.done = pid, 0, False
        self.thread = threading.Thread(target=self.Watch, daemon=True)
        self.thread.start()

    def Watch(self):
        while not self.done:
            try:
                with open("/proc/%d/status" % self.pid) as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            self.peak = max(self.peak, int(line.split()[1]))
            except OSError:
                return
            time.sleep(0.02)

    def Stop(self):
        self.done = True
        self.thread.join()


def Convert(args, nsf, workdir):
    """Runs nsf2pst; returns (seconds, stats dict, work directory path, pst path)."""
    out = os.path.join(workdir, "out")
    os.makedirs(out, exist_ok=True)
    nsf2pst = os.path.join(args.build, "launcher", "nsf2pst")
    statsFile = os.path.join(workdir, "stats.json")
    withStats = HasStatsOption(nsf2pst) and not args.wrap
    runLog = None
    if not withStats:
        nsf2pst, runLog = PrepareWrappers(args, workdir)
        if os.path.exists(runLog):
            os.unlink(runLog)
    command = [nsf2pst, "--overwrite", "--keep-work", "--quiet"] + (["--stats", statsFile] if withStats else [])
    command += [nsf, out]
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    watcher = PeakWatcher(process.pid)
    stdout, stderr = process.communicate()
    seconds = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    watcher.Stop()
    # Processor time of nsf2pst and every program it ran: unlike the elapsed
    # time it hardly depends on what else the machine is doing.
    cpuSeconds = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
    # Bytes the conversion sent towards the disk (pages it dirtied in files on
    # block devices; files in memory do not count).
    diskBytes = (after.ru_oublock - before.ru_oublock) * 512
    if process.returncode != 0:
        Fail("nsf2pst ended with status %d:\n%s%s" % (process.returncode, stdout, stderr))
    work = None
    for line in stderr.splitlines():
        if line.startswith("Work directory: "):
            work = line[len("Work directory: "):].strip()
    pst = os.path.join(out, os.path.splitext(os.path.basename(nsf))[0] + ".pst")
    if withStats:
        with open(statsFile) as f:
            stats = json.load(f)
    else:
        stats = StatsFromWrappers(runLog, seconds, watcher.peak, os.path.getsize(pst))
    stats.setdefault("total", {"seconds": seconds})["cpuSeconds"] = cpuSeconds
    stats["total"]["diskBytes"] = diskBytes
    return seconds, stats, work, pst, stdout


def StatsFromWrappers(runLog, seconds, launcherPeak, pstBytes):
    stats = {k: {"seconds": 0.0, "cpuSeconds": 0.0, "runs": 0, "peakRssKiB": 0} for k in ("viewer", "mail", "calendar")}
    with open(runLog) as f:
        for line in f:
            run = json.loads(line)
            s = stats[run["kind"]]
            s["seconds"] += run["seconds"]
            s["cpuSeconds"] += run["cpuSeconds"]
            s["runs"] += 1
            s["peakRssKiB"] = max(s["peakRssKiB"], run["peakRssKiB"])
    children = sum(stats[k]["seconds"] for k in ("viewer", "mail", "calendar"))
    # The front program's own time: mostly PST writing, a little set-up.
    stats["pst"] = {"seconds": max(0.0, seconds - children), "bytes": pstBytes, "messages": None,
                    "peakRssKiB": launcherPeak, "estimated": True}
    stats["total"] = {"seconds": seconds}
    return stats


def CountRunLog(work):
    """Positions handled by the mail runs and entries converted by the calendar runs."""
    counts = {"mailPositions": 0, "calendarEntries": 0}
    if not work:
        return counts
    for name in os.listdir(work):
        if name.endswith("_log_.txt"):
            text = open(os.path.join(work, name), "rb").read().decode("utf-16-le", "replace")
            counts["mailPositions"] += text.count("Email number: ")
            counts["calendarEntries"] += text.count("creating appointment")
    return counts


def Timed(command):
    start = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def Yardsticks(pst, workdir):
    """Seconds that other programs take over the PST, run in the same invocation:
    readpst reading every item back, gzip -1 compressing it, dd copying it.
    The PST is read once first: the writer sends it to the disk past the page
    cache, and the yardsticks are meant to time the programs, not the disk."""
    result = {}
    with open(pst, "rb") as f:
        while f.read(1 << 20):
            pass
    if shutil.which("readpst"):
        out = tempfile.mkdtemp(prefix="readpst-", dir=workdir)
        result["readpst -j 0"] = Timed(["readpst", "-j", "0", "-q", "-o", out, pst])
        shutil.rmtree(out, ignore_errors=True)
    result["gzip -1"] = Timed(["gzip", "-1", "-c", pst])
    copy = os.path.join(workdir, "dd-copy.pst")
    result["dd"] = Timed(["dd", "if=" + pst, "of=" + copy, "bs=1M"])
    os.unlink(copy)
    return {k: round(v, 3) for k, v in result.items()}


def Machine():
    load = os.getloadavg()
    return {"nproc": os.cpu_count(), "load": [round(x, 2) for x in load], "kernel": platform.release(),
            "cpu": CpuModel()}


def CpuModel():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.machine()


def Rate(count, seconds):
    return count / seconds if seconds > 0 else 0.0


def Report(args, seconds, stats, counts, pstBytes, summary, machineBefore):
    mb = pstBytes / 1e6
    mail, cal, viewer, pst = stats["mail"], stats["calendar"], stats["viewer"], stats["pst"]
    # The whole process as the user waits for it: nsf2pst's own total ends
    # before it prints its summary, which reads the staging store once more.
    total = seconds
    result = {
        "machine": machineBefore,
        "documents": args.n,
        "mix": None if args.database else MixCounts(args.n),
        "seconds": round(total, 3),
        "nsf2pstTotalSeconds": round(stats.get("total", {}).get("seconds", total), 3),
        "docsPerSecond": {"endToEnd": round(Rate(args.n, total), 1),
                          "mailRuns": round(Rate(counts["mailPositions"], mail["seconds"]), 1),
                          "calendarRuns": round(Rate(counts["calendarEntries"], cal["seconds"]), 1)},
        "cpuSeconds": round(stats["total"].get("cpuSeconds", 0.0), 2),
        "docsPerCpuSecond": round(Rate(args.n, stats["total"].get("cpuSeconds", 0.0)), 1),
        "cpuSecondsByPhase": {k: round(stats[k]["cpuSeconds"], 2) for k in ("viewer", "mail", "calendar")
                              if "cpuSeconds" in stats[k]},
        "mailPositions": counts["mailPositions"],
        "calendarEntries": counts["calendarEntries"],
        "pstMB": round(mb, 2),
        "pstMBPerSecond": {"endToEnd": round(Rate(mb, total), 2), "pstWriting": round(Rate(mb, pst["seconds"]), 2)},
        "peakRssMiB": {"nsfviewer": round(viewer["peakRssKiB"] / 1024, 1),
                       "nsfsaver": round(max(mail["peakRssKiB"], cal["peakRssKiB"]) / 1024, 1),
                       "nsfsaverMail": round(mail["peakRssKiB"] / 1024, 1),
                       "nsfsaverCalendar": round(cal["peakRssKiB"] / 1024, 1),
                       "nsf2pst": round(pst["peakRssKiB"] / 1024, 1)},
        "runs": {"viewer": viewer["runs"], "mail": mail["runs"], "calendar": cal["runs"]},
        "seconds by phase": {k: round(stats[k]["seconds"], 3) for k in ("viewer", "mail", "calendar", "pst")},
        "share": {k: round(100 * stats[k]["seconds"] / total, 1) if total else 0
                  for k in ("viewer", "mail", "calendar", "pst")},
        "pstEstimated": bool(pst.get("estimated")),
        "diskMB": round(stats["total"].get("diskBytes", 0) / 1e6, 1),
        "diskBytesPerPstByte": round(stats["total"].get("diskBytes", 0) / pstBytes, 2) if pstBytes else 0,
    }
    other = total - sum(stats[k]["seconds"] for k in ("viewer", "mail", "calendar", "pst"))
    result["share"]["other"] = round(100 * max(0.0, other) / total, 1) if total else 0
    return result


def PrintReport(r):
    m = r["machine"]
    d, s, p = r["docsPerSecond"], r["share"], r["peakRssMiB"]
    print("machine: %s, nproc %d, load %s" % (m["cpu"], m["nproc"], " ".join(str(x) for x in m["load"])))
    print("documents: %d (mail-run positions %d, calendar entries %d), time %.2f s, runs: viewer %d, mail %d, calendar %d"
          % (r["documents"], r["mailPositions"], r["calendarEntries"], r["seconds"], r["runs"]["viewer"],
             r["runs"]["mail"], r["runs"]["calendar"]))
    if r["mix"]:
        print("mix: " + ", ".join("%s %d" % (k, v) for k, v in r["mix"].items()))
    print("docs/s: end to end %.1f (target >= 3000), mail runs %.1f, calendar runs %.1f"
          % (d["endToEnd"], d["mailRuns"], d["calendarRuns"]))
    cpu = r["cpuSecondsByPhase"]
    print("processor time: %.2f s in all (%.1f documents per processor second)%s"
          % (r["cpuSeconds"], r["docsPerCpuSecond"],
             "; viewer %.2f s, mail runs %.2f s, calendar runs %.2f s" % (cpu["viewer"], cpu["mail"], cpu["calendar"])
             if len(cpu) == 3 else ""))
    print("PST: %.2f MB, %.2f MB/s end to end, %.2f MB/s while writing%s"
          % (r["pstMB"], r["pstMBPerSecond"]["endToEnd"], r["pstMBPerSecond"]["pstWriting"],
             " (writing time estimated)" if r["pstEstimated"] else ""))
    print("peak RSS MiB: nsfviewer %.1f, nsfsaver %.1f (mail %.1f, calendar %.1f), nsf2pst %.1f"
          " (target: every process <= 100)"
          % (p["nsfviewer"], p["nsfsaver"], p["nsfsaverMail"], p["nsfsaverCalendar"], p["nsf2pst"]))
    if "attachmentMB" in r:
        print("attachment payload: %.1f MB, %.1f MB/s end to end (target for the attachment mix >= 300)"
              % (r["attachmentMB"], r["attachmentMBPerSecond"]))
    print("written to disk: %.1f MB, %.2f times the PST (target <= 2.5)" % (r["diskMB"], r["diskBytesPerPstByte"]))
    if r.get("yardsticks"):
        print("yardsticks over the PST: " + ", ".join(
            "%s %.2f s (conversion %.1f times as long%s)" % (k, v, r["seconds"] / v if v else 0,
                                                           ", target <= 3" if k.startswith("readpst") else "")
            for k, v in r["yardsticks"].items()))
    print("time share: viewer %.1f%%, mail runs %.1f%%, calendar runs %.1f%%, PST writing %.1f%%, other (set-up, summary) %.1f%%"
          % (s["viewer"], s["mail"], s["calendar"], s["pst"], s["other"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-n", type=int, default=10000, help="documents in the generated mailbox (10000)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generator (1)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build directory with the programs")
    parser.add_argument("--generator", help="mailbox generator (tools/mailgen/mailgen.py)")
    parser.add_argument("--attachment-share", type=float, default=0.1, help="share of mails with attachments (0.1)")
    parser.add_argument("--max-attachment", type=int, default=1048576, help="largest attachment in bytes (1 MiB)")
    parser.add_argument("--min-attachment", type=int, default=1024, help="least attachment in bytes (1 kB)")
    parser.add_argument("--generator-option", action="append", default=[], metavar="OPTION",
                        help="pass one more option to the generator (repeatable, e.g. --generator-option=--no-all-view)")
    parser.add_argument("--database", help="convert this Notes database file instead of generating one"
                        " (-n then gives its number of documents, for the rates)")
    parser.add_argument("--work", help="folder for the mailbox and the PST (a temporary one by default)")
    parser.add_argument("--keep", action="store_true", help="keep the mailbox, the PST and the work directory")
    parser.add_argument("--wrap", action="store_true", help="measure through wrappers even when --stats exists")
    parser.add_argument("--json", help="also write the figures to this file")
    parser.add_argument("--no-yardsticks", action="store_true",
                        help="do not time readpst, gzip -1 and dd over the PST")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    workdir = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(prefix="convbench-")
    os.makedirs(workdir, exist_ok=True)
    try:
        payload = None
        if args.database:
            nsf = os.path.abspath(args.database)
        else:
            started = time.monotonic()
            description = Generate(args, workdir)
            payload = AttachmentBytes(description)
            nsf = BuildDatabase(args, description, workdir)
            print("mailbox of %d documents generated in %.1f s" % (args.n, time.monotonic() - started))
        machine = Machine()
        seconds, stats, work, pst, summary = Convert(args, nsf, workdir)
        counts = CountRunLog(work)
        result = Report(args, seconds, stats, counts, os.path.getsize(pst), summary, machine)
        if payload is not None:
            result["attachmentMB"] = round(payload / 1e6, 1)
            result["attachmentMBPerSecond"] = round(Rate(payload / 1e6, seconds), 1)
        if not args.no_yardsticks:
            result["yardsticks"] = Yardsticks(pst, workdir)
        PrintReport(result)
        if args.json:
            with open(args.json, "w") as f:
                json.dump(result, f, indent=2)
        if work and not args.keep:
            shutil.rmtree(work, ignore_errors=True)
        elif work:
            print("work directory: " + work)
    finally:
        if not args.keep and not args.work:
            shutil.rmtree(workdir, ignore_errors=True)
        elif args.keep:
            print("mailbox and PST kept in " + workdir)


if __name__ == "__main__":
    main()
