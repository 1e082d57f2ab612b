"""The real binary's popover and quitting; its timer ringing through dunst and the
sound server, its stopwatch counting on while the popover is closed, and its world
clock's cities kept across a restart."""

import re
import subprocess
import time

from harness import SessionCase, wait_until, write


class Shell(SessionCase):
    session_options = {"sound": False}

    def test_a_second_launch_opens_the_popover_then_quit_asks_and_ends_it(self):
        s = self.session
        app = s.start_pendra()
        app.tray_icon()
        second = subprocess.run([s.binary], env=s.env, timeout=30, capture_output=True)
        self.assertEqual(second.returncode, 0, second.stdout + second.stderr)
        self.assertNotIn(b"24 hour time", second.stdout)  # it handed over before starting up
        app.wait_window("popover")  # placed by it as by the icon: test_desktops
        s.screenshot("open")

        app.click("quitButton")
        app.wait_widget(text="Are you sure you want to quit?")
        app.wait_widget("quitAlertSuppression", text="Don't show this again")
        s.screenshot("warning")
        # The popover is no task of its own, and the question has nothing to
        # maximise (as the window manager sees both).
        props = [subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE", "_NET_WM_ALLOWED_ACTIONS"],
                                env=s.env, capture_output=True, text=True).stdout
                 for wid in s.xdotool("search", "--onlyvisible", "--name", "^Pendra$").split()]
        self.assertEqual(len(props), 2, props)
        self.assertTrue(any("_NET_WM_STATE_SKIP_TASKBAR" in p for p in props), props)
        self.assertFalse(any("MAXIMIZE" in p for p in props), props)
        app.click("quitAlertQuit")
        self.assertEqual(app.wait(15), 0)
        app.wait_for_line(r"^test$")


def hundredths(text):
    minutes, seconds, rest = re.fullmatch(r"(\d+):(\d\d)\.(\d\d)", text).groups()
    return int(minutes) * 6000 + int(seconds) * 100 + int(rest)


class Tabs(SessionCase):
    def setUp(self):
        super().setUp()
        write(self.session.path("home", ".config", "Zentho", "Pendra.conf"),
              "[General]\nringtone=Radar\n")
        self.monitor = self.session.monitor_notifications()
        # World clock offsets are from the user's own zone: pinned, they are known.
        self.app = self.session.start_pendra(env={"TZ": "UTC"})

    def mapped(self, library):
        with open("/proc/%d/maps" % self.app.proc.pid) as f:
            return library in f.read()

    def test_a_timer_of_three_seconds_rings_until_dismissed(self):
        s, app = self.session, self.app
        app.open_tab("Timer")
        app.wait_widget("timerRingtone", text="Radar")
        # Nothing has rung yet, so the sound stack must not be loaded.
        self.assertFalse(self.mapped("libQt6Multimedia"))
        app.type_into("timerSeconds", "3")
        app.click("timerStart")
        app.wait_widget("timerStart", text="Pause")
        start = s.capture_position()
        call = self.monitor.wait_for_notify(1, timeout=20)
        self.assertEqual((call["summary"], call["body"]), ("Pendra", "Timer done"))
        self.assertEqual(call["actions"][2:], ["action", "Repeat", "other", "Dismiss"])
        wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it")
        s.wait_for_sound(start, 3.0, "the ringtone")
        self.assertTrue(self.mapped("pendra-audio.so"))
        s.dunst_invoke("Dismiss")
        app.wait_widget("timerStart", text="Start")
        app.wait_widget("timerSeconds", text="03")
        time.sleep(1.0)
        self.assertLess(s.sounding_now(2.0), 0.2, "still ringing after Dismiss")
        # An alert left on screen by a program that has ended could not be answered.
        app.type_into("timerSeconds", "1")
        app.click("timerStart")
        self.monitor.wait_for_notify(2, timeout=20)
        wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it again")
        self.assertEqual(app.stop(), 0)
        wait_until(lambda: s.dunst_shown_count() == 0, 10, what="the alert closed at the end")

    def test_the_stopwatch_runs_on_while_the_popover_is_closed(self):
        app = self.app
        shown = lambda: hundredths(app.wait_widget("timeLbl").text)
        wait_shown = lambda pred, what: wait_until(lambda: pred(shown()), 20.0, what=what)
        app.open_tab("Stopwatch")
        label = app.wait_widget("timeLbl", text="00:00.00")
        start = app.wait_widget("startStopBtn", text="Start")
        lap = app.wait_widget("lapBtn", text="Lap", pred=lambda w: w.kind.endswith("-disabled"))
        table = app.widget("lapTableView")
        # Top to bottom, nothing overlapping.
        self.assertLessEqual(label.y + label.h, min(start.y, lap.y))
        self.assertLessEqual(start.x + start.w, lap.x)
        if table is not None:
            self.assertLessEqual(max(start.y + start.h, lap.y + lap.h), table.y)

        app.click("startStopBtn")
        wait_shown(lambda t: t >= 100, "one second counted")
        self.session.screenshot("running")
        # Closed, it goes on counting; reopened, it shows the time.
        before = shown()
        icon = app.tray_icon()
        self.session.click(icon.x + icon.w // 2, 600)
        app.wait_window("popover", present=False)
        closed_at = time.monotonic()
        time.sleep(2.0)
        app.open_tab("Stopwatch")
        gone = time.monotonic() - closed_at
        wait_shown(lambda t: t >= before + int(gone * 100) - 10, "time counted while closed")

    def test_world_clock_cities_are_added_deleted_and_kept_across_a_restart(self):
        app = self.app
        app.open_tab("World Clock")
        # A long name, a zone behind UTC, and one on the far side of the date line.
        for entry in ("Kolkata (Asia)", "Port of Spain (America)", "St Johns (America)",
                      "DumontDUrville (Antarctica)"):
            app.add_city(entry)
        app.wait_widget("worldClockOffset-0", text="+05:30")  # the system's zone data
        app.wait_widget("worldClockOffset-3", text="+10:00")
        self.session.screenshot("four-cities")
        # Rows in order without overlap (clipping: test_appearance).
        for i in range(4):
            parts = [app.widget("worldClock%s-%d" % (k, i))
                     for k in ("City", "Offset", "Time", "Delete")]
            for a, b in zip(parts, parts[1:]):
                self.assertLessEqual(a.x + a.w, b.x + 1, (a, b))
            below = app.widget("worldClockCity-%d" % (i + 1))
            if below:
                self.assertLessEqual(parts[0].y + parts[0].h, below.y)

        app.click("worldClockDelete-1")
        app.wait_widget("worldClockCity-1", text="St Johns")
        wait_until(lambda: app.widget("worldClockCity-3") is None, 10, what="three rows")

        # The list outlives the program.
        app.stop()
        app = self.session.start_pendra(env={"TZ": "UTC"})
        app.open_tab("World Clock")
        for i, city in enumerate(("Kolkata", "St Johns", "DumontDUrville")):
            app.wait_widget("worldClockCity-%d" % i, text=city)
        app.click("worldClockClear")
        app.click("worldClockClearAlertConfirm")
        wait_until(lambda: app.widget("worldClockCity-0") is None, 10, what="cleared")
