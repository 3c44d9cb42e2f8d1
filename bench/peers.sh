#!/usr/bin/env bash
# Times our table readers against Python's on the same generated 35,000-row tables:
# openpyxl in read-only mode walking every cell of the workbook, and csv.reader walking every
# field of the delimited text. Each side reads the file from disk; the best of several runs
# counts. Uses the Release build in $PELMORA_BUILD_DIR (default build/) and only Debian's
# python3 and python3-openpyxl. The last lines give our time over Python's, per table kind.
set -euo pipefail
# Debian's interpreter, where python3-openpyxl lives, whatever else comes first on PATH.
python=/usr/bin/python3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PELMORA_BUILD_DIR:-$root/build}"
bench="$build/bench/TableReaderBench"
[ -x "$bench" ] || { echo "no $bench: build first (scripts/build)" >&2; exit 1; }
"$python" -c 'import openpyxl' 2>/dev/null || { echo "python3-openpyxl is missing (apt-get install python3-openpyxl)" >&2; exit 1; }

tables="$(mktemp -d)"
trap 'rm -rf "$tables"' EXIT
export PELMORA_TABLE_DIR="$tables"

# Ours: Google Benchmark's real time per read, in seconds (the files are written before timing).
ours="$(QT_QPA_PLATFORM=offscreen "$bench" --benchmark_filter='BM_Read(Csv|Xlsx)File' \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null |
    "$python" -c '
import json, sys
runs = json.load(sys.stdin)["benchmarks"]
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
best = {}
for r in runs:
    if r.get("aggregate_name") not in ("median",):
        continue
    kind = "csv" if "Csv" in r["name"] else "xlsx"
    best[kind] = r["real_time"] * scale[r["time_unit"]]
print(best["csv"], best["xlsx"])
')"
read -r ours_csv ours_xlsx <<<"$ours"

# Python: the median of several runs of a full walk over every cell.
peer() {
    "$python" -W ignore - "$1" "$2" <<'PY'
import csv, statistics, sys, time
kind, path = sys.argv[1], sys.argv[2]
def walk_csv():
    with open(path, newline="", encoding="utf-8") as f:
        n = 0
        for row in csv.reader(f, delimiter=";"):
            for cell in row:
                n += 1
    return n
def walk_xlsx():
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=True)
    n = 0
    for sheet in book.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                cell.value
                n += 1
    book.close()
    return n
walk = walk_csv if kind == "csv" else walk_xlsx
times = []
for _ in range(5 if kind == "csv" else 3):
    start = time.perf_counter()
    walk()
    times.append(time.perf_counter() - start)
print(statistics.median(times))
PY
}
peer_csv="$(peer csv "$tables/communes.csv")"
peer_xlsx="$(peer xlsx "$tables/communes.xlsx")"

"$python" - "$ours_csv" "$peer_csv" "$ours_xlsx" "$peer_xlsx" <<'PY'
import sys
oc, pc, ox, px = map(float, sys.argv[1:])
print(f"csv: ours {oc*1000:.1f} ms, python csv.reader {pc*1000:.1f} ms")
print(f"xlsx: ours {ox*1000:.1f} ms, python openpyxl read_only {px*1000:.1f} ms")
print(f"xlsx ratio {ox/px:.3f}")
print(f"csv ratio {oc/pc:.3f}")
PY
