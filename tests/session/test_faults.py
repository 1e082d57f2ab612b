"""Faults around the real binary: the notification server killed, restarted, hung
or missing, a broken ringtone or sound module, no sound server, the wall clock
jumping, two instances at once. (The tray host restarted: test_desktops.)"""

import ctypes
import os
import shutil
import signal
import struct
import time

from harness import SessionCase, alarm, libfaketime, record_case, wait_until, write


class ServerComesAndGoes(SessionCase):
    def dismiss_in_alert_window(self, app, label):
        app.wait_window("alertWindow", timeout=30)
        app.wait_widget("alertSubtitle", text=label)
        self.assertGreater(self.session.sounding_now(1.5), 0.5, "no ringtone with the window")
        self.session.screenshot("alert-window")
        app.click("alertOtherButton")  # Dismiss
        app.wait_window("alertWindow", present=False)
        self.assert_dismissed(app)

    def assert_dismissed(self, app):
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10,
                   what="the dismissed one-off alarm switched off")
        time.sleep(1.0)
        self.assertLess(self.session.sounding_now(2.0), 0.2, "still ringing after Dismiss")
        self.assertTrue(app.alive())

    def test_killed_missing_restarted_or_hung_the_ringing_alarm_is_shown_and_answered_once(self):
        s = self.session
        app = self.start_ringing([alarm("Killed server")])
        self.monitor.wait_for_notify(1, timeout=30)
        wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it")
        s.kill_service("dunst")
        self.dismiss_in_alert_window(app, "Killed server")
        record_case("server-killed-while-ringing",
                    "the alert window showed the ringing alarm within seconds, the ringtone "
                    "went on, and Dismiss in it silenced the alarm and switched it off")
        app.stop()

        app = self.start_ringing([alarm("No server")])
        self.dismiss_in_alert_window(app, "No server")
        record_case("no-notification-server",
                    "with no server on the bus the alarm rang in the program's alert window "
                    "with its ringtone, and Dismiss there answered it")
        app.stop()

        s.start_dunst()
        app = self.start_ringing([alarm("Restarted server")])
        self.monitor.wait_for_notify(1, timeout=30)
        s.kill_service("dunst")
        s.start_dunst()
        # Shown again, either by the new server or in the alert window, and
        # answerable exactly once.
        wait_until(lambda: s.dunst_shown_count() or app.window("alertWindow"), 20,
                   what="the alert shown again")
        if app.window("alertWindow"):
            self.assertEqual(s.dunst_shown_count(), 0, "shown twice")
            self.dismiss_in_alert_window(app, "Restarted server")
            where = "in the alert window"
        else:
            s.dunst_invoke("Dismiss")
            self.assert_dismissed(app)
            where = "by the new server"
        record_case("server-restarted",
                    "the ringing alarm was shown again %s, once, and Dismiss silenced it" % where)
        app.stop()

        app = self.start_ringing([alarm("Hung server")])
        app.tray_icon()
        dunst = s.services["dunst"]
        os.kill(dunst.pid, signal.SIGSTOP)  # answers nothing from here on
        try:
            app.wait_window("alertWindow", timeout=20)
            self.assertGreater(s.sounding_now(1.5), 0.5, "no ringtone while the server hangs")
            app.click("alertActionButton")  # Snooze
            app.wait_window("alertWindow", present=False)
            self.assertLess(s.sounding_now(2.0), 0.2, "still ringing after Snooze")
        finally:
            os.kill(dunst.pid, signal.SIGCONT)
        # Woken, it shows what it was asked to, and is told to close it at once.
        late = self.monitor.wait_for_notify(1, timeout=20)
        wait_until(lambda: any(c[0] == late["id"] for c in self.monitor.closed), 10,
                   what="the late notification closed")
        time.sleep(1.0)
        self.assertEqual(s.dunst_shown_count(), 0)
        self.assertEqual(app.lines.count("true"), 1, "the Snooze reached the alarm other than once")
        self.assertTrue(self.stored()[0]["isSnoozed"])


class SoundFaults(SessionCase):
    def test_a_broken_ringtone_or_sound_module_still_sound_and_no_server_is_said(self):
        s = self.session
        # The program as installed, in a tree of the test's own to break.
        build = os.path.dirname(os.path.dirname(s.binary))
        root = s.path("tree")
        os.makedirs(os.path.join(root, "bin"))
        shutil.copy2(s.binary, os.path.join(root, "bin", "pendra"))
        for part in ("lib", "share"):
            shutil.copytree(os.path.join(build, part, "pendra"), os.path.join(root, part, "pendra"))
        for broken, path, junk in (
                ("ringtone", ("share", "pendra", "ringtones", "Chimes.m4r"), b"\x5a" * 4096),
                ("sound module", ("lib", "pendra", "pendra-audio.so"), b"\x7f" * 512)):
            write(os.path.join(root, *path), junk)
            start = s.capture_position()
            app = self.start_ringing([alarm("Never silent", ringtone="Chimes")],
                                     binary=os.path.join(root, "bin", "pendra"))
            s.wait_for_sound(start, 1.0, "sound with a broken " + broken)
            app.wait_for_line("^something went wrong: ")
            app.stop()

        s.kill_service("pulseaudio")
        app = self.start_ringing([alarm("No sound")])
        self.assertEqual(self.monitor.wait_for_notify(1, timeout=30)["body"], "No sound")
        line = app.wait_for_line(r"^(something went wrong|The sound)", timeout=20).string
        # Nothing could sound: the alert says so.
        wait_until(lambda: any("no sound could be played" in c["body"]
                               for c in self.monitor.calls), 30, what="the alert to say so")
        wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it")
        s.dunst_invoke("Dismiss")
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10, what="dismissed")
        self.assertTrue(app.alive())
        record_case("no-sound-server",
                    "the alarm's notification showed and was answered; the program printed "
                    "\"%s\"" % line[:160])


def epoch(fake):
    return time.mktime(time.strptime("2026-12-07 " + fake, "%Y-%m-%d %H:%M:%S"))


class ClockJumps(SessionCase):
    def set_clock(self, fake):
        # A relative offset, re-read on every call: the faked clock is the
        # real one plus it, so the test knows the program's time exactly.
        self.offset = round(epoch(fake) - time.time())
        write(self.clock + ".new", "%+ds\n" % self.offset)
        os.replace(self.clock + ".new", self.clock)

    def test_a_jump_forwards_past_or_back_before_an_alarm_rings_it_once(self):
        self.clock = self.session.path("faketime")
        env = {"FAKETIME_DONT_FAKE_MONOTONIC": "1", "FAKETIME_TIMESTAMP_FILE": self.clock,
               "FAKETIME_NO_CACHE": "1", "LD_PRELOAD": libfaketime()}
        for case, to in (("clock-forwards", "07:02:00"), ("clock-backwards", "06:59:30")):
            self.set_clock("06:59:50")
            app = self.start_ringing([alarm("Jump", ringtone="None")], faketime=None, env=env)
            app.tray_icon()
            time.sleep(2)
            self.set_clock(to)
            jumped = time.time()
            self.monitor.wait_for_notify(1, timeout=60)
            late, off = time.time() - jumped, time.time() + self.offset - epoch("07:00:00")
            time.sleep(5)
            self.assertEqual([c["body"] for c in self.monitor.calls], ["Jump"], case)
            self.assertTrue(app.alive())
            app.stop()
            self.monitor.close()
            if case == "clock-forwards":
                record_case(case, "jumped from 06:59:52 to 07:02:00 past a 07:00 alarm: it rang "
                            "once, %.1f s after the jump" % late, seconds_after_jump=round(late, 1))
            else:
                self.assertTrue(-0.5 <= off < 5, "rang %+.2f s from its minute" % off)
                record_case(case, "set back from 06:59:52 to 06:59:30 before a 07:00 alarm: it "
                            "rang once, %+.2f s from 07:00:00 on the faked clock" % off,
                            offset_seconds=round(off, 2))


def renames_onto(fd, name):
    """How many renames onto name (how QSaveFile commits) an inotify fd saw."""
    n = 0
    while True:
        try:
            data = os.read(fd, 65536)
        except BlockingIOError:
            return n
        i = 0
        while i < len(data):
            _wd, _mask, _cookie, size = struct.unpack_from("iIII", data, i)
            n += data[i + 16:i + 16 + size].rstrip(b"\0") == name
            i += 16 + size


class TwoAtOnce(SessionCase):
    def test_two_started_together_leave_one_and_the_file_written_once(self):
        self.plant([alarm("Only once", enabled=False)])
        libc = ctypes.CDLL(None)
        watch = libc.inotify_init1(os.O_NONBLOCK)
        self.addCleanup(os.close, watch)
        libc.inotify_add_watch(watch, self.data.encode(), 0x80)  # IN_MOVED_TO
        # What one launch writes, for comparison.
        alone = self.session.start_pendra()
        alone.tray_icon()
        time.sleep(1.5)
        self.assertEqual(alone.stop(), 0)
        single = renames_onto(watch, b"alarms.json")

        first, second = self.session.start_pendra(), self.session.start_pendra()
        wait_until(lambda: not (first.alive() and second.alive()), 20,
                   what="one of the two to leave")
        survivor, leaver = (first, second) if first.alive() else (second, first)
        self.assertEqual(leaver.wait(10), 0)
        survivor.tray_icon()
        time.sleep(1.5)
        self.assertTrue(survivor.alive())
        both = renames_onto(watch, b"alarms.json")
        self.assertEqual(both, single, "two launches wrote %d times, one writes %d" % (both, single))
        self.assertEqual([a["label"] for a in self.stored()], ["Only once"])
        self.assertEqual(leaver.lines, [], "the one that left did more than hand over")
        record_case("two-instances",
                    "of two started together one stayed and the other left with status 0 "
                    "without touching anything; the alarms file was written %d time(s), as by "
                    "one launch, and not doubled" % both)
