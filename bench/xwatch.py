"""When windows map and draw, read off the X server's own events.

One connection waits for events in a thread and stamps each map, and each
DAMAGE report of drawing into a window, on time.monotonic() as it arrives; a
second one answers the main thread's questions (whose window, where, which
class) and sends synthetic clicks, so neither blocks the other.
"""

import threading
import time

from Xlib import X, display, error
from Xlib.ext import damage, xtest


class XWatch:
    def __init__(self, name):
        self._events = display.Display(name)
        self._query = display.Display(name)
        # Windows come and go under us; a late request on a gone one is no news.
        self._events.set_error_handler(lambda *a: None)
        self._query.set_error_handler(lambda *a: None)
        self._pid_atom = self._query.intern_atom("_NET_WM_PID")
        self._cond = threading.Condition()
        self.maps = []  # (monotonic time, window id), oldest first
        self.damages = []  # (monotonic time, window id), oldest first
        self._damage_event = None
        if self._events.has_extension("DAMAGE"):
            self._events.damage_query_version()
            self._damage_event = self._events.query_extension("DAMAGE").first_event
        root = self._events.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self._events.sync()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        try:
            while True:
                ev = self._events.next_event()
                t = time.monotonic()
                if ev.type == X.CreateNotify:
                    # A managed window maps inside its frame: only its own
                    # structure events tell of it.
                    try:
                        ev.window.change_attributes(event_mask=X.StructureNotifyMask)
                        if self._damage_event is not None:
                            ev.window.damage_create(damage.DamageReportRawRectangles)
                        self._events.flush()
                    except error.XError:
                        pass
                elif ev.type == X.MapNotify:
                    with self._cond:
                        self.maps.append((t, ev.window.id))
                        self._cond.notify_all()
                elif ev.type == self._damage_event:
                    with self._cond:
                        self.damages.append((t, ev.drawable.id))
                        self._cond.notify_all()
        except Exception:  # the server went away with its session
            return

    def close(self):
        for d in (self._query,):
            try:
                d.close()
            except Exception:
                pass

    # Questions, from the main thread only

    def pid_of(self, wid):
        try:
            prop = self._query.create_resource_object("window", wid).get_full_property(
                self._pid_atom, X.AnyPropertyType)
            return int(prop.value[0]) if prop and len(prop.value) else None
        except (error.XError, IndexError):
            return None

    def wm_class(self, wid):
        try:
            cls = self._query.create_resource_object("window", wid).get_wm_class()
            return " ".join(cls) if cls else ""
        except error.XError:
            return ""

    def viewable(self, wid):
        try:
            w = self._query.create_resource_object("window", wid)
            return w.get_attributes().map_state == X.IsViewable
        except error.XError:
            return False

    def geometry(self, wid):
        """(x, y, w, h) on the root window."""
        try:
            w = self._query.create_resource_object("window", wid)
            g = w.get_geometry()
            at = w.translate_coords(self._query.screen().root, 0, 0)
            return (-at.x, -at.y, g.width, g.height)
        except error.XError:
            return None

    def windows(self):
        """(window id, parent id) of every window below the root."""
        out = []
        stack = [self._query.screen().root]
        while stack:
            w = stack.pop()
            try:
                children = w.query_tree().children
            except error.XError:
                continue
            for c in children:
                out.append((c.id, w.id))
                stack.append(c)
        return out

    def tray_icon(self, pid, timeout=60.0):
        """The embedded, shown tray icon of the process: (time, window id)."""
        root = self._query.screen().root.id
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for wid, parent in self.windows():
                if parent != root and self.pid_of(wid) == pid and self.viewable(wid):
                    g = self.geometry(wid)
                    if g and g[2] > 1 and g[3] > 1:
                        return time.monotonic(), wid
            time.sleep(0.005)
        return None, None

    def press(self, x, y, settle=0.3):
        """Moves the pointer to (x, y), lets hover effects settle, then clicks
        button 1; returns the moment just before the press went out."""
        xtest.fake_input(self._query, X.MotionNotify, x=x, y=y)
        self._query.sync()
        time.sleep(settle)
        t = time.monotonic()
        xtest.fake_input(self._query, X.ButtonPress, 1)
        xtest.fake_input(self._query, X.ButtonRelease, 1)
        self._query.sync()
        return t

    def first_damage(self, since, wid, timeout=10.0):
        """When drawing into window wid was first reported at or after `since`."""
        if self._damage_event is None:
            return None
        deadline = time.monotonic() + timeout
        while True:
            with self._cond:
                for t, d in self.damages:
                    if t >= since and d == wid:
                        return t
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._cond.wait(min(left, 0.2))

    def last_damage(self, since, until, wid):
        """The last drawing into wid between `since` and `until`."""
        with self._cond:
            ts = [t for t, d in self.damages if since <= t <= until and d == wid]
        return ts[-1] if ts else None

    def first_map(self, since, pred, timeout=30.0, exclude=()):
        """The first window mapped at or after `since` that pred accepts."""
        deadline = time.monotonic() + timeout
        seen = 0
        while True:
            with self._cond:
                batch = self.maps[seen:]
                seen = len(self.maps)
            for t, wid in batch:
                if t >= since and wid not in exclude and pred(wid):
                    return t, wid
            left = deadline - time.monotonic()
            if left <= 0:
                return None, None
            with self._cond:
                if len(self.maps) == seen:
                    self._cond.wait(min(left, 0.2))
