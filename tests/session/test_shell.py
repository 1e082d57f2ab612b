"""The tray icon, the popover and quitting, with the real binary."""

import subprocess
import time
import unittest

from harness import SessionCase


class Shell(SessionCase):
    session_options = {"panel": "bottom", "sound": False}

    def test_second_launch_opens_the_popover_above_a_bottom_icon_then_quit_asks_once(self):
        s = self.session
        app = s.start_pendra()
        icon = app.tray_icon()
        second = subprocess.run([s.binary], env=s.env, timeout=30, capture_output=True)
        self.assertEqual(second.returncode, 0, second.stdout + second.stderr)
        self.assertNotIn(b"24 hour time", second.stdout)  # it handed over before starting up
        pop = app.wait_window("popover")
        w, h = s.size
        self.assertTrue(pop.x >= 0 and pop.y >= 0 and pop.x + pop.w <= w, (pop, icon))
        self.assertLessEqual(pop.y + pop.h, icon.y, "not above the icon")
        self.assertLessEqual(abs(pop.x + pop.w / 2 - icon.center[0]), pop.w / 2, "not beside it")
        s.screenshot("open")

        app.click("quitButton")
        app.wait_widget(text="Are you sure you want to quit?")
        box = app.wait_widget("quitAlertSuppression", text="Don't show this again")
        s.screenshot("warning")
        # The popover is no task of its own, and the question has nothing to
        # maximise (as the window manager sees both).
        props = [subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE", "_NET_WM_ALLOWED_ACTIONS"],
                                env=s.env, capture_output=True, text=True).stdout
                 for wid in s.xdotool("search", "--onlyvisible", "--name", "^Pendra$").split()]
        self.assertEqual(len(props), 2, props)
        self.assertTrue(any("_NET_WM_STATE_SKIP_TASKBAR" in p for p in props), props)
        self.assertFalse(any("MAXIMIZE" in p for p in props), props)
        s.click(*box.center)
        app.wait_widget("quitAlertSuppression", pred=lambda w: w.checked)
        app.click("quitAlertCancel")
        app.wait_window("quitAlert", present=False)
        time.sleep(0.5)
        self.assertTrue(app.alive())
        if app.window("popover") is None:
            s.click(*icon.center)
        app.click("quitButton")
        self.assertEqual(app.wait(15), 0)
        self.assertIsNone(app.window("quitAlert"), "asked again")
        app.wait_for_line(r"^test$")


if __name__ == "__main__":
    unittest.main()
