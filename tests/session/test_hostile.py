"""Hostile input to the real binary: labels and city names with markup,
control characters, right-to-left text and 10,000 characters; an alarms path
that is a folder or a dangling link; HOME unset or pointing nowhere; 1,000
cities; stray D-Bus signals from another client while an alarm rings."""

import json
import os
import signal
import subprocess
import time
import unittest

from harness import AlarmsFileCase, record_case, wait_until

FAKETIME = "2026-12-07 06:59:55"
FAKETIME_ENV = {"FAKETIME_DONT_FAKE_MONOTONIC": "1"}
LABELS = ["<b>bold</b> & <a href='x'>link</a>", "tab\there bell\x07 escape\x1b[31m",
          "\u202eevil\u202c שלום עולם", "x" * 10000]


def alarm(label, ringtone="None", enabled=True):
    return {"hour": 7, "minute": 0, "ringtone": ringtone, "snooze": 9, "isSnoozed": False,
            "label": label, "repeatDays": [False] * 7, "enabled": enabled}


class HostileSession(AlarmsFileCase):
    session_options = {"sound": False}

    def visible_lines(self, app):
        return [l for l in app.lines if not l.startswith(("intro", "window: ", "widget: "))]


class HostileLabels(HostileSession):
    def test_labels_ring_as_plain_text_and_list_without_breaking_the_panel(self):
        self.plant([alarm(l) for l in LABELS])
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV)
        monitor.wait_for_notify(len(LABELS), timeout=40)
        bodies = [c["body"] for c in monitor.calls]
        # Markup reaches the server escaped: it shows as typed, never as a link.
        escaped = "&lt;b&gt;bold&lt;/b&gt; &amp; &lt;a href='x'&gt;link&lt;/a&gt;"
        self.assertTrue(escaped in bodies, [b[:80] for b in bodies if b])
        self.assertTrue(any(b and b.startswith("x" * 100) for b in bodies))
        app.open_tab("Alarms")
        rows = [app.wait_widget("alarmLabel-%d" % i) for i in range(len(LABELS))]
        pop = app.window("popover")
        for w in rows:
            self.assertTrue(w.x >= pop.x and w.x + w.w <= pop.x + pop.w, w)
        self.session.screenshot("hostile-labels")
        self.assertEqual([a["label"] for a in json.load(open(self.file, encoding="utf-8"))],
                         LABELS, "labels changed on the way through")
        self.assertTrue(app.alive())
        record_case("hostile-labels",
                    "markup, control characters, right-to-left text and a 10,000-character "
                    "label rang as four notifications with the markup escaped, listed inside "
                    "the popover, and were stored back unchanged")


class HostileCities(HostileSession):
    def plant_cities(self, cities):
        conf = self.session.path("home", ".config", "Zentho")
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "Pendra.conf"), "w", encoding="utf-8") as f:
            f.write("[General]\ncities=\"@json:%s\"\n"
                    % json.dumps(cities).replace("\\", "\\\\").replace('"', '\\"'))

    def test_a_thousand_cities_and_odd_names_open_the_world_clock(self):
        # Stored entries are city names; unknown ones keep their row empty.
        odd = ["<b>Bold</b>", "\u202eRTL", "Tab\tCity", "y" * 10000]
        real = ["London", "Tokyo", "New York"]
        cities = (odd + real * 333)[:1000]
        self.plant_cities(cities)
        t_start = time.monotonic()
        app = self.session.start_pendra()
        app.tray_icon(timeout=60)
        ready = time.monotonic() - t_start
        t0 = time.monotonic()
        pop = app.open_tab("World Clock")
        opened = time.monotonic() - t0
        self.session.screenshot("thousand-cities")
        clipped = [w.name for w in app.screen()[1] if w.kind == "label-clipped"]
        self.assertEqual(clipped, [])
        first = app.wait_widget("worldClockCity-0")
        self.assertEqual(first.text, "<b>Bold</b>", "markup in a city name was rendered")
        long_name = app.wait_widget("worldClockCity-3")
        self.assertTrue(long_name.text.endswith("\u2026") and len(long_name.text) < 100,
                        long_name.text[:120])
        self.assertTrue(app.alive())
        self.assertGreater(pop.w, 0)
        record_case("cities-1000",
                    "a \"cities\" list of 1,000 entries, some with markup, right-to-left text, "
                    "a tab or 10,000 characters, opened the World Clock tab (%.1f s from the "
                    "click, through the session tools; the icon was up %.1f s after the start)" % (opened, ready), seconds=round(opened, 2), ready=round(ready, 2))


class BrokenAlarmsPath(HostileSession):
    def check_start(self, case, what):
        app = self.session.start_pendra()
        app.tray_icon()
        time.sleep(1.0)
        self.assertTrue(app.alive())
        lines = self.visible_lines(app)
        self.assertTrue(lines, "nothing said about the %s" % what)
        return app, lines

    def test_a_folder_in_place_of_the_file(self):
        os.makedirs(self.file)
        with open(os.path.join(self.file, "keep"), "w") as f:
            f.write("mine")
        app, lines = self.check_start("alarms-path-directory", "folder")
        app.open_tab("Alarms")
        app.click("alarmNew")
        app.click("alarmDone")
        wait_until(lambda: app.has_line("^Failed to write JSON data"), 10, what="a failed write")
        self.assertEqual(open(os.path.join(self.file, "keep")).read(), "mine")
        record_case("alarms-path-directory",
                    "a folder named alarms.json: the program said \"%s\", kept running, and a "
                    "new alarm's write failed with a line without touching the folder"
                    % lines[0][:120])

    def test_a_dangling_symlink_in_place_of_the_file(self):
        target = self.session.path("gone", "alarms.json")
        os.symlink(target, self.file)
        app, lines = self.check_start("alarms-path-dangling", "dangling link")
        self.assertTrue(os.path.islink(self.file), "the link was replaced")
        record_case("alarms-path-dangling-symlink",
                    "a dangling link named alarms.json: the program said \"%s\" and kept "
                    "running; the link was left as it was" % lines[0][:120])


class BrokenHome(HostileSession):
    def run_briefly(self, env):
        app = self.session.start_pendra(env=env)
        time.sleep(3.0)
        alive = app.alive()
        app.terminate()
        code = app.wait(15) if alive else app.proc.returncode
        return alive, code, self.visible_lines(app)

    def test_home_unset_or_pointing_nowhere(self):
        unset = {k: None for k in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME")}
        alive, code, _ = self.run_briefly(unset)
        self.assertTrue(alive)
        self.assertEqual(code, 0)
        nowhere = dict(unset, HOME="/nonexistent/home")
        alive2, code2, lines2 = self.run_briefly(nowhere)
        self.assertTrue(alive2)
        self.assertEqual(code2, 0)
        record_case("home-unset",
                    "with HOME and the XDG folders unset, and with HOME=/nonexistent/home, the "
                    "program ran and ended with status 0 on SIGTERM%s"
                    % ((" (it said \"%s\")" % lines2[0][:100]) if lines2 else ""))


class StraySignals(HostileSession):
    def test_signals_from_another_client_leave_the_ringing_alarm_alone(self):
        self.plant([alarm("Stray")])
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV)
        call = monitor.wait_for_notify(1, timeout=30)
        sent = 0
        for member, args in (("ActionInvoked", ["uint32:%d" % call["id"], "string:other"]),
                             ("ActionInvoked", ["uint32:%d" % call["id"], "string:action"]),
                             ("NotificationClosed", ["uint32:%d" % call["id"], "uint32:2"]),
                             ("ActionInvoked", ["uint32:4294967295", "string:\u202e<x>"]),
                             ("NotificationClosed", ["uint32:0", "uint32:99"])):
            subprocess.run(["dbus-send", "--session", "--type=signal",
                            "/org/freedesktop/Notifications",
                            "org.freedesktop.Notifications." + member, *args],
                           env=self.session.env, check=True, timeout=10)
            sent += 1
        wait_until(lambda: sum(1 for l in app.lines
                               if l.startswith("Ignored a notification signal from")) >= sent,
                   10, what="every stray signal ignored")
        time.sleep(0.5)
        self.assertTrue(json.load(open(self.file))[0]["enabled"], "a stray signal dismissed it")
        self.assertEqual(self.session.dunst_shown_count(), 1)
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: json.load(open(self.file))[0]["enabled"] is False, 10,
                   what="the real Dismiss")
        record_case("stray-dbus-signals",
                    "%d forged ActionInvoked and NotificationClosed signals from another "
                    "client were each ignored with a line; the alarm went on ringing until "
                    "the server's own Dismiss" % sent, signals=sent)


if __name__ == "__main__":
    unittest.main()
