"""The installed program (`make install` into a DESTDIR, the .deb) finds its
ringtones beside its own bin/ and shows its icon; without test hooks, it is
found and clicked on screen."""

import os
import shutil
import struct
import subprocess
import tempfile

from harness import SessionCase, wait_until

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("PENDRA_BUILD_DIR") or os.path.join(SOURCE, "build")
RINGTONES = sorted(f[:-4] for f in os.listdir(os.path.join(SOURCE, "resources", "ringtones"))
                   if f.endswith(".m4r"))


def run(cmd, **kw):
    kw.setdefault("timeout", 900)
    r = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(cmd), r.returncode, r.stdout,
                                                       r.stderr))
    return r.stdout


class Installed(SessionCase):
    session_options = {"sound": False, "notifications": False}

    def setUp(self):
        super().setUp()
        self.scratch = tempfile.mkdtemp(prefix="pendra-install-")
        self.addCleanup(shutil.rmtree, self.scratch, True)

    def assert_installed(self, prefix):
        """Its files in place, and the program finds its ringtones and shows its icon."""
        share, binary = os.path.join(prefix, "share"), os.path.join(prefix, "bin", "pendra")
        self.assertTrue(os.access(binary, os.X_OK))
        self.assertTrue(os.path.isfile(os.path.join(prefix, "lib", "pendra", "pendra-audio.so")))
        tones = sorted(f[:-4] for f in os.listdir(os.path.join(share, "pendra", "ringtones")))
        self.assertEqual(tones, RINGTONES)
        run(["desktop-file-validate", os.path.join(share, "applications", "pendra.desktop")])
        metainfo = os.path.join(share, "metainfo", "io.github.zentho.Pendra.metainfo.xml")
        run(["appstreamcli", "validate", "--no-net", metainfo])
        with open(metainfo, encoding="utf-8") as f:
            self.assertIn('<launchable type="desktop-id">pendra.desktop</launchable>', f.read())
        icons = os.path.join(share, "icons", "hicolor")
        self.assertTrue(os.path.isfile(os.path.join(icons, "scalable", "apps", "pendra.svg")))
        for size in (16, 22, 24, 32, 48, 64, 128, 256):
            png = os.path.join(icons, "%dx%d" % (size, size), "apps", "pendra.png")
            with open(png, "rb") as f:
                head = f.read(24)
            self.assertEqual((head[:8], struct.unpack(">II", head[16:24])),
                             (b"\x89PNG\r\n\x1a\n", (size, size)), png)
        app = self.start_and_open(binary)
        self.assertFalse(app.has_line(r"^Error reading ringtones"), app.lines[-20:])
        self.assertEqual(app.blocks, [])  # deaf to the harness's switch
        with open(binary, "rb") as f:
            image = f.read()
        # Built without test hooks: no switches (Latin-1), no command words (UTF-16).
        for word in ("PENDRA_TEST_INTROSPECT".encode(), "introspect-begin".encode("utf-16-le"),
                     "clicked-at".encode("utf-16-le")):
            self.assertNotIn(word, image)

    def start_and_open(self, binary):
        """The finished app, once its icon opened the popover (with every panel loaded)."""
        s = self.session
        app = s.start_pendra(binary=binary)
        icon = s.find_icon(timeout=20)
        # An icon that failed to load leaves the tray slot one flat colour.
        def drawn():
            rgb = s.grab(icon.x, icon.y, icon.w, icon.h)
            return len({rgb[i:i + 3] for i in range(0, len(rgb) - 2, 3)}) >= 3
        wait_until(drawn, 15, what="a drawn tray icon")
        s.click(*icon.center)
        app.wait_for_line(r"^24 hour time: ", timeout=15)
        s.screenshot("popover")
        self.assertEqual(app.stop(), 0)
        return app

    def test_make_install_into_a_destdir_then_the_binary_alone(self):
        root = os.path.join(self.scratch, "root")
        # Any prefix works: the binary looks for its data relative to itself.
        run(["make", "-C", SOURCE, "install", "BUILD=" + BUILD, "PREFIX=/opt/pendra",
             "DESTDIR=" + root], timeout=1500)
        self.assert_installed(os.path.join(root, "opt", "pendra"))
        # Without the share folder beside its bin/, it says where it looked.
        lonely = shutil.copytree(os.path.join(root, "opt", "pendra", "bin"),
                                 os.path.join(self.scratch, "lonely", "bin"))
        app = self.start_and_open(os.path.join(lonely, "pendra"))
        self.assertTrue(app.has_line(r"^Error reading ringtones: .*lonely/share/pendra/ringtones"),
                        app.lines[-20:])

    def test_deb_unpacked_into_a_scratch_root(self):
        run(["make", "-C", SOURCE, "package", "BUILD=" + BUILD], timeout=1500)
        out = BUILD + "-dist"
        debs = [f for f in os.listdir(out) if f.startswith("pendra_") and f.endswith(".deb")]
        self.assertEqual(len(debs), 1, debs)
        deb = os.path.join(out, debs[0])
        depends = run(["dpkg-deb", "-f", deb, "Depends"]).strip().split(",")
        names = [alt.split()[0] for dep in depends for alt in dep.split("|")]
        for needed in ("libqt6widgets6", "libqt6dbus6", "libqt6multimedia6", "libglib2.0-0",
                       "gstreamer1.0-plugins-good"):
            self.assertIn(needed, names)
        # Every first choice is a Debian package that this machine has installed.
        run(["dpkg-query", "-W", *(dep.split("|")[0].split()[0] for dep in depends)])
        root = os.path.join(self.scratch, "root")
        run(["dpkg", "-x", deb, root])
        self.assert_installed(os.path.join(root, "usr"))
