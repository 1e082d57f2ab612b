"""A private desktop session for tests of the real pendra binary: X11 with
openbox (core), on Wayland with sway or GNOME Shell (wayland), its bus (bus)."""

from .core import Session, SessionCase, alarm, inside, libfaketime, record_case, wait_until, write
from .wayland import GnomeSession, WaylandSession
