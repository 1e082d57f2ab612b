#!/usr/bin/env python3
"""Sorts ThreadSanitizer reports into Qt's own and ours; fails on any of ours.

Usage: tsan-report.py [--expect-ours] LOG...

Debian's Qt is not built with ThreadSanitizer. Its QMutex, QWaitCondition,
QSemaphore and QThreadPool synchronise through atomics the tool cannot see,
so every memmove or pthread call that Qt makes on data it handed between
threads looks like a race. One rule sets those aside, and only those:

  qt-internal  both accesses begin (innermost frame outside the sanitizer
               runtime) inside a libQt6 library. Our code is then at most
               further down the stack, calling Qt; it did not touch the
               memory itself.

Any report with an access whose innermost frame is in our binaries is ours,
also when Qt's event loop called it. Our own cross-thread hand-offs use
std::mutex, which the tool sees, so they produce no reports when sound.
"""
import re
import sys


def innermost(section):
    for m in re.finditer(r"#\d+ (.*?) \((\S+?)\+0x[0-9a-f]+\)", section):
        func, obj = m.groups()
        if "libtsan" not in obj:
            return func, obj
    return None


def classify(report):
    sections = re.split(r"\n\s*\n", report)
    accesses = [s for s in sections
                if re.search(r"(Read|Write|read|write) of size|by thread|by main thread", s)][:2]
    heads = [innermost(s) for s in accesses]
    if heads and all(h and "libQt6" in h[1] for h in heads):
        return "qt-internal", heads
    return "ours", heads


def main(argv):
    expect_ours = "--expect-ours" in argv
    logs = [a for a in argv if a != "--expect-ours"]
    counts = {"qt-internal": 0, "ours": 0}
    ours = []
    for path in logs:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for report in text.split("WARNING: ThreadSanitizer: ")[1:]:
            kind, heads = classify(report)
            counts[kind] += 1
            if kind == "ours":
                ours.append((path, report.split("\n", 1)[0], heads))
    print("ThreadSanitizer: %d report(s) of Qt's own, set aside; %d of ours"
          % (counts["qt-internal"], counts["ours"]))
    for path, title, heads in ours[:20]:
        print("  ours: %s in %s: %s" % (title, path, heads))
    if expect_ours:
        return 0 if counts["ours"] else 1
    return 1 if counts["ours"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
