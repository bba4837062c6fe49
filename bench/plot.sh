#!/bin/sh
# Draws bench/results/chart.png from the benchmark's JSON output: at 4096 x
# 4096, each format's rate as a fraction of memcpy of its output size, for
# the plain kernels, the fast kernels on an SSE2-only processor (baseline)
# and with the processor's extensions, and the whole import on one thread
# (import1/) and on the system's threads (import/).  Needs python3 and
# gnuplot (Debian: gnuplot-nox).
#
#   bench/plot.sh [after.json] [unused] [chart.png]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
after=${1:-$here/results/after.json}
# (the second argument, once the import before the fast paths, is not read)
chart=${3:-$here/results/chart.png}
data=$(mktemp)
trap 'rm -f "$data"' EXIT

python3 - "$after" > "$data" <<'PY'
import json, sys

def medians(path):
    found = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/manual_time", "")
        found[name] = b.get("xMemcpy", 0.0)
    return found

after = medians(sys.argv[1])
formats = ["DXT1-Rgb", "DXT1-Rgba", "DXT3", "DXT5", "BC4", "BC5", "BC6H", "BC6H-SF", "BC7", "BGRA8888",
           "A2R10G10B10", "BGR888", "R5G6B5", "A4R4G4B4", "R3G3B2"]

for f in formats:
    row = [after.get(f"plain/{f}/4096", 0), after.get(f"baseline/{f}/4096", 0), after.get(f"kernel/{f}/4096", 0),
           after.get(f"import1/{f}/4096/flipped", 0), after.get(f"import/{f}/4096/flipped", 0)]
    print(f, " ".join(f"{v:.3f}" for v in row))
PY

gnuplot <<GP
set terminal pngcairo size 1500,600 font "sans,10"
set output "$chart"
set title "4096 x 4096: rate as a fraction of memcpy of the output size (higher is faster)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.9 border -1
set boxwidth 0.9
set yrange [0:*]
set ylabel "x memcpy"
set grid ytics
set key top right
set xtics rotate by -30 left
set xrange [-0.6:14.6]
plot "$data" using 2:xtic(1) title "plain kernel", \
     "" using 3 title "fast kernel, SSE2 only", \
     "" using 4 title "fast kernel, SSSE3", \
     "" using 5 title "import, one thread (flipped rows)", \
     "" using 6 title "import, system's threads (flipped rows)"
GP
echo "wrote $chart"
