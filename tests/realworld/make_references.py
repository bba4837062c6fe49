#!/usr/bin/python3
"""Remakes tests/realworld/reference/*.png and tests/realworld/expected.txt.

Run with Debian's own Python and Pillow (apt-get install -y python3-pil;
Pillow 9.4 on Debian 12), not another python3 on PATH:

    /usr/bin/python3 tests/realworld/make_references.py

Every copied file that Pillow can open gets reference/NAME.png: Pillow's
Image.open(file).convert("RGBA"), the top level (the first image of a cube,
array or volume), rows in file order.  expected.txt gets one line per copied
file: the file, what the importer must do with it (type=4 RGB, type=5 RGBA,
or refused=ReasonName) and how its pixels compare with Pillow's picture:

    exact      every channel equal
    within=N   every channel within N
    blocks     DXT1/DXT3/DXT5: colour within 1, alpha equal; DXT1's
               transparent three-colour texels are checked apart (see
               Blocks below)
    reference  Pillow cannot read the file: every channel equal to the
               tests' reference decoder's
    -          no comparison: Pillow cannot read the file, decodes it in a
               way that is not a rounding-sized step from the importer's
               rules, or the importer refuses it

The verdicts below were checked by hand against each file's header and the
importer's decoding rules, then against what `ddsinfo` of the build prints.
They are data here, not read from ddsinfo, so the test holds the importer to
them.  The largest differences quoted were measured with this Pillow against
the importer's own output (ddsimport --pref 1).
"""

import csv
import os
import sys

import PIL
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

# Why a rule was chosen; each key is quoted in the table.
REASONS = {
    # 8-bit channels are stored as they are; cube maps, arrays and volumes
    # start with the first face, element or slice, which Pillow reads too.
    "bytes": "8-bit channels copied; Pillow gives the same bytes",
    # BC4 and unsigned BC5 channels are DXT5 alpha blocks: both decoders
    # mix the endpoints as (n * a0 + m * a1) / 7 (or / 5) truncated.
    "rgtc": "BC4/BC5 channels as DXT5 alpha, the same integer mix in Pillow",
    # BC7 is exact by construction in both.
    "bc7": "BC7 has one exact result",
    # Pillow turns each BC6H half into a float and stores int(f * 255)
    # (truncated, with no rounding term); the importer rounds the half to
    # the nearest 8-bit value.  Measured: ours minus Pillow's is 0 or 1.
    "bc6h": "Pillow truncates float * 255, the importer rounds: ours is 0 or 1 above",
    # Blocks: Pillow widens 5:6:5 colours by replicating their top bits
    # ((v << 3) | (v >> 2), (v << 2) | (v >> 4)) and takes the thirds of
    # those; the importer mixes the fields exactly and rounds.  Replication
    # is within 1 of the exact value, and so are its thirds.  Alpha (DXT3's
    # 4 bits * 17, DXT5's truncated sevenths and fifths) is the same in
    # both, and so is the transparent three-colour texel, (0, 0, 0, 0) (the
    # test checks ours is black and Pillow's alpha 0).  Measured worst: 1.
    "dxt": "Pillow replicates the 5:6:5 bits: colour within 1",
    # Pillow 9.4 decodes signed BC5 into about half the range: a signed
    # channel v lands near 128 + v / 2 (our 255 is its 191, our 1 its 64),
    # where the importer moves the endpoints up by 128 (v + 128).  Up to 64
    # apart: not a rounding difference, so not compared.
    "bc5s": "Pillow halves the signed BC5 range (~128 + v/2, not v + 128); up to 64 apart",
    # Pillow 9.4 reads a 32-bit RGB pixel format without an alpha mask
    # (X8R8G8B8, X8B8G8R8) as 3 bytes a pixel, so every pixel after the
    # first is read from the wrong bytes (up to 202 apart).
    "x8": "Pillow 9.4 reads 32-bit pixels without alpha as 24-bit ones",
    # Pillow 9.4 does not open the file (the DX10 format or legacy code is
    # not one it decodes): no picture.
    "nopillow": "Pillow 9.4 does not read it",
    # Pillow 9.4 does not open the file; the tests' reference decoder reads it.
    "ref": "Pillow 9.4 does not read it; compared with the tests' reference decoder",
    # The importer refuses the file; Pillow's picture, where it makes one,
    # is not compared.
    "refused": "refused by the importer",
}

# file: (verdict, rule, reason key).  Refusals: SmallPalette for 4-bit
# palette indices, UnsupportedDxgiFormat for an unknown DXGI number;
# UnsupportedBitCount for a FourCC of 0 with no bit count and for 24-bit
# luminance; LevelTruncated for a file that ends before the end of its first
# image.
TABLE = {
    "gli__cube_rgba8_unorm.dds": ("type=5", "exact", "bytes"),
    "gli__kueken7_a8_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_bgrx8_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_l8_unorm.dds": ("type=4", "exact", "bytes"),
    "gli__kueken7_r16_unorm.dds": ("type=4", "reference", "ref"),
    "gli__kueken7_r5g6b5_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_r8_sint.dds": ("type=4", "reference", "ref"),
    "gli__kueken7_r8_uint.dds": ("type=4", "-", "nopillow"),
    "gli__kueken7_r_ati1n_unorm.dds": ("type=4", "exact", "rgtc"),
    "gli__kueken7_r_ati1n_unorm_decompressed.dds": ("type=4", "-", "nopillow"),
    "gli__kueken7_rg11b10_ufloat.dds": ("type=4", "-", "nopillow"),
    "gli__kueken7_rg_ati2n_unorm.dds": ("type=4", "exact", "rgtc"),
    "gli__kueken7_rgb10a2_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgb10a2u.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgb5a1_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgb9e5_ufloat.dds": ("type=4", "-", "nopillow"),
    "gli__kueken7_rgba4_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgba8_snorm.dds": ("type=5", "reference", "ref"),
    "gli__kueken7_rgba_dxt1_srgb.dds": ("type=4", "-", "nopillow"),
    "gli__kueken7_rgba_dxt1_unorm.dds": ("type=4", "blocks", "dxt"),
    "gli__kueken7_rgba_dxt3_unorm.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgba_dxt5_srgb.dds": ("type=5", "-", "nopillow"),
    "gli__kueken7_rgba_dxt5_unorm.dds": ("type=5", "blocks", "dxt"),
    "gli__kueken7_rgba_dxt5_unorm2.dds": ("type=5", "-", "nopillow"),
    "gli__test.dds": ("type=5", "blocks", "dxt"),
    "magnum2017__2DMips_R16G16_FLOAT.dds": ("type=4", "-", "nopillow"),
    "magnum2017__2DMips_R16G16_SNORM.dds": ("type=4", "reference", "ref"),
    "magnum2017__2DMips_R16G16_UNORM.dds": ("type=4", "-", "nopillow"),
    "magnum2017__2DMips_R32_FLOAT.dds": ("type=4", "-", "nopillow"),
    "magnum2017__2DMips_R8G8B8A8_UNORM_SRGB.dds": ("type=5", "exact", "bytes"),
    "magnum2017__2D_R16G16B16A16_FLOAT.dds": ("type=5", "-", "nopillow"),
    "magnum2017__2D_R16G16B16A16_UINT.dds": ("type=5", "reference", "ref"),
    "magnum2017__2D_R16G16B16A16_UNORM.dds": ("type=5", "-", "nopillow"),
    "magnum2017__2D_R32G32B32A32_FLOAT.dds": ("type=5", "-", "nopillow"),
    "magnum2017__2D_R32G32B32_FLOAT.dds": ("type=4", "-", "nopillow"),
    "magnum2017__3D_R16G16B16A16_FLOAT.dds": ("type=5", "-", "nopillow"),
    "magnum__bc4snorm.dds": ("type=4", "-", "nopillow"),
    "magnum__bc4unorm.dds": ("type=4", "exact", "rgtc"),
    "magnum__bc5snorm.dds": ("type=4", "-", "bc5s"),
    "magnum__bc5unorm.dds": ("type=4", "exact", "rgtc"),
    "magnum__bc6h.dds": ("type=4", "within=1", "bc6h"),
    "magnum__bc6hs.dds": ("type=4", "within=1", "bc6h"),
    "magnum__bgr8unorm.dds": ("type=5", "exact", "bytes"),
    "magnum__bgra8unorm-3d.dds": ("type=5", "exact", "bytes"),
    "magnum__bgrx8unorm.dds": ("type=5", "-", "x8"),
    "magnum__dxt1-3d.dds": ("type=5", "blocks", "dxt"),
    "magnum__dxt1-cube-mips.dds": ("type=5", "blocks", "dxt"),
    "magnum__dxt1.dds": ("type=5", "blocks", "dxt"),
    "magnum__dxt10-ayuv.dds": ("type=5", "reference", "ref"),
    "magnum__dxt10-bc7-3d.dds": ("type=5", "exact", "bc7"),
    "magnum__dxt10-bc7-cube-mips.dds": ("type=5", "exact", "bc7"),
    "magnum__dxt10-bc7.dds": ("type=5", "exact", "bc7"),
    "magnum__dxt10-bgra8unorm-3d.dds": ("type=5", "-", "nopillow"),
    "magnum__dxt10-format189.dds": ("refused=UnsupportedDxgiFormat", "-", "refused"),
    "magnum__dxt10-r16f-cube.dds": ("type=4", "-", "nopillow"),
    "magnum__dxt10-r8snorm-cube-array.dds": ("type=4", "reference", "ref"),
    "magnum__dxt10-rg16f-1d.dds": ("type=4", "-", "nopillow"),
    "magnum__dxt10-rg32f.dds": ("type=4", "-", "nopillow"),
    "magnum__dxt10-rg8unorm.dds": ("type=4", "-", "nopillow"),
    "magnum__dxt10-rgba16snorm.dds": ("type=5", "reference", "ref"),
    "magnum__dxt10-rgba8srgb.dds": ("type=5", "exact", "bytes"),
    "magnum__dxt10-rgba8unorm-array.dds": ("type=5", "exact", "bytes"),
    "magnum__dxt10-rgba8unorm.dds": ("type=5", "exact", "bytes"),
    "magnum__dxt3-incomplete-blocks.dds": ("type=5", "blocks", "dxt"),
    "magnum__dxt3.dds": ("type=5", "blocks", "dxt"),
    # 3 x 2 DXT4 whose linear size declares its one 16-byte block, 1 byte stored.
    "magnum__dxt4.dds": ("refused=LevelTruncated", "-", "refused"),
    "magnum__dxt5.dds": ("type=5", "blocks", "dxt"),
    "magnum__fourcc-114.dds": ("type=4", "-", "nopillow"),
    "magnum__fourcc-117.dds": ("type=4", "reference", "ref"),
    "magnum__r8unorm.dds": ("type=5", "-", "nopillow"),
    "magnum__rgb8unorm.dds": ("type=5", "exact", "bytes"),
    "magnum__rgba8unorm-3d.dds": ("type=5", "exact", "bytes"),
    "magnum__rgba8unorm-cube-mips.dds": ("type=4", "blocks", "dxt"),
    "magnum__rgba8unorm-cube.dds": ("type=5", "exact", "bytes"),
    "magnum__rgbx8unorm.dds": ("type=5", "-", "x8"),
    "pillow__DXGI_FORMAT_BC7_UNORM_SRGB.dds": ("type=5", "exact", "bc7"),
    "pillow__DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.dds": ("type=5", "exact", "bytes"),
    "pillow__ati1.dds": ("type=4", "exact", "rgtc"),
    "pillow__ati2.dds": ("type=4", "exact", "rgtc"),
    "pillow__bc1.dds": ("type=4", "-", "nopillow"),
    "pillow__bc1_typeless.dds": ("type=4", "-", "nopillow"),
    "pillow__bc4_typeless.dds": ("type=4", "-", "nopillow"),
    "pillow__bc4_unorm.dds": ("type=4", "-", "nopillow"),
    "pillow__bc4u.dds": ("type=4", "-", "nopillow"),
    "pillow__bc5_snorm.dds": ("type=4", "-", "bc5s"),
    "pillow__bc5_typeless.dds": ("type=4", "exact", "rgtc"),
    "pillow__bc5_unorm.dds": ("type=4", "exact", "rgtc"),
    "pillow__bc5s.dds": ("type=4", "-", "bc5s"),
    "pillow__bc5u.dds": ("type=4", "-", "nopillow"),
    "pillow__bc6h.dds": ("type=4", "within=1", "bc6h"),
    "pillow__bc6h_sf.dds": ("type=4", "within=1", "bc6h"),
    "pillow__bc7-argb-8bpp_MipMaps-1.dds": ("type=5", "exact", "bc7"),
    "pillow__bgr15.dds": ("type=5", "-", "nopillow"),
    "pillow__dxt1-rgb-4bbp-noalpha_MipMaps-1.dds": ("type=4", "blocks", "dxt"),
    "pillow__dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds": ("type=5", "blocks", "dxt"),
    "pillow__dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds": ("type=5", "blocks", "dxt"),
    "pillow__dxt5-colorblock-alpha-issue-4142.dds": ("type=5", "blocks", "dxt"),
    "pillow__hopper.dds": ("type=5", "exact", "bytes"),
    "pillow__palette.dds": ("type=5", "reference", "ref"),
    "pillow__uncompressed_l.dds": ("type=4", "exact", "bytes"),
    "pillow__uncompressed_la.dds": ("type=5", "exact", "bytes"),
    # B8G8R8X8_UNORM_SRGB 256 x 256 needs 262144 bytes; 65536 are stored.
    "pillow__unimplemented_dxgi_format.dds": ("refused=LevelTruncated", "-", "refused"),
    "pillow__unimplemented_pfflags.dds": ("refused=SmallPalette", "-", "refused"),
    # FourCC flag with a FourCC of 0 (read by its bit count and masks) and
    # a bit count of 0.
    "pillow__unimplemented_pixel_format.dds": ("refused=UnsupportedBitCount", "-", "refused"),
    # Luminance flag with 24 bits a pixel (Pillow reads it as 8-bit L).
    "pillow__unsupported_bitcount.dds": ("refused=UnsupportedBitCount", "-", "refused"),
    # 24-bit RGB with every mask 0: each channel reads 0, alpha 255.
    "pillow__zero_mask_totals.dds": ("type=5", "-", "nopillow"),
}


def main():
    if not PIL.__version__.startswith("9.4"):
        print(f"make_references: Pillow {PIL.__version__}; the rules were measured with 9.4", file=sys.stderr)
    copied = sorted(f for f in os.listdir(HERE) if f.endswith(".dds"))
    if sorted(TABLE) != copied:
        sys.exit(f"make_references: table and files differ: {sorted(set(TABLE) ^ set(copied))}")
    with open(os.path.join(HERE, "SOURCES.tsv"), newline="") as fh:
        sourced = {row["file"] for row in csv.DictReader(fh, delimiter="\t")}
    if sourced != set(copied):
        sys.exit(f"make_references: SOURCES.tsv and files differ: {sorted(sourced ^ set(copied))}")

    refdir = os.path.join(HERE, "reference")
    os.makedirs(refdir, exist_ok=True)
    lines = [
        "# Written by make_references.py: file, what the importer must do, how its",
        "# pixels compare with reference/NAME.png (Pillow's picture).  Reasons:",
    ]
    lines += [f"#   {key}: {text}" for key, text in REASONS.items()]
    for name in copied:
        verdict, rule, reason = TABLE[name]
        png = os.path.join(refdir, name[:-4] + ".png")
        try:
            with Image.open(os.path.join(HERE, name)) as im:
                picture = im.convert("RGBA")
        except Exception:  # Pillow does not read this file
            picture = None
        if picture is None and rule not in ("-", "reference"):
            sys.exit(f"make_references: {name}: rule {rule} but Pillow makes no picture")
        if picture is None and reason not in ("nopillow", "refused", "ref"):
            sys.exit(f"make_references: {name}: Pillow makes no picture, reason {reason}")
        if picture is not None and reason in ("nopillow", "ref"):
            sys.exit(f"make_references: {name}: Pillow reads it; give it a rule")
        if picture is not None:
            picture.save(png, optimize=True)
        elif os.path.exists(png):
            os.remove(png)
        lines.append(f"{name} {verdict} {rule} {reason}")
    with open(os.path.join(HERE, "expected.txt"), "w") as fh:
        fh.write("\n".join(lines) + "\n")
    print(f"make_references: {len(copied)} files, {len(os.listdir(refdir))} pictures")


if __name__ == "__main__":
    main()
