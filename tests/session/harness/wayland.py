"""Wayland desktops: headless sway with waybar and mako, and GNOME Shell."""

import glob
import json
import os
import pwd
import shutil
import socket
import struct
import subprocess
import time
from itertools import count

from .core import Session, Widget, _icon_bounds, wait_until, write


class _VirtualPointer:
    """A pointer made through the wlr-virtual-pointer protocol, spoken over
    the compositor's Wayland socket: clicks for a Wayland session."""

    def __init__(self, socket_path, extent):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(socket_path)
        self.extent, self.buffer, self.ids = extent, b"", count(2)
        registry = next(self.ids)
        self._send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        globals_ = {}
        for obj, opcode, body in self._roundtrip():
            if obj == registry and opcode == 0:
                name, length = struct.unpack_from("<II", body)
                globals_[body[8:8 + length - 1].decode()] = name
        seat = self._bind(registry, globals_["wl_seat"], "wl_seat", 1)
        manager = self._bind(registry, globals_["zwlr_virtual_pointer_manager_v1"],
                             "zwlr_virtual_pointer_manager_v1", 1)
        self.pointer = next(self.ids)
        self._send(manager, 0, struct.pack("<II", seat, self.pointer))
        self._roundtrip()

    def close(self):
        self.sock.close()

    def _send(self, obj, opcode, body=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(body)) << 16 | opcode) + body)

    def _bind(self, registry, name, interface, version):
        new = next(self.ids)
        text = interface.encode().ljust((len(interface) + 4) // 4 * 4, b"\0")
        self._send(registry, 0, struct.pack("<II", name, len(interface) + 1) + text +
                   struct.pack("<II", version, new))
        return new

    def _roundtrip(self):
        """Every event up to the compositor's answer to a wl_display.sync."""
        callback = next(self.ids)
        self._send(1, 0, struct.pack("<I", callback))
        events = []
        while True:
            while len(self.buffer) < 8 or len(self.buffer) < (
                    struct.unpack_from("<I", self.buffer, 4)[0] >> 16):
                chunk = self.sock.recv(65536)
                if not chunk:
                    raise RuntimeError("the compositor closed the connection")
                self.buffer += chunk
            obj, word = struct.unpack_from("<II", self.buffer)
            size = word >> 16
            body, self.buffer = self.buffer[8:size], self.buffer[size:]
            if obj == 1 and (word & 0xffff) == 0:
                raise RuntimeError("Wayland protocol error: %r" % body)
            if obj == callback:
                return events
            events.append((obj, word & 0xffff, body))

    def click(self, x, y):
        t = int(time.monotonic() * 1000) & 0xffffffff
        w, h = self.extent
        self._send(self.pointer, 1, struct.pack("<IIIII", t, x, y, w, h))  # motion_absolute
        self._send(self.pointer, 4, struct.pack("<I", t))  # frame
        self._roundtrip()
        time.sleep(0.05)
        for state in (1, 0):
            self._send(self.pointer, 2, struct.pack("<III", t, 0x110, state))  # BTN_LEFT
            self._send(self.pointer, 4, struct.pack("<I", t))
            self._roundtrip()


class WaylandSession(Session):
    """Headless sway, waybar's tray and mako. sway refuses to run as root: as root,
    every process of the session runs as SESSION_USER (tools/install-deps.sh)."""

    SESSION_USER = "pendra-session"
    DEFAULT_TRAY = "waybar"

    @classmethod
    def unavailable(cls):
        """Why the session's user cannot run the program here, or None. (A
        missing package is a failure: tools/install-deps.sh installs them.)"""
        try:
            as_user = cls._as_user()
        except KeyError:
            return "no user %s to run sway as (tools/install-deps.sh makes it)" % cls.SESSION_USER
        binary = cls("probe").binary
        if as_user and subprocess.run(["test", "-x", binary], **as_user).returncode != 0:
            return "%s cannot run %s (a folder on its way is closed to it)" % (
                cls.SESSION_USER, binary)
        return None

    @classmethod
    def _as_user(cls):
        if os.geteuid() != 0:
            return {}
        entry = pwd.getpwnam(cls.SESSION_USER)
        return {"user": entry.pw_uid, "group": entry.pw_gid, "extra_groups": []}

    def start(self):
        self.user_kw = self._as_user()
        super().start()

    def _start_bus(self):
        self.env["QT_QPA_PLATFORM"] = "wayland"
        super()._start_bus()

    def _start_x(self):
        # A hidden pointer stays out of the screenshots that find things.
        cfg = write(self.path("sway.conf"), "output HEADLESS-1 resolution %dx%d position 0 0\n"
                    "default_border none\nseat * hide_cursor 100\n" % self.size)
        env = dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                   WLR_RENDERER="pixman")
        self._spawn("sway", ["sway", "-c", cfg], env=env)
        sockets = wait_until(lambda: glob.glob(self.path("runtime", "wayland-*[0-9]")), 20,
                             what="sway's Wayland socket")
        self.env["WAYLAND_DISPLAY"] = os.path.basename(sockets[0])
        self.pointer = _VirtualPointer(sockets[0], self.size)

    def _run_tray(self):
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "waybar")
        write(os.path.join(folder, "config"), json.dumps(
            {"layer": "top", "position": "bottom" if self.panel == "bottom" else "top",
             "height": self._PANEL_HEIGHT, "modules-right": ["tray"],
             "tray": {"icon-size": 20, "spacing": 4}}))
        write(os.path.join(folder, "style.css"), "* { border: none; border-radius: 0; "
              "min-height: 0; }\nwindow#waybar { background: #f0f0f0; }\n")
        self._spawn("tray", ["waybar"])

    def _tray_parts(self):
        return [self.bus.has_owner("org.kde.StatusNotifierWatcher")]

    def start_dunst(self):
        write(os.path.join(self.env["XDG_CONFIG_HOME"], "mako", "config"), "default-timeout=0\n")
        self._spawn("mako", ["mako"])
        self.wait_for_notifications()

    def click(self, x, y):
        self.pointer.click(x, y)

    def grab(self, x, y, w, h):
        ppm = subprocess.run(["grim", "-g", "%d,%d %dx%d" % (x, y, w, h), "-t", "ppm", "-"],
                             env=self.env, capture_output=True, timeout=30, **self.user_kw).stdout
        # P6 header: magic, width, height, maximum, then the RGB bytes.
        parts = ppm.split(b"\n", 3)
        return parts[3] if len(parts) == 4 else b""

    def screenshot(self, label):
        return write(self._shot_path(label), subprocess.run(
            ["grim", "-"], env=self.env, capture_output=True, timeout=30, **self.user_kw).stdout)

    def desktop_content(self):
        """The bounds of what is shown off the panel (the one window or
        layer surface there), read off the screen."""
        x0, y0, w, h = self.panel_strip()
        top = y0 + h if y0 == 0 else 0
        rest = self.size[1] - h
        time.sleep(0.3)  # for the pointer to hide
        return _icon_bounds(self.grab(0, top, self.size[0], rest), self.size[0], rest, 0, top)


class GnomeSession(WaylandSession):
    """GNOME Shell 43 headless on Wayland, with the AppIndicator extension as
    its tray and the shell's own notification server. There is no layer
    shell and no virtual pointer protocol: clicks, the icon's and windows'
    places and screenshots go through the shell's Eval (--unsafe-mode)."""

    EXTENSION, DEFAULT_TRAY = "ubuntu-appindicators@ubuntu.com", "gnome"
    ITEMS = ("Object.keys(Main.panel.statusArea).filter(k => k.startsWith('appindicator-'))"
             ".map(k => Main.panel.statusArea[k])")

    def _start_bus(self):
        super()._start_bus()
        # The shell's login manager needs a system bus; a private one will do.
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._run_bus("system_bus")

    def _gsettings(self, *args):
        subprocess.run(["gsettings", *args], env=self.env, capture_output=True, timeout=20,
                       check=True, **self.user_kw)

    def _start_x(self):
        self._gsettings("set", "org.gnome.shell", "enabled-extensions",
                        "['%s']" % self.EXTENSION if self.tray else "[]")
        self._gsettings("set", "org.gnome.desktop.notifications", "show-banners", "true")
        self._spawn("gnome-shell", ["gnome-shell", "--headless", "--wayland", "--unsafe-mode",
                                    "--virtual-monitor", "%dx%d" % self.size])
        wait_until(lambda: self.eval("Main.layoutManager._startingUp === false") == "true", 60,
                   interval=0.3, what="GNOME Shell")
        self.env["WAYLAND_DISPLAY"] = "wayland-0"
        # The desktop, not the overview it starts in; and a pointer that the
        # seat has taken in before the first click.
        self.eval("Main.overview.hide(), global._pendraPointer = imports.gi.Clutter"
                  ".get_default_backend().get_default_seat().create_virtual_device("
                  "imports.gi.Clutter.InputDeviceType.POINTER_DEVICE), 1")
        time.sleep(0.5)

    def eval(self, script):
        """The JSON text of a JavaScript expression's value in the shell, or None."""
        try:
            ok, value = self.bus.call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                                      "Eval", "s", script)
        except Exception:  # not on the bus yet
            return None
        return value if ok else None

    def _run_tray(self):
        self._gsettings("set", "org.gnome.shell", "enabled-extensions", "['%s']" % self.EXTENSION)

    def _stop_tray(self):
        self._gsettings("set", "org.gnome.shell", "enabled-extensions", "[]")

    def start_dunst(self):
        self.wait_for_notifications()

    def click(self, x, y):
        self.eval(
            "(() => { const d = global._pendraPointer;"
            " const t = GLib.get_monotonic_time();"
            " d.notify_absolute_motion(t, %d, %d); return 1; })()" % (x, y))
        time.sleep(0.05)
        for state in ("PRESSED", "RELEASED"):
            self.eval("global._pendraPointer.notify_button(GLib.get_monotonic_time(), 1,"
                      " imports.gi.Clutter.ButtonState.%s), 1" % state)

    def boxes(self, actors):
        """[x, y, w, h] of each actor that a JavaScript array expression lists."""
        out = self.eval("(%s).map(a => { const [x, y] = a.get_transformed_position();"
                        " const [w, h] = a.get_transformed_size(); return [x, y, w, h]; })" % actors)
        return [[int(round(v)) for v in box] for box in json.loads(out or "[]") if None not in box]

    def find_icon(self, timeout=10.0):
        def look():
            boxes = self.boxes(self.ITEMS + ".filter(a => a.visible && a.mapped)")
            if len(boxes) == 1 and boxes[0][2] > 0:  # one, laid out
                return Widget(*boxes[0], "icon", "tray-icon", "")
        return wait_until(look, timeout, interval=0.2, what="the icon in the top bar")

    def menu_item(self, label):
        """The bounds of the open tray menu's item with that label, or None."""
        boxes = self.boxes(self.ITEMS + ".map(a => a.menu).filter(m => m.isOpen)"
                           ".flatMap(m => m._getMenuItems())"
                           ".filter(i => i.label && i.label.text === %s)" % json.dumps(label))
        return Widget(*boxes[0], "menuitem", label, label) if boxes else None

    def window_rect(self, title):
        """Where mutter shows the window of that title: a Wayland client
        cannot know its own place."""
        out = self.eval("global.get_window_actors().map(a => a.meta_window)"
                        ".filter(w => w.get_title() === %s && w.showing_on_its_workspace())"
                        ".map(w => { const r = w.get_frame_rect();"
                        " return [r.x, r.y, r.width, r.height]; })" % json.dumps(title))
        boxes = json.loads(out or "[]")
        return Widget(*boxes[0], "window", title, title) if boxes else None

    def screenshot(self, label):
        out, own = self._shot_path(label), self.path("shot.png")
        self.bus.call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                      "org.gnome.Shell.Screenshot", "Screenshot", "bbs", False, False, own)
        if os.path.exists(own):
            shutil.move(own, out)
        return out
