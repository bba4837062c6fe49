#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: small DDS files of every format the
importer reads (DXT1 in both modes, DXT2 to DXT5, BC4 and BC5 with their
signed and normal-map variants, 8/16/24/32-bit masks, fourCC 0, legacy
numeric codes, luminance and alpha-only, every DXGI format of the DX10
record, premultiplied BC3, BC7 and B8G8R8A8, DXT5 and BC3 normal maps, ETC1/ETC2/EAC/ATC/ASTC/PVRTC1 under every FourCC
and DXGI number, 1-bit rows, YUV and packed 4:2:2 RGB, the 4:2:0 planes,
palettes and the bump flags) and every size shape (whole blocks, partial
blocks, one row, one column, 1x1, non-square, PVRTC1's padded word grids),
plus a few refused headers and controls in the trailing bytes (see
import_fuzzer.cpp).  Python 3 standard library only.

    python3 fuzz/make_corpus.py [output directory, default fuzz/corpus]
"""
import os
import random
import struct
import sys

DDS_FOURCC = 0x4
DDS_RGB = 0x40
DDS_ALPHA = 0x1
FLAGS = 0x1007
LINEAR = 0x80000
MIPS = 0x20000


def header(width, height, pixel_flags, fourcc=b"\0\0\0\0", bits=0, masks=(0, 0, 0, 0),
           flags=FLAGS, linear=0, mips=0):
    words = [124, flags, height, width, linear, 0, mips & 0xFFFFFFFF] + [0] * 11
    pf = struct.pack("<II4sIIIII", 32, pixel_flags, fourcc, bits, *masks)
    return (b"DDS " + struct.pack("<7I11I", *words) + pf + struct.pack("<5I", 0x1000, 0, 0, 0, 0))


def dx10(dxgi, width, height, misc=0, array=1, flags2=0, pixel_flags=DDS_FOURCC):
    return header(width, height, pixel_flags, b"DX10") + struct.pack("<5I", dxgi, 3, misc, array, flags2)


# DXGI formats the importer decodes: bytes of a 4 x 4 block (negative) or of
# a pixel.
DXGI = {2: 16, 6: 12, 10: 8, 11: 8, 16: 8, 24: 4, 26: 4, 28: 4, 29: 4, 34: 4, 35: 4, 41: 4, 49: 2, 54: 2,
        56: 2, 61: 1, 65: 1, 67: 4, 70: -8, 71: -8, 72: -8, 73: -16, 74: -16, 75: -16, 76: -16, 77: -16,
        78: -16, 79: -8, 80: -8, 81: -8, 82: -16, 83: -16, 84: -16, 85: 2, 86: 2, 87: 4, 88: 4, 91: 4, 93: 4,
        89: 4, 95: -16, 96: -16, 97: -16, 98: -16, 99: -16, 115: 2}
# The ASTC footprints, k = 0 to 13, as DXGI 133 + 4k to 135 + 4k name them.
ASTC_FOOTPRINTS = ((4, 4), (5, 4), (5, 5), (6, 5), (6, 6), (8, 5), (8, 6), (8, 8), (10, 5), (10, 6), (10, 8),
                   (10, 10), (12, 10), (12, 12))
# The DXGI pixel layouts that are not masks: SNORM, UINT, SINT, depth and
# stencil, A4B4G4R4, AYUV, Y410, Y416.
DXGI.update({3: 16, 4: 16, 7: 12, 8: 12, 12: 8, 13: 8, 14: 8, 17: 8, 18: 8, 20: 8, 21: 8, 22: 8, 102: 8, 25: 4,
             30: 4, 31: 4, 32: 4, 36: 4, 37: 4, 38: 4, 40: 4, 42: 4, 43: 4, 45: 4, 46: 4, 47: 4, 100: 4, 101: 4,
             50: 2, 51: 2, 52: 2, 55: 2, 57: 2, 58: 2, 59: 2, 191: 2, 62: 1, 63: 1, 64: 1})
# Legacy numeric codes in the FourCC field, with their pixel bytes.
NUMERIC = {20: 3, 21: 4, 22: 4, 23: 2, 24: 2, 25: 2, 26: 2, 28: 1, 32: 4, 33: 4, 36: 8, 50: 1, 51: 2, 81: 2,
           111: 2, 113: 8, 114: 4, 116: 16, 27: 1, 29: 2, 30: 2, 31: 4, 34: 4, 35: 4, 52: 1, 80: 2, 112: 4,
           115: 8, 60: 2, 63: 4, 64: 4, 110: 8, 117: 2, 61: 2, 62: 4, 67: 4, 119: 4}


def level(unit, w, h):
    """Bytes of a level: every block that touches the image, or every pixel."""
    return ((w + 3) // 4) * ((h + 3) // 4) * -unit if unit < 0 else w * h * unit


def rnd(seed, count):
    r = random.Random(seed)
    return bytes(r.getrandbits(8) for _ in range(count))


def dxt1_block(c0, c1, indices=0x1B1B1B1B):
    return struct.pack("<HHI", c0, c1, indices)


def files():
    out = {}
    # Block formats, whole and partial blocks.
    for code, block in ((b"DXT1", 8), (b"DXT3", 16), (b"DXT5", 16)):
        for w, h in ((4, 4), (8, 4), (4, 8), (12, 8), (5, 7), (6, 6), (9, 4), (4, 13), (16, 16)):
            data = rnd(w * 31 + h, (w // 4) * (h // 4) * block)
            out[f"{code.decode().lower()}_{w}x{h}.dds"] = header(w, h, DDS_FOURCC, code) + data
        out[f"{code.decode().lower()}_linear.dds"] = (
            header(8, 8, DDS_FOURCC, code, flags=FLAGS | LINEAR, linear=4 * block) + rnd(7, 4 * block))
        out[f"{code.decode().lower()}_mips.dds"] = (
            header(8, 8, DDS_FOURCC, code, flags=FLAGS | MIPS, mips=2) + rnd(8, 5 * block))
    # DXT1 opaque and transparent first blocks.
    out["dxt1_opaque_8x8.dds"] = header(8, 8, DDS_FOURCC, b"DXT1") + dxt1_block(0xF800, 0x001F) * 4
    out["dxt1_alpha_8x8.dds"] = header(8, 8, DDS_FOURCC, b"DXT1") + dxt1_block(0x001F, 0xF800, 0xFFFFFFFF) * 4
    out["dxt1_opaque_7x5.dds"] = header(7, 5, DDS_FOURCC, b"DXT1") + dxt1_block(0xFFFF, 0x0000)
    # Uncompressed layouts.
    layouts = {
        "rgb332": (8, (0xE0, 0x1C, 0x03, 0), DDS_RGB),
        "l8": (8, (0xFF, 0xFF, 0xFF, 0), DDS_RGB),
        "rgb565": (16, (0xF800, 0x07E0, 0x001F, 0), DDS_RGB),
        "argb4444": (16, (0x0F00, 0x00F0, 0x000F, 0xF000), DDS_RGB | DDS_ALPHA),
        "argb1555": (16, (0x7C00, 0x03E0, 0x001F, 0x8000), DDS_RGB | DDS_ALPHA),
        "rgb24": (24, (0xFF0000, 0x00FF00, 0x0000FF, 0), DDS_RGB),
        "bgr24": (24, (0x0000FF, 0x00FF00, 0xFF0000, 0), DDS_RGB),
        "argb32": (32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000), DDS_RGB | DDS_ALPHA),
        "xrgb32": (32, (0xFF0000, 0xFF00, 0xFF, 0), DDS_RGB),
        "a2r10": (32, (0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), DDS_RGB | DDS_ALPHA),
    }
    for name, (bits, masks, pflags) in layouts.items():
        for w, h in ((1, 1), (3, 2), (5, 3), (4, 4), (1, 7), (9, 1)):
            data = rnd(bits * 97 + w * 7 + h, w * h * bits // 8)
            out[f"{name}_{w}x{h}.dds"] = header(w, h, pflags, bits=bits, masks=masks) + data
    # fourCC 0 read as uncompressed, with and without a linear size.
    out["fourcc0_8bit_8x8.dds"] = header(8, 8, DDS_FOURCC, bits=8, masks=(0xE0, 0x1C, 3, 0)) + rnd(3, 64)
    out["fourcc0_32bit_linear.dds"] = (
        header(4, 4, DDS_FOURCC, bits=32, masks=(0xFF, 0xFF00, 0xFF0000, 0), flags=FLAGS | LINEAR, linear=64)
        + rnd(4, 64))
    # A file long enough for several chunks of the streaming read.
    out["argb32_256x160.dds"] = header(256, 160, DDS_RGB | DDS_ALPHA, bits=32,
                                       masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)) + rnd(5, 256 * 160 * 4)
    # Images large enough for the converter's tables: one word a value for
    # 8-bit pixels, one table a channel for narrow channels of wider pixels.
    for name, bits, masks, pflags, w, h in (
            ("table_rgb332", 8, (0xE0, 0x1C, 0x03, 0), DDS_RGB, 32, 32),
            ("table_rgb565", 16, (0xF800, 0x07E0, 0x001F, 0), DDS_RGB, 32, 16),
            ("table_argb4444", 16, (0x0F00, 0x00F0, 0x000F, 0xF000), DDS_RGB | DDS_ALPHA, 17, 31),
            ("table_rgb666", 24, (0x3F000, 0xFC0, 0x3F, 0), DDS_RGB, 33, 24),
            ("table_a2r10", 32, (0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), DDS_RGB | DDS_ALPHA, 128, 97),
            ("table_rgb32_narrow", 32, (0x7, 0x38, 0x1C0, 0), DDS_RGB, 16, 9)):
        data = rnd(w * h + bits, w * h * bits // 8)
        out[f"{name}_{w}x{h}.dds"] = header(w, h, pflags, bits=bits, masks=masks) + data
    # The formats that came with the DX10 record and the legacy codes.
    for dxgi, unit in DXGI.items():
        for w, h in ((4, 4), (5, 3)):
            out[f"dx10_{dxgi}_{w}x{h}.dds"] = dx10(dxgi, w, h) + rnd(dxgi * 13 + w, level(unit, w, h))
    out["dx10_bc3_premultiplied_8x8.dds"] = dx10(77, 8, 8, flags2=2) + rnd(21, 64)
    out["dx10_bc7_premultiplied_8x8.dds"] = dx10(98, 8, 8, flags2=2) + rnd(26, 64)
    out["dx10_bgra8_premultiplied_5x3.dds"] = dx10(87, 5, 3, flags2=2) + rnd(27, 60)
    out["dx10_bc3_normal_8x4.dds"] = dx10(77, 8, 4, pixel_flags=DDS_FOURCC | 0x80000000) + rnd(28, 32)
    out["dxt5_normal_5x7.dds"] = header(5, 7, DDS_FOURCC | 0x80000000, b"DXT5") + rnd(29, 64)
    out["dx10_bc7_cube_array_8x4.dds"] = dx10(98, 8, 4, misc=4, array=3) + rnd(22, 32)
    out["dx10_without_fourcc_flag_4x4.dds"] = dx10(61, 4, 4, pixel_flags=0) + rnd(23, 16)
    for name, unit in ((b"ATI1", -8), (b"BC4U", -8), (b"BC4S", -8), (b"ATI2", -16), (b"BC5U", -16),
                       (b"BC5S", -16), (b"DXT2", -16), (b"DXT4", -16)):
        for w, h in ((4, 4), (5, 7)):
            out[f"{name.decode().lower()}_{w}x{h}.dds"] = (header(w, h, DDS_FOURCC, name)
                                                          + rnd(w + h * 3, level(unit, w, h)))
    out["bc5_normal_8x4.dds"] = header(8, 4, DDS_FOURCC | 0x80000000, b"ATI2") + rnd(24, 32)
    out["bc5s_normal_4x4.dds"] = header(4, 4, DDS_FOURCC | 0x80000000, b"BC5S") + rnd(25, 16)
    for number, unit in NUMERIC.items():
        out[f"code{number}_3x2.dds"] = header(3, 2, DDS_FOURCC, struct.pack("<I", number)) + rnd(number, 6 * unit)
    for name, bits, masks, pflags in (("l8", 8, (0xFF, 0, 0, 0), 0x20000),
                                      ("l8_high_mask", 8, (0xFF000000, 0, 0, 0), 0x20000),
                                      ("a4l4", 8, (0x0F, 0, 0, 0xF0), 0x20001),
                                      ("l16", 16, (0xFFFF, 0, 0, 0), 0x20000),
                                      ("a8l8", 16, (0xFF, 0, 0, 0xFF00), 0x20001),
                                      ("a8", 8, (0, 0, 0, 0xFF), 0x2)):
        out[f"lum_{name}_5x3.dds"] = header(5, 3, pflags, bits=bits, masks=masks) + rnd(bits + 1, 15 * bits // 8)
    # Partial blocks stored: every block that touches the image.
    for code, block in ((b"DXT1", 8), (b"DXT5", 16)):
        for w, h in ((5, 7), (1, 1), (2, 9)):
            out[f"{code.decode().lower()}_{w}x{h}_full.dds"] = (header(w, h, DDS_FOURCC, code)
                                                               + rnd(w * 5 + h, level(-block, w, h)))
    # The mobile formats: every FourCC and DXGI number, in whole and partial
    # blocks and smaller than a block; PVRTC1 on its padded word grid; and
    # the codes refused for their own reasons.
    for code, block in ((b"ETC1", 8), (b"ETC ", 8), (b"ETC2", 8), (b"ET2 ", 8), (b"ETCS", 8), (b"ET2A", 16),
                        (b"ETCA", 16), (b"ETCT", 16), (b"ETCP", 8), (b"ETCU", 8), (b"EAC1", 8), (b"EAR ", 8),
                        (b"EAC2", 16), (b"EARG", 16), (b"ATC ", 8), (b"ATCA", 16), (b"ATCE", 16), (b"ATCI", 16)):
        for w, h in ((4, 4), (5, 7), (2, 1)):
            name = code.decode().strip().lower()
            out[f"{name}_{w}x{h}.dds"] = header(w, h, DDS_FOURCC, code) + rnd(w * 11 + h + block, level(-block, w, h))
    for k, (bw, bh) in enumerate(ASTC_FOOTPRINTS):
        blocks = lambda w, h: ((w + bw - 1) // bw) * ((h + bh - 1) // bh) * 16
        hexes = {chr(48 + bw) + chr(48 + bh), "%X%X" % (bw, bh)}
        for spelling in sorted(hexes):
            out[f"astc_{spelling.replace(':', 'a').replace('<', 'c')}_{bw + 1}x{bh}.dds"] = (
                header(bw + 1, bh, DDS_FOURCC, b"AS" + spelling.encode()) + rnd(k * 7 + 1, blocks(bw + 1, bh)))
        for dxgi in (133 + 4 * k, 134 + 4 * k, 135 + 4 * k):
            out[f"dx10_{dxgi}_3x{bh + 2}.dds"] = dx10(dxgi, 3, bh + 2) + rnd(dxgi, blocks(3, bh + 2))
    for code, word in ((b"PTC2", 8), (b"PVR2", 8), (b"PTC4", 4), (b"PVR4", 4)):
        for w, h in ((1, 1), (8, 4), (16, 2), (4, 32), (64, 16)):
            grid = max((w + word - 1) // word, 2) * max((h + 3) // 4, 2)
            out[f"{code.decode().lower()}_{w}x{h}.dds"] = header(w, h, DDS_FOURCC, code) + rnd(w * 3 + h, grid * 8)
    out["astc_no_block_size.dds"] = header(4, 4, DDS_FOURCC, b"ASTC") + rnd(31, 16)
    out["dx10_136_4x4.dds"] = dx10(136, 4, 4) + rnd(32, 16)
    out["eac_signed_4x4.dds"] = header(4, 4, DDS_FOURCC, b"EAS1") + rnd(33, 8)
    out["pvrtc2_8x4.dds"] = header(8, 4, DDS_FOURCC, b"PTC5") + rnd(34, 32)
    out["pvrtc1_6x4.dds"] = header(6, 4, DDS_FOURCC, b"PTC4") + rnd(35, 64)
    # 1-bit rows, pairs of pixels (4:2:2), 4:2:0 planes, palettes and the
    # bump flags, in shapes the vector paths take and odd ones.
    for w, h in ((9, 3), (1, 1), (37, 2)):
        out[f"dx10_66_{w}x{h}.dds"] = dx10(66, w, h) + rnd(w + 66, (w + 7) // 8 * h)
        out[f"code118_{w}x{h}.dds"] = header(w, h, DDS_FOURCC, struct.pack("<I", 118)) + rnd(w + 118, (w + 7) // 8 * h)
    for code, pair in ((68, 4), (69, 4), (107, 4), (108, 8), (109, 8)):
        for w, h in ((5, 3), (37, 2)):
            out[f"dx10_{code}_{w}x{h}.dds"] = dx10(code, w, h) + rnd(code + w, (w + 1) // 2 * pair * h)
    for name in (b"YUY2", b"UYVY", b"RGBG", b"GRGB"):
        out[f"{name.decode().lower()}_37x3.dds"] = header(37, 3, DDS_FOURCC, name) + rnd(name[0], 19 * 4 * 3)
    for code, sample in ((103, 1), (104, 2), (105, 2)):
        for w, h in ((4, 4), (6, 2), (64, 40), (5, 4)):
            out[f"dx10_{code}_{w}x{h}.dds"] = dx10(code, w, h) + rnd(code * w + h, w * h * 3 // 2 * sample)
    for name, flags, bits, index in (("p8", 0x20, 8, 1), ("p8_bits24", 0x20, 24, 1), ("a8p8", 0x21, 16, 2)):
        for w, h in ((5, 3), (40, 30)):
            out[f"{name}_{w}x{h}.dds"] = header(w, h, flags, bits=bits) + rnd(w + bits, 1024 + w * h * index)
    for code, index in ((41, 1), (40, 2)):
        out[f"code{code}_7x5.dds"] = header(7, 5, DDS_FOURCC, struct.pack("<I", code)) + rnd(code, 1024 + 35 * index)
    for name, flags, bits, masks in (("dudv16", 0x80000, 16, (0xFF, 0xFF00, 0, 0)),
                                     ("dudv32_alpha", 0x80001, 32, (0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000)),
                                     ("dudv32", 0x80000, 32, (0xFF, 0xFF00, 0xFF0000, 0xFF000000)),
                                     ("luminance16", 0x40000, 16, (0x1F, 0x3E0, 0xFC00, 0)),
                                     ("luminance24", 0x40000, 24, (0xFF, 0xFF00, 0xFF0000, 0))):
        out[f"bump_{name}_9x4.dds"] = header(9, 4, flags, bits=bits, masks=masks) + rnd(bits + flags, 36 * bits // 8)
    for dxgi, unit in ((31, 4), (37, 4), (100, 4)):
        out[f"dx10_{dxgi}_37x9.dds"] = dx10(dxgi, 37, 9) + rnd(dxgi + 37, 37 * 9 * unit)
    # Refused headers, close to accepted ones.
    out["dxt2_4x4.dds"] = header(4, 4, DDS_FOURCC, b"DXT2") + rnd(1, 16)
    out["dx10_4x4.dds"] = header(4, 4, DDS_FOURCC, b"DX10") + rnd(1, 16)
    out["flag200.dds"] = header(4, 4, DDS_FOURCC, b"DXT1", flags=FLAGS | 0x200) + rnd(1, 8)
    out["short_header.dds"] = header(4, 4, DDS_FOURCC, b"DXT1")[:60]
    out["not_dds.bin"] = b"PNG\x89" + rnd(2, 60)
    out["tiny.bin"] = b"DD"
    # The same files with each control of the trailing bytes: preference
    # set, a failing allocation in the image request, the file truncated,
    # a header byte changed, the file made longer (the bytes are part of
    # the pixels too).
    base = header(8, 8, DDS_RGB | DDS_ALPHA, bits=32, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000))
    pixels = bytearray(rnd(11, 8 * 8 * 4 - 4))
    for name, tail in (("pref_file_order", (0x80, 0x00, 0x00, 0x85)),
                       ("malloc_fails_in_image", (0x00, 0x00, 0x09, 0x00)),
                       ("truncate_between", (0x80, 0x05, 0x00, 0x00)),
                       ("header_byte_between", (0x0C, 0x0E, 0x00, 0x00)),
                       ("append_between", (0x10, 0x07, 0x00, 0x01))):
        out[f"ctl_{name}.dds"] = base + bytes(pixels) + bytes(tail)
    dxt = header(8, 8, DDS_FOURCC, b"DXT5")
    out["ctl_dxt5_truncate.dds"] = dxt + rnd(12, 60) + bytes((0x40, 0x05, 0x00, 0x00))
    return out


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(directory, exist_ok=True)
    for name, data in sorted(files().items()):
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
    print(f"{len(files())} files in {directory}")


if __name__ == "__main__":
    main()
