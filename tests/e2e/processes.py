"""Processes of the programs under test, found by their command lines, and
waiting for a condition."""
import os
import time


def live_processes_naming(*texts):
    """PIDs of the processes (zombies left out) whose command line holds every text."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read()
            with open(f"/proc/{pid}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            continue
        if all(t.encode() in cmdline for t in texts) and state != "Z":
            found.append(int(pid))
    return found


def wait_for(condition, seconds, step=0.02):
    """Polls condition() until it holds or the time is up; its last answer."""
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return True
        time.sleep(step)
    return condition()
