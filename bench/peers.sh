#!/usr/bin/env bash
# Times our readers against independent peers on the same inputs, each peer reading the whole
# input into memory and printing nothing of it: the vector import of a GeoJSON file and of a
# Shapefile against GDAL's `ogr2ogr -f Memory` (every feature and geometry copied into an
# in-memory layer), the decoding of a base-map document against Python's json.load of the same
# file, and the table readers against Python's csv.reader and openpyxl in read-only mode.
#   bench/peers.sh [KIND…] [FILE…] [KIND=FILE…]
# With no file, the inputs are generated at the stress size (35,000 communes); naming kinds
# (geojson shapefile decode xlsx csv) runs only those. Files given are timed as they are, their
# kind told by their extension (.geojson/.json, .shp, .plmmap, .csv/.tsv, .xlsx) or by KIND=;
# generated inputs are then made only for the kinds also named.
# Both sides are whole processes started the same way: ours is build/bench/ReadFile (maps) or
# build/bench/ReadTable (tables), which reads one file as the studio does and exits. Runs are
# interleaved (ours, the peer, ours, …); each input reports the median of its pairs' time
# ratios, ours over the peer's, on the last lines, with the input's size and both sides' peak
# resident memory ("geojson ratio 0.15 (82.6 MB, generated); peak RSS ours 199 MiB,
# ogr2ogr -f Memory 180 MiB"). Uses the Release build in $PELMORA_BUILD_DIR (default build/) and only Debian's
# gdal-bin, python3 and python3-openpyxl. PELMORA_PEER_PAIRS sets the number of pairs
# (default 7, at least 5).
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
command -v ogr2ogr >/dev/null || { echo "ogr2ogr is missing (apt-get install gdal-bin)" >&2; exit 1; }
"$python" -c 'import openpyxl' 2>/dev/null || { echo "python3-openpyxl is missing (apt-get install python3-openpyxl)" >&2; exit 1; }

# Generated inputs are made unless only files are given.
generate=yes
if [ "$#" -gt 0 ]; then
    generate=no
    for argument in "$@"; do
        case "$argument" in
            geojson|shapefile|decode|xlsx|csv) generate=yes ;;
        esac
    done
fi
inputs="$(mktemp -d)"
trap 'rm -rf "$inputs"' EXIT
[ "$generate" = no ] || QT_QPA_PLATFORM=offscreen "$reader" generate "$inputs"

cat >"$inputs/walk_csv.py" <<'PY'
import csv, sys
n = 0
with open(sys.argv[1], newline="", encoding="utf-8", errors="replace") as f:
    # The commonest of the usual separators on the first line: a file of any of them is read.
    first = f.readline()
    f.seek(0)
    delimiter = max(";,\t", key=first.count)
    for row in csv.reader(f, delimiter=delimiter):
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

"$python" - "$pairs" "$reader" "$python" "$inputs" "$tables" "$generate" "$@" <<'PY'
import os, statistics, subprocess, sys, time
pairs, reader, python, d, tables = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
generate = sys.argv[6] == "yes"
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
order = ["geojson", "shapefile", "decode", "xlsx", "csv"]
extensions = {".geojson": "geojson", ".json": "geojson", ".shp": "shapefile", ".plmmap": "decode",
              ".csv": "csv", ".tsv": "csv", ".xlsx": "xlsx"}
generated = {"geojson": "Communes.geojson", "shapefile": "Communes.shp", "decode": "Communes.plmmap",
             "xlsx": "communes.xlsx", "csv": "communes.csv"}

def commands(kind, path):
    """Our command, the peer's and the peer's name for one input."""
    if kind in ("geojson", "shapefile"):
        # Every feature read with its geometry and fields and copied into a layer in memory;
        # nothing is written to disk or printed.
        return ([reader, "import", path], ["ogr2ogr", "-f", "Memory", "/vsimem/peer", path],
                "ogr2ogr -f Memory")
    if kind == "decode":
        return [reader, "decode", path], [python, f"{d}/load_json.py", path], "python json.load"
    if kind == "xlsx":
        return [tables, path], [python, f"{d}/walk_xlsx.py", path], "python openpyxl read_only"
    return [tables, path], [python, f"{d}/walk_csv.py", path], "python csv.reader"

def size(kind, path):
    """Bytes read: a Shapefile's geometry, index and table files together."""
    if kind != "shapefile":
        return os.path.getsize(path)
    stem, parts = os.path.splitext(path)[0], set()
    for extension in (".shp", ".shx", ".dbf", ".prj", ".cpg"):
        for name in (stem + extension, stem + extension.upper()):
            if os.path.isfile(name):
                parts.add(os.path.realpath(name))
    return sum(os.path.getsize(part) for part in parts)

def shown(size):
    return f"{size / 1e6:.1f} MB" if size >= 1e6 else f"{size / 1e3:.1f} kB"

named, files = set(), []
for argument in sys.argv[7:]:
    if argument in order:
        named.add(argument)
        continue
    kind, path = "", argument
    prefix, equals, rest = argument.partition("=")
    if equals and prefix in order:
        kind, path = prefix, rest
    kind = kind or extensions.get(os.path.splitext(path)[1].lower(), "")
    if not kind:
        sys.exit(f"{argument}: kind unknown by its extension; write KIND=FILE ({' '.join(order)})")
    if not os.path.isfile(path):
        sys.exit(f"{path}: no such file")
    files.append((kind, os.path.abspath(path), os.path.basename(path)))
inputs = [(kind, f"{d}/{generated[kind]}", "generated") for kind in order
          if generate and (not named or kind in named)] + files

def run(command):
    """Wall time in seconds and peak resident memory in MiB of one whole process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed on {command[-1]}: {error}")
    return elapsed, usage.ru_maxrss / 1024

ratios = []
for kind, path, label in inputs:
    ours_cmd, peer_cmd, peer_name = commands(kind, path)
    read = shown(size(kind, path))
    run(ours_cmd), run(peer_cmd)  # warm the page cache
    ours, peer, memory, peer_memory = [], [], [], []
    for _ in range(pairs):
        t, m = run(ours_cmd); ours.append(t); memory.append(m)
        t, m = run(peer_cmd); peer.append(t); peer_memory.append(m)
    ratios.append((kind, statistics.median(o / p for o, p in zip(ours, peer)), read, label,
                   max(memory), peer_name, max(peer_memory)))
    print(f"{kind} ({label}, {read}): ours {statistics.median(ours)*1000:.0f} ms, {max(memory):.0f} MiB; "
          f"{peer_name} {statistics.median(peer)*1000:.0f} ms, {max(peer_memory):.0f} MiB "
          f"({pairs} interleaved pairs)")
for kind, ratio, read, label, memory, peer_name, peer_memory in ratios:
    print(f"{kind} ratio {ratio:.3f} ({read}, {label}); peak RSS ours {memory:.0f} MiB, "
          f"{peer_name} {peer_memory:.0f} MiB")
PY
