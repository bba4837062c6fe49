#!/usr/bin/env python3
"""Print the header of DDS files and, for DXT1/3/5, count the colour-block modes.

Usage: ddsinfo.py FILE.dds [...]
For each DXT colour block, "four-colour" means color0 > color1 (unsigned
16-bit little-endian values in bytes 0-1 and 2-3 of the colour block),
"three-colour" means color0 <= color1. Only the top level is looked at.
Only the Python 3 standard library is used.
"""
import struct
import sys


def info(path):
    data = open(path, "rb").read()
    if data[:4] != b"DDS ":
        print("%s: not a DDS file" % path)
        return 1
    (size, flags, height, width, pitch, depth, mips) = struct.unpack_from("<7I", data, 4)
    pf_size, pf_flags, fourcc, bits, rm, gm, bm, am = struct.unpack_from("<2I4s5I", data, 76)
    caps, caps2 = struct.unpack_from("<2I", data, 108)
    print("%s: %d bytes" % (path, len(data)))
    print("  size=%d flags=0x%X %dx%d pitchOrLinearSize=%d depth=%d mipMapCount=%d"
          % (size, flags, width, height, pitch, depth, mips))
    print("  pf: size=%d flags=0x%X fourCC=%r bits=%d R=0x%X G=0x%X B=0x%X A=0x%X"
          % (pf_size, pf_flags, fourcc if pf_flags & 4 else b"", bits, rm, gm, bm, am))
    print("  caps=0x%X caps2=0x%X" % (caps, caps2))
    if pf_flags & 4 and fourcc in (b"DXT1", b"DXT3", b"DXT5"):
        bsize = 8 if fourcc == b"DXT1" else 16
        coff = 0 if fourcc == b"DXT1" else 8
        bw, bh = (width + 3) // 4, (height + 3) // 4
        need = bw * bh * bsize
        print("  top level: %dx%d blocks = %d bytes (whole blocks only: %d)"
              % (bw, bh, need, (width // 4) * (height // 4) * bsize))
        four = three = 0
        first = None
        for i in range(bw * bh):
            c0, c1 = struct.unpack_from("<2H", data, 128 + i * bsize + coff)
            mode = "four-colour" if c0 > c1 else "three-colour"
            if first is None:
                first = "%s (color0=0x%04X color1=0x%04X)" % (mode, c0, c1)
            if c0 > c1:
                four += 1
            else:
                three += 1
        print("  first block: %s" % first)
        print("  blocks: %d four-colour, %d three-colour" % (four, three))
    elif not pf_flags & 4:
        need = width * height * bits // 8
        print("  top level: %d bytes" % need)
    print("  bytes after header: %d" % (len(data) - 128))
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    rc = 0
    for p in sys.argv[1:]:
        rc |= info(p)
    sys.exit(rc)
