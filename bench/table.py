#!/usr/bin/env python3
"""Prints the README's table of 4096 x 4096 results from the benchmarks'
output: medians over the repetitions of MPix/s and xMemcpy (both from the
fastest iteration of each repetition), peak working memory, and the peers
(FreeImage's whole-file load for the formats it reads, Pillow's for BC4 to
BC7).

    bench/table.py [after.json] [single.json] [peers.json] [pillow.txt]

after.json: a ddsimage_bench run with the system's threads; single.json:
its import/ benchmarks with DDSIMAGE_THREADS=1; peers.json: a
ddsimage_peers_bench run; pillow.txt: bench/pillow_load.py's output for the
files the import/ benchmarks wrote.
"""
import json
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
results = os.path.join(here, "results")
paths = sys.argv[1:] + [None] * 4
after_path = paths[0] or os.path.join(results, "after.json")
single_path = paths[1] or os.path.join(results, "single.json")
peers_path = paths[2] or os.path.join(results, "peers.json")
pillow_path = paths[3] or os.path.join(results, "pillow.txt")


def medians(path):
    """Medians by benchmark name; `path` may name several files, joined by commas."""
    found = {}
    for one in path.split(","):
        if os.path.exists(one):
            found.update(medians_of(one))
    return found


def medians_of(path):
    found = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            found[b["run_name"].replace("/manual_time", "")] = b
    return found


def pillow_rates(path):
    """MPix/s by format name from lines 'NAME_4096x4096.dds MODE RATE ...'."""
    found = {}
    if not os.path.exists(path):
        return found
    for line in open(path):
        fields = line.split()
        if len(fields) >= 3 and fields[0].endswith("_4096x4096.dds") and fields[1] != "cannot":
            found[fields[0][: -len("_4096x4096.dds")]] = float(fields[2])
    return found


after, single, peers, pillow = medians(after_path), medians(single_path), medians(peers_path), pillow_rates(pillow_path)
formats = ["DXT1-Rgb", "DXT1-Rgba", "DXT3", "DXT5", "BC4", "BC5", "BC6H", "BC6H-SF", "BC7", "BGRA8888",
           "A2R10G10B10", "BGR888", "R5G6B5", "A4R4G4B4", "R3G3B2"]


def rate(results, name):
    return results.get(name, {}).get("MPix/s")


def cell(results, name, ratio=True):
    b = results.get(name)
    if b is None or "MPix/s" not in b:
        return "-"
    text = f"{b['MPix/s']:.0f}"
    if ratio and "xMemcpy" in b:
        text += f" ({b['xMemcpy']:.2f})"
    return text


print("| format | plain kernel | kernel, SSE2 only | kernel, SSSE3 | read alone | import, 1 thread | "
      "import, threads | threads / 1 | peak bytes | peer load | import / peer |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
for f in formats:
    name = f"import/{f}/4096/flipped"
    # One thread from the same run (import1/) where it has it.
    one_thread = f"import1/{f}/4096/flipped"
    alone_results = after if one_thread in after else single
    alone_name = one_thread if one_thread in after else name
    threaded, alone = rate(after, name), rate(alone_results, alone_name)
    speedup = f"{threaded / alone:.2f}" if threaded and alone else "-"
    peer = rate(peers, f"freeimage/{f}/4096")
    peer_text = f"{peer:.0f} (FreeImage)" if peer else "-"
    ours = rate(peers, f"import/{f}/4096")
    if peer is None and f in pillow:
        peer, ours = pillow[f], threaded
        peer_text = f"{peer:.0f} (Pillow)"
    versus = f"{ours / peer:.2f}" if peer and ours else "-"
    peak = after.get(name, {}).get("PeakImageBytes")
    peak_text = f"{peak:.0f}" if peak is not None else "-"
    print(f"| {f} | {cell(after, f'plain/{f}/4096')} | {cell(after, f'baseline/{f}/4096')} | "
          f"{cell(after, f'kernel/{f}/4096')} | {cell(after, f'read/{f}/4096')} | {cell(alone_results, alone_name)} | "
          f"{cell(after, name)} | {speedup} | {peak_text} | {peer_text} | {versus} |")
for bpp in (24, 32):
    print(f"\nmemcpy of {bpp}-bit output at 4096 x 4096: {cell(after, f'memcpy/4096/{bpp}bpp', False)} MPix/s")
