"""The tray icon, the popover and quitting, with the real binary."""

import signal
import subprocess
import time
import unittest

from harness import Session, wait_until


class ShellSession(unittest.TestCase):
    panel = "top"

    def setUp(self):
        self.session = Session(self.id(), panel=self.panel, sound=False)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.app = self.session.start_pendra()
        self.icon = self.app.tray_icon()

    def tearDown(self):
        self.session.screenshot("end")

    def open_popover(self):
        self.session.click(*self.icon.center)
        return self.app.wait_window("popover")

    def assert_against_icon(self, pop):
        w, h = self.session.size
        self.assertGreaterEqual(pop.x, 0)
        self.assertGreaterEqual(pop.y, 0)
        self.assertLessEqual(pop.x + pop.w, w)
        self.assertLessEqual(pop.y + pop.h, h)
        self.assertLessEqual(abs(pop.x + pop.w / 2 - (self.icon.x + self.icon.w / 2)),
                             pop.w / 2, "the popover is not beside the icon")


class TopPanel(ShellSession):
    # Clicks on the icon and outside: test_desktops, on every desktop.
    def test_second_launch_shows_the_first_and_exits(self):
        second = subprocess.run([self.session.binary], env=self.session.env, timeout=30,
                                capture_output=True)
        self.assertEqual(second.returncode, 0, second.stdout + second.stderr)
        self.assertNotIn(b"24 hour time", second.stdout)
        pop = self.app.wait_window("popover")
        self.assert_against_icon(pop)
        self.assertTrue(self.app.alive())

    def test_quit_asks_and_quit_ends_with_status_zero(self):
        self.open_popover()
        self.app.click("quitButton")
        self.app.wait_window("quitAlert")
        self.app.wait_widget(text="Are you sure you want to quit?")
        self.app.wait_widget("quitAlertSuppression", text="Don't show this again")
        self.session.screenshot("warning")
        # The popover is no task of its own, and the question has nothing to
        # maximise (as the window manager sees both).
        props = [subprocess.run(["xprop", "-id", str(w), "_NET_WM_STATE", "_NET_WM_ALLOWED_ACTIONS"],
                                env=self.session.env, capture_output=True, text=True).stdout
                 for w in self.session.visible_windows("^Pendra$")]
        self.assertEqual(len(props), 2, props)
        self.assertTrue(any("_NET_WM_STATE_SKIP_TASKBAR" in p for p in props), props)
        self.assertFalse(any("MAXIMIZE" in p for p in props), props)
        self.assertTrue(self.app.has_line(r"^self\.reply: false$"))
        self.app.click("quitAlertQuit")
        self.assertEqual(self.app.wait(15), 0)
        self.app.wait_for_line(r"^self\.reply: true$")
        self.app.wait_for_line(r"^test$")

    def test_suppressed_cancel_then_quit_is_immediate(self):
        self.open_popover()
        self.app.click("quitButton")
        box = self.app.wait_widget("quitAlertSuppression")
        self.session.click(*box.center)
        self.app.wait_widget("quitAlertSuppression", pred=lambda w: w.checked)
        self.app.click("quitAlertCancel")
        self.app.wait_window("quitAlert", present=False)
        time.sleep(0.5)
        self.assertTrue(self.app.alive())
        if self.app.window("popover") is None:
            self.open_popover()
        self.app.click("quitButton")
        self.assertEqual(self.app.wait(15), 0)
        self.assertIsNone(self.app.window("quitAlert"))

    def test_sigterm_ends_with_status_zero(self):
        self.open_popover()
        self.app.proc.send_signal(signal.SIGTERM)
        self.assertEqual(self.app.wait(15), 0)
        self.app.wait_for_line(r"^test$")


class BottomPanel(ShellSession):
    panel = "bottom"

    def test_popover_stands_above_an_icon_in_a_bottom_panel(self):
        pop = self.open_popover()
        self.assert_against_icon(pop)
        self.assertLessEqual(pop.y + pop.h, self.icon.y)
        self.session.screenshot("open")


class NoTray(unittest.TestCase):
    def test_without_a_tray_the_popover_opens_as_a_window(self):
        with Session(self.id(), tray=False, sound=False) as s:
            app = s.start_pendra()
            pop = app.wait_window("popover")
            self.assertEqual(pop.text, "Pendra")
            wait_until(lambda: s.visible_windows("^Pendra$"), 10, what="a mapped window")
            s.screenshot("window")
            app.terminate()
            self.assertEqual(app.wait(15), 0)


if __name__ == "__main__":
    unittest.main()
