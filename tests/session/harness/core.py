"""An X11 session in a fresh home: a bus, Xvfb, openbox, tint2 or xfce4-panel,
dunst and PulseAudio into a file; all stopped by process group, also on a signal."""

import atexit
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest
import warnings
from collections import Counter, namedtuple

from Xlib import X, display as xdisplay

from .bus import Bus, NotificationMonitor

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import audioop  # C speed for the sink's RMS; deprecated only from 3.13

BUILD = os.path.join(os.path.dirname(__file__), "..", "..", "..", "build")
_LIVE_SESSIONS = []


def _cleanup_all(signum=None, _frame=None):
    for s in list(_LIVE_SESSIONS):
        s.stop()
    if signum:
        raise SystemExit(128 + signum)


atexit.register(_cleanup_all)
signal.signal(signal.SIGTERM, _cleanup_all)
signal.signal(signal.SIGHUP, _cleanup_all)


def inside(inner, outer):
    return (inner.x >= outer.x and inner.y >= outer.y and inner.x + inner.w <= outer.x + outer.w
            and inner.y + inner.h <= outer.y + outer.h)


def libfaketime():
    return glob.glob("/usr/lib/*/faketime/libfaketime.so.1")[0]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode())
    return path


def record_case(case, outcome, **figures):
    """Keeps a case's outcome for `make reliability`, once its checks passed."""
    write(os.path.join(os.environ.get("PENDRA_BUILD_DIR") or BUILD, "reliability", case + ".json"),
          json.dumps({"case": case, "outcome": outcome, "figures": figures,
                      "when": time.strftime("%Y-%m-%d %H:%M:%S")}))


def wait_until(pred, timeout=10.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = pred()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(interval)


class Widget(namedtuple("Widget", "x y w h kind name text")):
    center = property(lambda self: (self.x + self.w // 2, self.y + self.h // 2))


class Pendra:
    """The real binary, with its standard output collected line by line."""

    def __init__(self, session, env=None, faketime=None, binary=None, stdin=False):
        self.session = session
        e = dict(session.env)
        e["PENDRA_TEST_INTROSPECT"] = "1"
        if faketime:
            # The library itself, not the faketime wrapper, which does not pass
            # SIGTERM on; the monotonic clock stays real so that Qt's timers
            # and the sound keep their pace.
            e.update({"LD_PRELOAD": libfaketime(), "FAKETIME": "@" + faketime,
                      "FAKETIME_DONT_FAKE_MONOTONIC": "1"})
        e = {k: v for k, v in dict(e, **(env or {})).items() if v is not None}  # None: unset
        self.lines = []
        self.blocks = []  # each a (windows, widgets) pair, newest last
        self.changed = threading.Condition()  # notified on each line
        self._current = None
        self.proc = session._spawn("pendra-stderr", [binary or session.binary], env=e,
                                   stdout=subprocess.PIPE,
                                   stdin=subprocess.PIPE if stdin else subprocess.DEVNULL)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        log = open(self.session.path("pendra-stdout.log"), "a", encoding="utf-8", buffering=1)
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            log.write(line + "\n")
            if line == "introspect-begin":
                self._current = ([], [])
            elif line == "introspect-end" and self._current is not None:
                self.blocks.append(self._current)
                self._current = None
            elif self._current is not None and line.startswith(("window: ", "widget: ")):
                self._current[0 if line.startswith("window") else 1].append(_parse(line))
            else:
                self.lines.append(line)
            with self.changed:
                self.changed.notify_all()
        log.close()

    def wait_for_line(self, pattern, timeout=15.0, start=0):
        rx = re.compile(pattern)

        def found():
            over = not self._reader.is_alive()  # checked first: no line can come after
            m = next((m for m in map(rx.search, self.lines[start:]) if m), None)
            if not m and over:
                raise TimeoutError("the output ended")
            return m
        try:
            return wait_until(found, timeout, interval=0.02)
        except TimeoutError:
            raise TimeoutError("no line matching %r; got %r" % (pattern, self.lines[-20:]))

    def has_line(self, pattern):
        return any(re.search(pattern, line) for line in list(self.lines))

    def screen(self):
        return self.blocks[-1] if self.blocks else ([], [])

    def window(self, name):
        return next((w for w in self.screen()[0] if name in (w.kind, w.name)), None)

    def widget(self, name=None, text=None, pred=None):
        return next((w for w in self.screen()[1] if name in (None, w.name)
                     and text in (None, w.text) and (pred is None or pred(w))), None)

    def wait_widget(self, name=None, text=None, pred=None, timeout=10.0):
        return wait_until(lambda: self.widget(name, text, pred), timeout,
                          what="widget %r %r" % (name, text))

    def wait_window(self, name, timeout=10.0, present=True):
        return wait_until(lambda: self.window(name) if present else not self.window(name),
                          timeout, what=("window " if present else "no window ") + name)

    def tray_icon(self, timeout=10.0):
        # Before the tray embeds it, the icon's window stands at the origin.
        return wait_until(lambda: next((w for w in self.screen()[0] if (w.x, w.y) != (0, 0)
                                        and w.name == "QSystemTrayIconSys"), None),
                          timeout, what="tray icon")

    def open_tab(self, label):
        """Opens the popover from the tray icon at the tab titled `label`."""
        if not self.window("popover"):
            self.session.click(*self.tray_icon().center)
        pop = self.wait_window("popover")
        tab = self.wait_widget(text=label, pred=lambda w: w.kind.startswith("tab"))
        if tab.kind != "tab-current":
            self.session.click(*tab.center)
            self.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
        return pop

    def click(self, name=None, text=None):
        w = self.wait_widget(name, text)
        self.session.click(*w.center)
        return w

    def type_into(self, name, text):
        self.click(name)
        self.session.key("ctrl+a")
        self.session.type(text)

    def add_city(self, entry):
        self.click("worldClockAdd")
        self.type_into("worldClockCombo", entry)
        self.session.key("Escape")  # closes the completion list, keeps the text
        self.session.key("Return")

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def wait(self, timeout=15.0):
        return self.proc.wait(timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        return self.wait()

    def alive(self):
        return self.proc.poll() is None


def _icon_bounds(rgb, w, h, x0, y0):
    """A Widget around the pixels that differ from the strip's commonest
    colour (its background), or None when there are none."""
    if len(rgb) < w * h * 3:
        return None
    background = Counter(rgb[i:i + 3] for i in range(0, len(rgb), 3 * 97)).most_common(1)[0][0]
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
    """window: x y w h objectName title, or widget: x y w h kind objectName text."""
    what, rest = line.split(": ", 1)
    x, y, w, h, *more = (rest.split(" ", 6 if what == "widget" else 5) + [""] * 3)[:7]
    return Widget(int(x), int(y), int(w), int(h), *((what, *more[:2]) if what == "window" else more))


class Session:
    _PANEL_HEIGHT = 30
    DEFAULT_TRAY = "tint2"  # XEmbed; "xfce" hosts StatusNotifierItems too

    def __init__(self, name="session", panel="top", sound=True, notifications=True, tray=True,
                 width=1280, height=800):
        self.name = re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        self.panel, self.sound, self.notifications = panel, sound, notifications
        self.tray = self.DEFAULT_TRAY if tray is True else tray
        self.size = (width, height)
        self.binary = os.environ.get("PENDRA_BIN") or os.path.join(BUILD, "bin", "pendra")
        self.artifacts = os.path.join(
            os.environ.get("PENDRA_ARTIFACTS") or os.path.join(BUILD, "session-artifacts"),
            self.name)
        self._children, self.services, self._shot = [], {}, 0  # services: the newest of a name
        self._x = self.bus = self.pointer = self.dir = self.env = None
        self.user_kw = {}  # Popen arguments that run a process as the session's user

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def start(self):
        self.dir = tempfile.mkdtemp(prefix="pendra-session-")
        _LIVE_SESSIONS.append(self)
        home, runtime = self.path("home"), self.path("runtime")
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                            "PULSE_SERVER", "XAUTHORITY", "SESSION_MANAGER")}
        env.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                    "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
                    "XDG_CACHE_HOME": os.path.join(home, ".cache"), "XDG_RUNTIME_DIR": runtime,
                    "QT_QPA_PLATFORM": "xcb", "NO_AT_BRIDGE": "1",
                    "LANG": env.get("LANG", "C.UTF-8")})
        for d in (runtime, env["XDG_CONFIG_HOME"], env["XDG_DATA_HOME"], env["XDG_CACHE_HOME"],
                  self.artifacts):
            os.makedirs(d, mode=0o700, exist_ok=True)
        self.env = env
        try:
            self._start_bus()
            self._start_x()
            if self.tray:
                self.start_tray(self.tray)
            if self.notifications:
                self.start_dunst()
            if self.sound:
                self._start_pulse()
        except Exception:
            self.stop()
            raise

    def stop(self):
        if self in _LIVE_SESSIONS:
            _LIVE_SESSIONS.remove(self)
        for conn in (self._x, self.bus, self.pointer):
            if conn:
                conn.close()
        self._x = self.bus = self.pointer = None
        for p in reversed(self._children):
            _kill(p)
        self._children.clear()
        self.services.clear()
        if self.dir and os.environ.get("PENDRA_KEEP_SESSION") != "1":
            shutil.rmtree(self.dir, ignore_errors=True)

    def _spawn(self, name, cmd, env=None, **kw):
        if "user" in self.user_kw:  # what the harness wrote, to the session's user
            subprocess.run(["chown", "-R", "%d:%d" % (self.user_kw["user"], self.user_kw["group"]),
                            self.dir], check=True)
        with open(self.path(name + ".log"), "ab") as log:
            p = subprocess.Popen(cmd, env=env or self.env, stdout=kw.pop("stdout", log),
                                 stderr=log, stdin=kw.pop("stdin", subprocess.DEVNULL),
                                 start_new_session=True, **self.user_kw, **kw)
        self._children.append(p)
        self.services[name] = p
        return p

    def kill_service(self, name):
        p = self.services.pop(name, None)
        if p is not None:
            _kill(p, signal.SIGKILL)
            self._children.remove(p)

    def _run_bus(self, name):
        """A private dbus-daemon on runtime/name; returns its address once it listens."""
        # The harness may be root, the session another user.
        conf = write(self.path("bus.conf"), "<busconfig><include>/usr/share/dbus-1/session.conf"
                     "</include><policy context='default'><allow user='root'/></policy></busconfig>")
        p = self._spawn(name, ["dbus-daemon", "--config-file=" + conf, "--nofork", "--nosyslog",
                               "--address=unix:path=" + self.path("runtime", name),
                               "--print-address=1"], stdout=subprocess.PIPE)
        with p.stdout:
            return p.stdout.readline().decode().strip()

    def _start_bus(self):
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._run_bus("bus")
        self.bus = Bus(self.env["DBUS_SESSION_BUS_ADDRESS"])

    def _start_x(self):
        r, w = os.pipe()
        self._spawn("xvfb", ["Xvfb", "-displayfd", str(w), "-noreset", "-nolisten", "tcp",
                             "-screen", "0", "%dx%dx24" % self.size], pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as ready:  # Xvfb writes the display's number once it listens
            self.display = ":" + ready.readline().strip()
        self.env["DISPLAY"] = self.display
        self._x = xdisplay.Display(self.display)
        self._spawn("openbox", ["openbox", "--sm-disable"])
        wait_until(lambda: self.selection_owned("WM_S0"), 20, what="openbox")

    def start_tray(self, kind):
        """Starts a tray host (also after Pendra, as at a login in any order)."""
        self.tray = kind
        self._run_tray()
        wait_until(lambda: all(self._tray_parts()), 20, what="a system tray")

    def _run_tray(self):
        bottom = self.panel == "bottom"
        if self.tray == "xfce":
            # One panel holding only the notification area, whose plugin owns
            # both org.kde.StatusNotifierWatcher and the XEmbed selection.
            write(os.path.join(self.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                               "xfce-perchannel-xml", "xfce4-panel.xml"),
                  '<channel name="xfce4-panel" version="1.0">'
                  '<property name="configver" type="int" value="2"/>'
                  '<property name="panels" type="array"><value type="int" value="1"/>'
                  '<property name="panel-1" type="empty">'
                  '<property name="position" type="string" value="p=%d;x=0;y=0"/>'
                  '<property name="length" type="uint" value="100"/>'
                  '<property name="position-locked" type="bool" value="true"/>'
                  '<property name="size" type="uint" value="%d"/>'
                  '<property name="plugin-ids" type="array"><value type="int" value="1"/>'
                  '</property></property></property><property name="plugins" type="empty">'
                  '<property name="plugin-1" type="string" value="systray"/></property>'
                  '</channel>\n' % (8 if bottom else 6, self._PANEL_HEIGHT))
            self._spawn("tray", ["xfce4-panel", "--disable-wm-check"])
        else:
            cfg = write(self.path("tint2rc"),
                        "panel_items = TS\npanel_position = %s center horizontal\n"
                        "panel_size = 100%% %d\npanel_background_id = 0\n"
                        "systray_padding = 4 2 4\nsystray_icon_size = 22\n"
                        "systray_sort = ascending\ntaskbar_mode = single_desktop\n"
                        % ("bottom" if bottom else "top", self._PANEL_HEIGHT))
            self._spawn("tray", ["tint2", "-c", cfg])

    def selection_owned(self, name):
        return self._x.get_selection_owner(self._x.intern_atom(name)) != X.NONE

    def _tray_parts(self):
        """Whether each thing the tray host owns is up."""
        return [self.selection_owned("_NET_SYSTEM_TRAY_S0")] + (
            [self.bus.has_owner("org.kde.StatusNotifierWatcher")] if self.tray == "xfce" else [])

    def _stop_tray(self):
        self.kill_service("tray")

    def restart_tray(self):
        self._stop_tray()
        wait_until(lambda: not any(self._tray_parts()), 10, what="the tray to go")
        self.start_tray(self.tray)

    def panel_strip(self):
        w, h = self.size
        return (0, h - self._PANEL_HEIGHT if self.panel == "bottom" else 0, w, self._PANEL_HEIGHT)

    def find_icon(self, timeout=10.0):
        """The bounds of the one icon in a panel that holds nothing else,
        read off the screen: a host that draws a StatusNotifierItem itself
        has no window of ours to ask."""
        def look():
            x0, y0, w, h = self.panel_strip()
            return _icon_bounds(self.grab(x0, y0, w, h), w, h, x0, y0)
        return wait_until(look, timeout, interval=0.2, what="the icon in the panel")

    def grab(self, x, y, w, h):
        return subprocess.run(
            ["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
             "-depth", "8", "rgb:-"], env=self.env, capture_output=True, timeout=30).stdout

    def start_dunst(self):
        self._dmenu_choice = self.path("dmenu-choice")
        script = write(self.path("dmenu.sh"), "#!/bin/sh\n# Picks the context-menu line holding "
                       "the wanted action.\ngrep -F -- \"$(cat '%s')\" | head -n 1\n"
                       % self._dmenu_choice)
        os.chmod(script, 0o755)
        rc = write(self.path("dunstrc"),
                   "[global]\n    monitor = 0\n    follow = none\n    stack_duplicates = false\n"
                   "    show_indicators = yes\n    idle_threshold = 0\n    dmenu = %s\n"
                   "    format = \"<b>%%s</b>\\n%%b\"\n[urgency_critical]\n    timeout = 0\n"
                   % script)
        self._spawn("dunst", ["dunst", "-config", rc])
        self.wait_for_notifications()

    def wait_for_notifications(self):
        wait_until(lambda: self.bus.has_owner("org.freedesktop.Notifications"), 20,
                   what="a notification server")

    def _start_pulse(self):
        pulse_dir = self.path("runtime", "pulse")
        os.makedirs(pulse_dir, exist_ok=True)
        self.sink_fifo, self.capture_file = self.path("sink.fifo"), self.path("capture.raw")
        cfg = write(self.path("pulse.pa"),
                    "load-module module-native-protocol-unix socket=%s/native auth-anonymous=1\n"
                    "load-module module-pipe-sink file=%s sink_name=capture format=s16le "
                    "rate=44100 channels=2 use_system_clock_for_timing=yes\n"
                    "set-default-sink capture\n" % (pulse_dir, self.sink_fifo))
        self._spawn("pulseaudio", ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                   "--disallow-exit", "--use-pid-file=no", "--log-target=stderr",
                                   "-F", cfg], env=dict(self.env, PULSE_RUNTIME_PATH=pulse_dir))
        self.env["PULSE_SERVER"] = "unix:%s/native" % pulse_dir
        wait_until(lambda: os.path.exists(self.sink_fifo) and os.path.exists(
            os.path.join(pulse_dir, "native")), 20, what="pulseaudio")
        self._spawn("capture", ["sh", "-c", "exec cat '%s' > '%s'" % (self.sink_fifo,
                                                                       self.capture_file)])
        wait_until(lambda: subprocess.run(["pactl", "info"], env=self.env, capture_output=True,
                                          **self.user_kw).returncode == 0, 20, what="pactl info")

    def monitor_notifications(self):
        return NotificationMonitor(self.env["DBUS_SESSION_BUS_ADDRESS"])

    _DUNST = ("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
              "org.dunstproject.cmd0")

    def dunst_shown_count(self):
        return self.bus.get(*self._DUNST, "displayedLength")

    def dunst_invoke(self, action_label):
        """Invokes the action with that label on the newest shown notification."""
        write(self._dmenu_choice, action_label)
        self.bus.call(*self._DUNST, "ContextMenuCall")

    def dunst_close(self):
        self.bus.call(*self._DUNST, "NotificationCloseLast")

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                              text=True, timeout=15).stdout

    def click(self, x, y):
        self.xdotool("mousemove", x, y)
        time.sleep(0.05)
        self.xdotool("click", 1)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 20, text)

    def _shot_path(self, label):
        self._shot += 1
        return os.path.join(self.artifacts, "%02d-%s.png" % (self._shot, re.sub(r"\W+", "-", label)))

    def screenshot(self, label):
        out = self._shot_path(label)
        subprocess.run(["import", "-window", "root", out], env=self.env, capture_output=True,
                       timeout=30)
        return out

    def capture_position(self):
        return os.path.getsize(self.capture_file) if os.path.exists(self.capture_file) else 0

    def sound_levels(self, start=0, window_ms=50):
        """RMS (0..1) per window of what reached the sink since byte offset start."""
        with open(self.capture_file, "rb") as f:
            f.seek(start - start % 4)
            data = f.read()
        per_window = int(44100 * window_ms / 1000) * 4  # s16le stereo
        return [audioop.rms(data[i:i + per_window], 2) / 32768.0
                for i in range(0, len(data) - per_window + 1, per_window)]

    def sounding_seconds(self, start=0):
        return sum(1 for v in self.sound_levels(start) if v > 0.01) * 0.05

    def sounding_now(self, seconds):
        """Seconds of sound that reach the sink in the next `seconds`."""
        start = self.capture_position()
        time.sleep(seconds)
        return self.sounding_seconds(start)

    def wait_for_sound(self, start, seconds, what, timeout=30):
        """Waits for more than `seconds` of sound since start; a timeout tells what the sink got."""
        try:
            wait_until(lambda: self.sounding_seconds(start) > seconds, timeout, what=what)
        except TimeoutError:
            inputs = subprocess.run(["pactl", "list", "sink-inputs"], env=self.env,
                                    capture_output=True, text=True, **self.user_kw).stdout
            with open(self.path("pendra-stderr.log"), errors="replace") as f:
                err = f.read()[-3000:]
            raise TimeoutError("no %s: sounding %.2f s\nsink inputs:\n%s\npendra stderr:\n%s"
                               % (what, self.sounding_seconds(start), inputs or "(none)", err))

    def start_pendra(self, **kw):
        return Pendra(self, **kw)


def alarm(label, hour=7, minute=0, ringtone="Radar", enabled=True):
    return {"hour": hour, "minute": minute, "ringtone": ringtone, "snooze": 9,
            "isSnoozed": False, "label": label, "repeatDays": [False] * 7, "enabled": enabled}


class SessionCase(unittest.TestCase):
    """A test with a session of its own (its screen kept at the end) and the alarms file."""

    session_class, session_options = Session, {}

    def setUp(self):
        self.session = self.session_class(self.id(), **self.session_options)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.data = self.session.path("home", ".local", "share", "Pendra")
        self.file = os.path.join(self.data, "alarms.json")
        os.makedirs(self.data, exist_ok=True)

    def tearDown(self):
        self.session.screenshot("end")

    def plant(self, alarms):
        """The alarms file, with no record of an earlier run to report missed alarms from."""
        if os.path.exists(os.path.join(self.data, "last-run")):
            os.remove(os.path.join(self.data, "last-run"))
        write(self.file, json.dumps(alarms))

    def stored(self):
        with open(self.file, encoding="utf-8") as f:
            return json.load(f)

    def start_ringing(self, alarms, faketime="2026-12-07 06:59:55", **kw):
        """The program with these alarms, 5 s before their minute unless told, and self.monitor."""
        self.plant(alarms)
        self.monitor = self.session.monitor_notifications()
        return self.session.start_pendra(faketime=faketime, **kw)



def _kill(p, sig=signal.SIGTERM):
    for signum in (sig, signal.SIGKILL):
        try:
            os.killpg(p.pid, signum)
            p.wait(3)
            return
        except (OSError, subprocess.TimeoutExpired):
            if p.poll() is not None:
                return
