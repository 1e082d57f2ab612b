"""The world clock tab of the real binary: cities added through the combo box,
their offsets and times, deletion, and the list kept across a restart."""

import re
import unittest
from datetime import datetime
from zoneinfo import ZoneInfo

from harness import Session, inside, wait_until


class WorldClock(unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False)
        self.session.start()
        self.addCleanup(self.session.stop)
        # Offsets are from the user's own zone; pin it so they are known.
        self.env = {"TZ": "UTC"}
        self.app = self.session.start_pendra(env=self.env)

    def tearDown(self):
        self.session.screenshot("end")

    def add(self, entry):
        self.app.click("worldClockAdd")
        combo = self.app.wait_widget("worldClockCombo")
        self.session.click(*combo.center)
        self.session.key("ctrl+a")
        self.session.type(entry)
        self.session.key("Escape")  # closes the completion list, keeps the text
        self.session.key("Return")
        self.app.wait_window("popover")

    def test_add_cities_see_offsets_and_times_delete_and_keep_them(self):
        pop = self.app.open_tab("World Clock")
        for name in ("worldClockAdd", "worldClockClear", "worldClockRefresh"):
            self.assertTrue(inside(self.app.wait_widget(name), pop), name)

        self.add("Kolkata (Asia)")
        self.app.wait_widget("worldClockOffset-0", text="+05:30")
        shown = self.app.wait_widget("worldClockTime-0").text
        now = datetime.now(ZoneInfo("Asia/Kolkata"))
        self.assertIn(shown, {now.strftime("%-I:%M%p"), now.strftime("%H:%M")})

        # A long name, a zone behind UTC, and one on the far side of the date line.
        for entry in ("Port of Spain (America)", "St Johns (America)",
                      "DumontDUrville (Antarctica)"):
            self.add(entry)
        self.app.wait_widget("worldClockOffset-1", text="-04:00")
        self.app.wait_widget("worldClockOffset-3", text="+10:00")
        self.session.screenshot("four-cities")

        # Nothing clipped or outside the popover, rows in order without overlap.
        widgets = self.app.screen()[1]
        rows = [w for w in widgets if re.match(r"worldClock(City|Offset|Time|Delete)-\d", w.name)]
        self.assertEqual(len(rows), 16)
        for w in rows:
            self.assertNotEqual(w.kind, "label-clipped", w)
            self.assertTrue(inside(w, pop), "%r outside %r" % (w, pop))
        for i in range(4):
            parts = [self.app.widget("worldClock%s-%d" % (k, i))
                     for k in ("City", "Offset", "Time", "Delete")]
            for a, b in zip(parts, parts[1:]):
                self.assertLessEqual(a.x + a.w, b.x + 1, (a, b))
            below = self.app.widget("worldClockCity-%d" % (i + 1))
            if below:
                self.assertLessEqual(parts[0].y + parts[0].h, below.y)

        self.app.click("worldClockDelete-1")
        self.app.wait_widget("worldClockCity-1", text="St Johns")
        wait_until(lambda: self.app.widget("worldClockCity-3") is None, 10, what="three rows")

        # The list outlives the program.
        self.app.terminate()
        self.app.wait()
        self.app = self.session.start_pendra(env=self.env)
        self.app.open_tab("World Clock")
        for i, city in enumerate(("Kolkata", "St Johns", "DumontDUrville")):
            self.app.wait_widget("worldClockCity-%d" % i, text=city)
        self.app.click("worldClockClear")
        self.app.click("worldClockClearAlertConfirm")
        wait_until(lambda: self.app.widget("worldClockCity-0") is None, 10, what="cleared")


if __name__ == "__main__":
    unittest.main()
