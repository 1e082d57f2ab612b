#!/usr/bin/env python3
"""Pendra against GNOME Clocks and a bare Qt tray program, in the real session.

Prints one table, writes <build>/bench/results.json and regenerates the table
in docs/benchmarks.md. Never fails on a figure. PENDRA_BENCH_QUICK=1 shortens it.
"""
import json, os, statistics, subprocess, sys, time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "session"))
import harness  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
QUICK = os.environ.get("PENDRA_BENCH_QUICK") == "1"
RUNS = 2 if QUICK else 5
IDLE_S = 5 if QUICK else 30
TICK = os.sysconf("SC_CLK_TCK")


def stat(values):
    values = [v for v in values if v is not None]
    if not values:
        return None
    return {"median": statistics.median(values), "min": min(values), "max": max(values),
            "runs": len(values)}


def threads(pid):
    try:
        return os.listdir("/proc/%d/task" % pid)
    except OSError:
        return []


def cpu_and_switches(pid):
    cpu = sw = 0
    for t in threads(pid):
        try:
            with open("/proc/%d/task/%s/stat" % (pid, t)) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            cpu += int(fields[11]) + int(fields[12])
            with open("/proc/%d/task/%s/status" % (pid, t)) as f:
                for line in f:
                    if "ctxt_switches" in line:
                        sw += int(line.split()[1])
        except (OSError, IndexError, ValueError):
            pass
    return cpu / TICK, sw


def idle_cost(pid, span):
    c0, s0 = cpu_and_switches(pid)
    time.sleep(span)
    c1, s1 = cpu_and_switches(pid)
    return 100.0 * (c1 - c0) / span, (s1 - s0) / span


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


def write_alarms(session, n):
    folder = os.path.join(session.env["XDG_DATA_HOME"], "Pendra")
    os.makedirs(folder, exist_ok=True)
    alarms = [{"hour": i % 24, "minute": i % 60, "ringtone": "Radar", "snooze": 9,
               "isSnoozed": False, "label": "Alarm %d" % i, "repeatDays": [False] * 7,
               "enabled": False} for i in range(n)]
    with open(os.path.join(folder, "alarms.json"), "w") as f:
        json.dump(alarms, f)


def pendra_ready(session, binary, alarms=0):
    if alarms:
        write_alarms(session, alarms)
    t0 = time.monotonic()
    p = harness.Pendra(session, binary=binary)
    icon = p.tray_icon(timeout=60)
    t_icon = time.monotonic() - t0
    session.click(*icon.center)
    p.wait_window("popover", timeout=60)
    return p, time.monotonic() - t0, t_icon


def clocks_ready(session, renderer):
    env = dict(session.env)
    if renderer:
        env["GSK_RENDERER"] = renderer
    t0 = time.monotonic()
    proc = subprocess.Popen(["gnome-clocks"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    session._children.append(proc)
    while time.monotonic() - t0 < 60:
        out = session.xdotool("search", "--onlyvisible", "--class", "org.gnome.clocks")
        if out.split():
            return proc, time.monotonic() - t0
        time.sleep(0.01)
    return proc, None


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()


def run():
    pendra = os.path.join(BUILD, "bin", "pendra")
    base = os.path.join(BUILD, "bin", "tray_baseline")
    have_clocks = subprocess.run(["which", "gnome-clocks"], capture_output=True).returncode == 0
    res = {}
    acc = {}

    def add(key, v):
        acc.setdefault(key, []).append(v)

    for i in range(RUNS):
        with harness.Session("bench-%d" % i) as s:
            p, ready, _ = pendra_ready(s, pendra, alarms=20)
            add("ready.pendra", ready * 1000)
            # The popover is already open: pick the tab without toggling it shut.
            tab = p.wait_widget(text="Alarms", pred=lambda w: w.kind.startswith("tab"))
            s.click(*tab.center)
            time.sleep(5)
            rss, pss = memory(p.proc.pid)
            add("rss.pendra", rss)
            add("pss.pendra", pss)
            s.key("Escape")
            time.sleep(1)
            cpu, wk = idle_cost(p.proc.pid, IDLE_S if i == 0 else min(IDLE_S, 5))
            add("idle_closed_cpu.pendra", cpu)
            add("idle_closed_wakeups.pendra", wk)
            p.terminate()
            stop(p.proc)
            b, ready, _ = pendra_ready(s, base)
            add("ready.baseline", ready * 1000)
            time.sleep(5)
            rss, pss = memory(b.proc.pid)
            add("rss.baseline", rss)
            add("pss.baseline", pss)
            stop(b.proc)
            if have_clocks:
                for label, renderer in (("default", None), ("cairo", "cairo")):
                    c, ready = clocks_ready(s, renderer)
                    add("ready.clocks_" + label, ready and ready * 1000)
                    time.sleep(5)
                    rss, pss = memory(c.pid)
                    add("rss.clocks_" + label, rss)
                    add("pss.clocks_" + label, pss)
                    cpu, wk = idle_cost(c.pid, 5)
                    add("idle_cpu.clocks_" + label, cpu)
                    add("idle_wakeups.clocks_" + label, wk)
                    stop(c)
    for k, v in acc.items():
        res[k] = stat(v)
    return res


def table(res):
    rows = ["| figure | median | min | max | runs |", "|---|---|---|---|---|"]
    for k in sorted(res):
        v = res[k]
        if v is None:
            rows.append("| %s | n/a | | | 0 |" % k)
        else:
            rows.append("| %s | %.2f | %.2f | %.2f | %d |" % (k, v["median"], v["min"], v["max"],
                                                              v["runs"]))
    return "\n".join(rows)


def main():
    try:
        res = run()
    except Exception as e:  # a benchmark never fails on a figure or a hiccup
        print("session benchmark stopped early:", e)
        res = {}
    out = os.path.join(BUILD, "bench")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "results.json"), "w") as f:
        json.dump(res, f, indent=1, sort_keys=True)
    t = table(res)
    print(t)
    doc = os.path.join(HERE, "..", "docs", "benchmarks.md")
    try:
        text = open(doc).read()
        a, b = "<!-- table-begin -->", "<!-- table-end -->"
        if a in text and b in text:
            head, rest = text.split(a, 1)
            text = head + a + "\n" + t + "\n" + b + rest.split(b, 1)[1]
            open(doc, "w").write(text)
    except OSError:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
