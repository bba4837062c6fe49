#!/usr/bin/python3
"""Pillow's whole-file load of DDS files, to set beside the importer's
import/ benchmarks of the same files (ddsimage_bench writes them to
build/bench/bench/files when its import/ benchmarks run).

Each iteration opens the file and loads its pixels into a new image, as
Pillow works.  Prints, per file, MPix/s of the fastest iteration of each
repetition and their median (the machine is shared).  Needs Debian's
python3-pil.

    bench/pillow_load.py [--repetitions 3] [--iterations 5] FILE.dds...
"""
import argparse
import statistics
import sys
import time

from PIL import Image


def fastest(path, iterations):
    best = None
    size = None
    mode = None
    for _ in range(iterations):
        start = time.perf_counter()
        with Image.open(path) as image:
            image.load()
            size, mode = image.size, image.mode
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best, size, mode


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--iterations", type=int, default=5)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    print(f"{'file':<48} {'mode':<5} {'MPix/s (median)':>16}  repetitions")
    for path in args.files:
        rates = []
        size = mode = None
        try:
            for _ in range(args.repetitions):
                seconds, size, mode = fastest(path, args.iterations)
                rates.append(size[0] * size[1] / seconds / 1e6)
        except Exception as error:  # a format this Pillow cannot load
            print(f"{path:<48} cannot load: {error}")
            continue
        name = path.rsplit("/", 1)[-1]
        print(f"{name:<48} {mode:<5} {statistics.median(rates):>16.1f}  {' '.join(f'{r:.1f}' for r in rates)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
