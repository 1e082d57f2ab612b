"""The installed program: desktop metadata, `make install` into a DESTDIR and the .deb.

Each installed binary is started in a private session where it must find its
ringtones beside its own bin/ (not the build tree's) and show its tray icon;
it is built without test hooks, so it is found and clicked on screen.
"""

import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

from harness import Session, wait_until

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("PENDRA_BUILD_DIR") or os.path.join(SOURCE, "build")
DESKTOP = os.path.join(SOURCE, "data", "pendra.desktop")
METAINFO = os.path.join(SOURCE, "data", "io.github.zentho.Pendra.metainfo.xml")
RINGTONES = sorted(f[:-4] for f in os.listdir(os.path.join(SOURCE, "resources", "ringtones"))
                   if f.endswith(".m4r"))
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def run(cmd, **kw):
    r = subprocess.run(cmd, capture_output=True, text=True, timeout=kw.pop("timeout", 300), **kw)
    if r.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(cmd), r.returncode, r.stdout,
                                                       r.stderr))
    return r.stdout + r.stderr


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                k, v = line.rstrip("\n").split("=", 1)
                entry[k] = v
    return entry


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG"
    return struct.unpack(">II", head[16:24])


class Metadata(unittest.TestCase):
    def test_desktop_entry_is_valid_and_matches_the_notification_hint(self):
        run(["desktop-file-validate", DESKTOP])
        entry = desktop_entry(DESKTOP)
        self.assertEqual(entry["Exec"], "pendra")
        self.assertEqual(entry["Icon"], "pendra")
        self.assertEqual(entry["Categories"], "Utility;Clock;")
        self.assertEqual(entry["StartupNotify"], "false")
        self.assertEqual(entry["X-GNOME-UsesNotifications"], "true")
        # Servers find the sender's name and icon through the desktop-entry
        # hint and the application's desktop file name: both must name this file.
        sources = ""
        for rel in ("src/platform/FreedesktopPresenter.cpp", "src/main.cpp"):
            with open(os.path.join(SOURCE, rel), encoding="utf-8") as f:
                sources += f.read()
        hints = re.findall(r'"desktop-entry"\)\s*,\s*QStringLiteral\("([^"]+)"\)', sources)
        names = re.findall(r'setDesktopFileName\(QStringLiteral\("([^"]+)"\)\)', sources)
        self.assertTrue(hints and names, "no desktop-entry hint or desktop file name found")
        for name in hints + names:
            self.assertEqual(name + ".desktop", os.path.basename(DESKTOP))

    def test_metainfo_is_valid_and_launches_the_desktop_entry(self):
        run(["appstreamcli", "validate", "--no-net", METAINFO])
        with open(METAINFO, encoding="utf-8") as f:
            text = f.read()
        cid = re.search(r"<id>([^<]+)</id>", text).group(1)
        self.assertEqual(cid + ".metainfo.xml", os.path.basename(METAINFO))
        self.assertIn('<launchable type="desktop-id">pendra.desktop</launchable>', text)

    def test_committed_icons_have_the_size_of_their_folder(self):
        for size in ICON_SIZES:
            path = os.path.join(SOURCE, "resources", "icons", "hicolor", "%dx%d" % (size, size),
                                "pendra.png")
            self.assertEqual(png_size(path), (size, size), path)


class Installed(unittest.TestCase):
    """Starts installed binaries; the build tree is out of their reach."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="pendra-install-")
        self.addCleanup(shutil.rmtree, self.scratch, True)

    def assert_layout(self, prefix):
        share = os.path.join(prefix, "share")
        self.assertTrue(os.access(os.path.join(prefix, "bin", "pendra"), os.X_OK))
        self.assertTrue(os.path.isfile(os.path.join(prefix, "lib", "pendra", "pendra-audio.so")))
        tones = sorted(f[:-4] for f in os.listdir(os.path.join(share, "pendra", "ringtones")))
        self.assertEqual(tones, RINGTONES)
        desktop = os.path.join(share, "applications", "pendra.desktop")
        run(["desktop-file-validate", desktop])
        run(["appstreamcli", "validate", "--no-net",
             os.path.join(share, "metainfo", "io.github.zentho.Pendra.metainfo.xml")])
        icons = os.path.join(share, "icons", "hicolor")
        icon = desktop_entry(desktop)["Icon"]
        self.assertTrue(os.path.isfile(os.path.join(icons, "scalable", "apps", icon + ".svg")))
        for size in ICON_SIZES:
            png = os.path.join(icons, "%dx%d" % (size, size), "apps", icon + ".png")
            self.assertEqual(png_size(png), (size, size), png)

    def start_and_open(self, binary, name):
        """Starts binary, opens its popover from the tray; returns the finished app.

        Installed binaries have no test hooks: the icon is found on screen.
        By the time the popover is shown every panel has loaded, the timer's
        ringtone pop-up with them."""
        with Session(name, sound=False, notifications=False) as s:
            app = s.start_pendra(binary=binary)
            icon = s.find_icon(timeout=20)
            self.assert_icon_drawn(s, icon)
            s.click(*icon.center)
            app.wait_for_line(r"^24 hour time: ", timeout=15)
            s.screenshot("popover")
            app.terminate()
            self.assertEqual(app.wait(15), 0)
            return app

    def assert_icon_drawn(self, session, icon):
        # An icon that failed to load leaves the tray slot one flat colour.
        def colours():
            crop = "%dx%d+%d+%d" % (icon.w, icon.h, icon.x, icon.y)
            raw = subprocess.run(
                ["import", "-window", "root", "-crop", crop, "-depth", "8", "ppm:-"],
                env=session.env, capture_output=True, timeout=30).stdout
            parts = raw.split(maxsplit=4)
            if len(parts) < 5 or parts[0] != b"P6":
                return None
            pixels = parts[4]
            found = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3)}
            return found if len(found) >= 3 else None
        wait_until(colours, 15, what="a drawn tray icon")

    def assert_finds_its_ringtones(self, binary, name):
        app = self.start_and_open(binary, name)
        self.assertFalse(app.has_line(r"^Error reading ringtones"), app.lines[-20:])
        # Built without test hooks: deaf to the harness's switch, no command words.
        self.assertEqual(app.blocks, [])
        with open(binary, "rb") as f:
            image = f.read()
        # The switches are Latin-1, the command words UTF-16 (QStringLiteral).
        for word in ("PENDRA_TEST_INTROSPECT".encode(), "introspect-begin".encode("utf-16-le"),
                     "clicked-at".encode("utf-16-le")):
            self.assertNotIn(word, image)

    def test_make_install_into_a_destdir(self):
        root = os.path.join(self.scratch, "root")
        # Any prefix works: the binary looks for its data relative to itself.
        run(["make", "-C", SOURCE, "install", "BUILD=" + BUILD, "PREFIX=/opt/pendra",
             "DESTDIR=" + root], timeout=1500)
        prefix = os.path.join(root, "opt", "pendra")
        self.assert_layout(prefix)
        self.assert_finds_its_ringtones(os.path.join(prefix, "bin", "pendra"), self.id())

    def test_deb_unpacked_into_a_scratch_root(self):
        run(["make", "-C", SOURCE, "package", "BUILD=" + BUILD], timeout=1500)
        out = BUILD + "-dist"
        debs = [f for f in os.listdir(out) if f.startswith("pendra_") and f.endswith(".deb")]
        self.assertEqual(len(debs), 1, debs)
        deb = os.path.join(out, debs[0])
        depends = run(["dpkg-deb", "-f", deb, "Depends"]).strip()
        names = [alt.split()[0] for dep in depends.split(",") for alt in dep.split("|")]
        for needed in ("libqt6widgets6", "libqt6dbus6", "libqt6multimedia6", "libglib2.0-0",
                       "gstreamer1.0-plugins-good"):
            self.assertIn(needed, names)
        # Every first choice is a Debian package that this machine has installed.
        for dep in depends.split(","):
            first = dep.split("|")[0].split()[0]
            run(["dpkg-query", "-W", first])
        root = os.path.join(self.scratch, "root")
        run(["dpkg", "-x", deb, root])
        self.assert_layout(os.path.join(root, "usr"))
        self.assert_finds_its_ringtones(os.path.join(root, "usr", "bin", "pendra"), self.id())

    def test_a_binary_without_its_share_folder_reports_it(self):
        # The same check against a binary that cannot find its ringtones.
        bindir = os.path.join(self.scratch, "lonely", "bin")
        os.makedirs(bindir)
        binary = os.path.join(bindir, "pendra")
        shutil.copy2(os.path.join(BUILD, "bin", "pendra"), binary)
        app = self.start_and_open(binary, self.id())
        self.assertTrue(app.has_line(r"^Error reading ringtones: .*lonely/share/pendra/ringtones"),
                        app.lines[-20:])


if __name__ == "__main__":
    unittest.main()
