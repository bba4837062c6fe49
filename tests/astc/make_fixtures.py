#!/usr/bin/env python3
"""Writes tests/astc/blocks.bin: ASTC blocks of the fourteen 2D footprints and
the bytes that ARM's astcenc decodes them to, for tests/astc_test.cpp.

Needs astcenc 4.x on PATH (Debian's `astcenc`); run once, commit the output:
    python3 tests/astc/make_fixtures.py

The blocks: astcenc's own encodings of small LDR and HDR images; random
blocks; every 11-bit block mode on a random block; blocks aimed at each
colour endpoint mode x partition count x plane count (the first candidate
astcenc decodes without error, else an illegal one); mixed-class endpoint
mode encodings; void-extent blocks, legal and illegal.  astcenc decodes them
in its HDR mode (-dh) to half floats; each channel f becomes
round(255 * clamp(f, 0, 1)), a texel with a NaN (astcenc's error colour)
becomes magenta (255, 0, 255, 255).

blocks.bin holds, per footprint: width, height (one byte each), the block
count (16 bits, little-endian), then for each block its 16 bytes and the
32-bit FNV-1a hash (little-endian) of its expected RGBA bytes, rows top first.
"""
import collections
import math
import os
import random
import struct
import subprocess
import tempfile

FOOTPRINTS = [(4, 4), (5, 4), (5, 5), (6, 5), (6, 6), (8, 5), (8, 6),
              (8, 8), (10, 5), (10, 6), (10, 8), (10, 10), (12, 10), (12, 12)]
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'blocks.bin')
rng = random.Random(0xA57C)
work = tempfile.mkdtemp()


def astcenc(*args):
    subprocess.run(['astcenc', *args, '-silent'], check=True, stdout=subprocess.DEVNULL)


def write_ktx(path, w, h, pixels, half):
    head = bytes([0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A])
    head += struct.pack('<13I', 0x04030201, 0x140B if half else 0x1401, 2 if half else 1, 0x1908,
                        0x881A if half else 0x8058, 0x1908, w, h, 0, 0, 1, 1, 0)
    data = b''.join(struct.pack('<4e', *p) if half else bytes(p) for p in pixels)
    with open(path, 'wb') as f:
        f.write(head + struct.pack('<I', len(data)) + data)


def read_ktx_rgba(path):
    """astcenc's half-float KTX output as rows of (r, g, b, a) floats."""
    with open(path, 'rb') as f:
        data = f.read()
    gl_type, _, gl_format = struct.unpack_from('<3I', data, 16)
    w, h = struct.unpack_from('<2I', data, 36)
    assert gl_type == 0x140B, 'astcenc wrote no half floats'
    comps = {0x1909: 1, 0x190A: 2, 0x1907: 3, 0x1908: 4}[gl_format]
    pos = 64 + struct.unpack_from('<I', data, 60)[0] + 4
    stride = (w * comps * 2 + 3) // 4 * 4
    rows = []
    for y in range(h):
        v = struct.unpack_from('<%de' % (w * comps), data, pos + y * stride)
        px = [v[x * comps:(x + 1) * comps] for x in range(w)]
        expand = {1: lambda p: (p[0], p[0], p[0], 1.0), 2: lambda p: (p[0], p[0], p[0], p[1]),
                  3: lambda p: (*p, 1.0), 4: lambda p: p}[comps]
        rows.append([expand(p) for p in px])
    return rows


def grid_of(n):
    per_row = max(1, math.ceil(math.sqrt(n)))
    return per_row, (n + per_row - 1) // per_row


def write_astc(path, bw, bh, blocks):
    per_row, rows = grid_of(len(blocks))
    filler = bytes([0xFC, 0xFD] + [0xFF] * 14)
    head = struct.pack('<I', 0x5CA1AB13) + bytes([bw, bh, 1])
    head += b''.join(v.to_bytes(3, 'little') for v in (bw * per_row, bh * rows, 1))
    with open(path, 'wb') as f:
        f.write(head + b''.join(blocks) + filler * (per_row * rows - len(blocks)))


def texel_bytes(p):
    if any(math.isnan(c) for c in p):
        return bytes([255, 0, 255, 255])
    return bytes(math.floor(255 * min(max(c, 0.0), 1.0) + 0.5) for c in p)


def decode(bw, bh, blocks):
    """The expected RGBA bytes of each block, from astcenc -dh."""
    path = os.path.join(work, 'd.astc')
    write_astc(path, bw, bh, blocks)
    astcenc('-dh', path, path + '.ktx')
    rows = read_ktx_rgba(path + '.ktx')
    per_row = grid_of(len(blocks))[0]
    out = []
    for i in range(len(blocks)):
        x0, y0 = i % per_row * bw, i // per_row * bh
        out.append(b''.join(texel_bytes(rows[y0 + t][x0 + s]) for t in range(bh) for s in range(bw)))
    return out


def is_error(expected):
    return expected == bytes([255, 0, 255, 255]) * (len(expected) // 4)


# ---- A small reading of block headers, for choosing blocks and for the
# coverage summary only (astcenc alone decides what the bytes are).

def block_mode(m):
    """(grid width, grid height, weight range 0-11, dual plane, layout row) or None."""
    a, b = m >> 5 & 3, m >> 7 & 3
    hi, dual = m >> 9 & 1, m >> 10 & 1
    if m & 3:
        r = (m >> 4 & 1) | (m & 3) << 1
        row = m >> 2 & 3
        w, h = [(b + 4, a + 2), (b + 8, a + 2), (a + 2, b + 8),
                (((m >> 7 & 1) + 2, a + 2) if m >> 8 & 1 else (a + 2, (m >> 7 & 1) + 6))][row]
        row = row + (1 if row == 3 and m >> 8 & 1 else 0)
    else:
        r = (m >> 4 & 1) | (m >> 2 & 3) << 1
        if m >> 2 & 3 == 0 or (b == 3 and m >> 6 & 1):
            return None
        w, h = [(12, a + 2), (a + 2, 12), (a + 6, (m >> 9 & 3) + 6), ((10, 6) if m >> 5 & 1 else (6, 10))][b]
        row = 5 + b + (1 if b == 3 and m >> 5 & 1 else 0)
        if b == 2:
            hi = dual = 0
    return w, h, r - 2 + 6 * hi, dual, row


RANGES = [(2, 1, 0, 0), (3, 0, 1, 0), (4, 2, 0, 0), (5, 0, 0, 1), (6, 1, 1, 0), (8, 3, 0, 0), (10, 1, 0, 1),
          (12, 2, 1, 0), (16, 4, 0, 0), (20, 2, 0, 1), (24, 3, 1, 0), (32, 5, 0, 0)]


def weight_bits(w, h, rng_index, dual):
    n = w * h * (2 if dual else 1)
    _, bits, trits, quints = RANGES[rng_index]
    return n * bits + (8 * n + 4) // 5 * trits + (7 * n + 2) // 3 * quints


def header(block):
    """(mode tuple, partitions, CEMs) of a block that is not a void extent."""
    v = int.from_bytes(block, 'little')
    mode = block_mode(v & 0x7FF)
    parts = (v >> 11 & 3) + 1
    if parts == 1:
        return mode, 1, [v >> 13 & 15]
    field = v >> 23 & 63
    if field & 3 == 0:
        return mode, parts, [field >> 2] * parts
    extra = 3 * parts - 4
    field |= (v >> (128 - weight_bits(*mode[:4]) - extra) & ((1 << extra) - 1)) << 6
    return mode, parts, [(field & 3) - 1 + (field >> (2 + p) & 1) << 2 | field >> (2 + parts + 2 * p) & 3
                         for p in range(parts)]


def with_bits(block, start, count, value):
    v = int.from_bytes(block, 'little')
    v = v & ~(((1 << count) - 1) << start) | (value & ((1 << count) - 1)) << start
    return v.to_bytes(16, 'little')


def random_block():
    return bytes(rng.randrange(256) for _ in range(16))


# ---- The blocks of each kind.

def encoded_blocks(bw, bh):
    """astcenc's encodings of four small images: LDR shapes (partitions), an
    LDR normal map with an unrelated alpha (two planes), HDR RGB, HDR RGBA."""
    w, h = 3 * bw, 2 * bh
    shapes = [(rng.randrange(w), rng.randrange(h), rng.randrange(2, 6),
               [rng.randrange(256) for _ in range(4)]) for _ in range(8)]
    def ldr_shapes(x, y):
        for cx, cy, r, c in shapes:
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                return c
        return [x * 255 // w, y * 255 // h, 128, 255]
    def normal(x, y):
        nx, ny = math.sin(x / 3.0) * 0.6, math.cos(y / 4.0) * 0.6
        nz = math.sqrt(max(0.0, 1 - nx * nx - ny * ny))
        return [int(127.5 * (c + 1)) for c in (nx, ny, nz)] + [255 if (x // 3 + y // 2) % 2 else rng.randrange(60)]
    def hdr(x, y, alpha):
        base = [0.6 + 0.5 * math.sin(x / 2.0 + k) * math.cos(y / 3.0 - k) for k in range(3)]
        if rng.random() < 0.1:
            base = [c * 6 for c in base]
        return [max(0.0, c) for c in base] + [min(1.0, 0.2 + x / w) if alpha else 1.0]
    blocks = []
    for name, fn, half, mode in [('ls', ldr_shapes, False, '-cl'), ('ln', normal, False, '-cl'),
                                 ('hr', lambda x, y: hdr(x, y, False), True, '-ch'),
                                 ('ha', lambda x, y: hdr(x, y, True), True, '-cH')]:
        src = os.path.join(work, name + '.ktx')
        write_ktx(src, w, h, [fn(x, y) for y in range(h) for x in range(w)], half)
        astcenc(mode, src, src + '.astc', '%dx%d' % (bw, bh), '-thorough')
        with open(src + '.astc', 'rb') as f:
            data = f.read()[16:]
        blocks += [data[i:i + 16] for i in range(0, len(data), 16)]
    return blocks


def void_extents():
    def ve(hdr, coords, colour, reserved=3):
        v = 0x1FC | hdr << 9 | reserved << 10
        for i, c in enumerate(coords):
            v |= c << (12 + 13 * i)
        for i, c in enumerate(colour):
            v |= c << (64 + 16 * i)
        return v.to_bytes(16, 'little')
    ones = [0x1FFF] * 4
    half = lambda f: struct.unpack('<H', struct.pack('<e', f))[0]
    rand16 = lambda: [rng.randrange(65536) for _ in range(4)]
    low_high = lambda: sorted(rng.sample(range(0x1FFF), 2))
    return [ve(0, ones, rand16()), ve(0, ones, [0, 0xFFFF, 0x7FFF, 0x8000]),
            ve(1, ones, [half(rng.uniform(0, 1.2)) for _ in range(4)]),
            ve(1, ones, [half(-0.5), 0x7C00, 0x0001, 0x3BFF]),
            ve(1, ones, [half(0.5), 0x7E00, half(0.25), half(1)]),
            ve(0, low_high() + low_high(), rand16()), ve(1, low_high() + low_high(), [half(0.75)] * 4),
            ve(0, [5, 5, 0, 9], rand16()), ve(1, [0x1FFF, 0x1FFF, 7, 3], rand16()),
            ve(0, ones, rand16(), reserved=rng.randrange(3))]


def first_legal(bw, bh, groups):
    """For each group of candidate blocks, the first that astcenc decodes
    without error, else the group's first."""
    flat = [b for g in groups for b in g]
    errors = iter([is_error(e) for e in decode(bw, bh, flat)])
    picked = []
    for g in groups:
        flags = [next(errors) for _ in g]
        picked.append(next((b for b, e in zip(g, flags) if not e), g[0]))
    return picked


def fits(mode, bw, bh):
    return mode is not None and mode[0] <= bw and mode[1] <= bh and mode[0] * mode[1] * (1 + mode[3]) <= 64 \
        and 24 <= weight_bits(*mode[:4]) <= 96


def targeted_blocks(targets, bw, bh):
    """Blocks aimed at (partitions, CEM or None for mixed classes, dual plane)."""
    modes = [m for m in range(2048) if fits(block_mode(m), bw, bh)]
    groups = []
    for parts, cem, dual in targets:
        pool = sorted((m for m in modes if block_mode(m)[3] == dual), key=lambda m: weight_bits(*block_mode(m)[:4]))
        group = []
        for _ in range(48):
            b = with_bits(random_block(), 0, 11, rng.choice(pool[:max(1, len(pool) // 3)]))
            b = with_bits(b, 11, 2, parts - 1)
            if parts == 1:
                b = with_bits(b, 13, 4, cem)
            elif cem is not None:
                b = with_bits(b, 23, 6, cem << 2)
            else:
                b = with_bits(b, 23, 2, rng.randrange(1, 4))
            group.append(b)
        groups.append(group)
    return first_legal(bw, bh, groups) if groups else []


def main():
    targets = [(p, c, d) for p in range(1, 5) for c in range(16) for d in (0, 1)]
    targets += [(p, None, d) for p in range(2, 5) for d in (0, 1) for _ in range(4)]
    sweep = collections.defaultdict(list)
    for m in range(2048):
        fitting = [i for i, (bw, bh) in enumerate(FOOTPRINTS) if fits(block_mode(m), bw, bh)]
        i = rng.choice(fitting) if fitting else m % len(FOOTPRINTS)
        b = with_bits(random_block(), 0, 11, m)
        sweep[i].append(with_bits(b, 11, 6, 0) if rng.random() < 0.5 else b)
    kinds = collections.Counter()
    coverage = collections.defaultdict(set)
    out = bytearray()
    for i, (bw, bh) in enumerate(FOOTPRINTS):
        groups = {'encoded': encoded_blocks(bw, bh), 'random': [random_block() for _ in range(12)],
                  'mode sweep': sweep[i], 'targeted': targeted_blocks(targets[i::len(FOOTPRINTS)], bw, bh),
                  'void extent': void_extents()}
        blocks = [b for g in groups.values() for b in g]
        expected = decode(bw, bh, blocks)
        out += struct.pack('<BBH', bw, bh, len(blocks))
        for b, e in zip(blocks, expected):
            h = 0x811C9DC5
            for byte in e:
                h = (h ^ byte) * 0x01000193 & 0xFFFFFFFF
            out += b + struct.pack('<I', h)
        flags = iter(is_error(e) for e in expected)
        for kind, g in groups.items():
            for b in g:
                legal = not next(flags)
                kinds[kind, legal] += 1
                v = int.from_bytes(b, 'little')
                if v & 0x1FF == 0x1FC:
                    coverage['void extent'].add(('HDR' if v >> 9 & 1 else 'LDR') + ('' if legal else ' illegal'))
                elif legal:
                    mode, parts, cems = header(b)
                    coverage['layout row'].add(mode[4])
                    coverage['weight range'].add(mode[2])
                    coverage['grid'].add((mode[0], mode[1]))
                    coverage['partitions, planes'].add((parts, mode[3] + 1))
                    coverage['cem'].update(cems)
                    coverage['cem, partitions'].update((c, parts) for c in cems)
                    coverage['mixed classes'].add(len(set(c >> 2 for c in cems)) > 1)
                coverage['block mode'].add(v & 0x7FF)
    with open(OUT, 'wb') as f:
        f.write(out)
    print('%s: %d bytes' % (OUT, len(out)))
    for (kind, legal), n in sorted(kinds.items()):
        print('  %-12s %-8s %5d' % (kind, 'legal' if legal else 'illegal', n))
    print('  total %d blocks' % sum(kinds.values()))
    for key in sorted(coverage):
        values = coverage[key]
        shown = sorted(values) if len(values) < 40 else '%d values' % len(values)
        print('  %s: %s' % (key, shown))


if __name__ == '__main__':
    main()
