#!/usr/bin/env bash
# Non-blank lines of all of tests/ (C++ and Python together) against src/.
# The aim is tests at 25-40 % of src/.
set -euo pipefail
cd "$(dirname "$0")/.."

nonblank() {  # folder, name patterns...
    local dir=$1
    shift
    local args=() p
    for p in "$@"; do args+=(-o -name "$p"); done
    find "$dir" -type f \( "${args[@]:1}" \) -print0 | xargs -0 -r cat | grep -c '[^[:space:]]' || true
}

tests=$(nonblank tests '*.cpp' '*.h' '*.py')
src=$(nonblank src '*.cpp' '*.h')
awk -v t="$tests" -v s="$src" 'BEGIN {
    printf "tests/ %d non-blank lines (C++ and Python), src/ %d: %.0f %%\n", t, s, s ? 100 * t / s : 0
}'
