#!/usr/bin/env bash
# The configuration as text, whole tr5906ctl processes: export of every field
# and byte of an image, and apply --dry-run of that text (read, every check,
# the plan), each against the program's own start-up (tr5906ctl --version).
# Prints a Markdown section; called by scripts/bench.
#
#   bench/bench_configtext.sh BUILD_DIR [RUNS]
set -euo pipefail
BUILD="$1"
RUNS="${2:-50}"
CTL="$BUILD/src/tr5906ctl"
IMAGE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/data/provision.quelt"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# milliseconds COMMAND...: the median wall time of RUNS runs, in milliseconds.
milliseconds() {
  : >"$WORK/times"
  for _ in $(seq 1 "$RUNS"); do
    local t0 t1
    t0="$(date +%s%N)"
    "$@" >/dev/null
    t1="$(date +%s%N)"
    echo "($t1 - $t0) / 1000000" | bc -l >>"$WORK/times"
  done
  median <"$WORK/times"
}

"$CTL" export "$IMAGE" --all -o "$WORK/all.yaml"
fields="$(grep -c '^  [a-z].*: ' "$WORK/all.yaml")"
size="$(wc -c <"$WORK/all.yaml")"
start="$(milliseconds "$CTL" --version)"
export_ms="$(milliseconds "$CTL" export "$IMAGE" --all)"
apply_ms="$(milliseconds "$CTL" apply "$WORK/all.yaml" --defaults --dry-run)"

echo "### The configuration as text (whole tr5906ctl processes)"
echo
echo "An image written as text with \`--all\` ($fields fields and the bytes no field names, $size bytes of YAML),"
echo "and that text read, checked and planned onto the defaults. The reference is the program's"
echo "own start-up and exit, \`tr5906ctl --version\`, measured in the same run."
echo
echo "| What | Median | Runs | Start-up | Beyond start-up | Target |"
echo "|---|---:|---:|---:|---:|---|"
for row in "\`export FILE.quelt --all\`:$export_ms" "\`apply FILE.yaml --defaults --dry-run\`:$apply_ms"; do
  ms="${row##*:}"
  printf '| %s | %.1f ms | %d | %.1f ms | **%.1f ms** | within 10 ms |\n' \
    "${row%:*}" "$ms" "$RUNS" "$start" "$(echo "$ms - $start" | bc -l)"
done
