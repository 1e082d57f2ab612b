"""Every tab of the popover at 200 % scaling in each shipped language and in the
desktop's dark colour scheme: nothing clipped, nothing outside the popover, the
popover against its icon. Screenshots are kept."""

import os
import subprocess
import unittest

from harness import Session, inside, wait_until



class TabsCheck:
    def fill_and_check_every_tab(self, pop, what):
        self.app.click("tab-0")
        self.app.click("worldClockAdd")
        combo = self.app.wait_widget("worldClockCombo")
        self.session.click(*combo.center)
        self.session.key("ctrl+a")
        self.session.type("Port of Spain (America)")
        self.session.key("Escape")
        self.session.key("Return")
        self.app.wait_widget("worldClockCity-0", text="Port of Spain")
        self.app.click("tab-1")
        self.app.click("alarmNew")
        self.app.wait_widget("alarmDone")
        self.session.screenshot("%s alarm editor" % what)
        self.check_widgets("alarm editor", pop)
        self.app.click("alarmDone")
        self.app.wait_widget("alarmTime-0")
        shots = []
        for label in ("World Clock", "Alarms", "Timer", "Stopwatch"):
            tab = self.app.click("tab-%d" % len(shots))
            self.app.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
            shots.append(self.session.screenshot("%s %s" % (what, label)))
            self.check_widgets(label, pop)
        return shots

    def check_widgets(self, label, pop):
        widgets = self.app.screen()[1]
        self.assertTrue(widgets)
        for w in widgets:
            if w.kind.startswith("tab"):
                continue
            self.assertFalse(w.kind.endswith("-clipped"), "%s: %r" % (label, w))
            if w.w > 0 and w.h > 0:
                self.assertTrue(inside(w, pop), "%s: %r outside %r" % (label, w, pop))


class Scaled(TabsCheck, unittest.TestCase):
    def setUp(self):
        self.session = Session(self.id(), sound=False, width=1920, height=1080)
        self.session.start()
        self.addCleanup(self.session.stop)

    def test_every_tab_fits_at_twice_the_size_in_every_language(self):
        english = None
        # The locale as a desktop sets it; Qt reads it without the C library's
        # compiled locales.
        for lang in ("C.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8"):
            with self.subTest(lang):
                self.app = self.session.start_pendra(env={
                    "QT_SCALE_FACTOR": "2", "TZ": "UTC", "LANG": lang, "LC_ALL": lang,
                    "LANGUAGE": None})
                try:
                    titles = self.check_scaled(lang.split(".")[0])
                finally:  # one instance at a time
                    self.app.terminate()
                    self.app.wait()
                if english is None:
                    english = titles
                    self.assertEqual(titles, ["World Clock", "Alarms", "Timer", "Stopwatch"])
                else:
                    self.assertNotEqual(titles, english, "%s not translated" % lang)

    def check_scaled(self, what):
        icon = self.app.tray_icon()
        self.session.click(*icon.center)
        pop = self.app.wait_window("popover")
        self.assertGreaterEqual(pop.w, 900, "not scaled: %r" % (pop,))
        # Hangs under the icon of the top panel, within the screen.
        self.assertLess(abs(pop.y - (icon.y + icon.h)), 40, (pop, icon))
        self.assertLessEqual(pop.x, icon.x + icon.w)
        self.assertLessEqual(pop.x + pop.w, 1920)

        self.fill_and_check_every_tab(pop, "scaled " + what)
        return [w.text for w in self.app.screen()[1] if w.kind.startswith("tab")]


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
