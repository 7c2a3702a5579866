"""Where the end-to-end tests find the programs and the sample: the build and
source trees come from NSF2PST_BINARY_DIR and NSF2PST_SOURCE_DIR."""
import os

BIN = os.environ.get("NSF2PST_BINARY_DIR", "build")
SRC = os.environ.get("NSF2PST_SOURCE_DIR", ".")
NSF2PST = os.path.join(BIN, "launcher", "nsf2pst")
NSFDB = os.path.join(BIN, "tools", "nsfdb", "nsfdb")
SAMPLE = os.path.join(SRC, "samples", "mailbox", "mailbox.json")
MAILGEN = os.path.join(SRC, "tools", "mailgen", "mailgen.py")
