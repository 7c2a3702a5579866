#!/usr/bin/env python3
"""Kill soak: converts a Notes database once undisturbed, then again and
again while worker processes are killed (SIGKILL) at random moments, and
checks that every PST holds the same items as the undisturbed one: none
lost and none twice (items compared by folder, message class and subject,
counted, read with libpff).

    python3 bench/killsoak/killsoak.py --database MAILBOX.nsf --rounds 4 --kills 10

It prints one line per round and exits with 1 when a round lost or
duplicated an item or failed."""
import argparse
import collections
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import pst_items  # noqa: E402


def Convert(nsf2pst, database, out, kills, seed):
    """Runs one conversion; kills up to `kills` workers. Returns (exit code,
    standard error, workers killed)."""
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ, NSF2PST_HEADLESS="1")
    p = subprocess.Popen([nsf2pst, "--overwrite", "--quiet", database, out], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    rng, killed = random.Random(seed), 0
    while kills and p.poll() is None and killed < kills:
        time.sleep(rng.uniform(0.05, 0.9))
        workers = subprocess.run(["pgrep", "-P", str(p.pid), "nsfsaver"], capture_output=True, text=True).stdout.split()
        if not workers:
            continue
        try:
            os.kill(int(workers[0]), signal.SIGKILL)
            killed += 1
        except ProcessLookupError:
            pass
    _, err = p.communicate()
    return p.returncode, err, killed


def Items(pst):
    return collections.Counter(pst_items.items(pst))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--database", required=True, help="the Notes database to convert")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build directory with the programs")
    parser.add_argument("--rounds", type=int, default=4, help="conversions with kills (4)")
    parser.add_argument("--kills", type=int, default=10, help="workers killed per conversion at most (10)")
    args = parser.parse_args()
    nsf2pst = os.path.join(args.build, "launcher", "nsf2pst")
    failed = False
    with tempfile.TemporaryDirectory(prefix="killsoak-") as work:
        code, err, _ = Convert(nsf2pst, args.database, os.path.join(work, "plain"), 0, 0)
        if code != 0:
            sys.exit("the undisturbed conversion failed: " + err[-2000:])
        plain = Items(os.path.join(work, "plain", "mailbox.pst"))
        print("undisturbed: %d items" % sum(plain.values()))
        for r in range(args.rounds):
            out = os.path.join(work, "round%d" % r)
            code, err, killed = Convert(nsf2pst, args.database, out, args.kills, r)
            got = Items(os.path.join(out, "mailbox.pst")) if code == 0 else collections.Counter()
            lost, twice = plain - got, got - plain
            print("round %d: exit %d, %d workers killed, %d items, %d lost, %d extra" %
                  (r, code, killed, sum(got.values()), sum(lost.values()), sum(twice.values())))
            if code != 0 or lost or twice:
                failed = True
                for what, items in (("lost", lost), ("extra", twice)):
                    for item in list(items)[:5]:
                        print("  %s: %s" % (what, item))
                print(err[-2000:])
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
