"""Alarms with the real binary: added through the popover, rung at their
minute through dunst with the ringtone on the sound server, snoozed and
dismissed from the notification."""

import json
import os
import subprocess
import time
import unittest

from harness import Session, wait_until

# Five seconds before a 07:00 alarm; the monotonic clock stays real so that
# Qt's timers and the sound keep their pace.
FAKETIME = "2026-12-07 06:59:55"
FAKETIME_ENV = {"FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def alarm(hour, minute, label, ringtone="Radar", days=None, enabled=True, snooze=9):
    return {"hour": hour, "minute": minute, "ringtone": ringtone, "snooze": snooze,
            "isSnoozed": False, "label": label, "repeatDays": days or [False] * 7,
            "enabled": enabled}


class AlarmSession(unittest.TestCase):
    sound = True

    def setUp(self):
        self.session = Session(self.id(), sound=self.sound)
        self.session.start()
        self.addCleanup(self.session.stop)
        self.data = self.session.path("home", ".local", "share", "Pendra")
        self.file = os.path.join(self.data, "alarms.json")

    def tearDown(self):
        self.session.screenshot("end")

    def plant(self, alarms):
        os.makedirs(self.data, exist_ok=True)
        with open(self.file, "w", encoding="utf-8") as f:
            json.dump(alarms, f)

    def stored(self):
        with open(self.file, encoding="utf-8") as f:
            return json.load(f)

    def open_alarms_tab(self, app):
        icon = app.tray_icon()
        self.session.click(*icon.center)
        app.wait_window("popover")
        app.click("tab-1")
        app.wait_widget("tab-1", pred=lambda w: w.kind == "tab-current")

    def start_at_six_fifty_nine(self):
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV)
        app.tray_icon()
        return monitor, app


class Ringing(AlarmSession):
    def test_rings_at_its_minute_loops_the_sound_and_snooze_silences_it(self):
        self.plant([alarm(7, 0, "Wake up")])
        monitor, app = self.start_at_six_fifty_nine()
        start = self.session.capture_position()
        call = monitor.wait_for_notify(1, timeout=30)
        self.assertEqual(call["summary"], "Pendra")
        self.assertEqual(call["body"], "Wake up")
        self.assertEqual(call["actions"][2:], ["action", "Snooze", "other", "Dismiss"])
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        self.session.screenshot("ringing")
        # Radar lasts about two seconds: more than one loop means it loops.
        try:
            wait_until(lambda: self.session.sounding_seconds(start) > 4.0, 30,
                       what="more than one loop of the ringtone")
        except TimeoutError:
            print(self.session.sound_report(start))
            print("\n".join(l for l in app.lines if not l.startswith(("widget", "window", "intro"))))
            raise
        self.session.dunst_invoke("Snooze")
        wait_until(lambda: self.stored()[0]["isSnoozed"] is True, 10, what="the snooze written")
        time.sleep(1.0)
        quiet = self.session.capture_position()
        time.sleep(2.0)
        self.assertLess(self.session.sounding_seconds(quiet), 0.2, "still ringing after Snooze")
        self.assertTrue(self.stored()[0]["enabled"])

        self.open_alarms_tab(app)
        snooze = app.wait_widget("alarmSnooze-0", pred=lambda w: w.text.endswith("m left"))
        self.assertIn(snooze.text, ("9m left", "10m left"))
        app.wait_widget("alarmStop-0", text="Stop")
        self.session.screenshot("snoozed")
        app.click("alarmStop-0")
        wait_until(lambda: not self.stored()[0]["isSnoozed"], 10, what="the stop written")
        self.assertFalse(self.stored()[0]["enabled"], "a stopped one-off alarm is off")

    def test_gentle_wake_rises_from_quiet(self):
        conf = self.session.path("home", ".config", "Zentho")
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "Pendra.conf"), "w") as f:
            f.write("[General]\ngentleWake=true\n")
        self.plant([alarm(7, 0, "Gently")])
        monitor, app = self.start_at_six_fifty_nine()
        start = self.session.capture_position()
        monitor.wait_for_notify(1, timeout=30)
        levels = lambda: self.session.sound_levels(start, window_ms=100)
        first = wait_until(lambda: next((i for i, v in enumerate(levels()) if v > 0.0005), None),
                           20, what="the first sound")
        wait_until(lambda: len(levels()) > first + 130, 30, what="13 s of ringing")
        early, late = max(levels()[first:first + 20]), max(levels()[first + 110:first + 130])
        self.assertGreater(late, 4 * early, "no rise: %.4f then %.4f" % (early, late))
        self.open_alarms_tab(app)
        self.assertTrue(app.wait_widget("alarmGentleWake").checked)

    def test_dismiss_switches_a_one_off_alarm_off(self):
        self.plant([alarm(7, 0, "Once", ringtone="None"),
                    alarm(7, 0, "Weekly", ringtone="None", days=[True] * 7)])
        monitor, app = self.start_at_six_fifty_nine()
        monitor.wait_for_notify(2, timeout=30)
        wait_until(lambda: self.session.dunst_shown_count() >= 2, 10, what="both shown")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.session.dunst_shown_count() == 1, 10, what="one answered")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="both answered")
        wait_until(lambda: {a["label"]: a for a in self.stored()}["Once"]["enabled"] is False, 10,
                   what="the one-off alarm switched off")
        stored = {a["label"]: a for a in self.stored()}
        self.assertTrue(stored["Weekly"]["enabled"])
        self.assertFalse(stored["Once"]["isSnoozed"])
        self.assertTrue(app.alive())


class Missed(AlarmSession):
    def test_an_alarm_passed_while_quit_is_reported_not_rung_and_switched_off(self):
        self.plant([alarm(7, 0, "Wake up")])
        app = self.session.start_pendra(faketime="2026-12-07 06:50:00", env=FAKETIME_ENV)
        app.tray_icon()
        app.terminate()
        self.assertEqual(app.wait(15), 0)

        monitor = self.session.monitor_notifications()
        start = self.session.capture_position()
        app = self.session.start_pendra(faketime="2026-12-07 07:20:00", env=FAKETIME_ENV)
        call = monitor.wait_for_notify(1, timeout=30)
        self.assertEqual((call["summary"], call["body"]), ("Missed alarm", "7:00am Wake up"))
        self.assertEqual(call["actions"][2:], ["other", "Dismiss"])
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10,
                   what="the one-off alarm switched off")
        self.open_alarms_tab(app)
        app.wait_widget("alarmMissed-0", text="Alarm was missed")
        self.session.screenshot("missed")
        self.assertLess(self.session.sounding_seconds(start), 0.2, "a missed alarm rang")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the notice answered")
        app.wait_widget("alarmRingtone-0", text="Radar")
        self.assertEqual(len(monitor.calls), 1, "nothing but the notice")

class OwnSounds(AlarmSession):
    def test_a_sound_of_ones_own_is_offered_and_rings(self):
        folder = os.path.join(self.data, "ringtones")
        os.makedirs(folder)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", os.path.join(folder, "Aurora.wav"),
                        "synth", "1.5", "sine", "660", "vol", "0.5"], check=True)
        self.plant([alarm(7, 0, "Own sound")])
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(faketime="2026-12-07 06:59:30", env=FAKETIME_ENV)
        self.open_alarms_tab(app)
        app.click("alarmEdit-0")
        self.session.click(*app.wait_widget("alarmRingtonePopUp", text="Radar").center)
        time.sleep(0.5)
        self.session.screenshot("ringtones")
        self.session.type("A")  # after the program's own, though first by name
        self.session.key("Return")
        app.wait_widget("alarmRingtonePopUp", text="Aurora")
        app.click("alarmDone")
        wait_until(lambda: self.stored()[0]["ringtone"] == "Aurora", 10, what="the choice stored")
        start = self.session.capture_position()
        monitor.wait_for_notify(1, timeout=40)
        wait_until(lambda: self.session.sounding_seconds(start) > 2.5, 20,
                   what="the own sound, looped")
        self.assertFalse(app.has_line("something went wrong"), app.lines[-10:])


class Editing(AlarmSession):
    sound = False

    def test_an_alarm_added_through_the_popover_is_stored_and_listed(self):
        app = self.session.start_pendra()
        self.open_alarms_tab(app)
        app.click("alarmNew")
        label = app.wait_widget("alarmLabelEdit")
        self.session.screenshot("new")
        self.session.click(*label.center)
        self.session.key("ctrl+a")
        self.session.type("Tea <i>time</i>")
        self.session.click(*app.wait_widget("alarmRepeat-3").center)
        app.click("alarmDone")
        # Shown as plain text, cut to the row's column.
        row = app.wait_widget("alarmLabel-0", pred=lambda w: w.text.startswith("Tea <i>"))
        self.assertEqual(row.kind, "label")
        wait_until(lambda: os.path.exists(self.file) and len(self.stored()) == 1, 10,
                   what="the file")
        stored = self.stored()[0]
        self.assertEqual(stored["label"], "Tea <i>time</i>")
        self.assertEqual(stored["repeatDays"], [False, False, False, True, False, False, False])
        self.assertTrue(stored["enabled"])
        self.assertEqual(stored["ringtone"], "Radar")
        self.session.screenshot("listed")

        # Switched off from its row: written at once.
        app.click("alarmEnabled-0")
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10, what="the toggle written")
        app.click("alarmClear")
        app.click("alarmClearAlertConfirm")
        wait_until(lambda: self.stored() == [], 10, what="the cleared file")


if __name__ == "__main__":
    unittest.main()
