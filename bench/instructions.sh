#!/usr/bin/env bash
# Instructions each kernel executes, before and after, for a machine whose
# timings swing: one pass of kernel/FORMAT/4096 of each build under
# callgrind, the instructions of the core's functions (those of the
# benchmark program that are not its harness), and their ratio.
#   bench/instructions.sh BEFORE_BUILD AFTER_BUILD FORMAT...
#   ROW=import1 bench/instructions.sh BEFORE_BUILD AFTER_BUILD FORMAT...
# With ROW=import1, the import1/FORMAT/4096 row instead: one whole import
# on the calling thread, the instructions of the plug-in's open,
# information, image and close callbacks and of everything they call
# (file reads but for the system's own work, the host's allocations, the
# copies), divided by the number of imports.
# A build without the row counts 0.  Both builds are of the bench preset (BUILD/bin/ddsimage_bench).  The same
# blocks go through both (random ones are seeded by the format's name), so
# the counts differ only where the code does; instructions are not time,
# but a kernel that executes more of them for the same blocks has more
# work to do.
set -euo pipefail
before=$1/bin after=$2/bin
shift 2
row=${ROW:-kernel}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The kernel's instructions: the core's functions in the benchmark program.
kernelCount() {
  callgrind_annotate --threshold=100 "$1" | { grep -E '^ *[0-9,]+ \(.*ddsimage_bench\]$' || true; } |
    sed 's/ \[[^]]*\]$//' | grep -v -E 'bench[A-Z]|Bench|main\(|Yardstick|registerAll|benchmark::|std::|Clock' |
    awk '{gsub(",", "", $1); s += $1} END {print s + 0}'
}

# One import's instructions: the callbacks' inclusive counts over the
# number of image requests.
importCount() {
  local tree
  tree=$(callgrind_annotate --tree=caller --inclusive=yes --threshold=100 "$1")
  local imports
  imports=$({ grep -B1 -E '\* .*:ddsGetImage \[' <<<"$tree" || true; } | head -1 | { grep -o -E '\([0-9]+x\)' || true; } | tr -d '(x)')
  { grep -E '^ *[0-9,]+ \([^)]*\) +\* .*:dds(Open|GetInfo|GetImage|Close) \[' <<<"$tree" || true; } |
    awk -v n="${imports:-1}" '{gsub(",", "", $1); s += $1} END {printf "%d\n", s / n}'
}

for format in "$@"; do
  counts=()
  for dir in "$before" "$after"; do
    DDSIMAGE_THREADS=1 DDSIMAGE_BENCH_PLUGIN=$dir/libddsimage.so valgrind --tool=callgrind \
      --callgrind-out-file="$out/cg" "$dir/ddsimage_bench" --benchmark_filter="^$row/$format/4096/" \
      --benchmark_min_time=0.01 >/dev/null 2>&1 || true
    if [ "$row" = import1 ]; then counts+=("$(importCount "$out/cg")"); else counts+=("$(kernelCount "$out/cg")"); fi
  done
  awk -v f="$format" -v b="${counts[0]}" -v a="${counts[1]}" \
    'BEGIN {printf "%-18s before %12d after %12d after/before %.4f\n", f, b, a, (b > 0 ? a / b : 0)}'
done
