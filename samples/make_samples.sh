#!/usr/bin/env bash
# Remakes the sample textures in samples/ and the reference PNGs in
# tests/reference/. Run by hand from anywhere; CI only uses the committed files.
#
# Needs (Debian 12):  apt-get install -y imagemagick libsquish-dev g++ python3 libnvtt-bin python3-pil
#   - ImageMagick 6 (convert-im6.q16): encodes DXT1 (opaque), DXT5, 24/32-bit
#     uncompressed, and decodes every sample into the reference PNGs
#   - libsquish + g++: builds writer/ddswrite.cpp, our own small writer for
#     DXT1 with 1-bit alpha, DXT3, X8R8G8B8, R5G6B5, A4R4G4B4 and R3G3B2
#   - python3 (standard library only): gen_source.py draws the pictures,
#     ddsinfo.py prints headers and DXT colour-block modes
#   - nvcompress (libnvtt-bin): encodes BC4 (ATI1) and BC5 (ATI2)
#   - Debian's /usr/bin/python3 with Pillow (python3-pil): decodes the BC4,
#     BC5, BC6H, BC7 and L8 samples into their reference PNGs, which
#     ImageMagick 6 cannot read
#   - bc6h.dds and bc7.dds are copies of real files in tests/realworld
#
# Re-runnable: it overwrites the outputs. Output is deterministic for a given
# ImageMagick / libsquish version.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
ref="$root/tests/reference"
mkdir -p "$ref"

# Call ImageMagick 6 by its own name when it is there.
IM="${IM_CONVERT:-$(command -v convert-im6.q16 || command -v convert)}"
IDENTIFY="${IM_IDENTIFY:-$(command -v identify-im6.q16 || command -v identify)}"
PY="${PYTHON:-python3}"
PIL_PY="${PILLOW_PYTHON:-/usr/bin/python3}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

g++ -std=c++17 -O2 -Wall -Wextra -o "$work/ddswrite" "$here/writer/ddswrite.cpp" -lsquish

src() {  # src NAME W H none|ramp|cutout  -> $work/NAME.pam
    "$PY" "$here/gen_source.py" "$work/$1.pam" "$2" "$3" "$4"
}

src opaque64    64 64 none
src ramp64      64 64 ramp
src cutout64x32 64 32 cutout
src ramp37x22   37 22 ramp
src ramp48x32   48 32 ramp
src ramp32      32 32 ramp
src opaque32x48 32 48 none
src opaque30x20 30 20 none
src opaque33x24 33 24 none
src opaque27x16 27 16 none
src opaque40x24 40 24 none

# --- ImageMagick encodes
"$IM" "$work/opaque64.pam"  -define dds:compression=dxt1 -define dds:mipmaps=0 "$here/dxt1_opaque.dds"
"$IM" "$work/ramp64.pam"    -define dds:compression=dxt5 "$here/dxt5.dds"   # keeps IM's full mip chain
"$IM" "$work/ramp37x22.pam" -define dds:compression=dxt5 -define dds:mipmaps=0 "$here/dxt5_odd_size.dds"
"$IM" "$work/ramp48x32.pam" -define dds:compression=none -define dds:mipmaps=0 "$here/rgba32.dds"
"$IM" "$work/opaque30x20.pam" -define dds:compression=none -define dds:mipmaps=0 "$here/rgb24.dds"

# --- our own writer (libsquish for the block formats)
"$work/ddswrite" dxt1a    "$work/cutout64x32.pam" "$here/dxt1_alpha.dds"
"$work/ddswrite" dxt3     "$work/ramp64.pam"      "$here/dxt3.dds"
"$work/ddswrite" rgb32    "$work/opaque32x48.pam" "$here/rgb32.dds"
"$work/ddswrite" rgb565   "$work/opaque33x24.pam" "$here/rgb565.dds"
"$work/ddswrite" argb4444 "$work/ramp32.pam"      "$here/argb4444.dds"
"$work/ddswrite" rgb332   "$work/opaque27x16.pam" "$here/rgb332.dds"
"$work/ddswrite" l8       "$work/opaque40x24.pam" "$here/l8.dds"
"$work/ddswrite" rgba16f  "$work/ramp32.pam"      "$here/rgba16f.dds"

# --- nvcompress (reads PNG, not PAM).  Its BC4 encodes the picture's alpha
# (an opaque picture gives one grey), so bc4.dds is the alpha ramp of ramp64.
"$IM" "$work/opaque64.pam" "$work/opaque64.png"
"$IM" "$work/ramp64.pam" "$work/ramp64.png"
nvcompress -bc4 -nomips "$work/ramp64.png" "$here/bc4.dds" >/dev/null
nvcompress -bc5 -nomips "$work/opaque64.png" "$here/bc5.dds" >/dev/null

# --- real files (see tests/realworld/SOURCES.tsv)
cp "$root/tests/realworld/pillow__bc6h.dds" "$here/bc6h.dds"
cp "$root/tests/realworld/magnum__dxt10-bc7.dds" "$here/bc7.dds"

# --- check the properties the tests rely on
info() { "$PY" "$here/ddsinfo.py" "$1"; }
need() {  # need FILE PATTERN
    # grep reads to the end (no -q): with pipefail, ddsinfo.py must not
    # meet a closed pipe.
    if ! info "$here/$1" | grep -- "$2" >/dev/null; then
        echo "make_samples: $1 lacks: $2" >&2
        info "$here/$1" >&2
        exit 1
    fi
}
need dxt1_opaque.dds "first block: four-colour"
need dxt1_opaque.dds " 0 three-colour"
need dxt1_alpha.dds  "first block: three-colour"
need rgba32.dds      "flags=0x41 .*bits=32 R=0xFF0000 G=0xFF00 B=0xFF A=0xFF000000"
need rgb24.dds       "flags=0x40 .*bits=24 R=0xFF0000 G=0xFF00 B=0xFF A=0x0"

# --- reference PNGs, decoded by ImageMagick (top level only, RGBA, first
# stored row = top row). The date/time chunks are left out so that a re-run
# gives identical files. ImageMagick 6 reads 8-bit uncompressed DDS as grey
# levels, so rgb332.dds gets no reference.
for f in dxt1_opaque dxt1_alpha dxt3 dxt5 dxt5_odd_size rgba32 rgb32 rgb24 rgb565 argb4444; do
    "$IM" "$here/$f.dds[0]" -define png:color-type=6 -define png:exclude-chunks=date,time "$ref/$f.png"
done
# rgba16f.dds holds each channel of ramp32 as v / 255 in the nearest half,
# which reads back to v exactly: its reference is the picture it was made of.
"$IM" "$work/ramp32.pam" -define png:color-type=6 -define png:exclude-chunks=date,time "$ref/rgba16f.png"
# Pillow's pictures (RGBA, top level, file row order).
for f in bc4 bc5 bc6h bc7 l8; do
    "$PIL_PY" -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).convert("RGBA").save(sys.argv[2], optimize=True)' \
        "$here/$f.dds" "$ref/$f.png"
done

for f in "$here"/*.dds; do info "$f"; done
"$IDENTIFY" "$ref"/*.png
