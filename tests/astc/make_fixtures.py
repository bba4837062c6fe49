#!/usr/bin/env python3
"""Writes tests/astc/blocks.bin for tests/astc_test.cpp: ASTC blocks of the
fourteen 2D footprints and the bytes ARM's astcenc decodes them to.  Needs
astcenc 4.x on PATH (Debian's); run once, commit the output.

Blocks: astcenc's encodings of small LDR and HDR images; random blocks; each
of the 2048 block modes on a random block; blocks aimed at every endpoint mode
x partition count x plane count and at mixed endpoint classes (the first
candidate astcenc decodes without error, else an illegal one); void extents.
astcenc -dh decodes them to half floats; a channel f becomes
round(255 * clamp(f, 0, 1)), a texel with a NaN (its error colour) magenta.

Per footprint: width, height (a byte each), block count (16-bit LE), then per
block its 16 bytes and the FNV-1a hash (32-bit LE) of its RGBA bytes.
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
MAGENTA = bytes([255, 0, 255, 255])
rng = random.Random(0xA57C)
work = tempfile.mkdtemp()


def astcenc(*args):
    subprocess.run(['astcenc', *args, '-silent'], check=True, stdout=subprocess.DEVNULL)


def write_ktx(path, w, h, pixels, half):
    head = struct.pack('<12B13I', 0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A,
                       0x04030201, 0x140B if half else 0x1401, 2 if half else 1, 0x1908,
                       0x881A if half else 0x8058, 0x1908, w, h, 0, 0, 1, 1, 0)
    data = b''.join(struct.pack('<4e', *p) if half else bytes(p) for p in pixels)
    with open(path, 'wb') as f:
        f.write(head + struct.pack('<I', len(data)) + data)


def decode(bw, bh, blocks):
    """The expected RGBA bytes of each block: the blocks in one row through
    astcenc -dh, its half-float KTX read back."""
    path = os.path.join(work, 'd.astc')
    with open(path, 'wb') as f:
        f.write(struct.pack('<I3B', 0x5CA1AB13, bw, bh, 1) +
                b''.join(v.to_bytes(3, 'little') for v in (bw * len(blocks), bh, 1)) + b''.join(blocks))
    astcenc('-dh', path, path + '.ktx')
    with open(path + '.ktx', 'rb') as f:
        data = f.read()
    gl_type, _, gl_format = struct.unpack_from('<3I', data, 16)
    assert gl_type == 0x140B, 'astcenc wrote no half floats'
    n = {0x1909: 1, 0x190A: 2, 0x1907: 3, 0x1908: 4}[gl_format]  # L, LA, RGB, RGBA
    w = bw * len(blocks)
    stride, at = (w * n * 2 + 3) // 4 * 4, 68 + struct.unpack_from('<I', data, 60)[0]
    def texel(x, y):
        p = struct.unpack_from('<%de' % n, data, at + y * stride + x * n * 2)
        rgba = (p[0],) * 3 + p[1:] if n <= 2 else p
        rgba = rgba + (1.0,) * (4 - len(rgba))
        if any(math.isnan(c) for c in rgba):
            return MAGENTA
        return bytes(math.floor(255 * min(max(c, 0.0), 1.0) + 0.5) for c in rgba)
    return [b''.join(texel(i * bw + s, t) for t in range(bh) for s in range(bw)) for i in range(len(blocks))]


# ---- Block headers, read to aim blocks and to sum up what the fixtures
# reach; astcenc alone decides the bytes.

def block_mode(m):
    """(grid width, grid height, weight range 0-11, dual plane, layout row 0-9), or None if reserved."""
    a, b, hi, dual = m >> 5 & 3, m >> 7 & 3, m >> 9 & 1, m >> 10 & 1
    if m & 3:
        r, row = (m >> 4 & 1) | (m & 3) << 1, (m >> 2 & 3) + (m >> 2 & 3 == 3 and m >> 8 & 1)
        w, h = [(b + 4, a + 2), (b + 8, a + 2), (a + 2, b + 8), (a + 2, (m >> 7 & 1) + 6), ((m >> 7 & 1) + 2, a + 2)][row]
    else:
        r, row = (m >> 4 & 1) | (m >> 2 & 3) << 1, 5 + b + (b == 3 and m >> 5 & 1)
        if m >> 2 & 3 == 0 or (b == 3 and m >> 6 & 1):
            return None
        w, h = [(12, a + 2), (a + 2, 12), (a + 6, (m >> 9 & 3) + 6), (6, 10), (10, 6)][row - 5]
        hi, dual = (0, 0) if b == 2 else (hi, dual)
    return w, h, r - 2 + 6 * hi, dual, row


def weight_bits(mode):
    n = mode[0] * mode[1] * (1 + mode[3])
    bits, trits, quints = [(1, 0, 0), (0, 1, 0), (2, 0, 0), (0, 0, 1), (1, 1, 0), (3, 0, 0), (1, 0, 1), (2, 1, 0),
                           (4, 0, 0), (2, 0, 1), (3, 1, 0), (5, 0, 0)][mode[2]]
    return n * bits + (8 * n + 4) // 5 * trits + (7 * n + 2) // 3 * quints


def fits(mode, bw, bh):
    return mode is not None and mode[0] <= bw and mode[1] <= bh and mode[0] * mode[1] * (1 + mode[3]) <= 64 \
        and 24 <= weight_bits(mode) <= 96


def cems_of(v, mode):
    parts = (v >> 11 & 3) + 1
    if parts == 1:
        return [v >> 13 & 15]
    field = v >> 23 & 63
    if field & 3 == 0:
        return [field >> 2] * parts
    extra = 3 * parts - 4
    field |= (v >> (128 - weight_bits(mode) - extra) & ((1 << extra) - 1)) << 6
    return [(field & 3) - 1 + (field >> (2 + p) & 1) << 2 | field >> (2 + parts + 2 * p) & 3 for p in range(parts)]


def with_bits(block, start, count, value):
    v = int.from_bytes(block, 'little') & ~(((1 << count) - 1) << start) | (value & ((1 << count) - 1)) << start
    return v.to_bytes(16, 'little')


def with_cems(block, m, cems):
    """The block with partition count len(cems) and those endpoint modes,
    classes at most one apart (the extra mode bits under the weights of mode m)."""
    block = with_bits(block, 11, 2, len(cems) - 1)
    if len(cems) == 1 or len(set(cems)) == 1:
        return with_bits(block, 13, 4, cems[0]) if len(cems) == 1 else with_bits(block, 23, 6, cems[0] << 2)
    low = min(min(c >> 2 for c in cems), 2)
    field = low + 1
    for p, c in enumerate(cems):
        field |= ((c >> 2) - low) << (2 + p) | (c & 3) << (2 + len(cems) + 2 * p)
    extra = 3 * len(cems) - 4
    block = with_bits(block, 23, 6, field)
    return with_bits(block, 128 - weight_bits(block_mode(m)) - extra, extra, field >> 6)


def random_block():
    return bytes(rng.randrange(256) for _ in range(16))


# ---- The blocks of each kind.

def encoded_blocks(bw, bh):
    """astcenc's encodings of 3 x 2-block images: LDR discs (partitions), an
    LDR normal map with an unrelated alpha (two planes), HDR RGB, HDR RGBA."""
    w, h = 3 * bw, 2 * bh
    discs = [(rng.randrange(w), rng.randrange(h), rng.randrange(2, 6), [rng.randrange(256) for _ in range(4)])
             for _ in range(8)]
    def ldr_discs(x, y):
        inside = [c for cx, cy, r, c in discs if (x - cx) ** 2 + (y - cy) ** 2 <= r * r]
        return inside[0] if inside else [x * 255 // w, y * 255 // h, 128, 255]
    def normal(x, y):
        nx, ny = math.sin(x / 3.0) * 0.6, math.cos(y / 4.0) * 0.6
        nz = math.sqrt(max(0.0, 1 - nx * nx - ny * ny))
        return [int(127.5 * (c + 1)) for c in (nx, ny, nz)] + [255 if (x // 3 + y // 2) % 2 else rng.randrange(60)]
    def hdr(x, y, alpha):
        rgb = [max(0.0, 0.6 + 0.5 * math.sin(x / 2.0 + k) * math.cos(y / 3.0 - k)) for k in range(3)]
        return [c * (6 if rng.random() < 0.1 else 1) for c in rgb] + [min(1.0, 0.2 + x / w) if alpha else 1.0]
    blocks = []
    for fn, half, mode in [(ldr_discs, False, '-cl'), (normal, False, '-cl'),
                           (lambda x, y: hdr(x, y, False), True, '-ch'), (lambda x, y: hdr(x, y, True), True, '-cH')]:
        src = os.path.join(work, 'image.ktx')
        write_ktx(src, w, h, [fn(x, y) for y in range(h) for x in range(w)], half)
        astcenc(mode, src, src + '.astc', '%dx%d' % (bw, bh), '-thorough')
        with open(src + '.astc', 'rb') as f:
            data = f.read()[16:]
        blocks += [data[i:i + 16] for i in range(0, len(data), 16)]
    return blocks


def void_extents():
    def ve(hdr, coords, colour, reserved=3):
        v = 0x1FC | hdr << 9 | reserved << 10
        v |= sum(c << (12 + 13 * i) for i, c in enumerate(coords)) | sum(c << (64 + 16 * i) for i, c in enumerate(colour))
        return v.to_bytes(16, 'little')
    ones = [0x1FFF] * 4
    half = lambda f: struct.unpack('<H', struct.pack('<e', f))[0]
    rand16 = lambda: [rng.randrange(65536) for _ in range(4)]
    extent = lambda: sorted(rng.sample(range(0x1FFF), 2)) + sorted(rng.sample(range(0x1FFF), 2))
    return [ve(0, ones, rand16()), ve(0, ones, [0, 0xFFFF, 0x7FFF, 0x8000]),
            ve(1, ones, [half(rng.uniform(0, 1.2)) for _ in range(4)]), ve(1, ones, [half(-0.5), 0x7C00, 1, 0x3BFF]),
            ve(1, ones, [half(0.5), 0x7E00, half(0.25), half(1)]), ve(0, extent(), rand16()),
            ve(1, extent(), [half(0.75)] * 4), ve(0, [5, 5, 0, 9], rand16()), ve(1, [0x1FFF, 0x1FFF, 7, 3], rand16()),
            ve(0, ones, rand16(), reserved=rng.randrange(3))]


def targeted_blocks(targets, bw, bh):
    """For each (endpoint modes of the partitions, dual plane), the first of 48
    candidates astcenc decodes without error, else the first: random blocks
    under a mode of few weight bits."""
    modes = sorted((m for m in range(2048) if fits(block_mode(m), bw, bh)), key=lambda m: weight_bits(block_mode(m)))
    groups = []
    for cems, dual in targets:
        pool = [m for m in modes if block_mode(m)[3] == dual]
        group = []
        for _ in range(48):
            m = rng.choice(pool[:len(pool) // 3 + 1])
            group.append(with_cems(with_bits(random_block(), 0, 11, m), m, cems))
        groups.append(group)
    legal = iter(e != MAGENTA * (bw * bh) for e in decode(bw, bh, [b for g in groups for b in g]))
    return [next((b for b, ok in [(b, next(legal)) for b in g] if ok), g[0]) for g in groups]


def main():
    targets = [([c] * p, d) for p in range(1, 5) for c in range(16) for d in (0, 1)]
    targets += [([(low + 1) * 4 + k] + [low * 4 + (k + j) % 4 for j in range(1, p)], d)
                for p in range(2, 5) for low in range(3) for k in range(4) for d in (0, 1)]
    sweep = collections.defaultdict(list)
    for m in range(2048):
        fitting = [i for i, (bw, bh) in enumerate(FOOTPRINTS) if fits(block_mode(m), bw, bh)]
        b = with_bits(random_block(), 0, 11, m)
        sweep[rng.choice(fitting) if fitting else m % 14].append(with_bits(b, 11, 6, 0) if rng.random() < 0.5 else b)
    kinds, coverage, out = collections.Counter(), collections.defaultdict(set), bytearray()
    for i, (bw, bh) in enumerate(FOOTPRINTS):
        groups = {'encoded': encoded_blocks(bw, bh), 'random': [random_block() for _ in range(12)],
                  'mode sweep': sweep[i], 'targeted': targeted_blocks(targets[i::14], bw, bh),
                  'void extent': void_extents()}
        blocks = [(kind, b) for kind, g in groups.items() for b in g]
        out += struct.pack('<BBH', bw, bh, len(blocks))
        for (kind, b), e in zip(blocks, decode(bw, bh, [b for _, b in blocks])):
            h = 0x811C9DC5
            for byte in e:
                h = (h ^ byte) * 0x01000193 & 0xFFFFFFFF
            out += b + struct.pack('<I', h)
            legal, v = e != MAGENTA * (bw * bh), int.from_bytes(b, 'little')
            kinds[kind, legal] += 1
            coverage['block mode'].add(v & 0x7FF)
            if v & 0x1FF == 0x1FC:
                coverage['void extent'].add(('HDR' if v >> 9 & 1 else 'LDR') + ('' if legal else ' illegal'))
            elif legal:
                mode, cems = block_mode(v & 0x7FF), cems_of(v, block_mode(v & 0x7FF))
                for key, values in [('layout row', [mode[4]]), ('weight range', [mode[2]]), ('grid', [mode[:2]]),
                                    ('partitions, planes', [(len(cems), mode[3] + 1)]), ('cem', cems),
                                    ('cem, partitions', [(c, len(cems)) for c in cems]),
                                    ('mixed classes', [len(set(c >> 2 for c in cems)) > 1])]:
                    coverage[key].update(values)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'blocks.bin')
    with open(path, 'wb') as f:
        f.write(out)
    print('%s: %d bytes, %d blocks' % (path, len(out), sum(kinds.values())))
    for (kind, legal), n in sorted(kinds.items()):
        print('  %-12s %-8s %5d' % (kind, 'legal' if legal else 'illegal', n))
    for key, values in sorted(coverage.items()):
        print('  %s: %s' % (key, sorted(values) if len(values) < 40 else '%d values' % len(values)))


if __name__ == '__main__':
    main()
