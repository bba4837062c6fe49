#!/usr/bin/env python3
"""Makes the PVRTC1 fixtures: levels of random words, and the pixels that
Imagination's PVRTexToolCLI (PVRTexToolCL 4.17, shipped in the npm package
texture-compressor 1.0.2 as bin/linux/PVRTexToolCLI) decodes them to.

    npm pack texture-compressor@1.0.2 && tar xzf texture-compressor-1.0.2.tgz
    tests/pvrtc/make_fixtures.py package/bin/linux/PVRTexToolCLI

writes, for each case NAME below, NAME.pvr (a PVR v3 file: 52-byte header,
no metadata, then the level's words in their stored order) and NAME.png
(the tool's decoding, 8-bit RGBA).  Random words reach every colour and
modulation mode; the shapes cover the padded minimum grid, the widths and
heights below one word, and grids wider and taller than square."""
import os
import random
import struct
import subprocess
import sys
import tempfile

CASES = [  # name, width, height, bits a pixel
    ("pvrtc4_4x4", 4, 4, 4), ("pvrtc4_8x8", 8, 8, 4), ("pvrtc4_32x16", 32, 16, 4),
    ("pvrtc4_16x64", 16, 64, 4), ("pvrtc4_64x64", 64, 64, 4),
    ("pvrtc2_8x4", 8, 4, 2), ("pvrtc2_16x8", 16, 8, 2), ("pvrtc2_64x16", 64, 16, 2),
    ("pvrtc2_16x32", 16, 32, 2), ("pvrtc2_64x64", 64, 64, 2),
]
PVR_MAGIC = 0x03525650
PIXEL_FORMAT = {2: 1, 4: 3}  # PVRTC1 RGBA at 2 and 4 bits a pixel


def grid(width, height, bits):
    word_width = 8 if bits == 2 else 4
    return max(-(-width // word_width), 2), max(-(-height // 4), 2)


def main():
    tool = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    for seed, (name, width, height, bits) in enumerate(CASES, 1):
        rng = random.Random(seed)
        words_x, words_y = grid(width, height, bits)
        data = bytes(rng.getrandbits(8) for _ in range(words_x * words_y * 8))
        header = struct.pack("<IIQIIIIIIIII", PVR_MAGIC, 0, PIXEL_FORMAT[bits], 0, 0, height, width,
                             1, 1, 1, 1, 0)
        pvr = os.path.join(here, name + ".pvr")
        with open(pvr, "wb") as f:
            f.write(header + data)
        with tempfile.TemporaryDirectory() as scratch:
            subprocess.run([tool, "-i", pvr, "-f", "r8g8b8a8", "-o", os.path.join(scratch, "out.pvr"),
                            "-d", os.path.join(here, name + ".png")], check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
