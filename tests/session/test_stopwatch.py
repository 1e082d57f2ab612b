"""The stopwatch tab of the real binary: start, lap, stop, reset, and the
count going on while the popover is closed."""

import re
import time
import unittest

from harness import Session, inside, wait_until


def hundredths(text):
    minutes, seconds, rest = re.fullmatch(r"(\d+):(\d\d)\.(\d\d)", text).groups()
    return int(minutes) * 6000 + int(seconds) * 100 + int(rest)


class Stopwatch(unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.app = self.session.start_pendra()
        self.icon = self.app.tray_icon()

    def tearDown(self):
        self.session.screenshot("end")

    def shown(self):
        return hundredths(self.app.wait_widget("timeLbl").text)

    def wait_shown(self, pred, what):
        return wait_until(lambda: pred(self.shown()), 20.0, what=what)

    def test_start_lap_stop_reset_and_running_while_closed(self):
        pop = self.app.open_tab("Stopwatch")
        label = self.app.wait_widget("timeLbl", text="00:00.00")
        start = self.app.wait_widget("startStopBtn", text="Start")
        lap = self.app.wait_widget("lapBtn", text="Lap", pred=lambda w: not w.enabled)
        table = self.app.widget("lapTableView")

        # Laid out inside the popover, top to bottom, nothing overlapping.
        for w in (label, start, lap):
            self.assertTrue(inside(w, pop), "%r outside %r" % (w, pop))
        self.assertLessEqual(label.y + label.h, min(start.y, lap.y))
        self.assertLessEqual(start.x + start.w, lap.x)
        if table is not None:
            self.assertTrue(inside(table, pop), "%r outside %r" % (table, pop))
            self.assertLessEqual(max(start.y + start.h, lap.y + lap.h), table.y)

        self.app.click("startStopBtn")
        self.wait_shown(lambda t: t >= 100, what="one second counted")
        self.app.click("lapBtn")
        self.wait_shown(lambda t: t >= 150, what="counting on after the lap")
        self.session.screenshot("running")
        self.app.click("startStopBtn")
        self.app.wait_widget("lapBtn", text="Reset")

        # Resumed and closed, it goes on counting; reopened, it shows the time.
        self.app.click("startStopBtn")
        self.app.wait_widget("startStopBtn", text="Stop")
        resumed = self.shown()
        self.session.click(self.icon.x + self.icon.w // 2, 600)
        self.app.wait_window("popover", present=False)
        closed_at = time.monotonic()
        time.sleep(2.0)
        self.app.open_tab("Stopwatch")
        gone = time.monotonic() - closed_at
        self.wait_shown(lambda t: t >= resumed + int(gone * 100) - 10,
                        what="time counted while closed")

        self.app.click("startStopBtn")
        self.app.wait_widget("lapBtn", text="Reset")
        self.app.click("lapBtn")
        self.app.wait_widget("timeLbl", text="00:00.00")


if __name__ == "__main__":
    unittest.main()
