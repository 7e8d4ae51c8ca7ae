#!/usr/bin/env bash
# A piped consultation of dep (the packaged one, say) against the C baseline
# that only copies the same bytes: wall time, peak memory and instructions
# executed. BUILD_DIR is the bench preset's build, with the baseline and the
# timer.
# Usage: bench/compare_startup.sh BUILD_DIR DEP [RUNS]
set -euo pipefail
usage="usage: compare_startup.sh BUILD_DIR DEP [RUNS]"
build=${1:?$usage}
dep=${2:?$usage}
runs=${3:-400}
baseline="$build/copy_baseline"
input=$(mktemp)
trap 'rm -f "$input"' EXIT
printf 'H\n42\n178\n480\n' > "$input"

cmp <("$dep" < "$input") <("$baseline" < "$input") || {
  echo "dep and the baseline do not write the same bytes" >&2
  exit 1
}

"$build/startup_timer" "$runs" "$input" "$dep" "$baseline"

peak() {  # median of 21 peak resident set sizes, in KiB
  for _ in $(seq 21); do /usr/bin/time -f %M "$1" < "$input" 2>&1 >/dev/null; done |
    sort -n | sed -n 11p
}
dep_kib=$(peak "$dep")
baseline_kib=$(peak "$baseline")
echo "peak memory: dep $dep_kib KiB, baseline $baseline_kib KiB, ratio $(awk -v a="$dep_kib" -v b="$baseline_kib" 'BEGIN { printf "%.3f", a / b }')"

instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" < "$input" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
dep_ir=$(instructions "$dep")
baseline_ir=$(instructions "$baseline")
echo "instructions: dep $dep_ir, baseline $baseline_ir, ratio $(awk -v a="$dep_ir" -v b="$baseline_ir" 'BEGIN { printf "%.3f", a / b }')"
