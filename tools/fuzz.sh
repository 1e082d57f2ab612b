#!/usr/bin/env bash
# Runs every libFuzzer target of build-fuzz for FUZZ_SECONDS each, two at a
# time, on a copy of its committed seed corpus (new finds stay in the build).
# Fails when any target finds a crash; its input is kept in build-fuzz/crashes/.
set -u
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/corpus" "$build/crashes" "$build/fuzz-logs"
summary="$build/fuzz-summary.tsv"
printf 'target\truns\tseconds\tresult\n' > "$summary"
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

run_one() {
  local name=$1 bin="$build/bin/fuzz_$1"
  local corpus="$build/corpus/$name" log="$build/fuzz-logs/$name.log"
  rm -rf "$corpus" && mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/crashes/$name-" "$corpus" >"$log" 2>&1
  local rc=$? runs
  runs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -n 1)
  if [ $rc -eq 0 ]; then
    printf '%s\t%s\t%s\tno crash\n' "$name" "$(echo "$runs" | awk '{print $2}')" \
      "$(echo "$runs" | awk '{print $5}')" >> "$summary"
    echo "fuzz_$name: $runs (no crash)"
  else
    printf '%s\t-\t-\tcrash (%s)\n' "$name" "$(ls "$build/crashes/$name-"* 2>/dev/null | head -n 1)" >> "$summary"
    echo "fuzz_$name: FOUND A CRASH; see $log"
    grep -m 20 -E 'ERROR|runtime error|#[0-9] ' "$log"
    return 1
  fi
}

status=0
pending=()
for bin in "$build"/bin/fuzz_*; do
  name=$(basename "$bin"); name=${name#fuzz_}
  run_one "$name" &
  pending+=($!)
  if [ ${#pending[@]} -ge 2 ]; then
    wait "${pending[0]}" || status=1
    pending=("${pending[@]:1}")
  fi
done
for p in "${pending[@]}"; do wait "$p" || status=1; done
exit $status
