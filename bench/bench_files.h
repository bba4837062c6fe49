// Test images for the benchmarks: every format the importer decodes, as a
// payload in memory and as a .dds file on disk, from deterministic
// pseudo-random data.
#ifndef BENCH_BENCH_FILES_H
#define BENCH_BENCH_FILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"
#include "qvhost.h"

// The ASTC and PVRTC1 block formats, whose payloads are made apart.
constexpr bool benchIsAstc(BlockFormat f) { return f >= BlockFormat::Astc4x4 && f <= BlockFormat::Astc12x12; }
constexpr bool benchIsPvrtc(BlockFormat f) { return f == BlockFormat::Pvrtc4 || f == BlockFormat::Pvrtc2; }

// The median of one rate a repetition; 0 for none.
double benchMedian(std::vector<double> values);

// Dxt1Rgb to Dxt5 from random blocks; Bc4 to Bc7 from the top-level blocks
// of real files (DDSIMAGE_REALWORLD_DIR) repeated over the image; Mobile:
// the ETC, EAC, ATC and PVRTC1 formats from random blocks (every block
// that touches the image; PVRTC1 its word grid), ASTC from a photograph
// compressed by libastcenc (benchAstcPayload); Layout: random pixels of a
// layout that is not masks (SNORM, YUV, a palette), named by its FourCC
// field and DXGI format.
enum class BenchKind { Dxt1Rgb, Dxt1Rgba, Dxt3, Dxt5, Masks, Bc4, Bc5, Bc6h, Bc6hSigned, Bc7, Mobile, Layout };

struct BenchFormat {
    const char *name;
    BenchKind kind;
    uint32_t bits;        // uncompressed and Layout: bits a pixel
    uint32_t r, g, b, a;  // uncompressed masks
    uint32_t pixelFlags;  // DDS pixel-format flags
    uint32_t fourCC = 0;  // Mobile and Layout: the FourCC field ("DX10" for a DXGI format)...
    uint32_t dxgi = 0;    // ...and the DX10 record's format
    uint32_t outputBytes = 4;  // Layout: bytes a pixel in the host's buffer
    BlockFormat blocks = BlockFormat::Uncompressed;  // Mobile: the block format
};

// DXT1 four-colour (Rgb), DXT1 three-colour (Rgba), DXT3, DXT5, 32-bit
// 8:8:8:8, 32-bit 2:10:10:10, 24-bit, 16-bit 5:6:5 and 4:4:4:4, 8-bit 3:3:2,
// then BC4, BC5, BC6H (unsigned and signed) and BC7 tiled from real files,
// then ETC2 RGB (and ETC1), punch-through and RGBA, EAC R11 and RG11, the
// three ATC formats, the fourteen ASTC footprints and PVRTC1 at 4 and 2 bpp,
// then R8G8B8A8_SNORM, R16G16_SNORM, YUY2, AYUV and P8, then the float
// layouts R16G16B16A16_FLOAT, R32G32B32A32_FLOAT and R11G11B10_FLOAT.
const std::vector<BenchFormat> &benchFormats();

bool benchIsBlock(const BenchFormat &format);
bool benchIsMobile(const BenchFormat &format);
bool benchIsLayout(const BenchFormat &format);
// BC6H and the float layouts: the values the HDR preferences map.
bool benchHasHdrValues(const BenchFormat &format);
// Tiled from a real file (BC4 to BC7), and that file's name.
bool benchIsTiled(const BenchFormat &format);
const char *benchTileSource(const BenchFormat &format);
// Bytes a pixel in the host's buffer: 3 for DXT1 four-colour, BC4, BC5,
// BC6H, ETC2 RGB, EAC and ATC RGB files and the layouts without alpha,
// else 4.
uint32_t benchOutputBytesPerPixel(const BenchFormat &format);

// The top level's bytes.  Every DXT1 block of a Dxt1Rgb payload is in
// four-colour mode, every one of a Dxt1Rgba payload in three-colour mode.
// A tiled payload is empty when its file cannot be read.  A palette's 1024
// bytes come first.
std::vector<uint8_t> benchPayload(const BenchFormat &format, uint32_t width, uint32_t height);

// ASTC blocks of a blockWidth x blockHeight footprint covering width x
// height: the 256 x 256 photograph of DDSIMAGE_REALWORLD_DIR tiled to
// 1024 x 1024 (each tile mirrored and tinted its own way), compressed by
// libastcenc at its medium preset, its whole blocks repeated.  Empty where
// the benchmark is built without libastcenc or the photograph is missing.
std::vector<uint8_t> benchAstcPayload(unsigned blockWidth, unsigned blockHeight, uint32_t width, uint32_t height);

// The whole file: magic, header, payload.
std::vector<uint8_t> benchFile(const BenchFormat &format, uint32_t width, uint32_t height);

// Writes the file to `directory` (once; reused when present) and returns
// its path.
std::string benchFilePath(const std::string &directory, const BenchFormat &format, uint32_t width,
                          uint32_t height);

// The plug-in (DDSIMAGE_BENCH_PLUGIN, or the one built beside), loaded by
// path and started against the stand-in host once; null when it cannot be.
const QvHostImporter *benchStartedImporter();

#endif
