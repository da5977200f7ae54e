#!/usr/bin/env bash
# Production line figures, whole tr5906ctl processes against tr5906-sim --wire:
# provisioning on 8 ports at once against one port alone, and write --verify
# against the wire limit of the write plus the read-back. Prints a Markdown
# section; called by scripts/bench.
#
#   bench/bench_provision.sh BUILD_DIR [RUNS]
set -euo pipefail
BUILD="$1"
RUNS="${2:-3}"
CTL="$BUILD/src/tr5906ctl"
SIM="$BUILD/sim/tr5906-sim"
CONFIG="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/data/provision.quelt"
WORK="$(mktemp -d)"
pids=()
stop_sims() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop_sims; rm -rf "$WORK"' EXIT

# start_sims N [sim options]: N simulators; their devices in $WORK/ports.
start_sims() {
  local n="$1"
  shift
  : >"$WORK/ports"
  for i in $(seq 1 "$n"); do
    "$SIM" --wire "$@" >"$WORK/sim$i.out" 2>/dev/null &
    pids+=($!)
  done
  for i in $(seq 1 "$n"); do
    while [ ! -s "$WORK/sim$i.out" ]; do sleep 0.05; done
    head -1 "$WORK/sim$i.out" >>"$WORK/ports"
  done
}

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# provision_seconds N: one provisioning run of N fresh terminals, in seconds.
provision_seconds() {
  start_sims "$1"
  local args=()
  while read -r port; do args+=(--port "$port"); done <"$WORK/ports"
  rm -f "$WORK/line.sqlite"
  local t0 t1
  t0="$(now)"
  "$CTL" provision --config "$CONFIG" --db "$WORK/line.sqlite" --first-serial B-000001 \
    "${args[@]}" >/dev/null
  t1="$(now)"
  stop_sims
  echo "$t1 - $t0" | bc -l
}

: >"$WORK/one"
: >"$WORK/eight"
for _ in $(seq 1 "$RUNS"); do
  provision_seconds 1 >>"$WORK/one"
  provision_seconds 8 >>"$WORK/eight"
done
one="$(median <"$WORK/one")"
eight="$(median <"$WORK/eight")"

# write --verify at 9600,E,7,1: the greeting at 10 bits a byte, the transfer at
# 11; the write 8 + 353 bytes and 39 ms of pauses, the read-back 8 + 421 bytes
# and 43 ms of pauses.
limit="$(echo "(8 * 10 + 353 * 11) / 9.6 + 39 + (8 * 10 + 421 * 11) / 9.6 + 43" | bc -l)"
start_sims 1 --format 9600,E,7,1
port="$(head -1 "$WORK/ports")"
"$CTL" read -o "$WORK/unit.quelt" --port "$port" --link 9600,E,7,1 >/dev/null
: >"$WORK/wv"
for _ in $(seq 1 $((RUNS * 3))); do
  t0="$(now)"
  "$CTL" write -i "$WORK/unit.quelt" --verify --port "$port" --link 9600,E,7,1 >/dev/null
  t1="$(now)"
  echo "($t1 - $t0) * 1000" | bc -l >>"$WORK/wv"
done
stop_sims
wv="$(median <"$WORK/wv")"

echo "### Production line (tr5906-sim --wire, whole tr5906ctl processes)"
echo
echo "| What | Median | Runs | Reference | Ratio | Target |"
echo "|---|---:|---:|---|---:|---|"
printf '| `provision`, 8 ports at once (9600,N,8,1; identity, write with the number, read-back, record in SQLite) | %.2f s | %d | one port alone: %.2f s | **%.3f** | within 1.1 |\n' \
  "$eight" "$RUNS" "$one" "$(echo "$eight / $one" | bc -l)"
printf '| `write --verify`, 9600,E,7,1 | %.1f ms | %d | wire limit of the write and the read-back: %.1f ms | **%.3f** | within 1.05 |\n' \
  "$wv" "$((RUNS * 3))" "$limit" "$(echo "$wv / $limit" | bc -l)"
