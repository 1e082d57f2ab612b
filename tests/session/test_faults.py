"""Faults of the desktop around the real binary: the notification server
killed, restarted or missing while an alarm rings, no sound server, the tray
host restarted, the wall clock jumping, and two instances started at once."""

import json
import os
import shutil
import signal
import time
import unittest

from harness import AlarmsFileCase, libfaketime, record_case, wait_until

FAKETIME = "2026-12-07 06:59:55"
FAKETIME_ENV = {"FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def alarm(label, hour=7, minute=0, ringtone="Radar", enabled=True):
    return {"hour": hour, "minute": minute, "ringtone": ringtone, "snooze": 9,
            "isSnoozed": False, "label": label, "repeatDays": [False] * 7, "enabled": enabled}


class FaultSession(AlarmsFileCase):
    def tearDown(self):
        self.session.screenshot("end")

    def ringing_app(self, label, **kw):
        self.plant([alarm(label, **kw)])
        return self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV)

    def sounding_now(self, seconds=1.5):
        start = self.session.capture_position()
        time.sleep(seconds)
        return self.session.sounding_seconds(start)

    def dismiss_in_alert_window(self, app, label):
        app.wait_window("alertWindow", timeout=20)
        app.wait_widget("alertSubtitle", text=label)
        self.session.screenshot("alert-window")
        app.click("alertOtherButton")  # Dismiss
        app.wait_window("alertWindow", present=False)
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10,
                   what="the dismissed one-off alarm switched off")


class ServerKilledWhileRinging(FaultSession):
    def test_the_alert_window_takes_over_and_answering_it_stops_the_sound(self):
        monitor = self.session.monitor_notifications()
        app = self.ringing_app("Killed server")
        monitor.wait_for_notify(1, timeout=30)
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        self.session.kill_service("dunst")
        app.wait_window("alertWindow", timeout=20)
        self.assertGreater(self.sounding_now(), 0.5, "the ringtone stopped with the server")
        self.dismiss_in_alert_window(app, "Killed server")
        time.sleep(1.0)
        self.assertLess(self.sounding_now(2.0), 0.2, "still ringing after Dismiss")
        self.assertTrue(app.alive())
        record_case("server-killed-while-ringing",
                    "the alert window showed the ringing alarm within seconds, the ringtone "
                    "went on, and Dismiss in it silenced the alarm and switched it off")


class ServerRestarted(FaultSession):
    def test_a_restarted_server_leaves_one_answerable_alert(self):
        monitor = self.session.monitor_notifications()
        app = self.ringing_app("Restarted server")
        monitor.wait_for_notify(1, timeout=30)
        self.session.kill_service("dunst")
        self.session.start_dunst()
        # Shown again, either by the new server or in the alert window, and
        # answerable exactly once.
        def shown():
            on_server = self.session.dunst_shown_count()
            return on_server or app.window("alertWindow")
        wait_until(shown, 20, what="the alert shown again")
        if app.window("alertWindow"):
            self.assertEqual(self.session.dunst_shown_count(), 0, "shown twice")
            self.dismiss_in_alert_window(app, "Restarted server")
            where = "in the alert window"
        else:
            self.session.dunst_invoke("Dismiss")
            wait_until(lambda: self.stored()[0]["enabled"] is False, 10, what="dismissed")
            where = "by the new server"
        time.sleep(1.0)
        self.assertLess(self.sounding_now(2.0), 0.2, "still ringing after Dismiss")
        self.assertTrue(app.alive())
        record_case("server-restarted",
                    "the ringing alarm was shown again %s, once, and Dismiss silenced it" % where)


class ServerHung(FaultSession):
    def test_the_alert_window_rings_and_the_late_notification_is_withdrawn(self):
        monitor = self.session.monitor_notifications()
        app = self.ringing_app("Hung server")
        app.tray_icon()
        dunst = self.session.service("dunst")
        os.kill(dunst.pid, signal.SIGSTOP)  # answers nothing from here on
        try:
            app.wait_window("alertWindow", timeout=20)
            self.assertGreater(self.sounding_now(), 0.5, "no ringtone while the server hangs")
            app.click("alertActionButton")  # Snooze
            app.wait_window("alertWindow", present=False)
            self.assertLess(self.sounding_now(2.0), 0.2, "still ringing after Snooze")
        finally:
            os.kill(dunst.pid, signal.SIGCONT)
        # It wakes, shows what it was asked to, and is told to close it at once.
        late = monitor.wait_for_notify(1, timeout=20)
        wait_until(lambda: any(c[0] == late["id"] for c in monitor.closed), 10,
                   what="the late notification closed")
        time.sleep(1.0)
        self.assertEqual(self.session.dunst_shown_count(), 0)
        self.assertEqual(app.lines.count("true"), 1, "the Snooze reached the alarm other than once")
        self.assertTrue(self.stored()[0]["isSnoozed"])
        record_case("server-hung",
                    "with dunst stopped (SIGSTOP) as the alarm came due, the alert window "
                    "rang, Snooze there reached the alarm once, and the notification dunst "
                    "showed on waking was withdrawn at once")


class NoServer(FaultSession):
    session_options = {"notifications": False}

    def test_without_a_server_the_alert_window_rings(self):
        app = self.ringing_app("No server")
        app.wait_window("alertWindow", timeout=30)
        self.assertGreater(self.sounding_now(), 0.5, "no ringtone")
        self.dismiss_in_alert_window(app, "No server")
        self.assertTrue(app.alive())
        record_case("no-notification-server",
                    "with no server on the bus the alarm rang in the program's alert window "
                    "with its ringtone, and Dismiss there answered it")


class NeverSilent(FaultSession):
    def test_a_broken_ringtone_then_a_broken_sound_module_still_sound(self):
        # The program as installed, in a tree of the test's own to break.
        build = os.path.dirname(os.path.dirname(self.session.binary))
        root = self.session.path("tree")
        os.makedirs(os.path.join(root, "bin"))
        shutil.copy2(self.session.binary, os.path.join(root, "bin", "pendra"))
        for part in ("lib", "share"):
            shutil.copytree(os.path.join(build, part, "pendra"), os.path.join(root, part, "pendra"))
        with open(os.path.join(root, "share", "pendra", "ringtones", "Chimes.m4r"), "wb") as f:
            f.write(b"\x5a" * 4096)
        for broken in ("ringtone", "sound module"):
            if broken == "sound module":
                with open(os.path.join(root, "lib", "pendra", "pendra-audio.so"), "wb") as f:
                    f.write(b"\x7f" * 512)
            self.plant([alarm("Never silent", ringtone="Chimes")])
            start = self.session.capture_position()
            app = self.session.start_pendra(faketime=FAKETIME, env=FAKETIME_ENV,
                                            binary=os.path.join(root, "bin", "pendra"))
            try:
                wait_until(lambda: self.session.sounding_seconds(start) > 1.0, 30,
                           what="a sound with a broken " + broken)
            except TimeoutError:
                print(self.session.sound_report(start))
                raise
            app.wait_for_line("^something went wrong: ")
            app.terminate()
            app.wait()
        record_case("never-silent",
                    "an alarm whose ringtone file was broken rang with Radar, and with the "
                    "sound module broken too it rang with the program's own tone through paplay")


class NoSoundServer(FaultSession):
    session_options = {"sound": False}

    def test_without_sound_a_line_is_printed_and_the_alert_still_shows(self):
        monitor = self.session.monitor_notifications()
        app = self.ringing_app("No sound")
        call = monitor.wait_for_notify(1, timeout=30)
        self.assertEqual(call["body"], "No sound")
        line = app.wait_for_line(r"^(something went wrong|The sound)", timeout=20).group(0)
        # Nothing could sound: the alert says so.
        wait_until(lambda: any("no sound could be played" in (c["body"] or "")
                               for c in monitor.calls), 30, what="the alert to say so")
        wait_until(lambda: self.session.dunst_shown_count() >= 1, 10, what="dunst to show it")
        self.session.dunst_invoke("Dismiss")
        wait_until(lambda: self.stored()[0]["enabled"] is False, 10, what="dismissed")
        self.assertTrue(app.alive())
        full = next(l for l in app.lines if l.startswith(line))
        record_case("no-sound-server",
                    "the alarm's notification showed and was answered; the program printed "
                    "\"%s\"" % full[:160])


class TrayRestarted(FaultSession):
    def test_the_icon_comes_back_and_opens_the_popover(self):
        app = self.session.start_pendra()
        first = app.tray_icon()
        self.session.restart_tray()
        # The icon is embedded again once the new tray announces itself.
        def back():
            icon = app.window("QSystemTrayIconSys")
            return icon if icon and self.session.xdotool(
                "search", "--onlyvisible", "--class", "pendra").strip() else None
        wait_until(back, 20, what="the icon back in the new tray")
        time.sleep(0.5)
        icon = app.tray_icon()
        self.session.click(*icon.center)
        pop = app.wait_window("popover")
        self.assertLessEqual(abs(pop.y - (icon.y + icon.h)), 40, (pop, icon))
        self.session.screenshot("popover-after-tray-restart")
        self.assertTrue(app.alive())
        record_case("tray-restarted",
                    "after tint2 was killed and started again the icon came back in the new "
                    "tray (at %d,%d, first at %d,%d) and opened the popover below it"
                    % (icon.x, icon.y, first.x, first.y))


class ClockJumps(FaultSession):
    """The wall clock moved under the program through libfaketime's file."""

    def start_with_clock_file(self, fake_start):
        self.clock_file = self.session.path("faketime")
        self.set_clock(fake_start)
        env = dict(FAKETIME_ENV)
        env.update({"FAKETIME_TIMESTAMP_FILE": self.clock_file, "FAKETIME_NO_CACHE": "1"})
        monitor = self.session.monitor_notifications()
        app = self.session.start_pendra(env=dict(env, LD_PRELOAD=libfaketime()))
        return monitor, app

    def set_clock(self, fake):
        # A relative offset, re-read on every call: the faked clock is the
        # real one plus it, so the test knows the program's time exactly.
        target = time.mktime(time.strptime(fake, "%Y-%m-%d %H:%M:%S"))
        self.offset = round(target - time.time())
        with open(self.clock_file + ".new", "w") as f:
            f.write("%+ds\n" % self.offset)
        os.replace(self.clock_file + ".new", self.clock_file)

    def fake_now(self):
        return time.time() + self.offset

    def rings(self, monitor):
        return [c for c in monitor.calls if c["body"] == "Jump"]

    def test_forwards_past_the_alarm_rings_once(self):
        self.plant([alarm("Jump", ringtone="None")])
        monitor, app = self.start_with_clock_file("2026-12-07 06:59:50")
        app.tray_icon()
        time.sleep(2)
        self.set_clock("2026-12-07 07:02:00")
        jumped = time.time()
        monitor.wait_for_notify(1, timeout=30)
        late = time.time() - jumped
        time.sleep(5)
        self.assertEqual(len(self.rings(monitor)), 1)
        self.assertTrue(app.alive())
        record_case("clock-forwards",
                    "jumped from 06:59:52 to 07:02:00 past a 07:00 alarm: it rang once, "
                    "%.1f s after the jump" % late, seconds_after_jump=round(late, 1))

    def test_backwards_before_the_alarm_rings_once_at_its_minute(self):
        self.plant([alarm("Jump", ringtone="None")])
        monitor, app = self.start_with_clock_file("2026-12-07 06:59:50")
        app.tray_icon()
        time.sleep(2)
        self.set_clock("2026-12-07 06:59:30")
        monitor.wait_for_notify(1, timeout=60)
        rang_at = self.fake_now()
        target = time.mktime(time.strptime("2026-12-07 07:00:00", "%Y-%m-%d %H:%M:%S"))
        self.assertGreaterEqual(rang_at, target - 0.5, "rang before its minute")
        self.assertLess(rang_at, target + 5, "rang late")
        time.sleep(5)
        self.assertEqual(len(self.rings(monitor)), 1)
        record_case("clock-backwards",
                    "set back from 06:59:52 to 06:59:30 before a 07:00 alarm: it rang once, "
                    "%+.2f s from 07:00:00 on the faked clock" % (rang_at - target),
                    offset_seconds=round(rang_at - target, 2))


class _Inotify:
    """Counts renames onto one file name in a folder (how QSaveFile commits)."""

    IN_MOVED_TO = 0x80

    def __init__(self, folder, name):
        import ctypes
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK)
        libc.inotify_add_watch(self.fd, folder.encode(), self.IN_MOVED_TO)
        self.name = name.encode()

    def count(self):
        import struct
        n = 0
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return n
            i = 0
            while i < len(data):
                _wd, mask, _cookie, size = struct.unpack_from("iIII", data, i)
                name = data[i + 16:i + 16 + size].rstrip(b"\0")
                if mask & self.IN_MOVED_TO and name == self.name:
                    n += 1
                i += 16 + size

    def close(self):
        os.close(self.fd)


class TwoAtOnce(FaultSession):
    def test_two_started_together_leave_one_and_the_file_written_once(self):
        self.plant([alarm("Only once", enabled=False)])
        watch = _Inotify(self.data, "alarms.json")
        self.addCleanup(watch.close)
        # What one launch writes, for comparison.
        alone = self.session.start_pendra()
        alone.tray_icon()
        time.sleep(1.5)
        alone.terminate()
        self.assertEqual(alone.wait(15), 0)
        single = watch.count()

        first = self.session.start_pendra()
        second = self.session.start_pendra()
        wait_until(lambda: not (first.alive() and second.alive()), 20,
                   what="one of the two to leave")
        survivor, leaver = (first, second) if first.alive() else (second, first)
        self.assertEqual(leaver.wait(10), 0)
        survivor.tray_icon()
        time.sleep(1.5)
        self.assertTrue(survivor.alive())
        both = watch.count()
        self.assertEqual(both, single, "two launches wrote %d times, one writes %d" % (both, single))
        self.assertEqual([a["label"] for a in self.stored()], ["Only once"])
        self.assertEqual([l for l in leaver.lines if not l.startswith(("intro", "window", "widget"))],
                         [], "the one that left did more than hand over")
        record_case("two-instances",
                    "of two started together one stayed and the other left with status 0 "
                    "without touching anything; the alarms file was written %d time(s), as by "
                    "one launch, and not doubled" % both)


if __name__ == "__main__":
    unittest.main()
