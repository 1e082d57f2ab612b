"""Alarms with the real binary: rung through dunst and the sound server and
snoozed there, reported when missed while quit, added and given a sound of
one's own through the popover. The rules behind them are the unit tests'."""

import os
import subprocess
import time

from harness import SessionCase, alarm, wait_until, write


class Ringing(SessionCase):
    def test_rings_at_its_minute_rising_gently_loops_the_sound_and_snooze_silences_it(self):
        s, start = self.session, self.session.capture_position()
        write(s.path("home", ".config", "Zentho", "Pendra.conf"), "[General]\ngentleWake=true\n")
        app = self.start_ringing([alarm("Wake up")])
        call = self.monitor.wait_for_notify(1, timeout=30)
        self.assertEqual((call["summary"], call["body"]), ("Pendra", "Wake up"))
        wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it")
        levels = lambda: s.sound_levels(start, window_ms=100)
        first = wait_until(lambda: next((i for i, v in enumerate(levels()) if v > 0.0005), None),
                           20, what="the first sound")
        wait_until(lambda: len(levels()) > first + 130, 30, what="13 s of ringing")
        early, late = max(levels()[first:first + 20]), max(levels()[first + 110:first + 130])
        self.assertGreater(late, 4 * early, "no rise: %.4f then %.4f" % (early, late))
        # Radar lasts about two seconds: more than one loop means it loops.
        s.wait_for_sound(start, 4.0, "more than one loop of the ringtone")
        s.dunst_invoke("Snooze")
        wait_until(lambda: self.stored()[0]["isSnoozed"] is True, 10, what="the snooze written")
        time.sleep(1.0)
        self.assertLess(s.sounding_now(2.0), 0.2, "still ringing after Snooze")
        app.open_tab("Alarms")
        app.wait_widget("alarmGentleWake", pred=lambda w: w.kind.startswith("checked"))

    def test_an_alarm_passed_while_quit_is_reported_not_rung(self):
        app = self.start_ringing([alarm("Wake up")], faketime="2026-12-07 06:50:00")
        app.tray_icon()
        self.assertEqual(app.stop(), 0)

        start = self.session.capture_position()
        app = self.session.start_pendra(faketime="2026-12-07 07:20:00")
        call = self.monitor.wait_for_notify(1, timeout=30)
        self.assertEqual((call["summary"], call["body"]), ("Missed alarm", "7:00am Wake up"))
        self.assertLess(self.session.sounding_seconds(start), 0.2, "a missed alarm rang")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.session.dunst_shown_count() == 0, 10, what="the notice answered")
        self.assertEqual(len(self.monitor.calls), 1, "nothing but the notice")


class Editing(SessionCase):
    def test_a_new_alarm_and_a_sound_of_ones_own_chosen_through_the_popover_are_stored(self):
        s = self.session
        folder = os.path.join(self.data, "ringtones")
        os.makedirs(folder)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", os.path.join(folder, "Aurora.wav"),
                        "synth", "1.5", "sine", "660", "vol", "0.5"], check=True)
        app = self.start_ringing([alarm("Own sound", 6, 59)], faketime="2026-12-07 06:58:20")
        app.open_tab("Alarms")
        app.click("alarmNew")  # at the next full hour, listed second
        app.type_into("alarmLabelEdit", "Tea <i>time</i>")
        app.click("alarmRepeat-3")
        app.click("alarmDone")
        # Shown as plain text, cut to the row's column.
        row = app.wait_widget("alarmLabel-1", pred=lambda w: w.text.startswith("Tea <i>"))
        self.assertEqual(row.kind, "label")
        s.screenshot("listed")
        app.click("alarmEdit-0")
        app.click("alarmRingtonePopUp", text="Radar")
        time.sleep(0.5)
        s.type("A")  # after the program's own, though first by name
        s.key("Return")
        app.wait_widget("alarmRingtonePopUp", text="Aurora")
        app.click("alarmDone")
        stored = lambda: {a["label"]: (a["ringtone"], a["repeatDays"]) for a in self.stored()}
        wait_until(lambda: stored()["Own sound"][0] == "Aurora", 10, what="the choice stored")
        self.assertEqual(stored()["Tea <i>time</i>"][1], [False] * 3 + [True] + [False] * 3)
        start = s.capture_position()
        self.monitor.wait_for_notify(1, timeout=50)
        s.wait_for_sound(start, 2.5, "the own sound, looped", timeout=20)
        self.assertFalse(app.has_line("something went wrong"), app.lines[-10:])
