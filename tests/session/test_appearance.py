"""Every tab of the popover at 200 % scaling in each shipped language, in the
desktop's dark colour scheme: nothing clipped, nothing outside the popover, the
popover against its icon, and dark. Screenshots are kept."""

from harness import SessionCase, inside, write

TABS = ["World Clock", "Alarms", "Timer", "Stopwatch"]


class Appearance(SessionCase):
    session_options = {"sound": False, "width": 1920, "height": 1080}

    def test_every_tab_fits_at_twice_the_size_dark_in_every_language(self):
        s = self.session
        # GNOME's "prefer-dark", through GIO's own keyfile backend.
        write(s.path("home", ".config", "glib-2.0", "settings", "keyfile"),
              "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n")
        english = None
        # The locale as a desktop sets it; Qt reads it without the C library's
        # compiled locales.
        for lang in ("C.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8"):
            with self.subTest(lang):
                self.app = s.start_pendra(env={
                    "QT_SCALE_FACTOR": "2", "TZ": "UTC", "LANG": lang, "LC_ALL": lang,
                    "LANGUAGE": None, "GSETTINGS_BACKEND": "keyfile"})
                try:
                    titles = self.check_every_tab(lang.split(".")[0])
                finally:  # one instance at a time
                    self.app.stop()
                if english is None:
                    english = titles
                    self.assertEqual(titles, TABS)
                else:
                    self.assertNotEqual(titles, english, "%s not translated" % lang)

    def check_every_tab(self, what):
        s, app = self.session, self.app
        icon = app.tray_icon()
        s.click(*icon.center)
        pop = app.wait_window("popover")
        self.assertGreaterEqual(pop.w, 900, "not scaled: %r" % (pop,))
        self.assertLess(abs(pop.y - (icon.y + icon.h)), 40, (pop, icon))
        self.assertLessEqual(pop.x, icon.x + icon.w)
        self.assertLessEqual(pop.x + pop.w, 1920)
        app.click("tab-0")
        app.add_city("Port of Spain (America)")
        app.wait_widget("worldClockCity-0", text="Port of Spain")
        app.click("tab-1")
        app.click("alarmNew")
        app.wait_widget("alarmDone")
        s.screenshot("%s alarm editor" % what)
        self.check_widgets("alarm editor", pop)
        app.click("alarmDone")
        app.wait_widget("alarmTime-0")
        for i, label in enumerate(TABS):
            tab = app.click("tab-%d" % i)
            app.wait_widget(tab.name, pred=lambda w: w.kind == "tab-current")
            s.screenshot("%s %s" % (what, label))
            self.check_widgets(label, pop)
            # The window's own colour, in two corners away from any text.
            for x, y in ((pop.x + 4, pop.y + pop.h - 4), (pop.x + pop.w - 8, pop.y + 8)):
                self.assertLess(max(s.grab(x, y, 1, 1)), 77, "%s: light at %d,%d" % (label, x, y))
        return [w.text for w in app.screen()[1] if w.kind.startswith("tab")]

    def check_widgets(self, label, pop):
        widgets = self.app.screen()[1]
        self.assertTrue(widgets)
        for w in widgets:
            if not w.kind.startswith("tab"):
                self.assertFalse(w.kind.endswith("-clipped"), "%s: %r" % (label, w))
                if w.w > 0 and w.h > 0:
                    self.assertTrue(inside(w, pop), "%s: %r outside %r" % (label, w, pop))
