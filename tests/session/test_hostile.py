"""Hostile input: labels and 1,000 city names with markup, control characters,
RTL text and 10,000 characters; stray D-Bus signals from another client; an
alarms path that is a folder or a dangling link; HOME unset or pointing nowhere."""

import json
import os
import shutil
import time

from harness import SessionCase, alarm, record_case, wait_until, write

LABELS = ["<b>bold</b> & <a href='x'>link</a>", "tab\there bell\x07 escape\x1b[31m",
          "\u202eevil\u202c שלום עולם", "x" * 10000]


class HostileText(SessionCase):
    def test_labels_and_cities_show_as_plain_text_and_stray_signals_are_ignored(self):
        s = self.session
        # Stored entries are city names; unknown ones keep their row empty.
        odd = ["<b>Bold</b>", "\u202eRTL", "Tab\tCity", "y" * 10000]
        cities = (odd + ["London", "Tokyo", "New York"] * 333)[:1000]
        write(s.path("home", ".config", "Zentho", "Pendra.conf"),
              "[General]\ncities=\"@json:%s\"\n"
              % json.dumps(cities).replace("\\", "\\\\").replace('"', '\\"'))
        t_start = time.monotonic()
        app = self.start_ringing([alarm(l, ringtone="None") for l in LABELS])
        app.tray_icon(timeout=60)
        ready = time.monotonic() - t_start
        self.monitor.wait_for_notify(len(LABELS), timeout=40)
        bodies = [c["body"] for c in self.monitor.calls]
        # Markup reaches the server escaped: it shows as typed, never as a link.
        escaped = "&lt;b&gt;bold&lt;/b&gt; &amp; &lt;a href='x'&gt;link&lt;/a&gt;"
        self.assertIn(escaped, bodies)
        self.assertTrue(any(b.startswith("x" * 100) for b in bodies))

        shown = self.monitor.calls[0]["id"]
        forged = (("ActionInvoked", "us", shown, "other"), ("ActionInvoked", "us", shown, "action"),
                  ("NotificationClosed", "uu", shown, 2),
                  ("ActionInvoked", "us", 4294967295, "\u202e<x>"),
                  ("NotificationClosed", "uu", 0, 99))
        for member, signature, *args in forged:
            s.bus.signal("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                         member, signature, *args)
        wait_until(lambda: sum(1 for l in app.lines if l.startswith(
            "Ignored a notification signal from")) >= len(forged), 10,
            what="every stray signal ignored")
        time.sleep(0.5)
        self.assertEqual([a["enabled"] for a in self.stored()], [True] * len(LABELS),
                         "a stray signal dismissed one")
        self.assertEqual(s.dunst_shown_count(), len(LABELS))

        pop = app.open_tab("Alarms")
        for i in range(len(LABELS)):
            w = app.wait_widget("alarmLabel-%d" % i)
            self.assertTrue(w.x >= pop.x and w.x + w.w <= pop.x + pop.w, w)
        s.screenshot("hostile-labels")
        t0 = time.monotonic()
        app.open_tab("World Clock")
        opened = time.monotonic() - t0
        s.screenshot("thousand-cities")
        self.assertEqual([w.name for w in app.screen()[1] if w.kind == "label-clipped"], [])
        self.assertEqual(app.wait_widget("worldClockCity-0").text, "<b>Bold</b>",
                         "markup in a city name was rendered")
        long_name = app.wait_widget("worldClockCity-3").text
        self.assertTrue(long_name.endswith("\u2026") and len(long_name) < 100, long_name[:120])

        s.dunst_close()  # by the user: a dismissal
        wait_until(lambda: sorted(a["enabled"] for a in self.stored()) == [False] + [True] * 3, 10,
                   what="the real close")
        self.assertEqual([a["label"] for a in self.stored()], LABELS,
                         "labels changed on the way through")
        self.assertTrue(app.alive())
        record_case("hostile-labels",
                    "markup, control characters, right-to-left text and a 10,000-character "
                    "label rang as four notifications with the markup escaped, listed inside "
                    "the popover, and were stored back unchanged")
        record_case("cities-1000",
                    "a \"cities\" list of 1,000 entries, some with markup, right-to-left text, "
                    "a tab or 10,000 characters, opened the World Clock tab (%.1f s from the "
                    "click, through the session tools; the icon was up %.1f s after the start)"
                    % (opened, ready), seconds=round(opened, 2), ready=round(ready, 2))
        record_case("stray-dbus-signals",
                    "%d forged ActionInvoked and NotificationClosed signals from another "
                    "client were each ignored with a line; the alarm went on ringing until "
                    "the server's own close" % len(forged), signals=len(forged))


class BrokenAlarmsPath(SessionCase):
    def start_and_hear(self, what):
        app = self.session.start_pendra()
        app.tray_icon()
        time.sleep(1.0)
        self.assertTrue(app.alive())
        self.assertTrue(app.lines, "nothing said about the " + what)
        return app

    def test_a_folder_or_a_dangling_symlink_in_place_of_the_file_or_no_home(self):
        write(os.path.join(self.file, "keep"), "mine")
        app = self.start_and_hear("folder")
        app.open_tab("Alarms")
        app.click("alarmNew")
        app.click("alarmDone")
        wait_until(lambda: app.has_line("^Failed to write JSON data"), 10, what="a failed write")
        with open(os.path.join(self.file, "keep")) as f:
            self.assertEqual(f.read(), "mine")
        record_case("alarms-path-directory",
                    "a folder named alarms.json: the program said \"%s\", kept running, and a "
                    "new alarm's write failed with a line without touching the folder"
                    % app.lines[0][:120])
        app.stop()

        shutil.rmtree(self.file)
        os.symlink(self.session.path("gone", "alarms.json"), self.file)
        app = self.start_and_hear("dangling link")
        self.assertTrue(os.path.islink(self.file), "the link was replaced")
        record_case("alarms-path-dangling-symlink",
                    "a dangling link named alarms.json: the program said \"%s\" and kept "
                    "running; the link was left as it was" % app.lines[0][:120])
        app.stop()

        unset = {k: None for k in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME")}
        for env in (unset, dict(unset, HOME="/nonexistent/home")):
            app = self.session.start_pendra(env=env)
            time.sleep(3.0)
            self.assertTrue(app.alive(), env)
            self.assertEqual(app.stop(), 0, env)
        record_case("home-unset",
                    "with HOME and the XDG folders unset, and with HOME=/nonexistent/home, the "
                    "program ran and ended with status 0 on SIGTERM%s"
                    % ((" (it said \"%s\")" % app.lines[0][:100]) if app.lines else ""))
