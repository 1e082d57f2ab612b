"""Every tab of the popover at 200 % scaling: nothing clipped, nothing outside
the popover, the popover against its icon. Screenshots are kept."""

import unittest

from harness import Session, wait_until


def inside(inner, outer):
    return (inner.x >= outer.x and inner.y >= outer.y and inner.x + inner.w <= outer.x + outer.w
            and inner.y + inner.h <= outer.y + outer.h)


class Scaled(unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False, width=1920, height=1080)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.app = self.session.start_pendra(env={"QT_SCALE_FACTOR": "2", "TZ": "UTC"})

    def test_every_tab_fits_at_twice_the_size(self):
        icon = self.app.tray_icon()
        self.session.click(*icon.center)
        pop = self.app.wait_window("popover")
        self.assertGreaterEqual(pop.w, 900, "not scaled: %r" % (pop,))
        # Hangs under the icon of the top panel, within the screen.
        self.assertLess(abs(pop.y - (icon.y + icon.h)), 40, (pop, icon))
        self.assertLessEqual(pop.x, icon.x + icon.w)
        self.assertLessEqual(pop.x + pop.w, 1920)

        # Some content in the tabs that have rows.
        self.app.click(text="World Clock")
        self.app.click("worldClockAdd")
        combo = self.app.wait_widget("worldClockCombo")
        self.session.click(*combo.center)
        self.session.key("ctrl+a")
        self.session.type("Port of Spain/America")
        self.session.key("Escape")
        self.session.key("Return")
        self.app.wait_widget("worldClockCity-0", text="Port of Spain")
        self.app.click(text="Alarms")
        self.app.click("alarmNew")
        self.app.wait_widget("alarmDone")
        self.app.click("alarmDone")
        self.app.wait_widget("alarmTime-0")

        for label in ("World Clock", "Alarms", "Timer", "Stopwatch"):
            tab = self.app.click(text=label)
            self.app.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
            self.session.screenshot("scaled " + label)
            widgets = self.app.screen()[1]
            self.assertTrue(widgets)
            for w in widgets:
                if w.kind.startswith("tab"):
                    continue
                self.assertNotEqual(w.kind, "label-clipped", "%s: %r" % (label, w))
                if w.w > 0 and w.h > 0 and w.name not in ("-",):
                    self.assertTrue(inside(w, pop), "%s: %r outside %r" % (label, w, pop))


if __name__ == "__main__":
    unittest.main()
