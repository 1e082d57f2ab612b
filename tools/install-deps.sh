#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Pendra need.
# Idempotent: asks apt only for what is missing, and refreshes the package
# lists only then. Works as root or through sudo.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config ccache clang-format
  # the fuzzing build: clang with its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
  # the popover as a Wayland layer surface: QPA's native interface, libwayland, wayland-scanner
  qt6-base-private-dev libwayland-dev libwayland-bin
  libglib2.0-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev
  # translations: lupdate/lrelease with their CMake functions, and Qt's own
  # strings for the standard dialogs
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  # audio playback through Qt Multimedia's GStreamer backend
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  gstreamer1.0-pulseaudio
  # desktop session for the tests of the real binary
  xvfb xauth openbox tint2 dunst dbus dbus-x11 libnotify-bin
  # a StatusNotifierItem tray on X11
  xfce4-panel
  # a Wayland session: sway, waybar's tray, mako, screenshots, Qt's Wayland platform
  sway waybar mako-notifier grim qt6-wayland
  # GNOME Shell (headless) with its AppIndicator extension; gjs runs its notification server
  gnome-shell gnome-shell-extension-appindicator gjs
  pulseaudio pulseaudio-utils sox ffmpeg faketime xdotool x11-utils
  imagemagick fonts-dejavu-core python3
  # the session tests speak D-Bus and X through these
  python3-jeepney python3-xlib
  # the desktop's clock format and colour scheme are read from these
  gsettings-desktop-schemas
  # install and package: validators, the icon renderer, dpkg-shlibdeps and file for CPack
  desktop-file-utils appstream librsvg2-bin dpkg-dev file
)
if [[ "${PENDRA_EXTRA_PACKAGES:-}" != "" ]]; then
  read -r -a extra <<<"$PENDRA_EXTRA_PACKAGES"
  PACKAGES+=("${extra[@]}")
fi

# sway refuses to run as root: the Wayland session tests run it, and the rest
# of that session, as this user when they are run as root.
SESSION_USER=pendra-session
ensure_session_user() {
  [[ $(id -u) -eq 0 ]] || return 0
  id "$SESSION_USER" >/dev/null 2>&1 && return 0
  useradd --system --user-group --no-create-home --shell /usr/sbin/nologin "$SESSION_USER"
}

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  ensure_session_user
  exit 0
fi

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}"; exit 1; }
  SUDO=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
ensure_session_user
