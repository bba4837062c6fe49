#!/usr/bin/python3
"""Makes the ETC and EAC fixtures of tests/etc_test.cpp: blocks of every
mode and the pixels that independent decoders give for them.

    npm install --prefix /tmp/texture-compressor texture-compressor
    /usr/bin/python3 tests/etc/make_fixtures.py \
        /tmp/texture-compressor/node_modules/texture-compressor/bin/linux/PVRTexToolCLI

Needs Pillow (Debian python3-pil) and etc1tool (Debian etc1tool).  ETC1
blocks are decoded by etc1tool; ETC2, punch-through, RGBA and EAC blocks by
PVRTexToolCLI (Imagination's texture tool, which the npm package
texture-compressor ships), read back as 8-bit RGBA.  For each fixture NAME
it writes NAME.blocks (the blocks, one after another) and NAME.rgba (16 RGBA
pixels a block, row by row).  R11 comes back in red alone: it is stored as
grey with alpha 255, as the importer delivers it.
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

# PVR version 3 pixel-format codes.
PVR_ETC1, PVR_ETC2_RGB, PVR_ETC2_RGBA, PVR_ETC2_PUNCH, PVR_EAC_R11, PVR_EAC_RG11 = 6, 22, 23, 24, 25, 26


def in_range(byte):
    """Whether a 5-bit base plus its signed 3-bit difference stays in 0..31."""
    base, delta = byte >> 3, byte & 7
    return 0 <= base + (delta - 8 if delta >= 4 else delta) <= 31


def color_block(rng, mode, opaque=None):
    """An 8-byte colour block of the named mode (individual, differential,
    T, H, planar); `opaque` sets the bit the differential modes read (the
    punch-through formats' opaque bit)."""
    while True:
        b = bytearray(rng.getrandbits(8) for _ in range(8))
        if mode == 'individual':
            b[3] &= ~2
            return bytes(b)
        b[3] |= 2
        if opaque is not None and not opaque:
            b[3] &= ~2
        r, g, bl = in_range(b[0]), in_range(b[1]), in_range(b[2])
        got = 'T' if not r else 'H' if not g else 'planar' if not bl else 'differential'
        if got == mode:
            return bytes(b)


def h_block_with_equal_colours(rng, opaque=True):
    """An H-mode block whose two base colours are equal: the distance's low
    bit comes from comparing them (>=), here 1."""
    while True:
        b = bytearray(color_block(rng, 'H'))
        if not opaque:
            b[3] &= ~2
        w = int.from_bytes(b[:4], 'big')
        r1, g1 = (w >> 27) & 15, ((w >> 24) & 7) << 1 | (w >> 20) & 1
        b1 = ((w >> 19) & 1) << 3 | (w >> 15) & 7
        # Colour 2 (bits 46..35 of the 64-bit word, 14..3 of this one) := colour 1.
        w = (w & ~(0xFFF << 3)) | (r1 << 8 | g1 << 4 | b1) << 3
        b[:4] = w.to_bytes(4, 'big')
        if not in_range(b[0]) or in_range(b[1]):
            continue  # the change moved it out of H mode
        return bytes(b)


def eac_block(rng, zero_multiplier=False):
    b = bytearray(rng.getrandbits(8) for _ in range(8))
    if zero_multiplier:
        b[1] &= 0x0F
    pick = rng.randrange(8)
    if pick == 0:
        b[0] = 0
    elif pick == 1:
        b[0] = 255
    return bytes(b)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def blocks_to_pixels(image_bytes, count, channels):
    """Row-major image of `count` blocks side by side, 4 rows high, to 16
    pixels a block, row by row."""
    width = 4 * count
    out = bytearray()
    for k in range(count):
        for y in range(4):
            start = (y * width + 4 * k) * channels
            out += image_bytes[start:start + 4 * channels]
    return bytes(out)


def pvr_decode(tool, code, blocks, block_bytes, work):
    count = len(blocks) // block_bytes
    source, decoded = os.path.join(work, 'in.pvr'), os.path.join(work, 'out.pvr')
    header = struct.pack('<IIQIIIIIIIII', 0x03525650, 0, code, 0, 0, 4, 4 * count, 1, 1, 1, 1, 0)
    with open(source, 'wb') as f:
        f.write(header + blocks)
    run(tool, '-i', source, '-o', decoded, '-f', 'r8g8b8a8,UBN,lRGB')
    with open(decoded, 'rb') as f:
        data = f.read()
    metadata = struct.unpack('<I', data[48:52])[0]
    pixels = data[52 + metadata:]
    assert len(pixels) == 64 * count
    return blocks_to_pixels(pixels, count, 4)


def pkm(blocks, width, height):
    return b'PKM 10' + struct.pack('>HHHHH', 0, width, height, width, height) + blocks


def etc1tool_decode(pkm_path, work):
    png = os.path.join(work, 'etc1.png')
    run('etc1tool', pkm_path, '--decode', '-o', png)
    image = Image.open(png).convert('RGBA')
    return image


def write(name, blocks, rgba):
    with open(os.path.join(HERE, name + '.blocks'), 'wb') as f:
        f.write(blocks)
    with open(os.path.join(HERE, name + '.rgba'), 'wb') as f:
        f.write(rgba)
    print(name, len(rgba) // 64, 'blocks')


def etc1_random(rng, work):
    """ETC1 blocks: individual and differential ones whose sums stay in range."""
    blocks = b''.join(color_block(rng, mode) for mode in ['individual', 'differential'] * 32)
    path = os.path.join(work, 'random.pkm')
    with open(path, 'wb') as f:
        f.write(pkm(blocks, 4 * (len(blocks) // 8), 4))
    image = etc1tool_decode(path, work)
    write('etc1_random', blocks, blocks_to_pixels(image.tobytes(), len(blocks) // 8, 4))


def etc1_encoded(work):
    """A 32 x 32 picture (gradients, a disc, stripes) encoded by etc1tool,
    and etc1tool's own decoding of it."""
    size = 32
    picture = Image.new('RGB', (size, size))
    for y in range(size):
        for x in range(size):
            inside = (x - 20) ** 2 + (y - 12) ** 2 < 64
            stripe = (x // 3 + y // 5) % 2
            picture.putpixel((x, y), (255, 40, 30) if inside else
                             (8 * x, 8 * y, 255 - 6 * (x + y)) if y < 20 else
                             (250, 250, 250) if stripe else (5, 60, 5))
    png, encoded = os.path.join(work, 'picture.png'), os.path.join(work, 'picture.pkm')
    picture.save(png)
    run('etc1tool', png, '--encode', '-o', encoded)
    with open(encoded, 'rb') as f:
        data = f.read()[16:]
    # PKM blocks run row of blocks by row of blocks, as the importer reads them.
    per_row = size // 4
    image = etc1tool_decode(encoded, work).tobytes()
    rgba = bytearray()
    for by in range(per_row):
        for bx in range(per_row):
            for y in range(4):
                start = ((4 * by + y) * size + 4 * bx) * 4
                rgba += image[start:start + 16]
    write('etc1_encoded', data, bytes(rgba))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    rng = random.Random(20240611)
    modes = ['individual', 'differential', 'T', 'H', 'planar']
    with tempfile.TemporaryDirectory() as work:
        etc1_random(rng, work)
        etc1_encoded(work)

        rgb = b''.join(color_block(rng, mode) for mode in modes * 32)
        rgb += h_block_with_equal_colours(rng) * 2
        write('etc2_rgb', rgb, pvr_decode(tool, PVR_ETC2_RGB, rgb, 8, work))

        punch = b''.join(color_block(rng, mode, opaque) for opaque in (False, True)
                         for mode in modes[1:] * 16)
        punch += h_block_with_equal_colours(rng, opaque=False) + h_block_with_equal_colours(rng)
        write('etc2_punch', punch, pvr_decode(tool, PVR_ETC2_PUNCH, punch, 8, work))

        rgba = b''.join(eac_block(rng, k % 4 == 0) + color_block(rng, modes[k % 5]) for k in range(96))
        write('etc2_rgba', rgba, pvr_decode(tool, PVR_ETC2_RGBA, rgba, 16, work))

        r11 = b''.join(eac_block(rng, k % 3 == 0) for k in range(96))
        red = pvr_decode(tool, PVR_EAC_R11, r11, 8, work)
        grey = bytearray(red)
        for p in range(0, len(grey), 4):
            grey[p + 1] = grey[p + 2] = grey[p]
            grey[p + 3] = 255
        write('eac_r11', r11, bytes(grey))

        rg11 = b''.join(eac_block(rng, k % 3 == 0) + eac_block(rng, k % 5 == 0) for k in range(96))
        write('eac_rg11', rg11, pvr_decode(tool, PVR_EAC_RG11, rg11, 16, work))


if __name__ == '__main__':
    main()
