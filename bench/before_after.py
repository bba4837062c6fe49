#!/usr/bin/env python3
"""Medians of bench/before_after.sh's runs (each process's fastest
repetition of a row, then the median over the processes): each row's time
before and after and the after build's speed relative to the before build's (below 1:
slower), then how many rows differ by more than 3 %.
  bench/before_after.py OUT [--fastest]
--fastest takes the fastest process of a side instead of the median: on a
machine that runs whole processes at one of two speeds, the time of the
faster speed, once each side has had a process at it."""
import glob
import json
import statistics
import sys


def medians(directory, side, statistic):
    times = {}
    for path in sorted(glob.glob(f"{directory}/{side}_*.json")):
        try:
            data = json.JSONDecoder().raw_decode(open(path).read())[0]
        except ValueError:
            continue  # a run cut short
        fastest = {}
        for row in data["benchmarks"]:
            if row.get("error_occurred") or row.get("run_type", "iteration") != "iteration":
                continue
            name = row["name"].replace("/manual_time", "")
            fastest[name] = min(fastest.get(name, row["real_time"]), row["real_time"])
        for name, value in fastest.items():
            times.setdefault(name, []).append(value)
    return {name: statistic(values) for name, values in times.items()}


def main():
    directory = sys.argv[1]
    statistic = min if "--fastest" in sys.argv[2:] else statistics.median
    before, after = medians(directory, "before", statistic), medians(directory, "after", statistic)
    rows = [(name, before[name], after[name]) for name in before if name in after]
    print(f"{'row':45} {'before ms':>10} {'after ms':>10} {'after speed':>11}")
    for name, b, a in rows:
        print(f"{name:45} {b:10.3f} {a:10.3f} {b / a:11.3f}")
    slower = sum(1 for _, b, a in rows if b / a < 0.97)
    faster = sum(1 for _, b, a in rows if b / a > 1.03)
    print(f"rows {len(rows)}; slower than 0.97: {slower}; faster than 1.03: {faster}")


if __name__ == "__main__":
    main()
