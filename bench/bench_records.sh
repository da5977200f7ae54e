#!/usr/bin/env bash
# The production record at a year's scale: an SQLite record of 300,000 units
# (a line's year), read by tr5906ctl records beside the SQLite shell on the
# same file, and a unit provisioned on it beside one on an empty record.
# Prints a Markdown section; called by scripts/bench.
#
#   bench/bench_records.sh BUILD_DIR [RUNS]
set -euo pipefail
BUILD="$1"
RUNS="${2:-3}"
CTL="$BUILD/src/tr5906ctl"
SIM="$BUILD/sim/tr5906-sim"
CONFIG="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/data/provision.quelt"
UNITS=300000
WORK="$(mktemp -d)"
sim=""
stop_sim() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  sim=""
}
trap 'stop_sim; rm -rf "$WORK"' EXIT

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms() { echo "($2 - $1) * 1000" | bc -l; }

# provision_ms DB: one fresh terminal provisioned into the record DB, in ms.
provision_ms() {
  rm -f "$WORK/sim.out"
  "$SIM" --wire >"$WORK/sim.out" 2>/dev/null &
  sim=$!
  while [ ! -s "$WORK/sim.out" ]; do sleep 0.05; done
  local t0 t1
  t0="$(now)"
  "$CTL" provision --config "$CONFIG" --db "$1" --first-serial B-000001 \
    --port "$(head -1 "$WORK/sim.out")" >/dev/null
  t1="$(now)"
  stop_sim
  ms "$t0" "$t1"
}

# timed FILE CMD...: appends CMD's wall time in ms to FILE, its peak memory in
# KB to FILE.kb; the output goes to /dev/null.
timed() {
  local file="$1" t0 t1
  shift
  t0="$(now)"
  /usr/bin/time -f "%M" -o "$WORK/kb" "$@" >/dev/null
  t1="$(now)"
  ms "$t0" "$t1" >>"$file"
  cat "$WORK/kb" >>"$file.kb"
}

# The record of a year: the schema as the program makes it (with a unit it
# provisioned), then the units in one transaction, rows as the line writes
# them: four stations of eight ports, one unit every 100 s, 2 % failing at
# identity, 4 % at verify, 2.5 % reworked.
provision_ms "$WORK/year.sqlite" >/dev/null
t0="$(now)"
sqlite3 "$WORK/year.sqlite" <<EOF
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $UNITS)
INSERT INTO tr5906_units (finished_at, station, port, serial, firmware_before, firmware_after,
  result, step, reason, seconds, serial_before, config_sha256, firmware_sha256, program)
SELECT strftime('%Y-%m-%dT%H:%M:%fZ', '2025-01-01', '+' || (i * 100 + i % 7) || ' seconds'),
  'line' || (i % 4 + 1), '/dev/ttyUSB' || (i % 8),
  CASE WHEN i % 50 = 7 THEN NULL ELSE printf('TR-2025-%06d', i) END,
  '1.10.Kestrel_Old', CASE WHEN i % 50 = 7 THEN '' ELSE '1.11.Plover' END,
  CASE WHEN i % 50 = 7 OR i % 25 = 3 THEN 'fail' ELSE 'pass' END,
  CASE WHEN i % 50 = 7 THEN 'identity' WHEN i % 25 = 3 THEN 'verify' ELSE '' END,
  CASE WHEN i % 50 = 7 THEN 'no answer (is the terminal connected?)'
       WHEN i % 25 = 3 THEN 'device_name: wrote P, read X' ELSE '' END,
  38.5 + (i % 17) / 10.0,
  CASE WHEN i % 40 = 11 THEN printf('TR-2025-%06d', i) END,
  CASE WHEN i % 50 = 7 THEN NULL ELSE lower(hex(randomblob(32))) END,
  CASE WHEN i % 50 = 7 THEN NULL
       ELSE 'ddf369635b51991874f23e4e0d499c0f41a85786ee0d9d2034b6e8b108f95401' END,
  'tr5906ctl 1.1.1'
FROM n;
INSERT INTO tr5906_serials (serial, state, station, port, taken_at)
SELECT serial, CASE WHEN result = 'pass' THEN 'used' ELSE 'void' END, station, port, finished_at
FROM tr5906_units WHERE serial LIKE 'TR-2025-%';
COMMIT;
EOF
made="$(echo "$(now) - $t0" | bc -l)"
size="$(du -m "$WORK/year.sqlite" | cut -f1)"
units="$(sqlite3 "$WORK/year.sqlite" 'SELECT COUNT(*) FROM tr5906_units')"

# A unit on the year's record beside one on an empty record, in turns.
for _ in $(seq 1 "$RUNS"); do
  rm -f "$WORK/empty.sqlite"
  provision_ms "$WORK/empty.sqlite" >>"$WORK/p_empty"
  provision_ms "$WORK/year.sqlite" >>"$WORK/p_year"
done

# Every unit as CSV, beside the SQLite shell writing the same columns.
columns="finished_at, station, port, serial, firmware_before, firmware_after, result, step,"
columns+=" reason, seconds, serial_before, config_sha256, firmware_sha256, program"
for _ in $(seq 1 "$RUNS"); do
  timed "$WORK/csv" "$CTL" records --db "$WORK/year.sqlite" --csv
  timed "$WORK/shell" sqlite3 -csv -header "$WORK/year.sqlite" \
    "SELECT $columns FROM tr5906_units ORDER BY id"
  timed "$WORK/table" "$CTL" records --db "$WORK/year.sqlite"
done

# One unit's history and the summary, beside the program's own start.
for _ in $(seq 1 $((RUNS * 5))); do
  timed "$WORK/start" "$CTL" --version
  timed "$WORK/serial" "$CTL" records --db "$WORK/year.sqlite" --serial TR-2025-150011
  timed "$WORK/summary" "$CTL" records --db "$WORK/year.sqlite" --summary
  timed "$WORK/shellsum" sqlite3 "$WORK/year.sqlite" "SELECT substr(finished_at, 1, 10), station,
    COUNT(*) FROM tr5906_units GROUP BY substr(finished_at, 1, 10), station"
done

m() { median <"$WORK/$1"; }
p_empty="$(m p_empty)"
p_year="$(m p_year)"
start="$(m start)"
echo "### The production record at a year's scale (SQLite, $units units, $size MB)"
echo
echo "The record is made in $(printf '%.1f' "$made") s: the schema by \`tr5906ctl provision\` (one"
echo "unit), then $UNITS units in one transaction of SQL. Wall times of whole processes (output"
echo "to /dev/null), peak memory from \`/usr/bin/time\`; the SQLite shell on the same file in the"
echo "same minutes."
echo
echo "| What | Median | Runs | Peak memory | Reference | Ratio | Target |"
echo "|---|---:|---:|---:|---|---:|---|"
printf '| `records --csv`, every unit | %.0f ms | %d | %.1f MB | `sqlite3 -csv -header` of the same columns: %.0f ms, %.1f MB | **%.2f** | within 2, under 30 MB |\n' \
  "$(m csv)" "$RUNS" "$(echo "$(m csv.kb) / 1024" | bc -l)" "$(m shell)" \
  "$(echo "$(m shell.kb) / 1024" | bc -l)" "$(echo "$(m csv) / $(m shell)" | bc -l)"
printf '| `records`, the table | %.0f ms | %d | %.1f MB | the same as CSV: %.0f ms | %.2f | - |\n' \
  "$(m table)" "$RUNS" "$(echo "$(m table.kb) / 1024" | bc -l)" "$(m csv)" \
  "$(echo "$(m table) / $(m csv)" | bc -l)"
printf '| `records --serial TR-2025-150011` | %.1f ms | %d | %.1f MB | `tr5906ctl --version`: %.1f ms | **+%.1f ms** | under +100 ms |\n' \
  "$(m serial)" "$((RUNS * 5))" "$(echo "$(m serial.kb) / 1024" | bc -l)" "$start" \
  "$(echo "$(m serial) - $start" | bc -l)"
printf '| `records --summary` | %.1f ms | %d | %.1f MB | `tr5906ctl --version`: %.1f ms (the shell counting units per day and station alone: %.1f ms) | **+%.1f ms** | under +100 ms |\n' \
  "$(m summary)" "$((RUNS * 5))" "$(echo "$(m summary.kb) / 1024" | bc -l)" "$start" \
  "$(m shellsum)" "$(echo "$(m summary) - $start" | bc -l)"
printf '| `provision`, one unit on this record (tr5906-sim --wire) | %.0f ms | %d | - | the same on an empty record: %.0f ms | **%.3f** | within 1.05 |\n' \
  "$p_year" "$RUNS" "$p_empty" "$(echo "$p_year / $p_empty" | bc -l)"
