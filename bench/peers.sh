#!/usr/bin/env bash
# Times our readers against independent peers on the same generated inputs of the stress size
# (35,000 communes): the vector import of a GeoJSON file and of a Shapefile against GDAL's
# `ogrinfo -ro -al -q`, the decoding of a base-map document against Python's json.load of the
# same file, and the table readers against Python's csv.reader and openpyxl in read-only mode.
# Both sides are whole processes started the same way: ours is build/bench/ReadFile (maps) or
# build/bench/ReadTable (tables), which reads one file as the studio does and exits. Runs are
# interleaved (ours, the peer, ours, …); each kind reports the median of its pairs' time ratios,
# ours over the peer's, on the last lines ("geojson ratio 0.08"). Uses the Release build in
# $PELMORA_BUILD_DIR (default build/) and only Debian's gdal-bin, python3 and python3-openpyxl.
# PELMORA_PEER_PAIRS sets the number of pairs (default 7, at least 5); naming kinds (geojson
# shapefile decode xlsx csv) as arguments runs only those.
set -euo pipefail
# Debian's interpreter, where python3-openpyxl lives, whatever else comes first on PATH.
python=/usr/bin/python3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PELMORA_BUILD_DIR:-$root/build}"
reader="$build/bench/ReadFile"
pairs="${PELMORA_PEER_PAIRS:-7}"
[ "$pairs" -ge 5 ] || pairs=5
tables="$build/bench/ReadTable"
[ -x "$reader" ] && [ -x "$tables" ] || { echo "no $reader or $tables: build first (scripts/build)" >&2; exit 1; }
command -v ogrinfo >/dev/null || { echo "ogrinfo is missing (apt-get install gdal-bin)" >&2; exit 1; }
"$python" -c 'import openpyxl' 2>/dev/null || { echo "python3-openpyxl is missing (apt-get install python3-openpyxl)" >&2; exit 1; }

inputs="$(mktemp -d)"
trap 'rm -rf "$inputs"' EXIT
QT_QPA_PLATFORM=offscreen "$reader" generate "$inputs"

cat >"$inputs/walk_csv.py" <<'PY'
import csv, sys
n = 0
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    for row in csv.reader(f, delimiter=";"):
        for cell in row:
            n += 1
print(n)
PY
cat >"$inputs/walk_xlsx.py" <<'PY'
import sys, warnings
warnings.simplefilter("ignore")
import openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
n = 0
for sheet in book.worksheets:
    for row in sheet.iter_rows():
        for cell in row:
            cell.value
            n += 1
book.close()
print(n)
PY
cat >"$inputs/load_json.py" <<'PY'
import json, sys
with open(sys.argv[1], "rb") as f:
    document = json.load(f)
print(len(document["map"]["entities"]))
PY

"$python" - "$pairs" "$reader" "$python" "$inputs" "$tables" "$@" <<'PY'
import os, statistics, subprocess, sys, time
pairs, reader, python, d, tables = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
wanted = set(sys.argv[6:])
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
kinds = [
    ("geojson", [reader, "import", f"{d}/Communes.geojson"], ["ogrinfo", "-ro", "-al", "-q", f"{d}/Communes.geojson"], "ogrinfo -ro -al -q"),
    ("shapefile", [reader, "import", f"{d}/Communes.shp"], ["ogrinfo", "-ro", "-al", "-q", f"{d}/Communes.shp"], "ogrinfo -ro -al -q"),
    ("decode", [reader, "decode", f"{d}/Communes.plmmap"], [python, f"{d}/load_json.py", f"{d}/Communes.plmmap"], "python json.load"),
    ("xlsx", [tables, f"{d}/communes.xlsx"], [python, f"{d}/walk_xlsx.py", f"{d}/communes.xlsx"], "python openpyxl read_only"),
    ("csv", [tables, f"{d}/communes.csv"], [python, f"{d}/walk_csv.py", f"{d}/communes.csv"], "python csv.reader"),
]

def run(command):
    """Wall time in seconds and peak resident memory in MiB of one whole process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed: {error}")
    return elapsed, usage.ru_maxrss / 1024

ratios = {}
for kind, ours_cmd, peer_cmd, peer_name in kinds:
    if wanted and kind not in wanted:
        continue
    run(ours_cmd), run(peer_cmd)  # warm the page cache
    ours, peer, memory, peer_memory = [], [], [], []
    for _ in range(pairs):
        t, m = run(ours_cmd); ours.append(t); memory.append(m)
        t, m = run(peer_cmd); peer.append(t); peer_memory.append(m)
    ratios[kind] = statistics.median(o / p for o, p in zip(ours, peer))
    print(f"{kind}: ours {statistics.median(ours)*1000:.0f} ms, {max(memory):.0f} MiB; "
          f"{peer_name} {statistics.median(peer)*1000:.0f} ms, {max(peer_memory):.0f} MiB "
          f"({pairs} interleaved pairs)")
for kind, ratio in ratios.items():
    print(f"{kind} ratio {ratio:.3f}")
PY
