#!/usr/bin/python3
"""Makes the fixtures of tests/etc_test.cpp: blocks of every ETC and EAC mode
(NAME.blocks) and the pixels that independent decoders give for them
(NAME.rgba, 16 RGBA pixels a block, row by row).

    npm install --prefix /tmp/tc texture-compressor
    /usr/bin/python3 tests/etc/make_fixtures.py /tmp/tc/node_modules/texture-compressor/bin/linux/PVRTexToolCLI

ETC1 is decoded by etc1tool (Debian etc1tool), also the encoder of a small
picture; the rest by PVRTexToolCLI (Imagination's texture tool, shipped by the
npm package texture-compressor), read back as 8-bit RGBA.  R11 comes back in
red alone and is stored as grey with alpha 255, as the importer delivers it.
Needs Pillow (Debian python3-pil).
"""
import os, random, struct, subprocess, sys, tempfile
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
MODES = ['individual', 'differential', 'T', 'H', 'planar']


def in_range(byte):  # a 5-bit base plus its signed 3-bit difference stays in 0..31
    delta = byte & 7
    return 0 <= (byte >> 3) + (delta - 8 if delta >= 4 else delta) <= 31


def color_block(rng, mode, opaque=None):
    """A colour block of `mode`; `opaque` (punch-through) sets bit 33."""
    while True:
        b = bytearray(rng.getrandbits(8) for _ in range(8))
        if mode == 'individual':
            b[3] &= ~2
            return bytes(b)
        b[3] = b[3] | 2 if opaque is None or opaque else b[3] & ~2
        got = 'T' if not in_range(b[0]) else 'H' if not in_range(b[1]) else \
            'planar' if not in_range(b[2]) else 'differential'
        if got == mode:
            return bytes(b)


def h_block_with_equal_colours(rng, opaque=True):
    """H mode with colour 2 (bits 46-35) made colour 1: the distance's low bit
    then comes from the comparison colour 1 >= colour 2 being true."""
    b = bytearray(color_block(rng, 'H', opaque))
    w = int.from_bytes(b[:4], 'big')
    r1, g1, b1 = (w >> 27) & 15, ((w >> 23) & 14) | ((w >> 20) & 1), ((w >> 16) & 8) | ((w >> 15) & 7)
    w = (w & ~(0xFFF << 3)) | (r1 << 8 | g1 << 4 | b1) << 3
    return w.to_bytes(4, 'big') + bytes(b[4:])


def eac_block(rng, zero_multiplier):
    b = bytearray(rng.getrandbits(8) for _ in range(8))
    if zero_multiplier:
        b[1] &= 0x0F
    b[0] = [0, 255, b[0], b[0]][rng.randrange(4)]
    return bytes(b)


def per_block(image, count):
    """A 4-row image of `count` blocks side by side, RGBA, to 64 bytes a block."""
    return b''.join(image[(y * 4 * count + 4 * k) * 4:][:16] for k in range(count) for y in range(4))


def write(name, blocks, rgba):
    for ext, data in (('.blocks', blocks), ('.rgba', rgba)):
        with open(os.path.join(HERE, name + ext), 'wb') as f:
            f.write(data)
    print(name, len(rgba) // 64, 'blocks')


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tool, rng = sys.argv[1], random.Random(20240611)
    work = tempfile.mkdtemp()
    path = lambda name: os.path.join(work, name)

    def pvr(name, code, blocks, block_bytes):
        count = len(blocks) // block_bytes
        with open(path('in.pvr'), 'wb') as f:  # PVR version 3 header, then the blocks
            f.write(struct.pack('<IIQIIIIIIIII', 0x03525650, 0, code, 0, 0, 4, 4 * count, 1, 1, 1, 1, 0) + blocks)
        run(tool, '-i', path('in.pvr'), '-o', path('out.pvr'), '-f', 'r8g8b8a8,UBN,lRGB')
        data = open(path('out.pvr'), 'rb').read()
        rgba = per_block(data[52 + struct.unpack('<I', data[48:52])[0]:], count)
        if name == 'eac_r11':
            rgba = b''.join(bytes((rgba[p], rgba[p], rgba[p], 255)) for p in range(0, len(rgba), 4))
        write(name, blocks, rgba)

    def etc1tool_decode(pkm):
        run('etc1tool', pkm, '--decode', '-o', path('out.png'))
        return Image.open(path('out.png')).convert('RGBA').tobytes()

    # ETC1: valid blocks (no sum leaves 0..31), and a picture etc1tool encodes.
    blocks = b''.join(color_block(rng, mode) for mode in MODES[:2] * 32)
    with open(path('random.pkm'), 'wb') as f:
        f.write(b'PKM 10' + struct.pack('>HHHHH', 0, 256, 4, 256, 4) + blocks)
    write('etc1_random', blocks, per_block(etc1tool_decode(path('random.pkm')), 64))
    picture = Image.new('RGB', (32, 32))
    picture.putdata([(255, 40, 30) if (x - 20) ** 2 + (y - 12) ** 2 < 64 else
                     (8 * x, 8 * y, 255 - 6 * (x + y)) if y < 20 else
                     (250, 250, 250) if (x // 3 + y // 5) % 2 else (5, 60, 5) for y in range(32) for x in range(32)])
    picture.save(path('picture.png'))
    run('etc1tool', path('picture.png'), '--encode', '-o', path('picture.pkm'))
    image = etc1tool_decode(path('picture.pkm'))  # blocks run row of blocks by row of blocks
    rgba = b''.join(image[((4 * by + y) * 32 + 4 * bx) * 4:][:16] for by in range(8) for bx in range(8) for y in range(4))
    write('etc1_encoded', open(path('picture.pkm'), 'rb').read()[16:], rgba)

    # PVR pixel-format codes: ETC2 RGB 22, RGBA 23, punch-through 24, R11 25, RG11 26.
    pvr('etc2_rgb', 22, b''.join(color_block(rng, m) for m in MODES * 32) + h_block_with_equal_colours(rng) * 2, 8)
    pvr('etc2_punch', 24, b''.join(color_block(rng, m, opaque) for opaque in (False, True) for m in MODES[1:] * 16)
        + h_block_with_equal_colours(rng, False) + h_block_with_equal_colours(rng), 8)
    pvr('etc2_rgba', 23, b''.join(eac_block(rng, k % 4 == 0) + color_block(rng, MODES[k % 5]) for k in range(96)), 16)
    pvr('eac_r11', 25, b''.join(eac_block(rng, k % 3 == 0) for k in range(96)), 8)
    pvr('eac_rg11', 26, b''.join(eac_block(rng, k % 3 == 0) + eac_block(rng, k % 5 == 0) for k in range(96)), 16)


if __name__ == '__main__':
    main()
