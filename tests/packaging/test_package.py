"""The Debian package built by CPack from the build tree: it holds the five
programs, the manual pages, the desktop entry and the sample; Depends names
the package of every library the programs link; and the programs unpacked
from it (no build tree, no LD_LIBRARY_PATH) print their version and convert
the sample mailbox into the same PST as the programs of the build tree."""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

BIN = os.environ.get("NSF2PST_BINARY_DIR", "build")
VERSION = os.environ.get("NSF2PST_VERSION", "")
CPACK = os.environ.get("NSF2PST_CPACK") or shutil.which("cpack") or "cpack"
PROGRAMS = ["nsf2pst", "nsfviewer", "nsfsaver", "nsfdb", "pstbuild"]
SAMPLE = "usr/share/nsf2pst/samples/mailbox.nsf"
WINDOW_MODULE = "usr/lib/nsf2pst/libnsf2pst-wxui.so"
EXPECTED_FILES = [f"usr/bin/{p}" for p in PROGRAMS] + [
    "usr/share/man/man1/nsf2pst.1.gz",
    "usr/share/man/man1/nsfdb.1.gz",
    "usr/share/applications/nsf2pst.desktop",
    "usr/share/icons/hicolor/scalable/apps/nsf2pst.svg",
    "usr/share/mime/packages/nsf2pst.xml",
    "usr/share/doc/nsf2pst/README.md",
    "usr/share/doc/nsf2pst/examples/mailbox/mailbox.json",
    SAMPLE,
    WINDOW_MODULE,
]


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=600, **kw)


def clean_env(tmp):
    """An environment that leads nowhere near the build tree, without a display."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("NSF2PST_") and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update({"NSF2PST_HEADLESS": "1", "TMPDIR": tmp, "PATH": "/usr/bin:/bin"})
    return env


def needed_libraries(program):
    """The shared libraries an ELF program names as NEEDED."""
    out = run(["objdump", "-p", program]).stdout
    return re.findall(r"^\s*NEEDED\s+(\S+)", out, re.M)


def owning_package(library, program):
    """The Debian package of the file the dynamic linker takes for library."""
    resolved = re.search(rf"^\s*{re.escape(library)} => (\S+)", run(["ldd", program]).stdout, re.M)
    if not resolved:
        return None
    path = resolved.group(1)
    # With merged /usr the linker's path and dpkg's may differ by the /usr prefix.
    for candidate in (path, os.path.realpath(path), re.sub(r"^/usr", "", path), "/usr" + path):
        r = run(["dpkg", "-S", candidate])
        if r.returncode == 0:
            return r.stdout.split(":")[0].strip()
    return None


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        out = os.path.join(cls.tmp.name, "deb")
        r = run([CPACK, "-G", "DEB", "-B", out], cwd=BIN)
        if r.returncode != 0:
            raise AssertionError("cpack failed:\n" + r.stdout + r.stderr)
        debs = [n for n in os.listdir(out) if n.endswith(".deb")]
        if len(debs) != 1:
            raise AssertionError(f"cpack made {debs}")
        cls.deb = os.path.join(out, debs[0])
        cls.root = os.path.join(cls.tmp.name, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.strip()

    def test_name_version_and_architecture(self):
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(os.path.basename(self.deb), f"nsf2pst_{VERSION}_{arch}.deb")
        self.assertEqual(
            (self.field("Package"), self.field("Version"), self.field("Architecture")), ("nsf2pst", VERSION, arch))

    def test_file_list(self):
        listing = run(["dpkg-deb", "-c", self.deb]).stdout
        entries = {}
        for line in listing.splitlines():
            mode, *_, path = line.split()
            entries[path.removeprefix("./")] = mode
        for path in EXPECTED_FILES:
            with self.subTest(path=path):
                self.assertIn(path, entries)
        for p in PROGRAMS:
            self.assertEqual(entries[f"usr/bin/{p}"], "-rwxr-xr-x", p)
        # Nothing from the build or source tree leaks into the package.
        self.assertFalse([p for p in entries if "/work/" in p or "CMakeFiles" in p])

    def test_depends_names_the_package_of_every_linked_library(self):
        depends = {re.split(r"[\s(]", d.strip())[0] for d in self.field("Depends").split(",") if d.strip()}
        for name in ("libicu", "libsqlite3-0", "libgmime-3.0-0", "libwxgtk3.2-1", "libc6", "libstdc++6"):
            with self.subTest(expected=name):
                self.assertTrue(any(d.startswith(name) for d in depends), f"{name} not in {sorted(depends)}")
        for program in PROGRAMS:
            path = os.path.join(self.root, "usr/bin", program)
            for library in needed_libraries(path):
                package = owning_package(library, path)
                with self.subTest(program=program, library=library):
                    self.assertIsNotNone(package, f"no Debian package holds {library}")
                    self.assertIn(package.split(":")[0], depends)

    def test_manual_pages_render_without_warnings(self):
        if not shutil.which("man"):
            self.skipTest("man is not installed")
        for page in ("nsf2pst", "nsfdb"):
            path = os.path.join(self.root, f"usr/share/man/man1/{page}.1.gz")
            r = run(["man", "--warnings", "-l", path], env=dict(os.environ, MANWIDTH="80"))
            text = re.sub(r".\x08", "", r.stdout)  # without the overstrikes of bold and underline
            with self.subTest(page=page):
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stderr, "")
                self.assertIn(f"nsf2pst {VERSION}", text)
                self.assertIn("--version", text)

    def test_desktop_entry(self):
        path = os.path.join(self.root, "usr/share/applications/nsf2pst.desktop")
        with open(path) as f:
            entry = dict(line.strip().split("=", 1) for line in f if "=" in line)
        self.assertEqual(entry["Exec"].split()[:2], ["nsf2pst", "--gui"])
        self.assertTrue(os.path.exists(os.path.join(self.root, "usr/bin", entry["Exec"].split()[0])))
        self.assertTrue(os.path.exists(os.path.join(self.root, f"usr/share/icons/hicolor/scalable/apps/{entry['Icon']}.svg")))
        if not shutil.which("desktop-file-validate"):
            self.skipTest("desktop-file-validate is not installed (desktop-file-utils)")
        r = run(["desktop-file-validate", path])
        self.assertEqual((r.returncode, r.stdout + r.stderr), (0, ""))

    def test_every_program_prints_its_version_and_lists_the_option(self):
        env = clean_env(self.tmp.name)
        for program in PROGRAMS:
            path = os.path.join(self.root, "usr/bin", program)
            with self.subTest(program=program):
                r = run([path, "--version"], env=env)
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, f"{program} {VERSION}\n", ""))
                r = run([path, "--help"], env=env)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertIn("--version", r.stdout)

    def test_unpacked_programs_convert_the_sample_like_the_build_tree(self):
        import pst_items

        # A copy of the unpacked tree whose nsfviewer and nsfsaver leave a
        # mark when nsf2pst starts them, so that a fall back to the build
        # tree's programs shows.
        root = os.path.join(self.tmp.name, "marked")
        shutil.copytree(self.root, root, symlinks=True)
        bindir = os.path.join(root, "usr/bin")
        marks = os.path.join(self.tmp.name, "marks")
        os.mkdir(marks)
        for helper in ("nsfviewer", "nsfsaver"):
            real = os.path.join(bindir, helper + ".real")
            os.rename(os.path.join(bindir, helper), real)
            wrapper = os.path.join(bindir, helper)
            with open(wrapper, "w") as f:
                f.write(f'#!/bin/sh\ntouch "{marks}/{helper}"\nexec "{real}" "$@"\n')
            os.chmod(wrapper, stat.S_IRWXU)

        env = clean_env(self.tmp.name)
        installed_out = os.path.join(self.tmp.name, "installed")
        built_out = os.path.join(self.tmp.name, "built")
        os.mkdir(installed_out)
        os.mkdir(built_out)
        sample = os.path.join(root, SAMPLE)
        r = run([os.path.join(bindir, "nsf2pst"), "--quiet", sample, installed_out], env=env)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(sorted(os.listdir(marks)), ["nsfsaver", "nsfviewer"])
        r = run([os.path.join(BIN, "launcher", "nsf2pst"), "--quiet", sample, built_out], env=env)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        installed = pst_items.items(os.path.join(installed_out, "mailbox.pst"))
        self.assertTrue(installed)
        self.assertEqual(installed, pst_items.items(os.path.join(built_out, "mailbox.pst")))

        # The installed description builds with the installed nsfdb: every
        # image and attachment file it names is in the package.
        description = os.path.join(root, "usr/share/doc/nsf2pst/examples/mailbox/mailbox.json")
        r = run([os.path.join(bindir, "nsfdb"), "build", description, os.path.join(self.tmp.name, "again.nsf")], env=env)
        self.assertEqual(r.returncode, 0, r.stderr)


if __name__ == "__main__":
    if not shutil.which("dpkg-deb"):
        print("skipped: dpkg-deb is not installed (package dpkg)")
        sys.exit(77)
    unittest.main()
