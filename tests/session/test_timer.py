"""The countdown timer with the real binary: set through the popover, ended by
"Timer done" in dunst with the ringtone on the sound server, answered there."""

import os
import time
import unittest

from harness import Session, wait_until


class TimerSession(unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=True)
        self.session.start()
        self.addCleanup(self.session.stop)
        conf = self.session.path("home", ".config", "Zentho")
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "Pendra.conf"), "w") as f:
            f.write("[General]\nringtone=Radar\n")
        self.monitor = self.session.monitor_notifications()
        self.app = self.session.start_pendra()
        self.app.open_tab("Timer")

    def tearDown(self):
        self.session.screenshot("end")

    def mapped(self, library):
        with open("/proc/%d/maps" % self.app.proc.pid) as f:
            return library in f.read()

    def test_three_seconds_ring_until_dismissed_and_repeat_starts_again(self):
        self.app.wait_widget("timerRingtone", text="Radar")
        # Nothing has rung yet, so the sound stack must not be loaded.
        self.assertFalse(self.mapped("libQt6Multimedia"))
        self.session.click(*self.app.wait_widget("timerSeconds").center)
        self.session.key("ctrl+a")
        self.session.type("3")
        self.app.click("timerStart")
        self.app.wait_widget("timerStart", text="Pause")
        start = self.session.capture_position()
        call = self.monitor.wait_for_notify(1, timeout=20)
        self.assertEqual(call["summary"], "Pendra")
        self.assertEqual(call["body"], "Timer done")
        self.assertEqual(call["actions"][2:], ["action", "Repeat", "other", "Dismiss"])
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        wait_until(lambda: self.session.sounding_seconds(start) > 3.0, 30, what="the ringtone")
        self.assertTrue(self.mapped("pendra-audio.so"))

        self.session.dunst_invoke("Repeat")
        self.app.wait_widget("timerSeconds", pred=lambda w: w.text in ("02", "01", "00"))
        self.monitor.wait_for_notify(2, timeout=20)
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="the second alert")
        self.session.dunst_invoke("Dismiss")
        self.app.wait_widget("timerStart", text="Start")
        self.app.wait_widget("timerSeconds", text="03")
        time.sleep(1.0)
        quiet = self.session.capture_position()
        time.sleep(2.0)
        self.assertLess(self.session.sounding_seconds(quiet), 0.2, "still ringing after Dismiss")


if __name__ == "__main__":
    unittest.main()
