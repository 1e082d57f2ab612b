#!/usr/bin/env bash
# Makes Pendra's ringtones from synthesized sound and writes them to
# resources/ringtones/<Name>.m4r (AAC in MP4).
#
# Every tone is pure arithmetic (ffmpeg's aevalsrc: enveloped sine partials, no
# noise), so a run reproduces the same samples; the AAC files are written
# bit-exact and without metadata, so with the same ffmpeg they are identical.
#
# Loop safety: each tone starts from silence (every note begins at phase 0 with
# an attack ramp, plus a 3 ms fade-in), ends in silence (notes decay, then a
# fade-out over the last 80 ms), and is high-passed to take out any DC. The
# silence at the end is the pause before the next repeat.
#
# Loudness: each tone is measured (EBU R128 integrated loudness) and given the
# one constant gain that brings it to TARGET_LUFS; the run fails if a peak would
# then pass PEAK_LIMIT_DB.
#
# Usage: tools/make-ringtones.sh [output-dir]     (needs ffmpeg and sox)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/resources/ringtones}
RATE=44100
TARGET_LUFS=-18
PEAK_LIMIT_DB=-1.0

for tool in ffmpeg sox; do
  command -v "$tool" >/dev/null || { echo "make-ringtones: $tool is missing (tools/install-deps.sh)"; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT"

# --- note expressions -------------------------------------------------------
# Each function prints an aevalsrc term for one note; a tone is the sum of its
# notes' terms. Times in seconds, frequencies in Hz.

# A struck note: partials "ratio:amp:decay" over a fundamental, each decaying
# exponentially, with a short linear attack so the note starts at zero.
#   strike START FREQ GAIN ATTACK "ratio:amp:decay ..."
strike() {
  local t0=$1 f=$2 g=$3 att=$4 partials=$5 sum="" r a k
  for p in $partials; do
    IFS=: read -r r a k <<<"$p"
    sum+="${sum:++}$a*exp(-$k*(t-$t0))*sin(2*PI*$f*$r*(t-$t0))"
  done
  printf 'if(gte(t,%s),%s*min(1,(t-%s)/%s)*(%s),0)' "$t0" "$g" "$t0" "$att" "$sum"
}

# A held tone with flat level and short linear ramps at both ends.
#   held START LENGTH FREQ GAIN RAMP "ratio:amp ..."
held() {
  local t0=$1 len=$2 f=$3 g=$4 ramp=$5 partials=$6 sum="" r a t1
  t1=$(awk -v a="$t0" -v b="$len" 'BEGIN { printf "%.4f", a + b }')
  for p in $partials; do
    IFS=: read -r r a <<<"$p"
    sum+="${sum:++}$a*sin(2*PI*$f*$r*(t-$t0))"
  done
  printf 'if(between(t,%s,%s),%s*min(1,min((t-%s)/%s,(%s-t)/%s))*(%s),0)' \
    "$t0" "$t1" "$g" "$t0" "$ramp" "$t1" "$ramp" "$sum"
}

# Timbres (partial ratio : amplitude : decay per second).
MARIMBA="1:1:6 3.93:0.25:22 9.2:0.06:45"
BELL="1:1:2.2 2:0.45:3.5 2.76:0.35:4.5 5.4:0.16:7 8.93:0.06:11"
CHIME="1:1:3 2.76:0.28:6 5.4:0.1:10"
SOFT="1:1:4 2:0.18:8 3:0.05:12"
GLASS="1:1:5 2:0.3:9 4:0.08:16"
BEEP="1:1 3:0.2 5:0.06"
HUM="1:1 2:0.25"

# Note frequencies (equal temperament, A4 = 440 Hz).
C5=523.25 D5=587.33 E5=659.26 G5=783.99 A5=880.00
C6=1046.50 D6=1174.66 E6=1318.51 G6=1567.98 A6=1760.00 C7=2093.00

join() { local IFS=+; echo "$*"; }

# --- the tones -----------------------------------------------------------------
# name, length in seconds, expression. Each stays between 1 and 4 s.
declare -a NAMES LENGTHS EXPRS
add() { NAMES+=("$1"); LENGTHS+=("$2"); EXPRS+=("$3"); }

# Radar: four quick bright pings on one pitch, then a pause; the default alarm.
add Radar 2.0 "$(join \
  "$(strike 0.00 $E6 0.5 0.004 "$GLASS")" "$(strike 0.16 $E6 0.5 0.004 "$GLASS")" \
  "$(strike 0.32 $E6 0.5 0.004 "$GLASS")" "$(strike 0.48 $G6 0.5 0.004 "$GLASS")")"

# Beacon: a low and a high bell strike, far apart, ringing out.
add Beacon 3.5 "$(join "$(strike 0.00 $A5 0.45 0.006 "$BELL")" "$(strike 1.00 $E5 0.45 0.006 "$BELL")")"

# Chimes: a descending four-note phrase of light chimes.
add Chimes 3.0 "$(join \
  "$(strike 0.00 $C7 0.4 0.003 "$CHIME")" "$(strike 0.30 $G6 0.4 0.003 "$CHIME")" \
  "$(strike 0.60 $E6 0.4 0.003 "$CHIME")" "$(strike 0.90 $C6 0.45 0.003 "$CHIME")")"

# Marimba: a bouncing figure, low-high-low-higher.
add Marimba 2.0 "$(join \
  "$(strike 0.00 $C5 0.5 0.003 "$MARIMBA")" "$(strike 0.20 $G5 0.5 0.003 "$MARIMBA")" \
  "$(strike 0.40 $E5 0.5 0.003 "$MARIMBA")" "$(strike 0.60 $C6 0.5 0.003 "$MARIMBA")" \
  "$(strike 0.90 $G5 0.45 0.003 "$MARIMBA")")"

# Ripple: a fast rising pentatonic arpeggio of soft plucks.
add Ripple 2.0 "$(join \
  "$(strike 0.00 $C6 0.35 0.004 "$SOFT")" "$(strike 0.08 $D6 0.35 0.004 "$SOFT")" \
  "$(strike 0.16 $E6 0.35 0.004 "$SOFT")" "$(strike 0.24 $G6 0.35 0.004 "$SOFT")" \
  "$(strike 0.32 $A6 0.35 0.004 "$SOFT")" "$(strike 0.40 $C7 0.35 0.004 "$SOFT")")"

# Sunrise: a gentle, slow rising line of soft mallet notes.
add Sunrise 3.5 "$(join \
  "$(strike 0.00 $C5 0.4 0.015 "$SOFT")" "$(strike 0.40 $D5 0.4 0.015 "$SOFT")" \
  "$(strike 0.80 $E5 0.4 0.015 "$SOFT")" "$(strike 1.20 $G5 0.4 0.015 "$SOFT")" \
  "$(strike 1.60 $A5 0.4 0.015 "$SOFT")" "$(strike 2.00 $C6 0.45 0.015 "$SOFT")")"

# Pulse: the classic digital alarm-clock beep, four short beeps and a rest.
add Pulse 1.6 "$(join \
  "$(held 0.00 0.09 1000 0.4 0.004 "$BEEP")" "$(held 0.18 0.09 1000 0.4 0.004 "$BEEP")" \
  "$(held 0.36 0.09 1000 0.4 0.004 "$BEEP")" "$(held 0.54 0.09 1000 0.4 0.004 "$BEEP")")"

# Bells: two bells a fifth apart, struck together, then the upper one again.
add Bells 4.0 "$(join \
  "$(strike 0.00 $C5 0.35 0.005 "$BELL")" "$(strike 0.00 $G5 0.3 0.005 "$BELL")" \
  "$(strike 0.80 $G5 0.35 0.005 "$BELL")" "$(strike 1.60 $C6 0.3 0.005 "$BELL")")"

# Hum: a soft two-tone call, low then high, like an intercom.
add Hum 2.4 "$(join "$(held 0.00 0.35 $E5 0.4 0.03 "$HUM")" "$(held 0.45 0.35 $A5 0.4 0.03 "$HUM")")"

# --- render -------------------------------------------------------------------
ffq() { ffmpeg -hide_banner -nostdin -loglevel error "$@"; }

loudness() {  # integrated loudness (LUFS) of a file
  ffmpeg -hide_banner -nostdin -i "$1" -af ebur128 -f null - 2>&1 |
    awk '/Integrated loudness:/ { summary = 1 } summary && $1 == "I:" && !seen { print $2; seen = 1 }'
}

printf '%-8s %6s %8s %8s %8s\n' name len_s LUFS peak_dB rms_dB
for i in "${!NAMES[@]}"; do
  name=${NAMES[$i]} len=${LENGTHS[$i]} expr=${EXPRS[$i]}
  raw=$WORK/$name.raw.wav norm=$WORK/$name.wav
  fade_start=$(awk -v l="$len" 'BEGIN { printf "%.3f", l - 0.08 }')
  ffq -f lavfi -i "aevalsrc=exprs='$expr':s=$RATE:c=mono:d=$len" \
    -af "highpass=f=30,afade=t=in:st=0:d=0.003,afade=t=out:st=$fade_start:d=0.08" \
    -c:a pcm_f32le -y "$raw"
  measured=$(loudness "$raw")
  gain=$(awk -v t="$TARGET_LUFS" -v m="$measured" 'BEGIN { printf "%.2f", t - m }')
  ffq -i "$raw" -af "volume=${gain}dB" -c:a pcm_f32le -y "$norm"
  peak=$(sox "$norm" -n stats 2>&1 | awk '/^Pk lev dB/ { print $4 }')
  rms=$(sox "$norm" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }')
  if awk -v p="$peak" -v l="$PEAK_LIMIT_DB" 'BEGIN { exit !(p > l) }'; then
    echo "make-ringtones: $name peaks at $peak dB after normalising, above $PEAK_LIMIT_DB dB"
    exit 1
  fi
  ffq -i "$norm" -c:a aac -b:a 128k -map_metadata -1 -fflags +bitexact \
    -flags:a +bitexact -f ipod -y "$OUT/$name.m4r"
  printf '%-8s %6s %8s %8s %8s\n' "$name" "$len" "$(loudness "$norm")" "$peak" "$rms"
done
