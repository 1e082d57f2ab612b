"""A private desktop session for tests of the real pendra binary.

Starts, in a fresh temporary home: a D-Bus session bus, Xvfb, openbox, a
system tray (tint2's XEmbed tray, or xfce4-panel's, which hosts
StatusNotifierItems too), dunst and PulseAudio whose only sink writes to a
file.
Everything started is stopped by process group at the end, also when a test
fails or the interpreter is interrupted.
"""

import atexit
import ctypes
import ctypes.util
import json
import math
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import audioop  # C speed for the sink's RMS; deprecated only from 3.13
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
import unittest

_LIVE_SESSIONS = []


def _cleanup_all():
    for s in list(_LIVE_SESSIONS):
        s.stop()


atexit.register(_cleanup_all)


def _on_signal(signum, _frame):
    _cleanup_all()
    raise SystemExit(128 + signum)


for _sig in (signal.SIGTERM, signal.SIGHUP):
    signal.signal(_sig, _on_signal)


def inside(inner, outer):
    """Whether widget or window `inner` lies wholly within `outer`."""
    return (inner.x >= outer.x and inner.y >= outer.y and inner.x + inner.w <= outer.x + outer.w
            and inner.y + inner.h <= outer.y + outer.h)


def libfaketime():
    for p in ("/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
              "/usr/lib/faketime/libfaketime.so.1"):
        if os.path.exists(p):
            return p
    out = subprocess.run(["dpkg", "-L", "libfaketime"], capture_output=True, text=True).stdout
    return next(l for l in out.split() if l.endswith("libfaketime.so.1"))


def record_case(case, outcome, **figures):
    """Keeps a reliability case's outcome for `make reliability`.

    Called by a test after its checks passed, so a record says what was seen.
    """
    build = os.environ.get("PENDRA_BUILD_DIR") or os.path.join(
        os.path.dirname(__file__), "..", "..", "build")
    folder = os.path.join(build, "reliability")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, case + ".json"), "w", encoding="utf-8") as f:
        json.dump({"case": case, "outcome": outcome, "figures": figures,
                   "when": time.strftime("%Y-%m-%d %H:%M:%S")}, f)


def wait_until(pred, timeout=10.0, interval=0.05, what="condition"):
    """Polls pred until it returns a true value; returns it, or raises."""
    deadline = time.monotonic() + timeout
    while True:
        value = pred()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(interval)


class _X11:
    """Just enough Xlib (through ctypes) to ask who owns a selection."""

    def __init__(self, display):
        name = ctypes.util.find_library("X11") or "libX11.so.6"
        self.lib = ctypes.CDLL(name)
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XInternAtom.restype = ctypes.c_ulong
        self.lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.lib.XGetSelectionOwner.restype = ctypes.c_ulong
        self.lib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.lib.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)

    def selection_owner(self, selection):
        atom = self.lib.XInternAtom(self.dpy, selection.encode(), 0)
        return self.lib.XGetSelectionOwner(self.dpy, atom)

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None


class _VirtualPointer:
    """A pointer made through the wlr-virtual-pointer protocol, spoken over
    the compositor's Wayland socket: clicks for a Wayland session."""

    BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}  # evdev BTN_LEFT, BTN_MIDDLE, BTN_RIGHT

    def __init__(self, socket_path, extent):
        import socket
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(socket_path)
        self.extent = extent
        self.next_id = 2
        self.buffer = b""
        registry = self._new_id()
        self._send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        globals_ = {}
        for obj, opcode, body in self._roundtrip():
            if obj == registry and opcode == 0:
                name, = struct.unpack_from("<I", body)
                length, = struct.unpack_from("<I", body, 4)
                globals_[body[8:8 + length - 1].decode()] = name
        if "zwlr_virtual_pointer_manager_v1" not in globals_:
            raise RuntimeError("the compositor offers no virtual pointer")
        seat = self._bind(registry, globals_["wl_seat"], "wl_seat", 1)
        manager = self._bind(registry, globals_["zwlr_virtual_pointer_manager_v1"],
                             "zwlr_virtual_pointer_manager_v1", 1)
        self.pointer = self._new_id()
        self._send(manager, 0, struct.pack("<II", seat, self.pointer))
        self._roundtrip()

    def _new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def _send(self, obj, opcode, body=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(body)) << 16 | opcode) + body)

    def _bind(self, registry, name, interface, version):
        new = self._new_id()
        text = interface.encode() + b"\0"
        text += b"\0" * (-len(text) % 4)
        self._send(registry, 0, struct.pack("<II", name, len(interface) + 1) + text +
                   struct.pack("<II", version, new))
        return new

    def _roundtrip(self):
        """Every event up to the compositor's answer to a wl_display.sync."""
        callback = self._new_id()
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

    def click(self, x, y, button=1):
        t = int(time.monotonic() * 1000) & 0xffffffff
        w, h = self.extent
        self._send(self.pointer, 1, struct.pack("<IIIII", t, x, y, w, h))  # motion_absolute
        self._send(self.pointer, 4, struct.pack("<I", t))  # frame
        self._roundtrip()
        time.sleep(0.05)
        for state in (1, 0):
            self._send(self.pointer, 2, struct.pack("<III", t, self.BUTTONS[button], state))
            self._send(self.pointer, 4, struct.pack("<I", t))
            self._roundtrip()

    def close(self):
        self.sock.close()


class Widget:
    def __init__(self, x, y, w, h, kind, name, text):
        self.x, self.y, self.w, self.h = x, y, w, h
        self.kind, self.name, self.text = kind, name, text

    @property
    def center(self):
        return (self.x + self.w // 2, self.y + self.h // 2)

    @property
    def enabled(self):
        return not self.kind.endswith("-disabled")

    @property
    def checked(self):
        return self.kind.startswith("checked")

    def __repr__(self):
        return "Widget(%s %r %r @%d,%d %dx%d)" % (
            self.kind, self.name, self.text, self.x, self.y, self.w, self.h)


class Pendra:
    """The real binary, with its standard output collected line by line."""

    def __init__(self, session, args=(), env=None, faketime=None, binary=None, stdin=False):
        self.session = session
        cmd = [binary or session.binary, *args]
        e = dict(session.env)
        e["PENDRA_TEST_INTROSPECT"] = "1"
        if faketime:
            # The library itself, not the faketime wrapper: the wrapper does
            # not pass SIGTERM on, and the program would outlive terminate().
            e.update({"LD_PRELOAD": libfaketime(), "FAKETIME": "@" + faketime})
        if env:
            for k, v in env.items():
                if v is None:
                    e.pop(k, None)
                else:
                    e[k] = v
        self.lines = []
        self.blocks = []  # each a (windows, widgets) pair, newest last
        self._cond = threading.Condition()
        self._current = None
        with open(session.path("pendra-stderr.log"), "ab") as err:
            session.own_files()
            self.proc = subprocess.Popen(
                cmd, env=e, stdout=subprocess.PIPE, stderr=err,
                stdin=subprocess.PIPE if stdin else subprocess.DEVNULL, start_new_session=True,
                **session.user_kw)
        session._children.append(self.proc)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        with open(self.session.path("pendra-stdout.log"), "a", encoding="utf-8") as log:
            self._read_into(log)
        with self._cond:
            self._cond.notify_all()

    def _read_into(self, log):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            log.write(line + "\n")
            log.flush()
            with self._cond:
                if line == "introspect-begin":
                    self._current = ([], [])
                elif line == "introspect-end" and self._current is not None:
                    self.blocks.append(self._current)
                    self._current = None
                elif self._current is not None and line.startswith(("window: ", "widget: ")):
                    self._current[0 if line.startswith("window") else 1].append(_parse(line))
                else:
                    self.lines.append(line)
                self._cond.notify_all()

    # Output

    def wait_for_line(self, pattern, timeout=15.0, start=0):
        """Waits for a trace line matching the regex; returns its match."""
        rx = re.compile(pattern)
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                for line in self.lines[start:]:
                    m = rx.search(line)
                    if m:
                        return m
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    raise TimeoutError("no line matching %r; got %r" % (pattern, self.lines[-20:]))
                self._cond.wait(min(left, 0.2))

    def has_line(self, pattern):
        rx = re.compile(pattern)
        with self._cond:
            return any(rx.search(line) for line in self.lines)

    # What is on screen

    def screen(self):
        with self._cond:
            return self.blocks[-1] if self.blocks else ([], [])

    def windows(self):
        return self.screen()[0]

    def window(self, name):
        for w in self.windows():
            if w.kind == name or w.name == name:
                return w
        return None

    def widget(self, name=None, text=None):
        for w in self.screen()[1]:
            if (name is None or w.name == name) and (text is None or w.text == text):
                return w
        return None

    def wait_widget(self, name=None, text=None, timeout=10.0, pred=None):
        def find():
            w = self.widget(name, text)
            return w if w and (pred is None or pred(w)) else None
        return wait_until(find, timeout, what="widget %r %r" % (name, text))

    def wait_window(self, name, timeout=10.0, present=True):
        if present:
            return wait_until(lambda: self.window(name), timeout, what="window " + name)
        return wait_until(lambda: self.window(name) is None, timeout, what="no window " + name)

    def tray_icon(self, timeout=10.0):
        # Before the tray embeds it, the icon's window stands at the origin.
        def embedded():
            w = self.window("QSystemTrayIconSys")
            return w if w and (w.x, w.y) != (0, 0) else None
        return wait_until(embedded, timeout, what="tray icon")

    def open_tab(self, label):
        """Clicks the tray icon and the tab titled `label`; returns the popover."""
        self.session.click(*self.tray_icon().center)
        pop = self.wait_window("popover")
        tab = self.wait_widget(text=label, pred=lambda w: w.kind.startswith("tab"))
        if tab.kind != "tab-current":
            self.session.click(*tab.center)
            self.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
        return pop

    def click(self, name=None, text=None, button=1, timeout=10.0):
        w = self.wait_widget(name, text, timeout)
        self.session.click(*w.center, button=button)
        return w

    # Process

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def wait(self, timeout=15.0):
        return self.proc.wait(timeout)

    def terminate(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)

    def alive(self):
        return self.proc.poll() is None


def _icon_bounds(rgb, w, h, x0, y0):
    """A Widget around the pixels that differ from the strip's commonest
    colour (its background), or None when there are none."""
    if len(rgb) < w * h * 3:
        return None
    counts = {}
    for i in range(0, len(rgb), 3 * 97):
        px = rgb[i:i + 3]
        counts[px] = counts.get(px, 0) + 1
    background = max(counts, key=counts.get)
    diff = [[sum(abs(a - b) for a, b in zip(rgb[(r * w + c) * 3:(r * w + c) * 3 + 3],
                                             background)) > 60 for c in range(w)]
            for r in range(h)]
    # Rows or columns mostly unlike the background are the panel's borders.
    rows = [r for r in range(h) if 0 < sum(diff[r]) < w // 2]
    cols = [c for c in range(w) if 0 < sum(diff[r][c] for r in range(h)) < h * 0.9]
    xs = [c for c in cols if any(diff[r][c] for r in rows)]
    ys = [r for r in rows if any(diff[r][c] for c in xs)]
    if not xs or not ys:
        return None
    return Widget(x0 + min(xs), y0 + min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1,
                  "icon", "tray-icon", "")


def _parse(line):
    kind_line, rest = line.split(": ", 1)
    parts = rest.split(" ", 6)
    while len(parts) < 7:
        parts.append("")
    x, y, w, h = (int(p) for p in parts[:4])
    if kind_line == "window":
        # window: x y w h objectName title...
        name = parts[4]
        title = " ".join(p for p in parts[5:] if p)
        return Widget(x, y, w, h, "window", name, title)
    return Widget(x, y, w, h, parts[4], parts[5], parts[6])


class Session:
    """A private desktop session. Use as a context manager."""

    # tray: True or "tint2" (XEmbed), "xfce" (StatusNotifierItem and XEmbed),
    # False for none.
    def __init__(self, name="session", panel="top", sound=True, notifications=True, tray=True,
                 width=1280, height=800):
        self.name = re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        self.panel = panel
        self.sound = sound
        self.notifications = notifications
        self.tray = "tint2" if tray is True else tray
        self.size = (width, height)
        self.binary = os.environ.get("PENDRA_BIN") or os.path.join(
            os.path.dirname(__file__), "..", "..", "build", "bin", "pendra")
        self.artifacts = os.path.join(
            os.environ.get("PENDRA_ARTIFACTS") or os.path.join(
                os.path.dirname(__file__), "..", "..", "build", "session-artifacts"), self.name)
        self._children = []
        self._services = {}
        self._x11 = None
        self.user_kw = {}  # Popen arguments that run a process as the session's user
        self.dir = None
        self.env = None
        self.started_in = None
        self._shot = 0

    # Lifecycle

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def start(self):
        t0 = time.monotonic()
        self.dir = tempfile.mkdtemp(prefix="pendra-session-")
        _LIVE_SESSIONS.append(self)
        home = self.path("home")
        runtime = self.path("runtime")
        for d in (home, runtime):
            os.makedirs(d)
        os.chmod(runtime, 0o700)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                            "PULSE_SERVER", "XAUTHORITY", "SESSION_MANAGER")}
        env.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "xcb",
            "NO_AT_BRIDGE": "1",
            "LANG": env.get("LANG", "C.UTF-8"),
        })
        for k in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            os.makedirs(env[k], exist_ok=True)
        self.env = env
        os.makedirs(self.artifacts, exist_ok=True)
        try:
            self._start_bus()
            self._start_x()
            self._start_wm()
            if self.tray:
                self.start_tray(self.tray)
            if self.notifications:
                self.start_dunst()
            if self.sound:
                self._start_pulse()
        except Exception:
            self.stop()
            raise
        self.started_in = time.monotonic() - t0

    def stop(self):
        if self in _LIVE_SESSIONS:
            _LIVE_SESSIONS.remove(self)
        # Xlib exits the process when its server goes away under it.
        if self._x11:
            self._x11.close()
            self._x11 = None
        for p in reversed(self._children):
            _kill(p)
        self._children.clear()
        self._services.clear()
        if self.dir and os.environ.get("PENDRA_KEEP_SESSION") != "1":
            shutil.rmtree(self.dir, ignore_errors=True)

    def _spawn(self, name, cmd, env=None, **kw):
        with open(self.path(name + ".log"), "ab") as log:
            p = subprocess.Popen(cmd, env=env or self.env, stdout=kw.pop("stdout", log),
                                 stderr=log, stdin=subprocess.DEVNULL, start_new_session=True,
                                 **self.user_kw, **kw)
        self._children.append(p)
        self._services[name] = p
        return p

    def own_files(self):
        """Hands what the harness wrote to the session's user, if it has one."""
        if "user" in self.user_kw:
            subprocess.run(["chown", "-R", "%d:%d" % (self.user_kw["user"], self.user_kw["group"]),
                            self.dir], check=True)

    def service(self, name):
        return self._services.get(name)

    def kill_service(self, name, sig=signal.SIGKILL):
        p = self._services.pop(name, None)
        if p is not None:
            _kill(p, sig)
            if p in self._children:
                self._children.remove(p)

    # Services

    def _fork_bus(self, socket):
        """A private dbus-daemon on runtime/socket; returns its address."""
        out = subprocess.run(
            ["dbus-daemon", "--session", "--fork", "--nosyslog",
             "--address=unix:path=" + self.path("runtime", socket),
             "--print-address=1", "--print-pid=1"],
            env=self.env, capture_output=True, text=True, timeout=20, check=True,
            **self.user_kw).stdout.split()
        self._children.append(_Pid(int(out[1])))
        return out[0]

    def _start_bus(self):
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._fork_bus("bus")

    def _start_x(self):
        r, w = os.pipe()
        with open(self.path("xvfb.log"), "ab") as log:
            p = subprocess.Popen(
                ["Xvfb", "-displayfd", str(w), "-noreset", "-nolisten", "tcp",
                 "-screen", "0", "%dx%dx24" % self.size],
                env=self.env, pass_fds=(w,), stdout=log, stderr=subprocess.STDOUT,
                start_new_session=True)
        os.close(w)
        self._children.append(p)
        self._services["xvfb"] = p
        data = b""
        deadline = time.monotonic() + 30
        while not data.endswith(b"\n"):
            if time.monotonic() > deadline or p.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(r, 16)
            if not chunk:
                break
            data += chunk
        os.close(r)
        self.display = ":" + data.decode().strip()
        self.env["DISPLAY"] = self.display
        self._x11 = _X11(self.display)

    def _start_wm(self):
        cfg = self.path("openbox")
        os.makedirs(cfg)
        self._spawn("openbox", ["openbox", "--sm-disable"])
        wait_until(lambda: self._x11.selection_owner("WM_S0"), 20, what="openbox")

    _PANEL_HEIGHT = 30

    def start_tray(self, kind="tint2"):
        """Starts a tray host (also after Pendra, as at a login in any order)."""
        self.tray = kind
        if kind == "xfce":
            self._start_xfce_panel()
            return
        cfg = self.path("tint2rc")
        with open(cfg, "w") as f:
            f.write(
                "panel_items = TS\n"
                "panel_position = %s center horizontal\n"
                "panel_size = 100%% %d\n"
                "panel_background_id = 0\n"
                "systray_padding = 4 2 4\n"
                "systray_icon_size = 22\n"
                "systray_sort = ascending\n"
                "taskbar_mode = single_desktop\n" % (
                    "bottom" if self.panel == "bottom" else "top", self._PANEL_HEIGHT))
        self._spawn("tint2", ["tint2", "-c", cfg])
        self.wait_tray()

    def _start_xfce_panel(self):
        # One panel holding only the notification area, whose plugin owns
        # both org.kde.StatusNotifierWatcher and the XEmbed selection.
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                              "xfce-perchannel-xml")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
            f.write(
                '<?xml version="1.0" encoding="UTF-8"?>\n'
                '<channel name="xfce4-panel" version="1.0">\n'
                ' <property name="configver" type="int" value="2"/>\n'
                ' <property name="panels" type="array">\n'
                '  <value type="int" value="1"/>\n'
                '  <property name="panel-1" type="empty">\n'
                '   <property name="position" type="string" value="p=%d;x=0;y=0"/>\n'
                '   <property name="length" type="uint" value="100"/>\n'
                '   <property name="position-locked" type="bool" value="true"/>\n'
                '   <property name="size" type="uint" value="%d"/>\n'
                '   <property name="plugin-ids" type="array"><value type="int" value="1"/>'
                '</property>\n'
                '  </property>\n'
                ' </property>\n'
                ' <property name="plugins" type="empty">\n'
                '  <property name="plugin-1" type="string" value="systray"/>\n'
                ' </property>\n'
                '</channel>\n' % (8 if self.panel == "bottom" else 6, self._PANEL_HEIGHT))
        self._spawn("xfce4-panel", ["xfce4-panel", "--disable-wm-check"])
        self.wait_tray()

    def _tray_up(self):
        if not self._x11.selection_owner("_NET_SYSTEM_TRAY_S0"):
            return False
        return self.tray != "xfce" or self.bus_name_has_owner("org.kde.StatusNotifierWatcher")

    def wait_tray(self, timeout=20):
        wait_until(self._tray_up, timeout, what="a system tray")

    def restart_tray(self):
        kind = self.tray
        self.kill_service("xfce4-panel" if kind == "xfce" else "tint2")
        wait_until(lambda: not self._x11.selection_owner("_NET_SYSTEM_TRAY_S0"), 10,
                   what="the tray to go")
        self.start_tray(kind)

    def panel_strip(self):
        """(x, y, w, h) of the panel along the top or bottom edge."""
        w, h = self.size
        top = 0 if self.panel != "bottom" else h - self._PANEL_HEIGHT
        return (0, top, w, self._PANEL_HEIGHT)

    def find_icon(self, timeout=10.0):
        """The bounds of the one icon in a panel that holds nothing else,
        read off the screen: a host that draws a StatusNotifierItem itself
        has no window of ours to ask."""
        def look():
            x0, y0, w, h = self.panel_strip()
            return _icon_bounds(self.grab(x0, y0, w, h), w, h, x0, y0)
        return wait_until(look, timeout, interval=0.2, what="the icon in the panel")

    def grab(self, x, y, w, h):
        """The screen's RGB bytes in that rectangle."""
        return subprocess.run(
            ["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
             "-depth", "8", "rgb:-"], env=self.env, capture_output=True, timeout=30).stdout

    def start_dunst(self):
        script = self.path("dmenu.sh")
        self._dmenu_choice = self.path("dmenu-choice")
        with open(script, "w") as f:
            f.write("#!/bin/sh\n"
                    "# Picks the context-menu line holding the wanted action.\n"
                    "want=$(cat '%s' 2>/dev/null)\n"
                    "cat > '%s'\n"
                    "grep -F -- \"$want\" '%s' | head -n 1\n"
                    % (self._dmenu_choice, self.path("dmenu-input"), self.path("dmenu-input")))
        os.chmod(script, 0o755)
        rc = self.path("dunstrc")
        with open(rc, "w") as f:
            f.write("[global]\n"
                    "    monitor = 0\n    follow = none\n"
                    "    stack_duplicates = false\n"
                    "    show_indicators = yes\n"
                    "    idle_threshold = 0\n"
                    "    sticky_history = yes\n"
                    "    history_length = 100\n"
                    "    dmenu = %s\n"
                    "    format = \"<b>%%s</b>\\n%%b\"\n"
                    "[urgency_critical]\n    timeout = 0\n" % script)
        self._spawn("dunst", ["dunst", "-config", rc])
        wait_until(lambda: self.bus_name_has_owner("org.freedesktop.Notifications"), 20,
                   what="dunst on the bus")

    def _start_pulse(self):
        pulse_dir = self.path("runtime", "pulse")
        os.makedirs(pulse_dir, exist_ok=True)
        self.sink_fifo = self.path("sink.fifo")
        self.capture_file = self.path("capture.raw")
        cfg = self.path("pulse.pa")
        with open(cfg, "w") as f:
            f.write("load-module module-native-protocol-unix socket=%s/native auth-anonymous=1\n"
                    "load-module module-pipe-sink file=%s sink_name=capture format=s16le "
                    "rate=44100 channels=2 use_system_clock_for_timing=yes\n"
                    "set-default-sink capture\n" % (pulse_dir, self.sink_fifo))
        self.own_files()
        env = dict(self.env)
        env["PULSE_RUNTIME_PATH"] = pulse_dir
        self._spawn("pulseaudio", ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                   "--disallow-exit", "--use-pid-file=no", "--log-target=stderr",
                                   "-F", cfg], env=env)
        self.env["PULSE_SERVER"] = "unix:%s/native" % pulse_dir
        wait_until(lambda: os.path.exists(self.sink_fifo) and os.path.exists(
            os.path.join(pulse_dir, "native")), 20, what="pulseaudio")
        self._spawn("capture", ["sh", "-c", "exec cat '%s' > '%s'" % (self.sink_fifo,
                                                                       self.capture_file)])
        wait_until(lambda: subprocess.run(["pactl", "info"], env=self.env, capture_output=True,
                                          **self.user_kw).returncode == 0, 20,
                   what="pactl info")

    # D-Bus

    def bus_name_has_owner(self, name):
        r = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
            env=self.env, capture_output=True, text=True, timeout=10, **self.user_kw)
        return "boolean true" in r.stdout

    def monitor_notifications(self):
        """Starts recording Notify calls and the server's signals."""
        return NotificationMonitor(self)

    def dunstctl(self, *args, check=True):
        r = subprocess.run(["dunstctl", *args], env=self.env, capture_output=True, text=True,
                           timeout=15)
        if check and r.returncode != 0:
            raise RuntimeError("dunstctl %s failed: %s" % (" ".join(args), r.stderr))
        return r.stdout

    def dunst_shown_count(self):
        out = self.dunstctl("count", "displayed")
        return int(out.strip() or 0)

    def dunst_invoke(self, action_label):
        """Invokes the action with that label on the newest shown notification."""
        with open(self._dmenu_choice, "w") as f:
            f.write(action_label)
        self.dunstctl("context")

    def dunst_close(self):
        self.dunstctl("close")

    def dunst_history(self):
        data = json.loads(self.dunstctl("history"))
        return [{k: v.get("data") for k, v in item.items()} for item in data["data"][0]]

    # X

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                              text=True, timeout=15).stdout

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y)
        time.sleep(0.05)
        self.xdotool("click", button)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 20, text)

    def visible_windows(self, name):
        out = self.xdotool("search", "--onlyvisible", "--name", name)
        return [int(w) for w in out.split()]

    def screenshot(self, label):
        self._shot += 1
        out = os.path.join(self.artifacts, "%02d-%s.png" % (self._shot, re.sub(r"\W+", "-", label)))
        subprocess.run(["import", "-window", "root", out], env=self.env, capture_output=True,
                       timeout=30)
        return out

    # Sound

    def capture_position(self):
        try:
            return os.path.getsize(self.capture_file)
        except OSError:
            return 0

    def sound_levels(self, start=0, window_ms=50):
        """RMS (0..1) per window of what reached the sink since byte offset start."""
        with open(self.capture_file, "rb") as f:
            f.seek(start - start % 4)
            data = f.read()
        frame = 4  # s16le stereo
        per_window = int(44100 * window_ms / 1000) * frame
        return [audioop.rms(data[i:i + per_window], 2) / 32768.0
                for i in range(0, len(data) - per_window + 1, per_window)]

    def sounding_seconds(self, start=0, threshold=0.01, window_ms=50):
        return sum(1 for v in self.sound_levels(start, window_ms) if v > threshold) * window_ms / 1000

    def sound_report(self, start=0):
        """What the sound server got since start, for a failure message."""
        levels = self.sound_levels(start)
        inputs = subprocess.run(["pactl", "list", "sink-inputs"], env=self.env,
                                capture_output=True, text=True, **self.user_kw).stdout
        try:
            with open(self.path("pendra-stderr.log"), encoding="utf-8", errors="replace") as f:
                err = f.read()[-3000:]
        except OSError:
            err = ""
        return ("captured %.1f s, sounding %.2f s\nsink inputs:\n%s\npendra stderr:\n%s" %
                (len(levels) / 20, self.sounding_seconds(start), inputs or "(none)", err))

    # Pendra

    def start_pendra(self, **kw):
        return Pendra(self, **kw)


class WaylandSession(Session):
    """A headless sway session with waybar's tray (a StatusNotifierItem host)
    and mako. sway refuses to run as root: as root, every process of the
    session runs as SESSION_USER, which tools/install-deps.sh creates."""

    SESSION_USER = "pendra-session"

    def __init__(self, name="session", tray=True, **kw):
        super().__init__(name, tray="waybar" if tray is True else tray, **kw)
        self.pointer = None

    @classmethod
    def unavailable(cls):
        """Why this session cannot run here, or None."""
        for tool in ("sway", "waybar", "mako", "grim", "swaymsg"):
            if not shutil.which(tool):
                return tool + " is not installed (tools/install-deps.sh installs it)"
        if os.geteuid() == 0:
            import pwd
            try:
                entry = pwd.getpwnam(cls.SESSION_USER)
            except KeyError:
                return "no user %s to run sway as (tools/install-deps.sh makes it)" % (
                    cls.SESSION_USER)
            binary = cls("probe").binary
            if subprocess.run(["test", "-x", binary], user=entry.pw_uid, group=entry.pw_gid,
                              extra_groups=[]).returncode != 0:
                return "%s cannot run %s (a folder on its way is closed to it)" % (
                    cls.SESSION_USER, binary)
        return None

    def start(self):
        if os.geteuid() == 0:
            import pwd
            entry = pwd.getpwnam(self.SESSION_USER)
            self.user_kw = {"user": entry.pw_uid, "group": entry.pw_gid, "extra_groups": []}
        super().start()

    def _start_bus(self):
        self.env["QT_QPA_PLATFORM"] = "wayland"
        self.own_files()
        super()._start_bus()

    def _start_x(self):
        cfg = self.path("sway.conf")
        with open(cfg, "w") as f:
            # A hidden pointer stays out of the screenshots that find things.
            f.write("output HEADLESS-1 resolution %dx%d position 0 0\n"
                    "default_border none\n"
                    "seat * hide_cursor 100\n" % self.size)
        env = dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                   WLR_RENDERER="pixman")
        self._spawn("sway", ["sway", "-c", cfg], env=env)
        runtime = self.env["XDG_RUNTIME_DIR"]

        def socket():
            names = [n for n in os.listdir(runtime)
                     if n.startswith("wayland-") and not n.endswith(".lock")]
            return names[0] if names else None
        self.env["WAYLAND_DISPLAY"] = wait_until(socket, 20, what="sway's Wayland socket")
        self.env["SWAYSOCK"] = wait_until(
            lambda: next((os.path.join(runtime, n) for n in os.listdir(runtime)
                          if n.startswith("sway-ipc.")), None), 20, what="sway's IPC socket")
        self.pointer = _VirtualPointer(os.path.join(runtime, self.env["WAYLAND_DISPLAY"]),
                                       self.size)

    def _start_wm(self):
        pass

    def start_tray(self, kind="waybar"):
        self.tray = kind
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "waybar")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "config"), "w") as f:
            json.dump({"layer": "top", "position": "bottom" if self.panel == "bottom" else "top",
                       "height": self._PANEL_HEIGHT, "modules-right": ["tray"],
                       "tray": {"icon-size": 20, "spacing": 4}}, f)
        with open(os.path.join(folder, "style.css"), "w") as f:
            f.write("* { border: none; border-radius: 0; min-height: 0; }\n"
                    "window#waybar { background: #f0f0f0; }\n")
        self.own_files()
        self._spawn("waybar", ["waybar"])
        self.wait_tray()

    def _tray_up(self):
        return self.bus_name_has_owner("org.kde.StatusNotifierWatcher")

    def restart_tray(self):
        self.kill_service("waybar")
        wait_until(lambda: not self._tray_up(), 10, what="the tray to go")
        self.start_tray(self.tray)

    def start_dunst(self):
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "mako")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "config"), "w") as f:
            f.write("default-timeout=0\n")
        self.own_files()
        self._spawn("mako", ["mako"])
        wait_until(lambda: self.bus_name_has_owner("org.freedesktop.Notifications"), 20,
                   what="mako on the bus")

    def stop(self):
        if self.pointer:
            self.pointer.close()
            self.pointer = None
        super().stop()

    def click(self, x, y, button=1):
        self.pointer.click(x, y, button)

    def grab(self, x, y, w, h):
        ppm = subprocess.run(["grim", "-g", "%d,%d %dx%d" % (x, y, w, h), "-t", "ppm", "-"],
                             env=self.env, capture_output=True, timeout=30, **self.user_kw).stdout
        # P6 header: magic, width, height, maximum, then the RGB bytes.
        parts = ppm.split(b"\n", 3)
        return parts[3] if len(parts) == 4 else b""

    def screenshot(self, label):
        self._shot += 1
        out = os.path.join(self.artifacts, "%02d-%s.png" % (self._shot, re.sub(r"\W+", "-", label)))
        png = subprocess.run(["grim", "-"], env=self.env, capture_output=True, timeout=30,
                             **self.user_kw).stdout
        with open(out, "wb") as f:
            f.write(png)
        return out

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

    EXTENSION = "ubuntu-appindicators@ubuntu.com"

    def __init__(self, name="session", tray=True, **kw):
        super().__init__(name, tray="gnome" if tray is True else tray, **kw)

    @classmethod
    def unavailable(cls):
        if not shutil.which("gnome-shell") or not shutil.which("gjs"):
            return "gnome-shell or gjs is not installed (tools/install-deps.sh installs them)"
        if not os.path.isdir("/usr/share/gnome-shell/extensions/" + cls.EXTENSION):
            return "gnome-shell-extension-appindicator is not installed"
        return super().unavailable()

    def _start_bus(self):
        super()._start_bus()
        # The shell's login manager needs a system bus; a private one will do.
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._fork_bus("system_bus")

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
        """The shell's Eval of a JavaScript expression: the JSON text of its
        value, or None."""
        r = subprocess.run(
            ["gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path",
             "/org/gnome/Shell", "--method", "org.gnome.Shell.Eval", script],
            env=self.env, capture_output=True, text=True, timeout=20, **self.user_kw)
        m = re.match(r"\((true|false), '(.*)'\)$", r.stdout.strip(), re.S)
        return m.group(2) if m and m.group(1) == "true" else None

    def start_tray(self, kind="gnome"):
        self.tray = kind
        self._gsettings("set", "org.gnome.shell", "enabled-extensions", "['%s']" % self.EXTENSION)
        self.wait_tray()

    def restart_tray(self):
        self._gsettings("set", "org.gnome.shell", "enabled-extensions", "[]")
        wait_until(lambda: not self._tray_up(), 10, what="the extension to go")
        self.start_tray(self.tray)

    def start_dunst(self):
        wait_until(lambda: self.bus_name_has_owner("org.freedesktop.Notifications"), 20,
                   what="the shell's notification server")

    def click(self, x, y, button=1):
        self.eval(
            "(() => { const d = global._pendraPointer;"
            " const t = GLib.get_monotonic_time();"
            " d.notify_absolute_motion(t, %d, %d); return 1; })()" % (x, y))
        time.sleep(0.05)
        for state in ("PRESSED", "RELEASED"):
            self.eval("global._pendraPointer.notify_button(GLib.get_monotonic_time(), %d,"
                      " imports.gi.Clutter.ButtonState.%s), 1" % (button, state))

    def find_icon(self, timeout=10.0):
        def look():
            out = self.eval(
                "JSON.stringify(Object.keys(Main.panel.statusArea)"
                ".filter(k => k.startsWith('appindicator-'))"
                ".map(k => Main.panel.statusArea[k]).filter(a => a.visible && a.mapped)"
                ".map(a => { const [x, y] = a.get_transformed_position();"
                " const [w, h] = a.get_transformed_size(); return [x, y, w, h]; }))")
            boxes = json.loads(json.loads(out)) if out else []
            if len(boxes) != 1 or None in boxes[0]:  # one, laid out
                return None
            x, y, w, h = (int(round(v)) for v in boxes[0])
            return Widget(x, y, w, h, "icon", "tray-icon", "") if w > 0 else None
        return wait_until(look, timeout, interval=0.2, what="the icon in the top bar")

    def menu_item(self, label):
        """The bounds of the open tray menu's item with that label, or None."""
        out = self.eval(
            "JSON.stringify(Object.keys(Main.panel.statusArea)"
            ".filter(k => k.startsWith('appindicator-')).map(k => Main.panel.statusArea[k].menu)"
            ".filter(m => m.isOpen).flatMap(m => m._getMenuItems())"
            ".filter(i => i.label && i.label.text === %s).map(i => {"
            " const [x, y] = i.get_transformed_position(); const [w, h] = i.get_transformed_size();"
            " return [x, y, w, h]; }))" % json.dumps(label))
        boxes = json.loads(json.loads(out)) if out else []
        if not boxes:
            return None
        return Widget(*(int(round(v)) for v in boxes[0]), "menuitem", label, label)

    def window_rect(self, title):
        """Where mutter shows the window of that title: a Wayland client
        cannot know its own place."""
        out = self.eval(
            "JSON.stringify(global.get_window_actors().map(a => a.meta_window)"
            ".filter(w => w.get_title() === %s && w.showing_on_its_workspace())"
            ".map(w => { const r = w.get_frame_rect(); return [r.x, r.y, r.width, r.height]; }))"
            % json.dumps(title))
        boxes = json.loads(json.loads(out)) if out else []
        return Widget(*boxes[0], "window", title, title) if boxes else None

    def screenshot(self, label):
        self._shot += 1
        out = os.path.join(self.artifacts, "%02d-%s.png" % (self._shot, re.sub(r"\W+", "-", label)))
        own = self.path("shot.png")
        subprocess.run(["gdbus", "call", "--session", "--dest", "org.gnome.Shell.Screenshot",
                        "--object-path", "/org/gnome/Shell/Screenshot", "--method",
                        "org.gnome.Shell.Screenshot.Screenshot", "false", "false", own],
                       env=self.env, capture_output=True, timeout=30, **self.user_kw)
        if os.path.exists(own):
            shutil.move(own, out)
        return out


class AlarmsFileCase(unittest.TestCase):
    """A test with its own session and the program's alarms file at hand."""

    session_options = {}

    def setUp(self):
        self.session = Session(self.id(), **self.session_options)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.data = self.session.path("home", ".local", "share", "Pendra")
        self.file = os.path.join(self.data, "alarms.json")
        os.makedirs(self.data, exist_ok=True)

    def plant(self, alarms):
        with open(self.file, "w", encoding="utf-8") as f:
            json.dump(alarms, f)

    def stored(self):
        with open(self.file, encoding="utf-8") as f:
            return json.load(f)


class NotificationMonitor:
    """Records org.freedesktop.Notifications traffic on the session bus."""

    def __init__(self, session):
        self.session = session
        self.calls = []   # dicts: app, replaces, summary, body, actions, hints, timeout, id
        self.closed = []  # (id, reason)
        self.invoked = []  # (id, action)
        self._lock = threading.Lock()
        self.heads = []
        self.proc = session._spawn(
            "dbus-monitor", ["dbus-monitor", "--session",
                             "type='method_call',interface='org.freedesktop.Notifications'",
                             "type='signal',interface='org.freedesktop.Notifications'",
                             "type='method_return'"],
            stdout=subprocess.PIPE)
        self._serials = {}
        threading.Thread(target=self._read, daemon=True).start()
        time.sleep(0.3)

    def _read(self):
        # dbus-monitor writes a message at once but ends it only with the
        # next one's header: a pause in the stream also ends a message.
        import select
        fd = self.proc.stdout.fileno()
        pending = b""
        block = []
        while True:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if not ready:
                self._handle(block)
                block = []
                continue
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for raw in lines:
                line = raw.decode("utf-8", "replace")
                if re.match(r"^(method call|method return|signal|error) ", line):
                    self._handle(block)
                    block = [line]
                elif block:
                    block.append(line)
        self._handle(block)

    def _handle(self, block):
        if not block:
            return
        head = block[0]
        values = _dbus_values(block[1:])
        self.heads.append(head)
        with self._lock:
            if head.startswith("method call") and "member=Notify" in head:
                serial = re.search(r"serial=(\d+)", head).group(1)
                strings = [v for t, v in values if t == "string"]
                uints = [v for t, v in values if t == "uint32"]
                body = "\n".join(block[1:])
                first_array = body.split("array [", 1)[1].split("\n   ]", 1)[0] if "array [" in body else ""
                actions = [v for t, v in _dbus_values(first_array.split("\n")) if t == "string"]
                call = {"app": strings[0] if strings else None,
                        "replaces": int(uints[0]) if uints else 0,
                        "summary": strings[2] if len(strings) > 2 else None,
                        "body": strings[3] if len(strings) > 3 else None,
                        "actions": actions, "id": None, "raw": block}
                self._serials[serial] = call
                self.calls.append(call)
            elif head.startswith("method return"):
                m = re.search(r"reply_serial=(\d+)", head)
                if m and m.group(1) in self._serials:
                    uints = [v for t, v in values if t == "uint32"]
                    if uints:
                        self._serials.pop(m.group(1))["id"] = int(uints[0])
            elif head.startswith("signal") and "member=NotificationClosed" in head:
                uints = [int(v) for t, v in values if t == "uint32"]
                if len(uints) >= 2:
                    self.closed.append((uints[0], uints[1]))
            elif head.startswith("signal") and "member=ActionInvoked" in head:
                uints = [int(v) for t, v in values if t == "uint32"]
                strings = [v for t, v in values if t == "string"]
                if uints and strings:
                    self.invoked.append((uints[0], strings[0]))

    def wait_for_notify(self, count=1, timeout=15):
        def ok():
            with self._lock:
                done = [c for c in self.calls if c["id"] is not None]
                return done[count - 1] if len(done) >= count else None
        return wait_until(ok, timeout, what="%d Notify call(s)" % count)


def _dbus_values(lines):
    """(type, value) pairs of the scalar values in a dbus-monitor message body."""
    out = []
    text = "\n".join(lines)
    for m in re.finditer(r'\b(string|uint32|int32|boolean|byte) ("(?:[^"\\]|\\.)*"|\S+)', text):
        t, v = m.group(1), m.group(2)
        if t == "string":
            v = v[1:-1]
        out.append((t, v))
    return out


class _Pid:
    """A process we did not spawn ourselves (dbus-daemon --fork)."""

    def __init__(self, pid):
        self.pid = pid

    def poll(self):
        try:
            os.kill(self.pid, 0)
            return None
        except OSError:
            return 0


def _kill(p, sig=signal.SIGTERM):
    if p.poll() is not None:
        return
    try:
        if isinstance(p, _Pid):
            os.kill(p.pid, sig)
        else:
            os.killpg(p.pid, sig)
    except OSError:
        return
    deadline = time.monotonic() + 3
    while p.poll() is None and time.monotonic() < deadline:
        time.sleep(0.02)
    if p.poll() is None:
        try:
            if isinstance(p, _Pid):
                os.kill(p.pid, signal.SIGKILL)
            else:
                os.killpg(p.pid, signal.SIGKILL)
        except OSError:
            pass
    if not isinstance(p, _Pid):
        try:
            p.wait(3)
        except subprocess.TimeoutExpired:
            pass
