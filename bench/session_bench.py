#!/usr/bin/env python3
"""Pendra against GNOME Clocks and a bare Qt tray program, in the real session.

Every figure is taken in the same kind of private session (Xvfb, openbox,
tint2, dunst, PulseAudio) and in the same run, so ratios compare like with
like. Prints one table, writes <build>/bench/results.json and regenerates the
table in docs/benchmarks.md. Never fails on a figure: what cannot be measured
is reported as missing. PENDRA_BENCH_QUICK=1 makes a short smoke run.
"""
import json
import os
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "session"))
import harness  # noqa: E402
from xwatch import XWatch  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
QUICK = os.environ.get("PENDRA_BENCH_QUICK") == "1"
RUNS = int(os.environ.get("PENDRA_BENCH_RUNS") or (2 if QUICK else 5))
SPAN = 5 if QUICK else 30  # seconds of each idle or stopwatch measurement
COUNTDOWN = 10 if QUICK else 60  # seconds of the accuracy stopwatch and timer
TICK = os.sysconf("SC_CLK_TCK")
NO_WATCHING = {"PENDRA_TEST_INTROSPECT": None, "PENDRA_TEST_COMMANDS": None}
TABS = ["world", "alarms", "timer", "stopwatch"]


def log(*a):
    print("  [%s]" % time.strftime("%H:%M:%S"), *a, flush=True)


# What a process costs, from /proc

def thread_counts(pid):
    """{tid: (CPU seconds, context switches)} of the process's threads, or None."""
    out = {}
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return None
    for t in tasks:
        try:
            with open("/proc/%d/task/%s/stat" % (pid, t)) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            cpu = (int(fields[11]) + int(fields[12])) / TICK
            sw = 0
            with open("/proc/%d/task/%s/status" % (pid, t)) as f:
                for line in f:
                    if "ctxt_switches" in line:
                        sw += int(line.split()[1])
            out[t] = (cpu, sw)
        except (OSError, IndexError, ValueError):
            pass  # a thread that ended meanwhile
    return out


def cost(pid, span, every=0.5):
    """CPU in percent of one core and wake-ups per second over span seconds.

    Counted per thread, sampled every `every` s: a thread that ends within the
    span (Qt's pooled threads end 30 s after their last job) keeps what it
    had counted at its last sample instead of taking it out of the sum, and
    one born within the span counts from zero."""
    first = thread_counts(pid)
    if first is None:
        return None, None
    last = dict(first)
    t0 = time.monotonic()
    end = t0 + span
    while True:
        now = time.monotonic()
        if now >= end:
            break
        time.sleep(min(every, end - now))
        seen = thread_counts(pid)
        if seen is None:
            return None, None
        last.update(seen)
    dt = time.monotonic() - t0
    cpu = sum(c - first.get(t, (0, 0))[0] for t, (c, _) in last.items())
    sw = sum(w - first.get(t, (0, 0))[1] for t, (_, w) in last.items())
    return 100.0 * cpu / dt, sw / dt


def memory(pid):
    out = {}
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                k, _, v = line.partition(":")
                if k in ("Rss", "Pss"):
                    out[k] = int(v.split()[0]) / 1024.0
    except OSError:
        pass
    return out.get("Rss"), out.get("Pss")


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)


# Pendra's files

def conf(session, **values):
    folder = os.path.join(session.env["XDG_CONFIG_HOME"], "Zentho")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Pendra.conf"), "w", encoding="utf-8") as f:
        f.write("[General]\n")
        for k, v in values.items():
            if isinstance(v, list):
                v = '"@json:%s"' % json.dumps(v).replace("\\", "\\\\").replace('"', '\\"')
            f.write("%s=%s\n" % (k, v))


def alarm(hour, minute, label, enabled=False):
    return {"hour": hour, "minute": minute, "ringtone": "Radar", "snooze": 9,
            "isSnoozed": False, "label": label, "repeatDays": [False] * 7, "enabled": enabled}


def write_alarms(session, alarms):
    folder = os.path.join(session.env["XDG_DATA_HOME"], "Pendra")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "alarms.json"), "w", encoding="utf-8") as f:
        json.dump(alarms, f)


def some_alarms(n):
    return [alarm(i % 24, (i * 7) % 60, "Alarm %d" % i) for i in range(n)]


def city_names(n):
    names = []
    base = "/usr/share/zoneinfo"
    for region in ("Europe", "Asia", "America", "Africa", "Australia", "Pacific", "Indian"):
        try:
            entries = sorted(os.listdir(os.path.join(base, region)))
        except OSError:
            continue
        for e in entries:
            if os.path.isfile(os.path.join(base, region, e)):
                names.append(e.replace("_", " "))
    return (names * (n // max(1, len(names)) + 1))[:n] if names else ["London"] * n


# Start-up, to the popover or window on screen

def process_cpu(pid):
    """Nanoseconds on a CPU, all threads together (schedstat, not clock ticks,
    so that a few milliseconds of work show)."""
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return None
    total = 0
    for t in tasks:
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, t)) as f:
                total += int(f.read().split()[0])
        except (OSError, IndexError, ValueError):
            pass  # a thread that ended meanwhile
    return total


def quiet(pid, still=0.3, timeout=120.0):
    """Waits until the process has used no CPU for `still` seconds: what it
    does at launch is done. Returns the moment it went quiet, or None."""
    deadline = time.monotonic() + timeout
    last, since = process_cpu(pid), time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.05)
        now = process_cpu(pid)
        if now is None:
            return None
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= still:
            return since
    return None


def tray_ready(session, watch, binary, env=None, stdin=False, open_timeout=3, settle=False):
    """Starts a tray program, clicks its icon once embedded, waits for its popup.

    With `settle`, the click waits until the program has gone quiet, so that
    what is timed is the opening alone, not the tail of the launch.
    A click that brought no popup within open_timeout seconds is taken as
    lost and made again, so open_timeout must exceed the slowest opening (a
    second click would close a popup that was merely slow).

    Returns the program and the seconds from exec to the icon and to the
    popup's mapping, and from the click to the mapping, or None where one did
    not come. p.first_pixels is the click to the popup's first drawing.
    """
    t0 = time.monotonic()
    p = harness.core.Pendra(session, binary=binary, env=env, stdin=stdin)
    pid = p.proc.pid
    p.first_pixels = p.quiet_at = None
    t_icon, icon = watch.tray_icon(pid, timeout=60)
    if icon is None:
        return p, None, None, None
    if settle:
        p.quiet_at = quiet(pid)
    t_map = wid = None
    for _ in range(5):
        x, y, w, h = watch.geometry(icon)
        clicked = watch.press(x + w // 2, y + h // 2)
        t_map, wid = watch.first_map(clicked, lambda c: watch.pid_of(c) == pid,
                                     timeout=open_timeout, exclude=(icon,))
        if wid:
            break
    p.icon, p.popup = icon, wid
    if wid:
        drawn = watch.first_damage(clicked, wid)
        p.first_pixels = drawn and drawn - clicked
    return p, t_icon - t0, (t_map - t0) if t_map else None, (t_map - clicked) if t_map else None


def reopen(session, watch, p):
    """Closes the popover and clicks the icon again once all is quiet:
    (click to mapped, click to first pixels) in ms, or Nones."""
    close_popup(session, watch, p)
    quiet(p.proc.pid)
    x, y, w, h = watch.geometry(p.icon)
    clicked = watch.press(x + w // 2, y + h // 2)
    t_map, wid = watch.first_map(clicked, lambda c: c == p.popup, timeout=5)
    drawn = watch.first_damage(clicked, p.popup) if wid else None
    return ((t_map - clicked) * 1000 if t_map else None,
            (drawn - clicked) * 1000 if drawn else None)


def close_popup(session, watch, p):
    session.key("Escape")
    harness.wait_until(lambda: not watch.viewable(p.popup), 5, what="the popover to close")


def clocks_start(session, watch, renderer):
    env = dict(session.env)
    env["GSETTINGS_BACKEND"] = "keyfile"
    if renderer:
        env["GSK_RENDERER"] = renderer
    t0 = time.monotonic()
    proc = subprocess.Popen(["gnome-clocks"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    session._children.append(proc)
    t, wid = watch.first_map(t0, lambda w: "org.gnome.clocks" in watch.wm_class(w), timeout=60)
    proc.window = wid
    return proc, (t - t0) if t else None


def clocks_on_stopwatch(session):
    folder = os.path.join(session.env["XDG_CONFIG_HOME"], "glib-2.0", "settings")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "keyfile"), "w") as f:
        f.write("[org/gnome/clocks/state/window]\npanel-id='stopwatch'\n")


# Load on both cores, from processes of their own

class Load:
    def __init__(self, busy):
        self.procs = []
        if busy:
            for _ in range(os.cpu_count() or 2):
                self.procs.append(subprocess.Popen(["sh", "-c", "while :; do :; done"],
                                                   start_new_session=True))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in self.procs:
            p.kill()
            p.wait()
        return False


class Figures:
    def __init__(self):
        self.values = {}

    def add(self, key, v):
        self.values.setdefault(key, [])
        if v is not None:
            self.values[key].append(v)

    def summary(self):
        out = {}
        for k, vs in self.values.items():
            out[k] = ({"median": statistics.median(vs), "min": min(vs), "max": max(vs),
                       "runs": len(vs)} if vs else None)
        return out


def wall_offset():
    return time.time() - time.monotonic()


# The parts of one run

def measure_startup(s, watch, fig, pendra, base):
    conf(s, lastSelected=1)
    write_alarms(s, some_alarms(20))
    p, t_icon, ready, _ = tray_ready(s, watch, pendra, env=NO_WATCHING)
    fig.add("ready_ms.pendra", ready and ready * 1000)
    fig.add("icon_ms.pendra", t_icon and t_icon * 1000)
    fig.add("first_open_pixels_ms.pendra", p.first_pixels and p.first_pixels * 1000)
    if ready:
        time.sleep(5)
        rss, pss = memory(p.proc.pid)
        fig.add("rss_mb.pendra", rss)
        fig.add("pss_mb.pendra", pss)
        close_popup(s, watch, p)
        time.sleep(1)
        cpu, wk = cost(p.proc.pid, SPAN)
        fig.add("idle_closed_cpu_pct.pendra", cpu)
        fig.add("idle_closed_wakeups_s.pendra", wk)
    stop(p.proc)

    b, t_icon, ready, _ = tray_ready(s, watch, base, env=NO_WATCHING)
    fig.add("ready_ms.baseline", ready and ready * 1000)
    fig.add("first_open_pixels_ms.baseline", b.first_pixels and b.first_pixels * 1000)
    if ready:
        time.sleep(5)
        rss, pss = memory(b.proc.pid)
        fig.add("rss_mb.baseline", rss)
        fig.add("pss_mb.baseline", pss)
    stop(b.proc)


def measure_tabs(s, watch, fig, pendra):
    """Idle cost open on each tab, and the stopwatch running seen and unseen."""
    conf(s, lastSelected=0)
    write_alarms(s, some_alarms(20))
    env = {"PENDRA_TEST_COMMANDS": "1"}
    p, _, ready, _ = tray_ready(s, watch, pendra, env=env, stdin=True)
    if not ready:
        stop(p.proc)
        return
    pid = p.proc.pid
    for i, tab in enumerate(TABS):
        p.send("introspect on")
        t = p.wait_widget("tab-%d" % i, timeout=15)
        if t.kind != "tab-current":
            s.click(*t.center)
            p.wait_widget("tab-%d" % i, pred=lambda w: w.kind == "tab-current", timeout=15)
        p.send("introspect off")
        p.wait_for_line("^introspect off$", start=len(p.lines) - 1)
        time.sleep(1)
        cpu, wk = cost(pid, SPAN)
        fig.add("idle_open_%s_cpu_pct.pendra" % tab, cpu)
        fig.add("idle_open_%s_wakeups_s.pendra" % tab, wk)
    p.send("click startStopBtn")
    time.sleep(1)
    cpu, wk = cost(pid, SPAN)
    fig.add("stopwatch_visible_cpu_pct.pendra", cpu)
    fig.add("stopwatch_visible_wakeups_s.pendra", wk)
    close_popup(s, watch, p)
    time.sleep(1)
    cpu, wk = cost(pid, SPAN)
    fig.add("stopwatch_hidden_cpu_pct.pendra", cpu)
    fig.add("stopwatch_hidden_wakeups_s.pendra", wk)
    stop(p.proc)


def pendra_stopwatch_visible(s, watch, pendra):
    """Pendra's running stopwatch open on its tab: (CPU %, wake-ups/s), None if not."""
    conf(s, lastSelected=3)
    p, _, ready, _ = tray_ready(s, watch, pendra, env={"PENDRA_TEST_COMMANDS": "1"}, stdin=True)
    try:
        if not ready:
            return None, None
        p.send("introspect off")
        p.wait_for_line("^introspect off$")
        p.send("click startStopBtn")
        time.sleep(1)
        return cost(p.proc.pid, SPAN)
    finally:
        stop(p.proc)


def measure_clocks(s, watch, fig, pendra):
    clocks_on_stopwatch(s)
    sw_pendra = None
    for label, renderer in (("default", None), ("cairo", "cairo")):
        if label == "cairo":
            # Pendra's visible stopwatch just before Clocks' cairo one, and the
            # ratio taken per run: figures minutes apart varied with what else
            # the machine ran.
            sw_pendra = pendra_stopwatch_visible(s, watch, pendra)[0]
            fig.add("stopwatch_visible_cpu_pct.pendra_beside_clocks", sw_pendra)
        c, ready = clocks_start(s, watch, renderer)
        key = "clocks_" + label
        fig.add("ready_ms." + key, ready and ready * 1000)
        if not ready:
            stop(c)
            continue
        time.sleep(5)
        rss, pss = memory(c.pid)
        fig.add("rss_mb." + key, rss)
        fig.add("pss_mb." + key, pss)
        cpu, wk = cost(c.pid, SPAN)
        fig.add("idle_open_stopwatch_cpu_pct." + key, cpu)
        fig.add("idle_open_stopwatch_wakeups_s." + key, wk)
        # The stopwatch page's Start button has the focus: Return starts it.
        s.xdotool("windowactivate", "--sync", c.window)
        s.xdotool("windowfocus", "--sync", c.window)
        s.key("Return")
        time.sleep(1)
        cpu, wk = cost(c.pid, SPAN)
        fig.add("stopwatch_visible_cpu_pct." + key, cpu)
        fig.add("stopwatch_visible_wakeups_s." + key, wk)
        if label == "cairo" and cpu and sw_pendra is not None:
            fig.add("stopwatch_visible_cpu_ratio.pendra_clocks_cairo", sw_pendra / cpu)
            log("  stopwatch visible CPU: Pendra %.2f %%, Clocks cairo %.2f %%, ratio %.2f"
                % (sw_pendra, cpu, sw_pendra / cpu))
        if label == "default":
            s.screenshot("clocks-stopwatch-running")
        s.xdotool("windowminimize", "--sync", c.window)
        time.sleep(1)
        cpu, wk = cost(c.pid, SPAN)
        fig.add("stopwatch_hidden_cpu_pct." + key, cpu)
        fig.add("stopwatch_hidden_wakeups_s." + key, wk)
        stop(c)


def measure_accuracy(s, watch, fig, pendra, busy):
    """Stopwatch, timer and an alarm at the next minute, all in one program."""
    tag = "busy" if busy else "idle"
    conf(s, lastSelected=3, hour=0, minute=COUNTDOWN // 60, second=COUNTDOWN % 60,
         ringtone="Radar")
    now = time.time()
    minute = (int(now + 20) // 60 + 1) * 60  # the next whole minute 20 s or more away
    lt = time.localtime(minute)
    write_alarms(s, [alarm(lt.tm_hour, lt.tm_min, "bench alarm", enabled=True)])
    monitor = s.monitor_notifications()
    with Load(busy):
        p, _, ready, _ = tray_ready(s, watch, pendra, env={"PENDRA_TEST_COMMANDS": "1"},
                                    stdin=True)
        if not ready:
            stop(p.proc)
            return
        p.send("introspect off")  # as a user runs it, nothing watching
        offset = wall_offset()

        def click(name):
            start = len(p.lines)
            p.send("click " + name)
            m = p.wait_for_line(r"^clicked-at (\d+\.\d+)$", start=start)
            return float(m.group(1))

        sw_start = click("startStopBtn")
        timer_start = click("timerStart")
        time.sleep(max(0.0, sw_start + COUNTDOWN - time.monotonic()))
        sw_stop = click("startStopBtn")
        # A reading taken after the stop: the newest one before it may be from
        # before the start, and under load it was read as a stopwatch at zero.
        seen = len(p.blocks)
        p.send("introspect on")
        harness.wait_until(lambda: len(p.blocks) > seen, 15, what="a reading after the stop")
        label = p.widget("timeLbl").text
        mm, rest = label.split(":")
        ss, hh = rest.split(".")
        shown = int(mm) * 60 + int(ss) + int(hh) / 100.0
        fig.add("stopwatch_error_ms.%s" % tag, (shown - (sw_stop - sw_start)) * 1000)

        def notify_time(pred, timeout):
            def find():
                for c in list(monitor.calls):
                    text = "%s %s" % (c.get("summary"), c.get("body"))
                    if pred(text):
                        return c["time"]
                return None
            try:
                return harness.wait_until(find, timeout, what="a notification")
            except TimeoutError:
                return None

        t_done = notify_time(lambda t: "Timer done" in t, COUNTDOWN + 15)
        if t_done:
            fig.add("timer_late_ms.%s" % tag, (t_done - (timer_start + offset + COUNTDOWN)) * 1000)
        t_alarm = notify_time(lambda t: "Timer done" not in t,
                              max(5.0, minute - time.time() + 15))
        if t_alarm:
            fig.add("alarm_late_ms.%s" % tag, (t_alarm - minute) * 1000)
        stop(p.proc)
    monitor.close()


# Sound onset, read off the capture sink: what the user hears, not the call
# that asks for it.

SINK_RATE = 44100 * 4  # bytes a second of s16le stereo on the capture sink


def sink_clock(s, span=1.0):
    """Maps wall time to a byte offset of the capture file.

    The pipe sink is paced by the system clock, so bytes advance at SINK_RATE;
    the offset is taken from the sample that saw a byte earliest (position
    read before the time, so a delayed sample can only look late)."""
    best = None
    end = time.time() + span
    while time.time() < end:
        pos = s.capture_position()
        t = time.time()
        c = pos - SINK_RATE * t
        best = c if best is None else max(best, c)
        time.sleep(0.002)
    return lambda t: int(SINK_RATE * t + best)


def onset_ms(s, at, t, within=4.0, floor=0.01):
    """Milliseconds from wall time t to the first 10 ms block above floor."""
    before = 0.1
    harness.wait_until(lambda: s.capture_position() >= at(t + within), within + 10,
                       what="the capture to pass the span")
    levels = s.sound_levels(at(t - before), window_ms=10)[:int((within + before) * 100)]
    first = next((i for i, v in enumerate(levels) if v > floor), None)
    return None if first is None else first * 10 - before * 1000


def measure_paplay(s, watch, fig):
    """The floor: a ringtone decoded ahead and played by paplay into the same sink."""
    wav = s.path("radar.wav")
    subprocess.run(["ffmpeg", "-loglevel", "quiet", "-y", "-i",
                    os.path.join(BUILD, "share", "pendra", "ringtones", "Radar.m4r"), wav],
                   check=True)
    at = sink_clock(s)
    for _ in range(3):
        t = time.time() + 0.3
        time.sleep(t - time.time())
        subprocess.Popen(["paplay", wav], env=s.env, start_new_session=True)
        fig.add("onset_ms.paplay", onset_ms(s, at, t))
        time.sleep(3.5)


def fake_clock_at(real_t, fake="07:00:00"):
    """FAKETIME making the fake wall clock read `fake` tomorrow at real time real_t."""
    tomorrow = time.localtime(real_t + 86400)
    target = time.mktime(time.strptime(time.strftime("%Y-%m-%d ", tomorrow) + fake,
                                       "%Y-%m-%d %H:%M:%S"))
    return "%+ds" % int(target - real_t)


def measure_onset(s, watch, fig, pendra, busy, hung):
    """An alarm's minute, then a countdown's end, heard on the sink.

    With hung, the notification server is stopped (SIGSTOP) from 5 s before
    the minute until the measurements are taken: the alert window's mapping
    and a click on the tray icon are timed then as well."""
    tag = ("busy" if busy else "idle") + ("_hung" if hung else "")
    conf(s, lastSelected=0, hour=0, minute=0, second=5, ringtone="Radar")
    write_alarms(s, [alarm(7, 0, "onset", enabled=True)])
    at = sink_clock(s)
    minute = int(time.time()) + 15
    env = {"PENDRA_TEST_COMMANDS": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1",
           "FAKETIME": fake_clock_at(minute),
           "LD_PRELOAD": "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"}
    dunst = s.services.get("dunst")
    with Load(busy):
        p, _, ready, _ = tray_ready(s, watch, pendra, env=env, stdin=True)
        if not ready:
            stop(p.proc)
            return
        close_popup(s, watch, p)
        p.send("introspect off")
        pid = p.proc.pid
        time.sleep(max(0.0, minute - 5 - time.time()))
        if hung:
            os.kill(dunst.pid, signal.SIGSTOP)
        try:
            mono_minute = minute - wall_offset()
            v = onset_ms(s, at, minute)
            log("    alarm onset %s ms" % v)
            fig.add("alarm_onset_ms.%s" % tag, v)
            if hung:
                t_alert, alert = watch.first_map(mono_minute, lambda w: watch.pid_of(w) == pid,
                                                 timeout=5, exclude=(p.icon, p.popup))
                fig.add("alert_window_ms.%s" % tag, t_alert and (t_alert - mono_minute) * 1000)
                x, y, w, h = watch.geometry(p.icon)
                clicked = time.monotonic()
                s.click(x + w // 2, y + h // 2)
                t_map, _ = watch.first_map(clicked - 0.06, lambda c: watch.pid_of(c) == pid,
                                           timeout=10, exclude=(p.icon, alert))
                fig.add("popover_click_ms.%s" % tag, t_map and (t_map - clicked) * 1000)
        finally:
            if hung:
                os.kill(dunst.pid, signal.SIGCONT)
        stop(p.proc)
        # The countdown in a program of its own, so the alarm's ring is gone.
        write_alarms(s, [])
        p, _, ready, _ = tray_ready(s, watch, pendra, env={"PENDRA_TEST_COMMANDS": "1"},
                                   stdin=True)
        if not ready:
            stop(p.proc)
            return
        close_popup(s, watch, p)
        p.send("introspect off")
        if hung:
            os.kill(dunst.pid, signal.SIGSTOP)
        try:
            start = len(p.lines)
            p.send("click timerStart")
            m = p.wait_for_line(r"^clicked-at (\d+\.\d+)$", start=start)
            end = float(m.group(1)) + wall_offset() + 5
            v = onset_ms(s, at, end)
            log("    timer onset %s ms" % v)
            fig.add("timer_onset_ms.%s" % tag, v)
        finally:
            if hung:
                os.kill(dunst.pid, signal.SIGCONT)
        stop(p.proc)


def fresh_widget(p, name, pred=None, timeout=15):
    """The control `name` as a dump made after now shows it. The program
    dumps only what changed, and dumps before it echoes the next command."""
    deadline = time.monotonic() + timeout
    while True:
        start = len(p.lines)
        p.send("introspect on")
        p.send("introspect off")
        p.wait_for_line("^introspect off$", start=start)
        w = p.widget(name)
        if w and (pred is None or pred(w)):
            return w
        if time.monotonic() > deadline:
            raise TimeoutError("no control %s among %s" % (
                name, " ".join(c.name for c in p.screen()[1] if c.name.startswith("alarm"))[:600]))
        time.sleep(0.1)


def action_ms(watch, p, name):
    """A click on the control `name` to the popover's last drawing that
    followed it, in ms: the result on screen, not the button's pressed look.
    Clicked once the program is quiet, without the introspection; what it
    drew until it went quiet again counts."""
    w = fresh_widget(p, name)
    quiet(p.proc.pid)
    t = watch.press(*w.center)
    done = quiet(p.proc.pid, still=0.3) or time.monotonic()
    drawn = watch.last_damage(t, done + 0.05, p.popup)
    return drawn and (drawn - t) * 1000


def measure_popover(s, watch, fig, pendra):
    """The popover reopened on each tab with typical data (5 cities, 10
    alarms): a click on the icon to mapped and to its first pixels."""
    conf(s, lastSelected=0, cities=city_names(5))
    write_alarms(s, some_alarms(10))
    p, _, ready, _ = tray_ready(s, watch, pendra, env={"PENDRA_TEST_COMMANDS": "1"},
                                stdin=True, settle=True)
    if ready:
        for i, tab in enumerate(TABS):
            t = fresh_widget(p, "tab-%d" % i)
            if t.kind != "tab-current":
                watch.press(*t.center)
                fresh_widget(p, "tab-%d" % i, pred=lambda w: w.kind == "tab-current")
            for _ in range(3):
                mapped, drawn = reopen(s, watch, p)
                fig.add("popover_mapped_ms." + tab, mapped)
                fig.add("popover_pixels_ms." + tab, drawn)
    stop(p.proc)


def measure_edits(s, watch, fig, pendra):
    """One alarm toggled, added and deleted among 1,000."""
    conf(s, lastSelected=1)
    write_alarms(s, some_alarms(1000))
    p, _, ready, _ = tray_ready(s, watch, pendra, env={"PENDRA_TEST_COMMANDS": "1"},
                                stdin=True, open_timeout=30, settle=True)
    if ready:
        # Row 0 while the list is still scrolled to its top.
        fig.add("alarms1k_toggle_ms.pendra", action_ms(watch, p, "alarmEnabled-0"))
        fig.add("alarms1k_edit_ms.pendra", action_ms(watch, p, "alarmEdit-0"))
        fig.add("alarms1k_delete_ms.pendra", action_ms(watch, p, "alarmDelete"))
        fig.add("alarms1k_new_ms.pendra", action_ms(watch, p, "alarmNew"))
        fig.add("alarms1k_add_ms.pendra", action_ms(watch, p, "alarmDone"))
    stop(p.proc)



def measure_scale(s, watch, fig, pendra):
    conf(s, lastSelected=1)
    write_alarms(s, some_alarms(10000))
    t0 = time.monotonic()
    p, t_icon, ready, click = tray_ready(s, watch, pendra, env=NO_WATCHING, open_timeout=30,
                                         settle=True)
    fig.add("alarms10k_icon_ms.pendra", t_icon and t_icon * 1000)
    fig.add("alarms10k_quiet_ms.pendra", p.quiet_at and (p.quiet_at - t0) * 1000)
    fig.add("alarms10k_open_ms.pendra", click and click * 1000)
    fig.add("alarms10k_pixels_ms.pendra", p.first_pixels and p.first_pixels * 1000)
    if ready:
        time.sleep(2)
        fig.add("alarms10k_rss_mb.pendra", memory(p.proc.pid)[0])
        mapped, drawn = reopen(s, watch, p)
        fig.add("alarms10k_reopen_pixels_ms.pendra", drawn)
    stop(p.proc)

    write_alarms(s, [])
    conf(s, lastSelected=0, cities=city_names(200))
    p, t_icon, ready, click = tray_ready(s, watch, pendra, env=NO_WATCHING, open_timeout=30,
                                         settle=True)
    fig.add("cities200_icon_ms.pendra", t_icon and t_icon * 1000)
    fig.add("cities200_open_ms.pendra", click and click * 1000)
    fig.add("cities200_pixels_ms.pendra", p.first_pixels and p.first_pixels * 1000)
    if ready:
        time.sleep(2)
        rss, _ = memory(p.proc.pid)
        fig.add("cities200_rss_mb.pendra", rss)
        close_popup(s, watch, p)
        time.sleep(1)
        cpu, wk = cost(p.proc.pid, SPAN)
        fig.add("cities200_idle_closed_wakeups_s.pendra", wk)
    stop(p.proc)


def run(fig):
    pendra = os.path.join(BUILD, "bin", "pendra")
    base = os.path.join(BUILD, "bin", "tray_baseline")
    have_clocks = subprocess.run(["sh", "-c", "command -v gnome-clocks"],
                                 capture_output=True).returncode == 0
    if not have_clocks:
        print("gnome-clocks is not installed: its figures are missing")
    parts = [("start-up and memory", lambda s, w: measure_startup(s, w, fig, pendra, base)),
             ("popover", lambda s, w: measure_popover(s, w, fig, pendra)),
             ("tabs and stopwatch", lambda s, w: measure_tabs(s, w, fig, pendra))]
    if have_clocks:
        parts.append(("GNOME Clocks", lambda s, w: measure_clocks(s, w, fig, pendra)))
    parts.append(("onset floor", lambda s, w: measure_paplay(s, w, fig)))
    for busy in (False, True):
        for hung in (False, True):
            parts.append(("onset %s%s" % ("busy" if busy else "idle", " hung" if hung else ""),
                          lambda s, w, b=busy, h=hung: measure_onset(s, w, fig, pendra, b, h)))
    parts += [("accuracy, idle", lambda s, w: measure_accuracy(s, w, fig, pendra, False)),
              ("accuracy, busy", lambda s, w: measure_accuracy(s, w, fig, pendra, True)),
              ("scale", lambda s, w: measure_scale(s, w, fig, pendra)),
              ("edits", lambda s, w: measure_edits(s, w, fig, pendra))]
    only = os.environ.get("PENDRA_BENCH_ONLY")
    if only:
        parts = [pt for pt in parts if pt[0].startswith(only)]
    for i in range(RUNS):
        for name, part in parts:
            log("run %d/%d: %s" % (i + 1, RUNS, name))
            try:
                s = harness.Session("bench-%d-%s" % (i, name.split()[0].strip(",")))
                s.start()
                try:
                    watch = XWatch(s.display)
                    try:
                        part(s, watch)
                    finally:
                        watch.close()
                finally:
                    s.stop()
            except Exception as e:  # a benchmark reports a hiccup, it does not fail on it
                log("  %s stopped early: %s: %s" % (name, type(e).__name__, e))


# Reading the figures against the targets

def med(res, key):
    v = res.get(key)
    return v["median"] if v else None


def worst(res, key):
    v = res.get(key)
    if not v:
        return None
    return max(abs(v["min"]), abs(v["max"]))


def best(res, stem):
    vals = [med(res, stem + ".clocks_default"), med(res, stem + ".clocks_cairo")]
    vals = [v for v in vals if v is not None]
    return min(vals) if vals else None


def verdicts(res):
    """(figure, value, target, met) rows."""
    rows = []

    def ratio(a, b):
        return a / b if a is not None and b else None

    def row(what, value, target, met, fmt="%.2f"):
        rows.append((what, "n/a" if value is None else fmt % value, target,
                     "n/a" if value is None else ("yes" if met else "NO")))

    r = ratio(med(res, "ready_ms.pendra"), best(res, "ready_ms"))
    row("ready, Pendra / GNOME Clocks' best", r, "<= 0.33", r is not None and r <= 1 / 3)
    r = ratio(med(res, "ready_ms.pendra"), med(res, "ready_ms.baseline"))
    row("ready, Pendra / bare Qt", r, "<= 1.5", r is not None and r <= 1.5)
    r = ratio(med(res, "rss_mb.pendra"), best(res, "rss_mb"))
    row("RSS, Pendra / GNOME Clocks' best", r, "<= 0.5", r is not None and r <= 0.5)
    r = ratio(med(res, "rss_mb.pendra"), med(res, "rss_mb.baseline"))
    row("RSS, Pendra / bare Qt", r, "<= 1.3", r is not None and r <= 1.3)
    v = max([x for x in (med(res, "popover_pixels_ms." + t) for t in TABS) if x is not None],
            default=None)
    row("popover reopened, click to first pixels, slowest tab ms", v, "<= 17",
        v is not None and v <= 17, "%.1f")
    v = med(res, "alarms10k_pixels_ms.pendra")
    row("10,000 alarms, click to first pixels ms", v, "<= 50", v is not None and v <= 50, "%.0f")
    v = med(res, "alarms10k_rss_mb.pendra")
    row("10,000 alarms, RSS MB", v, "<= 60", v is not None and v <= 60, "%.1f")
    v = max([x for x in (med(res, "alarms1k_%s_ms.pendra" % a)
                         for a in ("toggle", "add", "delete")) if x is not None], default=None)
    row("1,000 alarms: toggle, add or delete one, slowest ms", v, "<= 10",
        v is not None and v <= 10, "%.1f")
    v = med(res, "cities200_rss_mb.pendra")
    row("200 cities, RSS MB", v, "<= 45", v is not None and v <= 45, "%.1f")
    v = med(res, "idle_closed_wakeups_s.pendra")
    row("wake-ups/s, closed", v, "0", v is not None and v < 0.05)
    r = ratio(med(res, "stopwatch_visible_cpu_pct.pendra"), best(res, "stopwatch_visible_cpu_pct"))
    row("stopwatch visible CPU, Pendra / GNOME Clocks' best", r, "<= 1", r is not None and r <= 1)
    v = med(res, "stopwatch_visible_cpu_ratio.pendra_clocks_cairo")
    row("stopwatch visible CPU, Pendra / GNOME Clocks cairo, same run", v, "<= 0.7",
        v is not None and v <= 0.7)
    v = med(res, "stopwatch_hidden_cpu_pct.pendra")
    row("stopwatch hidden CPU %", v, "< 0.5", v is not None and v < 0.5)
    v = max([x for x in (worst(res, "stopwatch_error_ms.idle"),
                         worst(res, "stopwatch_error_ms.busy")) if x is not None], default=None)
    row("stopwatch error after %d s, worst ms" % COUNTDOWN, v, "<= 10", v is not None and v <= 10)
    v = max([x for x in (worst(res, "timer_late_ms.idle"), worst(res, "timer_late_ms.busy"))
             if x is not None], default=None)
    row("timer lateness, worst ms", v, "<= 20", v is not None and v <= 20)
    v = max([x for x in (worst(res, "alarm_late_ms.idle"), worst(res, "alarm_late_ms.busy"))
             if x is not None], default=None)
    row("alarm lateness, worst ms", v, "<= 50", v is not None and v <= 50)
    for what, key in (("alarm", "alarm_onset_ms"), ("timer", "timer_onset_ms")):
        for tag in ("idle", "idle_hung"):
            v = worst(res, "%s.%s" % (key, tag))
            row("%s sound onset%s, worst ms" % (what, ", server stopped" if "hung" in tag else ""),
                v, "<= 150", v is not None and v <= 150, "%.0f")
    v = worst(res, "alert_window_ms.idle_hung")
    row("alert window with the server stopped, worst ms", v, "<= 1000",
        v is not None and v <= 1000, "%.0f")
    v = worst(res, "popover_click_ms.idle_hung")
    row("popover on a click with the server stopped, worst ms", v, "<= 200",
        v is not None and v <= 200, "%.0f")
    return rows


def table(res):
    rows = ["| figure | median | min | max | runs |", "|---|---|---|---|---|"]
    for k in sorted(res):
        v = res[k]
        if v is None:
            rows.append("| %s | n/a | | | 0 |" % k)
        else:
            rows.append("| %s | %.2f | %.2f | %.2f | %d |" % (k, v["median"], v["min"], v["max"],
                                                              v["runs"]))
    rows += ["", "| against the target | value | target | met |", "|---|---|---|---|"]
    for what, value, target, met in verdicts(res):
        rows.append("| %s | %s | %s | %s |" % (what, value, target, met))
    rows += ["", "%s, %d runs%s, %d cores, %s" % (
        time.strftime("%Y-%m-%d"), RUNS, " (quick)" if QUICK else "", os.cpu_count() or 0,
        subprocess.run(["uname", "-m"], capture_output=True, text=True).stdout.strip())]
    return "\n".join(rows)


def documented(doc):
    """The figures of the table in docs/benchmarks.md, as summary() gives them."""
    res = {}
    try:
        with open(doc, encoding="utf-8") as f:
            for line in f:
                cells = [c.strip() for c in line.strip().strip("|").split("|")]
                if len(cells) == 5 and cells[4].isdigit() and "." in cells[0]:
                    res[cells[0]] = None if cells[1] == "n/a" else {
                        "median": float(cells[1]), "min": float(cells[2]),
                        "max": float(cells[3]), "runs": int(cells[4])}
    except OSError:
        pass
    return res


def main():
    fig = Figures()
    try:
        run(fig)
    except Exception as e:
        print("session benchmark stopped early:", e)
    res = fig.summary()
    doc = os.path.join(HERE, "..", "docs", "benchmarks.md")
    if os.environ.get("PENDRA_BENCH_ONLY") and not QUICK:
        # One part measured again: the documented rows of the others stay.
        res = dict(documented(doc), **res)
    out = os.path.join(BUILD, "bench")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "results.json"), "w") as f:
        json.dump({"quick": QUICK, "runs": RUNS, "span_s": SPAN, "countdown_s": COUNTDOWN,
                   "figures": res}, f, indent=1, sort_keys=True)
    t = table(res)
    print(t)
    if QUICK:
        return 0  # a smoke run does not replace the documented table
    try:
        with open(doc, encoding="utf-8") as f:
            text = f.read()
        a, b = "<!-- table-begin -->", "<!-- table-end -->"
        if a in text and b in text:
            head, rest = text.split(a, 1)
            text = head + a + "\n" + t + "\n" + b + rest.split(b, 1)[1]
            with open(doc, "w", encoding="utf-8") as f:
                f.write(text)
    except OSError:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
