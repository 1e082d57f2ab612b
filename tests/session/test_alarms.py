"""Alarms with the real binary: added through the popover, rung at their
minute through dunst with the ringtone on the sound server, snoozed and
dismissed from the notification. The rules behind them are the unit tests'."""

import os
import subprocess
import time
import unittest

from harness import FAKETIME_ENV, AlarmsFileCase, alarm, wait_until


class AlarmSession(AlarmsFileCase):
    session_options = {"sound": True}

    def ring(self, alarms):
        monitor = self.session.monitor_notifications()
        app = self.start_ringing(alarms)
        return monitor, app


class Ringing(AlarmSession):
    def test_rings_at_its_minute_loops_the_sound_and_snooze_silences_it(self):
        start = self.session.capture_position()
        monitor, app = self.ring([alarm("Wake up")])
        call = monitor.wait_for_notify(1, timeout=30)
        self.assertEqual((call["summary"], call["body"]), ("Pendra", "Wake up"))
        self.assertEqual(call["actions"][2:], ["action", "Snooze", "other", "Dismiss"])
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        # Radar lasts about two seconds: more than one loop means it loops.
        try:
            wait_until(lambda: self.session.sounding_seconds(start) > 4.0, 30,
                       what="more than one loop of the ringtone")
        except TimeoutError:
            print(self.session.sound_report(start))
            raise
        self.session.dunst_invoke("Snooze")
        wait_until(lambda: self.stored()[0]["isSnoozed"] is True, 10, what="the snooze written")
        time.sleep(1.0)
        quiet = self.session.capture_position()
        time.sleep(2.0)
        self.assertLess(self.session.sounding_seconds(quiet), 0.2, "still ringing after Snooze")

        app.open_tab("Alarms")
        snooze = app.wait_widget("alarmSnooze-0", pred=lambda w: w.text.endswith("m left"))
        self.assertIn(snooze.text, ("9m left", "10m left"))
        self.session.screenshot("snoozed")
        app.click("alarmStop-0", text="Stop")
        wait_until(lambda: (self.stored()[0]["isSnoozed"], self.stored()[0]["enabled"])
                   == (False, False), 10, what="the stop written: a one-off alarm is off")

    def test_gentle_wake_rises_from_quiet(self):
        conf = self.session.path("home", ".config", "Zentho")
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "Pendra.conf"), "w") as f:
            f.write("[General]\ngentleWake=true\n")
        start = self.session.capture_position()
        monitor, app = self.ring([alarm("Gently")])
        monitor.wait_for_notify(1, timeout=30)
        levels = lambda: self.session.sound_levels(start, window_ms=100)
        first = wait_until(lambda: next((i for i, v in enumerate(levels()) if v > 0.0005), None),
                           20, what="the first sound")
        wait_until(lambda: len(levels()) > first + 130, 30, what="13 s of ringing")
        early, late = max(levels()[first:first + 20]), max(levels()[first + 110:first + 130])
        self.assertGreater(late, 4 * early, "no rise: %.4f then %.4f" % (early, late))
        app.open_tab("Alarms")
        self.assertTrue(app.wait_widget("alarmGentleWake").checked)

    def test_dismiss_from_the_notification_switches_only_a_one_off_alarm_off(self):
        monitor, app = self.ring([alarm("Once", ringtone="None"),
                                  dict(alarm("Weekly", ringtone="None"), repeatDays=[True] * 7)])
        monitor.wait_for_notify(2, timeout=30)
        for shown in (2, 1, 0):
            wait_until(lambda: self.session.dunst_shown_count() == shown, 10, what="%d shown" % shown)
            if shown:
                self.session.dunst_invoke("Dismiss")
        wait_until(lambda: {a["label"]: a["enabled"] for a in self.stored()}
                   == {"Once": False, "Weekly": True}, 10, what="the one-off alarm switched off")
        self.assertTrue(app.alive())


class Missed(AlarmSession):
    def test_an_alarm_passed_while_quit_is_reported_not_rung(self):
        self.plant([alarm("Wake up")])
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
        app.open_tab("Alarms")
        app.wait_widget("alarmMissed-0", text="Alarm was missed")
        self.assertLess(self.session.sounding_seconds(start), 0.2, "a missed alarm rang")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the notice answered")
        self.assertEqual(len(monitor.calls), 1, "nothing but the notice")


class OwnSounds(AlarmSession):
    def test_a_sound_of_ones_own_is_offered_and_rings(self):
        folder = os.path.join(self.data, "ringtones")
        os.makedirs(folder)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", os.path.join(folder, "Aurora.wav"),
                        "synth", "1.5", "sine", "660", "vol", "0.5"], check=True)
        self.plant([alarm("Own sound")])
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(faketime="2026-12-07 06:59:30", env=FAKETIME_ENV)
        app.open_tab("Alarms")
        app.click("alarmEdit-0")
        self.session.click(*app.wait_widget("alarmRingtonePopUp", text="Radar").center)
        time.sleep(0.5)
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
    session_options = {"sound": False}

    def test_an_alarm_added_through_the_popover_is_stored_and_listed(self):
        app = self.session.start_pendra()
        app.open_tab("Alarms")
        app.click("alarmNew")
        self.session.click(*app.wait_widget("alarmLabelEdit").center)
        self.session.key("ctrl+a")
        self.session.type("Tea <i>time</i>")
        self.session.click(*app.wait_widget("alarmRepeat-3").center)
        app.click("alarmDone")
        # Shown as plain text, cut to the row's column.
        row = app.wait_widget("alarmLabel-0", pred=lambda w: w.text.startswith("Tea <i>"))
        self.assertEqual(row.kind, "label")
        self.session.screenshot("listed")
        wait_until(lambda: os.path.exists(self.file) and len(self.stored()) == 1, 10,
                   what="the file")
        stored = self.stored()[0]
        self.assertEqual((stored["label"], stored["repeatDays"]),
                         ("Tea <i>time</i>", [False, False, False, True, False, False, False]))


if __name__ == "__main__":
    unittest.main()
