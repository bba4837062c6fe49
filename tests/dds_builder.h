// Builds DDS files in memory for tests: header fields plus a payload, and
// writes them to temporary files.
#ifndef TESTS_DDS_BUILDER_H
#define TESTS_DDS_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"

struct DdsFields {
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t height = 4;
    uint32_t width = 4;
    uint32_t pitchOrLinearSize = 0;
    int32_t mipMapCount = 0;
    uint32_t pixelFlags = 0x4;
    uint32_t fourCC = 0;
    uint32_t rgbBitCount = 0;
    uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
};

constexpr uint32_t fourCC(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

// The ASTC and PVRTC1 block formats, which the tests build apart.
constexpr bool isAstc(BlockFormat f) { return f >= BlockFormat::Astc4x4 && f <= BlockFormat::Astc12x12; }
constexpr bool isPvrtc(BlockFormat f) { return f == BlockFormat::Pvrtc4 || f == BlockFormat::Pvrtc2; }

// Header fields of common files.
DdsFields dxtFields(const char (&code)[5], uint32_t width, uint32_t height);
DdsFields maskFields(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t width,
                     uint32_t height, uint32_t pixelFlags);

// The 124 header bytes, and a whole file: magic, header, payload.
std::vector<uint8_t> headerBytes(const DdsFields &fields);
std::vector<uint8_t> ddsFile(const DdsFields &fields, const std::vector<uint8_t> &payload);

// The 20-byte DX10 record: DXGI format, resource dimension (3: 2D),
// misc flag (0x4: cube), array size, misc flags 2 (low 3 bits: alpha mode).
struct Dx10Fields {
    uint32_t dxgiFormat = 0;
    uint32_t dimension = 3;
    uint32_t miscFlag = 0;
    uint32_t arraySize = 1;
    uint32_t miscFlags2 = 0;
};

// A DX10 file: header with the FourCC "DX10", the record, the payload.
std::vector<uint8_t> dx10File(const DdsFields &fields, const Dx10Fields &dx10, const std::vector<uint8_t> &payload);
std::vector<uint8_t> dx10File(uint32_t dxgiFormat, uint32_t width, uint32_t height, const std::vector<uint8_t> &payload);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> randomBytes(size_t count, uint32_t seed);

// The blocks of tests/astc/blocks.bin of a footprint (astcenc's encodings,
// every block mode, endpoint mode, partition and plane count, void
// extents), 16 bytes each; empty when there are none.
std::vector<uint8_t> astcFixtureBlocks(unsigned width, unsigned height);

// A whole level of a mobile format for a width x height image: every block
// that touches it (PVRTC1: the padded word grid) of random bytes, ASTC
// blocks drawn from its fixture blocks.
std::vector<uint8_t> mobileLevel(BlockFormat format, uint32_t width, uint32_t height, uint32_t seed);

void put16(std::vector<uint8_t> &bytes, uint32_t value);
void put32(std::vector<uint8_t> &bytes, uint32_t value);

// A file in the temporary directory, removed when it goes out of scope.
class TempFile {
  public:
    explicit TempFile(const std::vector<uint8_t> &contents);
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    const std::string &path() const { return path_; }
    void rewrite(const std::vector<uint8_t> &contents) const;

  private:
    std::string path_;
};

#endif
