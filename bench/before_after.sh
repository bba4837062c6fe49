#!/usr/bin/env bash
# Before/after speed of two builds of the bench preset, row by row:
#   bench/before_after.sh BEFORE_BUILD AFTER_BUILD OUT_DIR [ROW_REGEX]
# For each format, one process of its rows from the before build, then one
# from the after build, three times over, each process with its own plug-in
# (DDSIMAGE_BENCH_PLUGIN): a machine whose speed drifts for minutes at a
# time (a shared virtual machine can swing by a third) then slows both
# sides of a format alike.  REPS (default 1) repetitions a process, each
# of MIN_TIME seconds: bench/before_after.py OUT_DIR takes each process's
# fastest repetition, which a passing slowdown of the machine cannot make
# faster, then the median of the three processes of a side.  ROW_REGEX defaults to the 4096 x 4096 kernel/, baseline/,
# import/ and import1/ rows; FORMAT in it stands for the format's name.
# FORMATS (names, space-separated) takes only those formats.
set -euo pipefail
before=$1/bin after=$2/bin out=$3
rows=${4:-'^(kernel|baseline|import|import1)/FORMAT/4096/'}
mkdir -p "$out"
formats=${FORMATS:-$("$after/ddsimage_bench" --benchmark_list_tests 2>/dev/null |
  grep -E "${rows//FORMAT/[^/]+}" | cut -d/ -f2 | awk '!seen[$0]++')}
for format in $formats; do
  escaped=$(printf '%s' "$format" | sed 's/[+.]/\\&/g')
  for rep in 1 2 3; do
    for side in before after; do
      dir=$before
      [ "$side" = after ] && dir=$after
      DDSIMAGE_BENCH_PLUGIN=$dir/libddsimage.so "$dir/ddsimage_bench" --benchmark_filter="${rows//FORMAT/$escaped}" \
        --benchmark_min_time="${MIN_TIME:-0.2}" --benchmark_repetitions="${REPS:-1}" \
        --benchmark_format=json >"$out/${side}_${rep}_$format.json" 2>/dev/null || true
    done
  done
  echo "$format $(date +%T)"
done
