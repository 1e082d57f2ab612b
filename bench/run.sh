#!/usr/bin/env bash
# Runs every benchmark of the build tree and prints its figures. Never fails
# on a figure; PENDRA_BENCH_QUICK=1 shortens the measured spans.
set -u
build=${1:-build}
found=0
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=offscreen "$b" || echo "(exited with $?)"
  echo
done
[ $found -eq 1 ] || echo "no benchmarks yet"
"$(dirname "$0")/install-bench-deps.sh" || true
# Debian's interpreter: python3-xlib is installed for it.
/usr/bin/python3 "$(dirname "$0")/session_bench.py" "$build" || true
exit 0
