"""The desktops people run, beyond openbox with tint2: a StatusNotifierItem
tray on X11 (xfce4-panel) and Wayland (sway with waybar and mako), also a
tray that starts after Pendra or restarts."""

import json
import os
import time
import unittest

from harness import Session, WaylandSession, wait_until
from test_alarms import FAKETIME, FAKETIME_ENV, alarm


WAYLAND_MISSING = WaylandSession.unavailable()


def gap(pop, icon):
    """Pixels between the popover's nearest edge and the icon (0 if touching)."""
    dx = max(icon.x - (pop.x + pop.w), pop.x - (icon.x + icon.w), 0)
    dy = max(icon.y - (pop.y + pop.h), pop.y - (icon.y + icon.h), 0)
    return max(dx, dy)


class DesktopChecks:
    """Checks every desktop gets; a subclass says how its session starts."""

    def make_session(self):
        return Session(self.id(), tray=False)

    def setUp(self):
        self.session = self.make_session()
        self.session.start()
        self.addCleanup(self.session.stop)

    def tearDown(self):
        self.session.screenshot("end")

    def popover(self, app):
        return app.wait_window("popover")

    def assert_placed(self, pop, icon):
        w, h = self.session.size
        self.assertTrue(pop.x >= 0 and pop.y >= 0 and pop.x + pop.w <= w and pop.y + pop.h <= h,
                        "%r is not fully on the %dx%d screen" % (pop, w, h))
        self.assertLessEqual(gap(pop, icon), 40, "%r is not against %r" % (pop, icon))

    def check_clicks(self, app, icon):
        """The icon opens the popover against it; it and an outside click close it."""
        self.session.click(*icon.center)
        self.assert_placed(self.popover(app), icon)
        self.session.screenshot("open")
        self.session.click(*icon.center)
        app.wait_window("popover", present=False)
        time.sleep(1.0)
        self.assertIsNone(app.window("popover"), "the second click reopened it")
        self.session.click(*icon.center)
        app.wait_window("popover")
        w, h = self.session.size
        self.session.click(w // 2, h * 3 // 4)
        app.wait_window("popover", present=False)

    def test_a_tray_started_after_pendra_gets_the_icon_and_the_popover_hangs_by_it(self):
        app = self.session.start_pendra()
        app.wait_window("popover")  # no tray yet: the window
        self.session.start_tray(self.tray)
        started = time.monotonic()
        icon = self.session.find_icon(timeout=10)
        self.assertLess(time.monotonic() - started, 2.0, "the icon came late")
        app.wait_window("popover", present=False)  # gives way to the icon
        self.check_clicks(app, icon)
        self.session.restart_tray()
        self.check_clicks(app, self.session.find_icon(timeout=10))

    def test_an_alarm_rings_with_its_two_buttons(self):
        self.session.start_tray(self.tray)
        data = self.session.path("home", ".local", "share", "Pendra")
        os.makedirs(data)
        with open(os.path.join(data, "alarms.json"), "w", encoding="utf-8") as f:
            json.dump([alarm(7, 0, "Wake up")], f)
        monitor = self.session.monitor_notifications()
        start = self.session.capture_position()
        self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV)
        self.session.find_icon()
        call = monitor.wait_for_notify(1, timeout=30)
        self.assertEqual(call["actions"][2:], ["action", "Snooze", "other", "Dismiss"])
        wait_until(lambda: self.session.sounding_seconds(start) > 1.0, 30, what="the ringtone")
        self.session.screenshot("ringing")


class XfceTray(DesktopChecks, unittest.TestCase):
    tray = "xfce"


@unittest.skipIf(WAYLAND_MISSING, "no Wayland session here: %s" % WAYLAND_MISSING)
class SwayWaybar(DesktopChecks, unittest.TestCase):
    tray = "waybar"

    def make_session(self):
        return WaylandSession(self.id(), tray=False)

    def popover(self, app):
        # A layer surface: only the screen knows where it is.
        app.wait_window("popover")
        return wait_until(self.session.desktop_content, 10, what="the popover on screen")


if __name__ == "__main__":
    unittest.main()
