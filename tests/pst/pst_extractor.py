"""Reads a PST with pst-extractor, an independent PST reader from the npm
registry that the build installs into BUILD/pst-extractor (see
pst-extractor/install.sh), through pst-extractor/walk.js.

walk(pst) returns (result, None) with result = {"folders": {path: folder},
"messages": [message, ...], "end": {...}}, or (None, reason) when the reader
failed on the file; unavailable() says why pst-extractor cannot be used
here, or None. Run as a program it prints the status and exits 77 when
pst-extractor is unavailable (the tests' "skipped").
"""
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
WALKER = os.path.join(HERE, "pst-extractor", "walk.js")


def install_dir():
    if os.environ.get("NSF2PST_PST_EXTRACTOR"):
        return os.environ["NSF2PST_PST_EXTRACTOR"]
    return os.path.join(os.environ.get("NSF2PST_BINARY_DIR", "build"), "pst-extractor")


def unavailable():
    """None when pst-extractor can be used, else the reason."""
    status = os.path.join(install_dir(), "status.txt")
    try:
        with open(status, encoding="utf-8") as f:
            text = f.read().strip()
    except OSError:
        return "not installed: %s is missing (build the target pst_extractor)" % status
    if text != "ok":
        return text + " (remove %s and build again to retry)" % status
    return None


def walk(pst, timeout=3600):
    env = dict(os.environ, NODE_PATH=os.path.join(install_dir(), "node_modules"))
    try:
        p = subprocess.run(["node", WALKER, pst], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, "timed out after %d s" % timeout
    # pst-extractor prints some of its complaints to stdout: they are kept
    # as warnings, the walker's own lines are JSON objects.
    result = {"folders": {}, "messages": [], "end": None, "warnings": []}
    for line in p.stdout.decode("utf-8", "replace").splitlines():
        if not line.startswith("{"):
            result["warnings"].append(line)
            continue
        try:
            record = json.loads(line)
        except ValueError:
            return None, "unreadable output line %r" % line[:200]
        if "error" in record:
            return None, record["error"].splitlines()[0] if record["error"] else "error"
        if "message" in record:
            result["messages"].append(record["message"])
        elif "folder" in record:
            result["folders"][record["folder"]["path"]] = record["folder"]
        elif "end" in record:
            result["end"] = record["end"]
    if p.returncode != 0 or result["end"] is None:
        return None, "rc=%d %s" % (p.returncode, p.stderr.decode("utf-8", "replace").strip()[:500])
    return result, None


if __name__ == "__main__":
    reason = unavailable()
    if reason:
        print("pst-extractor is unavailable, its checks are skipped: " + reason)
        sys.exit(77)
    print("pst-extractor is installed in " + install_dir())
