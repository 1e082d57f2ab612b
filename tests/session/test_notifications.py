"""The desktop presenter against a real dunst on a real bus."""

import os
import time
import unittest

from harness import Session, wait_until

PROBE = os.environ.get("PENDRA_NOTIFY_PROBE") or os.path.join(
    os.path.dirname(__file__), "..", "..", "build", "bin", "notify_probe")


class NotificationsSession(unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False, tray=False)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.monitor = self.session.monitor_notifications()
        self.probe = self.session.start_pendra(binary=PROBE, stdin=True)
        self.probe.wait_for_line("^probe-ready$")

    def tearDown(self):
        self.session.screenshot("end")

    def notify(self, ident, body, count):
        self.probe.send("notify %s %s" % (ident, body))
        self.probe.wait_for_line("^deliver: %s$" % ident)
        call = self.monitor.wait_for_notify(count)
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        return call

    def test_dunst_shows_the_texts_and_both_buttons(self):
        call = self.notify("alarm-0-0", "<b>x</b> & y", 1)
        self.assertEqual(call["app"], "Pendra")
        self.assertEqual(call["summary"], "Pendra")
        self.assertEqual(call["body"], "&lt;b&gt;x&lt;/b&gt; &amp; y")
        self.assertEqual(call["actions"], ["default", "", "action", "Snooze", "other", "Dismiss"])
        raw = "\n".join(call["raw"])
        self.assertIn('"urgency"', raw)
        self.assertIn("byte 2", raw)
        self.assertIn('"desktop-entry"', raw)
        self.assertIn('"pendra"', raw)
        self.assertIn("int32 0", raw)
        self.session.screenshot("shown")

    def test_each_answer_reaches_its_callback_once(self):
        self.notify("alarm-1-0", "Wake up", 1)
        self.session.dunst_invoke("Snooze")
        self.probe.wait_for_line(r"^activate: alarm-1-0 2$")
        # Pendra closes it itself; the close that follows is no second answer.
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the close")
        time.sleep(0.5)
        self.assertFalse(self.probe.has_line("^dismiss: alarm-1-0$"))

        self.notify("alarm-2-0", "Again", 2)
        self.session.dunst_invoke("Dismiss")
        self.probe.wait_for_line(r"^dismiss: alarm-2-0$")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the close")

        self.notify("alarm-3-0", "Closed by the user", 3)
        self.session.dunst_close()
        self.probe.wait_for_line(r"^dismiss: alarm-3-0$")
        self.assertFalse(self.probe.has_line("^activate: alarm-3-0"))

    def test_withdrawing_closes_it_on_screen(self):
        self.notify("timer-", "Timer done", 1)
        self.probe.send("withdraw timer-")
        self.probe.wait_for_line("^withdrawn: timer-$")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the close")
        time.sleep(0.3)
        self.assertFalse(self.probe.has_line("^dismiss: timer-$"))


if __name__ == "__main__":
    unittest.main()
