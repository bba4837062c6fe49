#!/usr/bin/env python3
"""Writes the hostile files of tests/crashers and their manifest,
expected.txt, which tests/crashers_test.cpp replays through the loaded
plug-in.  Python 3 standard library only.

Each entry below is a file and what the importer must answer for it, worked
out from the importer's rules (README, "behaviour it can rely on"), not from
running it:

    open      status of the open callback (0, -2, -6)
    info      status of the information query (0, -8), "-" when not opened
    image     status of the image request (0, -8), "-" when not opened
    w h type  what the query reports when it succeeds, else "-"
    check     "-", or a rule every pixel of the image must meet:
              pixel=HEX  every pixel is these bytes (3 for type 4, 4 for 5)
              alpha=HH   every pixel's alpha byte is HH
    reason    why an opened file is refused (the importer's reason name,
              as ddsinfo prints it), "-" when it is not

    python3 tests/crashers/make_crashers.py   (rewrites the files in place)
"""
import os
import struct

FOURCC = 0x4
RGB = 0x40
ALPHA = 0x1
FLAGS = 0x1007
LINEAR = 0x80000
MIPS = 0x20000


def header(width, height, pixel_flags, fourcc=b"\0\0\0\0", bits=0, masks=(0, 0, 0, 0),
           flags=FLAGS, linear=0, mips=0, depth=0):
    words = [124, flags, height & 0xFFFFFFFF, width & 0xFFFFFFFF, linear & 0xFFFFFFFF, depth & 0xFFFFFFFF,
             mips & 0xFFFFFFFF] + [0] * 11
    pf = struct.pack("<II4sIIIII", 32, pixel_flags, fourcc, bits & 0xFFFFFFFF,
                     *(m & 0xFFFFFFFF for m in masks))
    return b"DDS " + struct.pack("<18I", *words) + pf + struct.pack("<5I", 0x1000, 0, 0, 0, 0)


def dxt(code, width, height, **kw):
    return header(width, height, FOURCC, code, **kw)


def dx10(dxgi, width, height, misc=0, array=1, flags2=0, dimension=3, **kw):
    """A header with the FourCC "DX10" and its 20-byte record."""
    return dxt(b"DX10", width, height, **kw) + struct.pack("<5I", dxgi, dimension, misc, array & 0xFFFFFFFF, flags2)


def data(count, seed=1):
    """Deterministic filler bytes whose last four, which the fuzzer also
    reads as its controls, are zero: no injected failure on replay."""
    state = seed * 2654435761 + 1
    out = bytearray()
    for _ in range(count):
        state = (state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        out.append(state >> 56)
    if count >= 4:
        out[-4:] = b"\0\0\0\0"
    return bytes(out)


# A DXT1 block in four-colour mode (color0 > color1), every index 0: every
# pixel is color0, pure red 0xF800, which is (255, 0, 0).
OPAQUE_RED = struct.pack("<HHI", 0xF800, 0x001F, 0)

RGBA32 = dict(bits=32, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000))

# name: (bytes, open, info, image, width, height, type, check, reason)
REFUSED = (0, -8, -8, None, None, None, None)


def refused(contents, reason):
    return (contents,) + REFUSED + (reason,)


def dxt1_type(width, height, level):
    """5 (RGBA) when the first DXT1 block is in three-colour mode or a texel
    inside the image is transparent (index 3 of a three-colour block), else
    4.  `level` holds every block that touches the image."""
    across = (width + 3) // 4
    for i in range((height + 3) // 4 * across):
        color0, color1, rows = struct.unpack("<HHI", level[8 * i:8 * i + 8])
        if i == 0 and color0 <= color1:
            return 5
        for r in range(4):
            for col in range(4):
                inside = 4 * (i % across) + col < width and 4 * (i // across) + r < height
                if inside and color0 <= color1 and (rows >> (8 * r + 2 * col)) & 3 == 3:
                    return 5
    return 4


def cases():
    c = {}
    # width * height * 4 past 32 bits, dimensions past 2^31 - 1, or 0.
    c["dxt1_32768x32768_wraps_32_bits.dds"] = refused(dxt(b"DXT1", 32768, 32768) + data(64), "ImageTooLarge")
    c["dxt1_65536x65536_wraps_to_0.dds"] = refused(dxt(b"DXT1", 65536, 65536) + data(64), "ImageTooLarge")
    c["rgb32_65536x16384_wraps_to_0.dds"] = refused(header(65536, 16384, RGB, **RGBA32) + data(64), "ImageTooLarge")
    c["dxt1_width_2p31.dds"] = refused(dxt(b"DXT1", 0x80000000, 4) + data(64), "DimensionTooLarge")
    c["rgb32_height_2p31.dds"] = refused(header(1, 0x80000000, RGB, **RGBA32) + data(64), "DimensionTooLarge")
    c["dxt5_width_ffffffff.dds"] = refused(dxt(b"DXT5", 0xFFFFFFFF, 4) + data(64), "DimensionTooLarge")
    c["dxt1_width_0.dds"] = refused(dxt(b"DXT1", 0, 4) + data(8), "ZeroDimension")
    c["rgb32_height_0.dds"] = refused(header(4, 0, RGB, **RGBA32) + data(64), "ZeroDimension")
    # Huge dimensions in a 128-byte file.
    c["rgb32_ffffff_x4_header_only.dds"] = refused(header(0xFFFFFF, 4, RGB, **RGBA32), "LevelTruncated")
    c["dxt1_ffffff_x4_header_only.dds"] = refused(dxt(b"DXT1", 0xFFFFFF, 4), "LevelTruncated")
    c["rgb32_16384x16384_header_only.dds"] = refused(header(16384, 16384, RGB, **RGBA32), "LevelTruncated")
    # Truncated headers and data.
    c["empty.dds"] = (b"", -2, None, None, None, None, None, None, None)
    c["three_bytes.dds"] = (b"DDS", -2, None, None, None, None, None, None, None)
    c["magic_only.dds"] = refused(b"DDS ", "HeaderTruncated")
    c["header_cut_at_64.dds"] = refused(dxt(b"DXT1", 4, 4)[:64], "HeaderTruncated")
    c["header_one_byte_short.dds"] = refused(dxt(b"DXT1", 4, 4)[:127], "HeaderTruncated")
    c["lowercase_magic.dds"] = (b"dds " + dxt(b"DXT1", 4, 4)[4:] + OPAQUE_RED,
                                -6, None, None, None, None, None, None, None)
    c["dxt5_16x16_half_the_data.dds"] = refused(dxt(b"DXT5", 16, 16) + data(128), "LevelTruncated")
    c["rgb24_5x3_one_byte_short.dds"] = refused(
        header(5, 3, RGB, bits=24, masks=(0xFF0000, 0xFF00, 0xFF, 0)) + data(44), "LevelTruncated")
    # A 24-bit file that ends at its last pixel is whole: the last pixel is
    # three bytes.  Stored bytes 10 20 30 are B, G, R.
    c["rgb24_5x3_ends_at_last_pixel.dds"] = (
        header(5, 3, RGB, bits=24, masks=(0xFF0000, 0xFF00, 0xFF, 0)) + bytes([0x10, 0x20, 0x30]) * 15,
        0, 0, 0, 5, 3, 5, "pixel=302010ff", None)
    c["rgb24_1x1_ends_at_last_pixel.dds"] = (
        header(1, 1, RGB, bits=24, masks=(0xFF0000, 0xFF00, 0xFF, 0)) + bytes([0x11, 0x22, 0x33]),
        0, 0, 0, 1, 1, 5, "pixel=332211ff", None)
    # Linear sizes.
    c["dxt1_64x64_linear_size_8.dds"] = refused(dxt(b"DXT1", 64, 64, flags=FLAGS | LINEAR, linear=8)
                                                + OPAQUE_RED * 256, "LinearSizeTooSmall")
    c["dxt1_8x8_linear_size_2p31m1.dds"] = refused(
        dxt(b"DXT1", 8, 8, flags=FLAGS | LINEAR, linear=0x7FFFFFFF) + OPAQUE_RED * 4, "LevelTruncated")
    c["dxt1_8x8_linear_size_ffffffff.dds"] = refused(
        dxt(b"DXT1", 8, 8, flags=FLAGS | LINEAR, linear=0xFFFFFFFF) + OPAQUE_RED * 4, "LevelTooLarge")
    c["dxt1_8x8_linear_size_0.dds"] = (dxt(b"DXT1", 8, 8, flags=FLAGS | LINEAR, linear=0) + OPAQUE_RED * 4,
                                       0, 0, 0, 8, 8, 4, "pixel=ff0000", None)
    # Mip counts and the refused header flag.
    c["dxt1_mip_count_0.dds"] = refused(dxt(b"DXT1", 4, 4, flags=FLAGS | MIPS, mips=0) + OPAQUE_RED, "MipCountBelowOne")
    c["dxt1_mip_count_minus_1.dds"] = refused(dxt(b"DXT1", 4, 4, flags=FLAGS | MIPS, mips=-1) + OPAQUE_RED, "MipCountBelowOne")
    c["dxt1_mip_count_2p31m1.dds"] = (dxt(b"DXT1", 4, 4, flags=FLAGS | MIPS, mips=0x7FFFFFFF) + OPAQUE_RED,
                                      0, 0, 0, 4, 4, 4, "pixel=ff0000", None)
    c["dxt1_header_flag_200.dds"] = refused(dxt(b"DXT1", 4, 4, flags=FLAGS | 0x200) + OPAQUE_RED, "HeaderFlagRefused")
    # FourCC oddities.
    c["fourcc_0_bit_count_0.dds"] = refused(header(4, 4, FOURCC) + data(64), "UnsupportedBitCount")
    # Sized as one 16-byte block, but 4 x 4 pixels of 4 bytes are 64.
    c["fourcc_0_bits32_sized_as_a_block.dds"] = refused(
        header(4, 4, FOURCC, bits=32, masks=(0xFF, 0xFF00, 0xFF0000, 0)) + data(64), "LinearSizeTooSmall")
    c["fourcc_0_bits32_linear_size_64.dds"] = (
        header(4, 4, FOURCC, bits=32, masks=(0xFF, 0xFF00, 0xFF0000, 0), flags=FLAGS | LINEAR, linear=64)
        + bytes([1, 2, 3, 4]) * 16, 0, 0, 0, 4, 4, 5, "pixel=010203ff", None)
    c["fourcc_unknown.dds"] = refused(dxt(b"ABCD", 4, 4) + data(64), "UnsupportedFourCC")
    c["fourcc_dx10_128_bytes.dds"] = refused(dxt(b"DX10", 4, 4), "Dx10HeaderTruncated")
    c["fourcc_dxt2.dds"] = (dxt(b"DXT2", 4, 4) + data(16), 0, 0, 0, 4, 4, 5, None, None)
    c["fourcc_dxt4.dds"] = (dxt(b"DXT4", 4, 4) + data(16), 0, 0, 0, 4, 4, 5, None, None)
    # The DX10 record: cut short, an unknown format, arrays of none or of
    # 2^32 - 1 elements, a cube map that holds one face, a depth that would
    # overflow any product, levels too large for the host.  Only the first
    # image is read.
    c["dx10_record_cut_at_140.dds"] = refused(dx10(98, 4, 4)[:140], "Dx10HeaderTruncated")
    c["dx10_unknown_dxgi_200.dds"] = refused(dx10(200, 4, 4) + data(64), "UnsupportedDxgiFormat")
    c["dx10_r8_typeless.dds"] = refused(dx10(60, 4, 4) + data(16), "TypelessFormat")
    # A palette of one grey, a single pixel of a pair, a 1-bit row of two
    # bytes, bump masks above the pixel (signed zeros), the most negative
    # 32-bit integers.
    zero = bytes(4)
    c["p8_4x4_one_grey.dds"] = (header(4, 4, 0x20, bits=24) + bytes([0x5A, 0x5A, 0x5A, 0x80]) * 256 + bytes(16),
                                0, 0, 0, 4, 4, 5, "pixel=5a5a5a80", None)
    c["yuy2_1x1_white.dds"] = (dxt(b"YUY2", 1, 1) + bytes([235, 128, 235, 128]) + zero, 0, 0, 0, 1, 1, 4,
                               "pixel=ffffff", None)
    c["r1_9x1.dds"] = (dx10(66, 9, 1) + bytes([0xFF, 0x80]) + zero, 0, 0, 0, 9, 1, 4, "pixel=ffffff", None)
    c["bump_dudv_masks_above_pixel.dds"] = (header(2, 2, 0x80000, bits=16, masks=(0xFF0000, 0xFF000000, 0, 0))
                                            + data(8), 0, 0, 0, 2, 2, 4, "pixel=808000", None)
    c["dx10_r32g32b32a32_sint_most_negative.dds"] = (dx10(4, 1, 1) + struct.pack("<4I", *[0x80000000] * 4) + zero,
                                                     0, 0, 0, 1, 1, 5, "pixel=01010101", None)
    # The extended-range layout, red 639, green 384, blue 1023, alpha 1:
    # (639 - 384) / 510 is 0.5, 127.5 rounds up to 128; 0; 255; 85.
    xr_bias = struct.pack("<I", 639 | 384 << 10 | 1023 << 20 | 1 << 30)
    c["dx10_xr_bias_2x1.dds"] = (dx10(89, 2, 1) + xr_bias * 2 + zero, 0, 0, 0, 2, 1, 5, "pixel=8000ff55", None)
    c["code_119_xr_bias_1x1.dds"] = (dxt(struct.pack("<I", 119), 1, 1) + xr_bias + zero, 0, 0, 0, 1, 1, 5,
                                     "pixel=8000ff55", None)
    c["dx10_array_size_0.dds"] = (dx10(71, 4, 4, array=0) + OPAQUE_RED, 0, 0, 0, 4, 4, 4, "pixel=ff0000", None)
    c["dx10_bc1_array_size_ffffffff.dds"] = (dx10(71, 4, 4, array=0xFFFFFFFF) + OPAQUE_RED,
                                             0, 0, 0, 4, 4, 4, "pixel=ff0000", None)
    c["dx10_rgba8_cube_one_face.dds"] = (dx10(28, 4, 4, misc=0x4, flags=FLAGS, mips=0) + bytes([1, 2, 3, 4]) * 16,
                                         0, 0, 0, 4, 4, 5, "pixel=01020304", None)
    c["dx10_bc1_depth_ffffffff.dds"] = (dx10(71, 4, 4, dimension=4, flags=FLAGS | 0x800000, depth=0xFFFFFFFF)
                                        + OPAQUE_RED, 0, 0, 0, 4, 4, 4, "pixel=ff0000", None)
    c["dx10_bc7_2p29m1x1_header_only.dds"] = refused(dx10(98, (1 << 29) - 1, 1), "LevelTruncated")
    c["dx10_rgba32f_16384x8192_header_only.dds"] = refused(dx10(2, 16384, 8192), "LevelTooLarge")
    c["pixel_flags_0.dds"] = refused(header(4, 4, 0, **RGBA32) + data(64), "NoPixelFormat")
    # Luminance is grey, alpha-only is (0, 0, 0, a).
    c["pixel_flags_luminance.dds"] = (header(4, 4, 0x20000, bits=8, masks=(0xFF, 0, 0, 0)) + bytes([0x5A] * 16),
                                      0, 0, 0, 4, 4, 4, "pixel=5a5a5a", None)
    c["pixel_flags_alpha_only.dds"] = (header(4, 4, 0x2, bits=8, masks=(0, 0, 0, 0xFF)) + bytes([0x5A] * 16),
                                       0, 0, 0, 4, 4, 5, "pixel=0000005a", None)
    c["dxt5_bit_count_0.dds"] = (dxt(b"DXT5", 4, 4) + data(16), 0, 0, 0, 4, 4, 5, None, None)
    # The fourCC flag wins over the RGB flag: 8 bytes are a DXT1 block, far
    # too few for 4 x 4 pixels of 32 bits.
    c["dxt1_with_rgb_flag_bits32.dds"] = (
        header(4, 4, FOURCC | RGB, b"DXT1", **RGBA32) + OPAQUE_RED, 0, 0, 0, 4, 4, 4, "pixel=ff0000", None)
    # Bit counts and masks.
    for bits, name in ((0, "0"), (12, "12"), (48, "48"), (0xFFFFFFFF, "ffffffff")):
        c[f"rgb_bit_count_{name}.dds"] = refused(header(4, 4, RGB, bits=bits, masks=(0xFF, 0, 0, 0)) + data(128),
                                                 "UnsupportedBitCount")
    c["rgb32_masks_0.dds"] = (header(2, 2, RGB, bits=32) + data(16), 0, 0, 0, 2, 2, 5, "pixel=000000ff", None)
    c["rgb32_masks_ffffffff.dds"] = (
        header(2, 2, RGB | ALPHA, bits=32, masks=(0xFFFFFFFF,) * 4) + bytes(16), 0, 0, 0, 2, 2, 5, "pixel=00000000", None)
    c["rgb16_mask_0f0f_not_contiguous.dds"] = (
        header(3, 2, RGB, bits=16, masks=(0x0F0F, 0xF0F0, 0, 0)) + data(12), 0, 0, 0, 3, 2, 5, "alpha=ff", None)
    c["rgb32_masks_overlapping.dds"] = (
        header(2, 3, RGB | ALPHA, bits=32, masks=(0xFFFF, 0xFF00FF, 0xFFFFFF00, 0xFF0000FF)) + bytes(24),
        0, 0, 0, 2, 3, 5, "pixel=00000000", None)
    c["rgb8_masks_wider_than_the_pixel.dds"] = (
        header(3, 3, RGB | ALPHA, bits=8, masks=(0xFF00, 0xFF0000, 0xFF000000, 0xF00)) + data(9, 5),
        0, 0, 0, 3, 3, 5, "pixel=00000000", None)
    c["rgb16_masks_wider_than_the_pixel.dds"] = (
        header(2, 2, RGB, bits=16, masks=(0xFF0000, 0xFF000000, 0xF0000, 0)) + data(8, 6),
        0, 0, 0, 2, 2, 5, "pixel=000000ff", None)
    c["rgb32_alpha_mask_without_alpha_flag.dds"] = (
        header(4, 2, RGB, **RGBA32) + data(32, 7), 0, 0, 0, 4, 2, 5, "alpha=ff", None)
    # Block images smaller than a block, or with blocks that cross an edge:
    # decoded, clipped, when the file holds those blocks.
    for code, w, h in ((b"DXT5", 1, 1), (b"DXT5", 2, 2), (b"DXT1", 2, 2), (b"DXT1", 5, 3), (b"DXT1", 4, 1),
                       (b"DXT3", 3, 4)):
        kind = dxt1_type(w, h, data(64)) if code == b"DXT1" else 5
        c[f"{code.decode().lower()}_{w}x{h}.dds"] = (dxt(code, w, h) + data(64), 0, 0, 0, w, h, kind, None, None)
    # No whole block, and too few bytes for the partial ones, or a linear
    # size that declares fewer.
    c["dxt5_1x4097.dds"] = refused(dxt(b"DXT5", 1, 4097) + data(64), "LevelTruncated")
    c["dxt1_2x2_linear_size_4.dds"] = refused(dxt(b"DXT1", 2, 2, flags=FLAGS | LINEAR, linear=4) + OPAQUE_RED,
                                              "NoWholeBlock")
    c["dxt1_5x5_one_whole_block.dds"] = (dxt(b"DXT1", 5, 5) + OPAQUE_RED, 0, 0, 0, 5, 5, 4, None, None)
    # The mobile formats: codes refused with their own reasons, files
    # without their partial blocks or shorter than the padded PVRTC1 grid,
    # and images smaller than a block.
    c["astc_fourcc_without_block_size.dds"] = refused(dxt(b"ASTC", 4, 4) + data(16), "AstcWithoutBlockSize")
    c["dx10_astc_dxgi_136.dds"] = refused(dx10(136, 4, 4) + data(16), "AstcDxgiUnassigned")
    c["dx10_dxgi_0.dds"] = refused(dx10(0, 4, 4) + data(16), "UnsupportedDxgiFormat")
    c["eac_signed_eas2.dds"] = refused(dxt(b"EAS2", 4, 4) + data(16), "SignedEac")
    c["pvrtc2_ptc5.dds"] = refused(dxt(b"PTC5", 8, 4) + data(32), "Pvrtc2")
    c["pvrtc1_6x4.dds"] = refused(dxt(b"PTC4", 6, 4) + data(64), "PvrtcNotPowerOfTwo")
    c["pvrtc1_4x4_31_bytes.dds"] = refused(dxt(b"PTC4", 4, 4) + data(31), "LevelTruncated")
    c["pvrtc1_65536x4096_header_only.dds"] = refused(dxt(b"PVR2", 65536, 4096), "LevelTruncated")
    c["etc1_5x5_one_whole_block.dds"] = refused(dxt(b"ETC1", 5, 5) + data(8), "LevelTruncated")
    c["pvrtc1_1x1.dds"] = (dxt(b"PTC4", 1, 1) + data(32), 0, 0, 0, 1, 1, 5, None, None)
    c["dx10_astc_4x4_srgb_5x5.dds"] = (dx10(135, 5, 5) + data(64), 0, 0, 0, 5, 5, 5, None, None)
    # ATC RGB colour 0 is 5:5:5 red in mode 0; every index 0 picks it.
    c["atc_1x1.dds"] = (dxt(b"ATC ", 1, 1) + struct.pack("<HHI", 0x7C00, 0, 0), 0, 0, 0, 1, 1, 4, "pixel=ff0000", None)
    # An LDR void-extent block (no extent) of UNORM16 (65535, 0, 32768,
    # 65535): 255, 0, (255 * 32768 + 32768) >> 16 = 128, 255.
    void_extent = bytes([0xFC, 0xFD]) + b"\xff" * 6 + struct.pack("<4H", 0xFFFF, 0, 0x8000, 0xFFFF)
    c["astc_12x12_1x1_void_extent.dds"] = (dxt(b"ASCC", 1, 1) + void_extent, 0, 0, 0, 1, 1, 5, "pixel=ff0080ff", None)
    return c


def field(value):
    return "-" if value is None else str(value)


def main():
    directory = os.path.dirname(os.path.abspath(__file__))
    lines = ["# file open info image width height type check reason  (written by make_crashers.py)"]
    for name, (contents, *expected) in sorted(cases().items()):
        with open(os.path.join(directory, name), "wb") as f:
            f.write(contents)
        lines.append(" ".join([name] + [field(v) for v in expected]))
    with open(os.path.join(directory, "expected.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{len(lines) - 1} files in {directory}")


if __name__ == "__main__":
    main()
