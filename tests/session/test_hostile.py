"""Hostile input: labels and 1,000 city names with markup, control characters,
RTL text and 10,000 characters; an alarms path that is a folder or a dangling
link; HOME unset or pointing nowhere; stray D-Bus signals from another client."""

import json
import os
import shutil
import time
import unittest

from harness import AlarmsFileCase, alarm, record_case, wait_until, write

LABELS = ["<b>bold</b> & <a href='x'>link</a>", "tab\there bell\x07 escape\x1b[31m",
          "\u202eevil\u202c שלום עולם", "x" * 10000]


class HostileSession(AlarmsFileCase):
    session_options = {"sound": False}


class HostileLabels(HostileSession):
    def test_labels_ring_as_plain_text_and_list_without_breaking_the_panel(self):
        monitor = self.session.monitor_notifications()
        app = self.start_ringing([alarm(l, ringtone="None") for l in LABELS])
        monitor.wait_for_notify(len(LABELS), timeout=40)
        bodies = [c["body"] for c in monitor.calls]
        # Markup reaches the server escaped: it shows as typed, never as a link.
        escaped = "&lt;b&gt;bold&lt;/b&gt; &amp; &lt;a href='x'&gt;link&lt;/a&gt;"
        self.assertIn(escaped, bodies)
        self.assertTrue(any(b.startswith("x" * 100) for b in bodies))
        pop = app.open_tab("Alarms")
        for i in range(len(LABELS)):
            w = app.wait_widget("alarmLabel-%d" % i)
            self.assertTrue(w.x >= pop.x and w.x + w.w <= pop.x + pop.w, w)
        self.session.screenshot("hostile-labels")
        self.assertEqual([a["label"] for a in self.stored()], LABELS,
                         "labels changed on the way through")
        self.assertTrue(app.alive())
        record_case("hostile-labels",
                    "markup, control characters, right-to-left text and a 10,000-character "
                    "label rang as four notifications with the markup escaped, listed inside "
                    "the popover, and were stored back unchanged")


class HostileCities(HostileSession):
    def test_a_thousand_cities_and_odd_names_open_the_world_clock(self):
        # Stored entries are city names; unknown ones keep their row empty.
        odd = ["<b>Bold</b>", "\u202eRTL", "Tab\tCity", "y" * 10000]
        cities = (odd + ["London", "Tokyo", "New York"] * 333)[:1000]
        write(self.session.path("home", ".config", "Zentho", "Pendra.conf"),
              "[General]\ncities=\"@json:%s\"\n"
              % json.dumps(cities).replace("\\", "\\\\").replace('"', '\\"'))
        t_start = time.monotonic()
        app = self.session.start_pendra()
        app.tray_icon(timeout=60)
        ready = time.monotonic() - t_start
        t0 = time.monotonic()
        app.open_tab("World Clock")
        opened = time.monotonic() - t0
        self.session.screenshot("thousand-cities")
        self.assertEqual([w.name for w in app.screen()[1] if w.kind == "label-clipped"], [])
        self.assertEqual(app.wait_widget("worldClockCity-0").text, "<b>Bold</b>",
                         "markup in a city name was rendered")
        long_name = app.wait_widget("worldClockCity-3").text
        self.assertTrue(long_name.endswith("\u2026") and len(long_name) < 100, long_name[:120])
        self.assertTrue(app.alive())
        record_case("cities-1000",
                    "a \"cities\" list of 1,000 entries, some with markup, right-to-left text, "
                    "a tab or 10,000 characters, opened the World Clock tab (%.1f s from the "
                    "click, through the session tools; the icon was up %.1f s after the start)"
                    % (opened, ready), seconds=round(opened, 2), ready=round(ready, 2))


class BrokenAlarmsPath(HostileSession):
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


class StraySignals(HostileSession):
    def test_signals_from_another_client_leave_the_ringing_alarm_alone(self):
        monitor = self.session.monitor_notifications()
        app = self.start_ringing([alarm("Stray", ringtone="None")])
        shown = monitor.wait_for_notify(1, timeout=30)["id"]
        forged = (("ActionInvoked", "us", shown, "other"), ("ActionInvoked", "us", shown, "action"),
                  ("NotificationClosed", "uu", shown, 2),
                  ("ActionInvoked", "us", 4294967295, "\u202e<x>"),
                  ("NotificationClosed", "uu", 0, 99))
        for member, signature, *args in forged:
            self.session.bus.signal("/org/freedesktop/Notifications",
                                    "org.freedesktop.Notifications", member, signature, *args)
        wait_until(lambda: sum(1 for l in app.lines if l.startswith(
            "Ignored a notification signal from")) >= len(forged), 10,
            what="every stray signal ignored")
        time.sleep(0.5)
        self.assertTrue(self.stored()[0]["enabled"], "a stray signal dismissed it")
        self.assertEqual(self.session.dunst_shown_count(), 1)
        self.session.dunst_close()  # by the user: a dismissal
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10, what="the real close")
        record_case("stray-dbus-signals",
                    "%d forged ActionInvoked and NotificationClosed signals from another "
                    "client were each ignored with a line; the alarm went on ringing until "
                    "the server's own close" % len(forged), signals=len(forged))


if __name__ == "__main__":
    unittest.main()
