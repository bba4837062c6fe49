#!/usr/bin/env python3
"""Prints the README's table of 4096 x 4096 results from the benchmarks' JSON:
medians over the repetitions of MPix/s and xMemcpy (both from the fastest
iteration of each repetition), peak working memory, and the peers.

    bench/table.py [after.json] [import_before.json] [peers.json]
"""
import json
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
paths = sys.argv[1:] + [None] * 3
after_path = paths[0] or os.path.join(here, "results", "after.json")
before_path = paths[1] or os.path.join(here, "results", "import_before.json")
peers_path = paths[2] or os.path.join(here, "results", "peers.json")


def medians(path):
    found = {}
    if not os.path.exists(path):
        return found
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            found[b["run_name"].replace("/manual_time", "")] = b
    return found


after, before, peers = medians(after_path), medians(before_path), medians(peers_path)
formats = ["DXT1-Rgb", "DXT1-Rgba", "DXT3", "DXT5", "BGRA8888", "A2R10G10B10", "BGR888", "R5G6B5",
           "A4R4G4B4", "R3G3B2"]


def cell(results, name, ratio=True):
    b = results.get(name)
    if b is None or "MPix/s" not in b:
        return "-"
    text = f"{b['MPix/s']:.0f}"
    if ratio and "xMemcpy" in b:
        text += f" ({b['xMemcpy']:.2f})"
    return text


print("| format | plain kernel | kernel, SSE2 only | kernel, SSSE3 | read alone | import before | import after | peak bytes | FreeImage load | import / FreeImage |")
print("|---|---|---|---|---|---|---|---|---|---|")
for f in formats:
    imp = after.get(f"import/{f}/4096/flipped", {})
    fi = peers.get(f"freeimage/{f}/4096", {}).get("MPix/s")
    ours = peers.get(f"import/{f}/4096", {}).get("MPix/s")
    ratio = f"{ours / fi:.2f}" if fi and ours else "-"
    print(f"| {f} | {cell(after, f'plain/{f}/4096')} | {cell(after, f'baseline/{f}/4096')} | "
          f"{cell(after, f'kernel/{f}/4096')} | {cell(after, f'read/{f}/4096')} | "
          f"{cell(before, f'import/{f}/4096/flipped')} | {cell(after, f'import/{f}/4096/flipped')} | "
          f"{imp.get('PeakImageBytes', 0):.0f} | {cell(peers, f'freeimage/{f}/4096', False)} | {ratio} |")
for bpp in (24, 32):
    print(f"\nmemcpy of {bpp}-bit output at 4096 x 4096: {cell(after, f'memcpy/4096/{bpp}bpp', False)} MPix/s")
