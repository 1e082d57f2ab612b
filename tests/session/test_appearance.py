"""Every tab of the popover at 200 % scaling and in the desktop's dark colour
scheme: nothing clipped, nothing outside the popover, the popover against its
icon. Screenshots are kept."""

import os
import subprocess
import unittest

from harness import Session, inside, wait_until



class TabsCheck:
    def fill_and_check_every_tab(self, pop, what):
        self.app.click(text="World Clock")
        self.app.click("worldClockAdd")
        combo = self.app.wait_widget("worldClockCombo")
        self.session.click(*combo.center)
        self.session.key("ctrl+a")
        self.session.type("Port of Spain (America)")
        self.session.key("Escape")
        self.session.key("Return")
        self.app.wait_widget("worldClockCity-0", text="Port of Spain")
        self.app.click(text="Alarms")
        self.app.click("alarmNew")
        self.app.wait_widget("alarmDone")
        self.app.click("alarmDone")
        self.app.wait_widget("alarmTime-0")
        shots = []
        for label in ("World Clock", "Alarms", "Timer", "Stopwatch"):
            tab = self.app.click(text=label)
            self.app.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
            shots.append(self.session.screenshot("%s %s" % (what, label)))
            widgets = self.app.screen()[1]
            self.assertTrue(widgets)
            for w in widgets:
                if w.kind.startswith("tab"):
                    continue
                self.assertNotEqual(w.kind, "label-clipped", "%s: %r" % (label, w))
                if w.w > 0 and w.h > 0:
                    self.assertTrue(inside(w, pop), "%s: %r outside %r" % (label, w, pop))
        return shots


class Scaled(TabsCheck, unittest.TestCase):
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

        self.fill_and_check_every_tab(pop, "scaled")


def luminance(shot, x, y):
    out = subprocess.run(["convert", shot, "-crop", "1x1+%d+%d" % (x, y), "-format",
                          "%[fx:luminance]", "info:"], capture_output=True, text=True).stdout
    return float(out)


class Dark(TabsCheck, unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False)
        self.session.start()
        self.addCleanup(self.session.stop)
        # GNOME's "prefer-dark", through GIO's own keyfile backend.
        conf = self.session.path("home", ".config", "glib-2.0", "settings")
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "keyfile"), "w") as f:
            f.write("[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n")
        self.app = self.session.start_pendra(env={"GSETTINGS_BACKEND": "keyfile", "TZ": "UTC"})

    def test_every_tab_is_dark_and_fits(self):
        self.session.click(*self.app.tray_icon().center)
        pop = self.app.wait_window("popover")
        shots = self.fill_and_check_every_tab(pop, "dark")
        # Sampled inside the popover, below the tabs and away from any text:
        # the window's own colour.
        for shot in shots:
            self.assertLess(luminance(shot, pop.x + 4, pop.y + pop.h - 4), 0.3, shot)
            self.assertLess(luminance(shot, pop.x + pop.w // 2, pop.y + pop.h - 60), 0.3, shot)

if __name__ == "__main__":
    unittest.main()
