#!/usr/bin/env bash
# What only `make bench` needs: the peer it measures against, and python3-xlib
# to stamp window mappings as the X server reports them.
set -eu
missing=""
for p in gnome-clocks python3-xlib; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  # Package lists may be missing or stale on a fresh machine.
  { $sudo apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 ||
    { $sudo apt-get update -q >/dev/null &&
      $sudo apt-get install -y --no-install-recommends $missing >/dev/null; }; } || \
    echo "could not install$missing; the figures that need them will be missing"
fi
