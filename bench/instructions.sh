#!/usr/bin/env bash
# Instructions each kernel executes, before and after, for a machine whose
# timings swing: one pass of kernel/FORMAT/4096 of each build under
# callgrind, the instructions of the core's functions (those of the
# benchmark program that are not its harness), and their ratio.
#   bench/instructions.sh BEFORE_BUILD AFTER_BUILD FORMAT...
# Both builds are of the bench preset (BUILD/bin/ddsimage_bench).  The same
# random blocks go through both, so the counts differ only where the code
# does; instructions are not time, but a kernel that executes more of
# them for the same blocks has more work to do.
set -euo pipefail
before=$1/bin after=$2/bin
shift 2
out=$(mktemp -d)
for format in "$@"; do
  counts=()
  for dir in "$before" "$after"; do
    DDSIMAGE_BENCH_PLUGIN=$dir/libddsimage.so valgrind --tool=callgrind --callgrind-out-file="$out/cg" \
      "$dir/ddsimage_bench" --benchmark_filter="^kernel/$format/4096/" --benchmark_min_time=0.01 >/dev/null 2>&1
    counts+=("$(callgrind_annotate --threshold=100 "$out/cg" | grep -E '^ *[0-9,]+ \(.*ddsimage_bench\]$' |
      sed 's/ \[[^]]*\]$//' | grep -v -E 'bench[A-Z]|Bench|main\(|Yardstick|registerAll|benchmark::|std::|Clock' |
      awk '{gsub(",", "", $1); s += $1} END {print s + 0}')")
  done
  awk -v f="$format" -v b="${counts[0]}" -v a="${counts[1]}" \
    'BEGIN {printf "%-18s before %12d after %12d after/before %.4f\n", f, b, a, (b > 0 ? a / b : 0)}'
done
rm -rf "$out"
