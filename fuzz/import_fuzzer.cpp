// libFuzzer target: one whole import through the stand-in host, as the host
// application would run it, on a file made of the fuzzer's input.
//
//   qvpInit, open, information query, image request into a heap buffer of
//   exactly the reported size, close, qvpExit.
//
// The input is the file, byte for byte, so that any DDS file (the seed
// corpus, tests/crashers) replays as itself.  Its last four bytes also steer
// the host (they stay part of the file too):
//
//   last byte      preference "KER:FlipDDSImages": low two bits 0 leave it
//                  unset, else the value is (byte >> 2) - 32
//   second last    which qvMalloc fails: low two bits N (0 = none), bits 2-3
//                  the call it is armed before (open, query, image, close)
//   third last     low three bits: 5 truncates the file between the query
//                  and the image request, 6 changes one header byte, 7 makes
//                  the file longer; anything else leaves it alone.  Bit 3
//                  set decodes with the processor's extensions turned off
//                  (the SSE2 paths), else bit 5 set with AVX2 turned off
//                  (the SSSE3 paths), else bit 6 set with AVX-512 turned
//                  off (the AVX2 paths); bit 4 set decodes every image on three
//                  threads, whatever its size (else on the calling thread)
//   fourth last    the argument of that change
//   fifth last     the image: 0 leaves its preferences unset (the first
//                  image); else bits 0-1 "DDS:MipLevel", bits 2-3
//                  "DDS:Element", bits 4-6 "DDS:Face" (6: 9, beyond the
//                  faces; 7: unset), bit 7 "DDS:CubeCross"
//   sixth last     bits 0-1 "DDS:Slice", bits 2-4 "DDS:Exposure" from a
//                  table of stops (0, +-1, +-20, 0.37, -0.01, 12.34), bit 5
//                  "DDS:HdrSrgb"
//
// The target traps on: a status outside {0, -2, -6, -8}; an open status that
// does not follow from the first four bytes; a query that reports what the
// file cannot hold (for a chosen image: a size that no level, or no cross of
// a level, has); a successful query followed by a failed image request
// (unless an injected allocation failure hit that request, or the file
// changed); an image request that succeeds on a file the query refused, or
// writes into a buffer for a refused file; a success after a failed
// allocation; different pixels for the two row orders; a request on a
// changed file that succeeds with other pixels than a fresh import of the
// changed file; any qvMalloc block still live or any bad qvFree after a
// call; and a working allocation larger than a chunk or one row.  Writes past
// the host's buffer are AddressSanitizer's to catch.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/cpu_features.h"
#include "decode_threads.h"
#include "memory_files.h"
#include "qvhost.h"
#include "top_level.h"

namespace {

constexpr int Ok = 0;
constexpr int OpenFailed = -2;
constexpr int NotDds = -6;
constexpr int ReadFailed = -8;

constexpr uint8_t BufferFill = 0xA5;

enum Phase { PhaseOpen = 0, PhaseInfo = 1, PhaseImage = 2, PhaseClose = 3 };
enum Change { ChangeNone, ChangeTruncate, ChangeHeaderByte, ChangeAppend };

// A broken guarantee: says which check it was, then traps.
[[noreturn]] void fail(int line) {
    std::fprintf(stderr, "import_fuzzer: check at import_fuzzer.cpp:%d failed\n", line);
    __builtin_trap();
}

void requireAt(bool condition, int line) {
    if (!condition) fail(line);
}
#define require(condition) requireAt((condition), __LINE__)

void requireKnownStatus(int status) {
    require(status == Ok || status == OpenFailed || status == NotDds || status == ReadFailed);
}

void requireNoHostMemory() {
    require(qvhostLiveAllocations() == 0);
    require(qvhostBadFrees() == 0);
}

uint32_t load32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint32_t code(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

struct Importer {
    QvHostImporter host{};

    int open(int *handle) const {
        const int status = host.open(nullptr, nullptr, FuzzFilePath, "r", handle);
        requireKnownStatus(status);
        requireNoHostMemory();
        return status;
    }
    int info(int handle, QvImageInfo *record) const {
        const int status = host.info(nullptr, nullptr, handle, record);
        requireKnownStatus(status);
        requireNoHostMemory();
        return status;
    }
    int image(int handle, void *pixels) const {
        const int status = host.image(nullptr, nullptr, handle, nullptr, pixels);
        requireKnownStatus(status);
        requireNoHostMemory();
        return status;
    }
    void close(int handle) const {
        require(host.close(nullptr, nullptr, handle) == Ok);
        requireNoHostMemory();
    }
};

// Where a file's pixels start, and how they are stored, worked out from
// the header fields without the importer's code: a DX10 record moves the
// data to offset 148, a palette the pixels to 1152.
// A palette's 1024 bytes come before the pixels.
struct Layout {
    uint64_t dataOffset = 128;
    uint64_t blockBytes = 0;  // bytes of a block, for block formats
    uint64_t blockWidth = 4, blockHeight = 4;
    bool everyBlock = false;  // the mobile formats: the level holds every block that touches the image
    bool pvrtc = false;       // PVRTC1: words of blockWidth x 4 pixels on a grid of at least 2 x 2
    uint64_t pixelBytes = 0;  // bytes of a pixel, for the others...
    uint64_t pairBytes = 0;   // ...or of a pair of pixels (4:2:2), a row holding ceil(w / 2) pairs...
    uint64_t planeSampleBytes = 0;  // ...or of a sample of the 4:2:0 planes: w x h luma, w x h / 2 chroma...
    bool oneBit = false;      // ...or one bit a pixel, rows of whole bytes
    bool transparencyType = false;  // DXT1 and BC1: Rgba when the first block is three-colour or a texel transparent
};

bool hasDx10(const std::vector<uint8_t> &file) {
    const uint32_t flags = load32(&file[80]);
    return load32(&file[84]) == code('D', 'X', '1', '0') && ((flags & 0x4) || (flags & 0xE0062) == 0);
}

// The fourteen ASTC footprints, in the order of their DXGI numbers.
constexpr uint8_t AstcFootprints[14][2] = {{4, 4}, {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                           {8, 8}, {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};

Layout mobileBlocks(uint64_t bytes, uint64_t width, uint64_t height) {
    Layout layout;
    layout.blockBytes = bytes;
    layout.blockWidth = width;
    layout.blockHeight = height;
    layout.everyBlock = true;
    return layout;
}

Layout dxgiLayout(uint32_t dxgi) {
    Layout layout;
    if (dxgi >= 133 && dxgi <= 187 && (dxgi - 133) % 4 != 3) {
        const uint8_t *footprint = AstcFootprints[(dxgi - 133) / 4];
        layout = mobileBlocks(16, footprint[0], footprint[1]);
    }
    layout.dataOffset = 148;
    if (dxgi >= 70 && dxgi <= 72) layout.transparencyType = true;
    if ((dxgi >= 70 && dxgi <= 72) || (dxgi >= 79 && dxgi <= 81)) layout.blockBytes = 8;
    if ((dxgi >= 73 && dxgi <= 78) || (dxgi >= 82 && dxgi <= 84) || (dxgi >= 95 && dxgi <= 99)) layout.blockBytes = 16;
    switch (dxgi) {
        case 2: case 3: case 4: layout.pixelBytes = 16; break;
        case 6: case 7: case 8: layout.pixelBytes = 12; break;
        case 10: case 11: case 12: case 13: case 14: case 16: case 17: case 18: case 20: case 21: case 22: case 102:
            layout.pixelBytes = 8; break;
        case 24: case 25: case 26: case 28: case 29: case 30: case 31: case 32: case 34: case 35: case 36: case 37:
        case 38: case 40: case 41: case 42: case 43: case 45: case 46: case 47: case 67: case 87: case 88: case 89: case 91:
        case 93: case 100: case 101: layout.pixelBytes = 4; break;
        case 49: case 50: case 51: case 52: case 54: case 55: case 56: case 57: case 58: case 59: case 85: case 86:
        case 115: case 191: layout.pixelBytes = 2; break;
        case 61: case 62: case 63: case 64: case 65: layout.pixelBytes = 1; break;
        case 66: layout.oneBit = true; break;
        case 68: case 69: case 107: layout.pairBytes = 4; break;
        case 108: case 109: layout.pairBytes = 8; break;
        case 103: layout.planeSampleBytes = 1; break;
        case 104: case 105: layout.planeSampleBytes = 2; break;
        default: break;
    }
    return layout;
}

// The FourCCs of the mobile formats: ETC, EAC, ATC and PVRTC1 by their
// codes, ASTC by "AS" and its width and height as '0' + size or in hex.
Layout mobileFourCCLayout(uint32_t fourCC) {
    const struct {
        char code[5];
        uint8_t bytes;
    } fourByFour[] = {{"ETC1", 8},  {"ETC ", 8},  {"ETC2", 8},  {"ET2 ", 8},  {"ETCS", 8},  {"ET2A", 16},
                      {"ETCA", 16}, {"ETCT", 16}, {"ETCP", 8},  {"ETCU", 8},  {"EAC1", 8},  {"EAR ", 8},
                      {"EAC2", 16}, {"EARG", 16}, {"ATC ", 8},  {"ATCA", 16}, {"ATCE", 16}, {"ATCI", 16}};
    for (const auto &f : fourByFour) {
        if (fourCC == code(f.code[0], f.code[1], f.code[2], f.code[3])) return mobileBlocks(f.bytes, 4, 4);
    }
    for (const char *pvrtc : {"PTC2", "PVR2", "PTC4", "PVR4"}) {
        if (fourCC != code(pvrtc[0], pvrtc[1], pvrtc[2], pvrtc[3])) continue;
        Layout layout = mobileBlocks(8, pvrtc[3] == '2' ? 8 : 4, 4);
        layout.pvrtc = true;
        return layout;
    }
    for (const auto &footprint : AstcFootprints) {
        const auto digit = [](uint8_t size) { return static_cast<char>('0' + size); };
        const auto hex = [](uint8_t size) { return static_cast<char>(size < 10 ? '0' + size : 'A' + size - 10); };
        if (fourCC == code('A', 'S', digit(footprint[0]), digit(footprint[1])) ||
            fourCC == code('A', 'S', hex(footprint[0]), hex(footprint[1]))) {
            return mobileBlocks(16, footprint[0], footprint[1]);
        }
    }
    return Layout{};
}

Layout fourCCLayout(uint32_t fourCC, uint32_t bitCount) {
    Layout layout = mobileFourCCLayout(fourCC);
    if (fourCC == code('D', 'X', 'T', '1')) layout.transparencyType = true;
    if (fourCC == code('D', 'X', 'T', '1') || fourCC == code('A', 'T', 'I', '1') ||
        fourCC == code('B', 'C', '4', 'U') || fourCC == code('B', 'C', '4', 'S')) {
        layout.blockBytes = 8;
    }
    for (char n : {'2', '3', '4', '5'}) {
        if (fourCC == code('D', 'X', 'T', n)) layout.blockBytes = 16;
    }
    if (fourCC == code('A', 'T', 'I', '2') || fourCC == code('B', 'C', '5', 'U') || fourCC == code('B', 'C', '5', 'S')) {
        layout.blockBytes = 16;
    }
    for (const char *pairs : {"YUY2", "UYVY", "RGBG", "GRGB"}) {
        if (fourCC == code(pairs[0], pairs[1], pairs[2], pairs[3])) layout.pairBytes = 4;
    }
    if (fourCC == 40 || fourCC == 41) layout.dataOffset = 128 + 1024;  // A8P8, P8
    switch (fourCC) {
        case 0: layout.pixelBytes = bitCount / 8; break;
        case 27: case 28: case 41: case 50: case 52: layout.pixelBytes = 1; break;
        case 23: case 24: case 25: case 26: case 29: case 30: case 40: case 51: case 60: case 61: case 80: case 81:
        case 111: case 117: layout.pixelBytes = 2; break;
        case 20: layout.pixelBytes = 3; break;
        case 21: case 22: case 31: case 32: case 33: case 34: case 35: case 62: case 63: case 64: case 67: case 112:
        case 114: case 119: layout.pixelBytes = 4; break;
        case 36: case 110: case 113: case 115: layout.pixelBytes = 8; break;
        case 116: layout.pixelBytes = 16; break;
        case 118: layout.oneBit = true; break;
        default: break;
    }
    return layout;
}

Layout layoutOf(const std::vector<uint8_t> &file) {
    if (hasDx10(file)) return file.size() >= 148 ? dxgiLayout(load32(&file[128])) : Layout{};
    const uint32_t pixelFlags = load32(&file[80]);
    const uint32_t bitCount = load32(&file[88]);
    if (pixelFlags & 0x4) return fourCCLayout(load32(&file[84]), bitCount);
    Layout layout;
    if (pixelFlags & 0x20) {  // a palette: one index byte, or with alpha at 16 bits an index and an alpha
        layout.dataOffset = 128 + 1024;
        layout.pixelBytes = (pixelFlags & 0x1) && bitCount == 16 ? 2 : 1;
    } else if (pixelFlags & 0xE0042) {
        layout.pixelBytes = bitCount / 8;
    }
    return layout;
}

// Blocks (or PVRTC1 words) across and down that touch the image.
uint64_t blocksAcross(const Layout &layout, uint32_t width) {
    const uint64_t across = (uint64_t{width} + layout.blockWidth - 1) / layout.blockWidth;
    return layout.pvrtc ? std::max<uint64_t>(across, 2) : across;
}
uint64_t blocksDown(const Layout &layout, uint32_t height) {
    const uint64_t down = (uint64_t{height} + layout.blockHeight - 1) / layout.blockHeight;
    return layout.pvrtc ? std::max<uint64_t>(down, 2) : down;
}

// The least the decoder reads after the header for the reported
// dimensions.  0 when the header names no format the importer decodes.
uint64_t bytesTheImageNeeds(const std::vector<uint8_t> &file, uint32_t width, uint32_t height) {
    if (file.size() < 128) return 0;
    const Layout layout = layoutOf(file);
    if (layout.blockBytes != 0) {
        // The whole blocks, or, for an image with none, the blocks that
        // cover it (read only when the file holds them); the mobile formats
        // always every block that covers it.
        const uint64_t whole = uint64_t{width / 4} * uint64_t{height / 4} * layout.blockBytes;
        const uint64_t all = blocksAcross(layout, width) * blocksDown(layout, height) * layout.blockBytes;
        return whole != 0 && !layout.everyBlock ? whole : all;
    }
    if (layout.oneBit) return (uint64_t{width} + 7) / 8 * height;
    if (layout.pairBytes != 0) return (uint64_t{width} + 1) / 2 * layout.pairBytes * height;
    if (layout.planeSampleBytes != 0) return uint64_t{width} * height * 3 / 2 * layout.planeSampleBytes;
    return uint64_t{width} * uint64_t{height} * layout.pixelBytes;
}

// The most one working chunk of the image request may take: ddsChunkBytes
// or one source row (16 bytes a pixel at most, or 16 bytes a block at
// least 4 pixels wide); for PVRTC1, a band of up to ddsPvrtcBandBytes or
// one word row, the word rows above and below it, one tile no larger than
// the band, and for images lower than a word one pixel row.
uint64_t chunkBound(const std::vector<uint8_t> &file, uint32_t width) {
    const Layout layout = layoutOf(file);
    if (!layout.pvrtc) return std::max<uint64_t>(ddsChunkBytes, 16 * (uint64_t{width} + 3));
    const uint64_t rowBytes = blocksAcross(layout, width) * 8;
    return 2 * std::max<uint64_t>(ddsPvrtcBandBytes, rowBytes) + 2 * rowBytes + 4 * uint64_t{width};
}

// Whether `size` is a side of some level of a top level side of `top`.
bool isLevelSide(uint64_t size, uint64_t top) {
    for (uint32_t level = 0; level < 32; ++level) {
        if (size == std::max<uint64_t>(1, top >> level)) return true;
    }
    return false;
}

// What a successful query may report for a file; `chosen` when the image
// preferences were set, whose image may be any level, or a cross of one.
void checkReport(const std::vector<uint8_t> &file, const QvImageInfo &record, bool chosen, bool cross) {
    require(record.setFields == 31);
    require(record.type == 4 || record.type == 5);
    require(record.sampleSize == 8 && record.tiled == 0);
    require(record.width > 0 && record.height > 0);
    const uint64_t width = static_cast<uint64_t>(record.width);
    const uint64_t height = static_cast<uint64_t>(record.height);
    require(width * height * 4 <= 0x7FFFFFFFu);
    require(file.size() >= 128);
    require((load32(&file[8]) & 0x200) == 0);
    if (chosen) {
        const bool asCross = cross && record.type == 5 && width % 4 == 0 && height % 3 == 0 &&
                             isLevelSide(width / 4, load32(&file[16])) && isLevelSide(height / 3, load32(&file[12]));
        require(asCross || (isLevelSide(width, load32(&file[16])) && isLevelSide(height, load32(&file[12]))));
        return;
    }
    require(load32(&file[16]) == width && load32(&file[12]) == height);
    const Layout layout = layoutOf(file);
    const uint64_t needed = bytesTheImageNeeds(file, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    require(needed > 0);
    require(file.size() >= layout.dataOffset && file.size() - layout.dataOffset >= needed);
    // A first block in three-colour mode makes the image Rgba; so may a
    // transparent texel in any other block.
    if (layout.transparencyType) {
        const uint32_t first = load32(&file[layout.dataOffset]);
        if (first % 0x10000 <= first / 0x10000) require(record.type == 5);
    }
}

size_t bufferBytes(const QvImageInfo &record) {
    return static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * (record.type == 4 ? 3u : 4u);
}

// An exactly sized heap buffer, so that AddressSanitizer sees any byte
// written past it.  Filled with one value, so that pixels the decoder leaves
// alone look the same in both row orders.
std::vector<uint8_t> hostBuffer(size_t bytes) { return std::vector<uint8_t>(bytes, BufferFill); }

bool rowsReversed(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, size_t rows) {
    if (a.size() != b.size() || rows == 0) return false;
    const size_t stride = a.size() / rows;
    for (size_t y = 0; y < rows; ++y) {
        if (std::memcmp(&a[y * stride], &b[(rows - 1 - y) * stride], stride) != 0) return false;
    }
    return true;
}

int preferenceValue(uint8_t control) { return (control & 3) != 0 ? (control >> 2) - 32 : 0; }

void setPreference(uint8_t control) {
    if ((control & 3) != 0) qvhostSetPreference("KER:FlipDDSImages", preferenceValue(control));
}

// The image preferences, from the fifth- and sixth-last bytes; false when
// they are left unset.
bool setImagePreferences(uint8_t image, uint8_t values) {
    if (image == 0) return false;
    constexpr int Exposures[8] = {0, 100, -100, 2000, -2000, 37, -1, 1234};
    qvhostSetPreference("DDS:MipLevel", image & 3);
    qvhostSetPreference("DDS:Element", (image >> 2) & 3);
    const int face = (image >> 4) & 7;
    if (face != 7) qvhostSetPreference("DDS:Face", face == 6 ? 9 : face);
    qvhostSetPreference("DDS:CubeCross", image >> 7);
    qvhostSetPreference("DDS:Slice", values & 3);
    qvhostSetPreference("DDS:Exposure", Exposures[(values >> 2) & 7]);
    qvhostSetPreference("DDS:HdrSrgb", (values >> 5) & 1);
    return true;
}

// A fresh import of the current file; status of the image request, pixels
// into `pixels` when the query reports `expected`.
int freshImport(const Importer &importer, const QvImageInfo &expected, std::vector<uint8_t> *pixels) {
    int handle = -1;
    if (importer.open(&handle) != Ok) return ReadFailed;
    QvImageInfo record{};
    int status = importer.info(handle, &record);
    if (status == Ok) {
        require(record.width == expected.width && record.height == expected.height && record.type == expected.type);
        *pixels = hostBuffer(bufferBytes(record));
        status = importer.image(handle, pixels->data());
    }
    importer.close(handle);
    return status;
}

void importOnce(const uint8_t *data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const uint8_t preferenceControl = size >= 1 ? data[size - 1] : 0;
    const uint8_t mallocControl = size >= 2 ? data[size - 2] : 0;
    const uint8_t changeControl = size >= 3 ? data[size - 3] : 0;
    const uint8_t changeArgument = size >= 4 ? data[size - 4] : 0;
    const uint8_t imageControl = size >= 5 ? data[size - 5] : 0;
    const uint8_t valuesControl = size >= 6 ? data[size - 6] : 0;
    const int failingMalloc = mallocControl & 3;
    const int failingPhase = (mallocControl >> 2) & 3;
    Change change = ChangeNone;
    switch (changeControl & 7) {
        case 5: change = ChangeTruncate; break;
        case 6: change = ChangeHeaderByte; break;
        case 7: change = ChangeAppend; break;
        default: break;
    }

    ddsAllowCpuExtensionsUpTo((changeControl & 8) != 0    ? CpuExtension::None
                              : (changeControl & 32) != 0 ? CpuExtension::Ssse3
                              : (changeControl & 64) != 0 ? CpuExtension::Avx2
                                                          : CpuExtension::Avx512);
    const bool threads = (changeControl & 16) != 0;
    ddsSetDecodeThreadsForTesting(threads ? 3 : 1, 0);
    fuzzStoreFile(data, size);
    qvhostReset();
    setPreference(preferenceControl);
    const bool chosen = setImagePreferences(imageControl, valuesControl);

    require(qvpInit(qvhostPluginHandle(), 0, 0) == 1);
    Importer importer;
    qvhostImporter(&importer.host);
    require(importer.host.registered == 1);

    auto arm = [&](Phase phase) {
        qvhostFailMallocCall(failingPhase == phase ? failingMalloc : 0);
    };

    // Open: the status follows from the first four bytes alone.
    int handle = -1;
    arm(PhaseOpen);
    const int openStatus = importer.open(&handle);
    if (size < 4) {
        require(openStatus == OpenFailed);
    } else if (std::memcmp(data, "DDS ", 4) != 0) {
        require(openStatus == NotDds);
    } else {
        require(openStatus == Ok);
        require(handle == 0);  // nothing else is open: the lowest slot
    }

    if (openStatus == Ok) {
        arm(PhaseInfo);
        const int mallocsBeforeInfo = qvhostMallocCalls();
        QvImageInfo record{};
        const int infoStatus = importer.info(handle, &record);
        require(infoStatus == Ok || infoStatus == ReadFailed);
        require(qvhostMallocCalls() == mallocsBeforeInfo);  // the query allocates nothing

        if (infoStatus != Ok) {
            require(record.setFields == 0);
            // The image request refuses the same file, writing nothing: a
            // one-byte buffer shows any write (AddressSanitizer past it).
            arm(PhaseImage);
            std::vector<uint8_t> probe(1, BufferFill);
            require(importer.image(handle, probe.data()) == ReadFailed);
            require(probe[0] == BufferFill);
        } else {
            checkReport(file, record, chosen, (imageControl >> 7) != 0);
            const size_t bytes = bufferBytes(record);
            const size_t rows = static_cast<size_t>(record.height);

            std::vector<uint8_t> changed = file;
            switch (change) {
                case ChangeTruncate:
                    changed.resize(changed.size() * changeArgument / 256);
                    break;
                case ChangeHeaderByte:
                    changed[4 + changeArgument % 124] ^= static_cast<uint8_t>((changeControl >> 3) | 1);
                    break;
                case ChangeAppend:
                    changed.insert(changed.end(), size_t{changeArgument} + 1, 0x5A);
                    break;
                case ChangeNone:
                    break;
            }
            if (change != ChangeNone) fuzzStoreFile(changed.data(), changed.size());

            arm(PhaseImage);
            const int mallocsBefore = qvhostMallocCalls();
            qvhostResetPeak();
            std::vector<uint8_t> pixels = hostBuffer(bytes);
            const int imageStatus = importer.image(handle, pixels.data());
            const int imageMallocs = qvhostMallocCalls() - mallocsBefore;
            const bool mallocFailed = failingPhase == PhaseImage && failingMalloc != 0 && imageMallocs >= failingMalloc;
            require(imageStatus == Ok || imageStatus == ReadFailed);
            if (mallocFailed) require(imageStatus == ReadFailed);
            // One working chunk, or on three threads five in flight.
            require(qvhostPeakBytes() <= (threads ? 5 : 1) * static_cast<int64_t>(chunkBound(
                                                                  file, static_cast<uint32_t>(record.width))));

            if (change == ChangeNone) {
                require(imageStatus == Ok || mallocFailed);
                if (imageStatus == Ok) {
                    // The other row order gives the same rows reversed.
                    const int order = preferenceValue(preferenceControl);
                    qvhostSetPreference("KER:FlipDDSImages", order == 0 ? 1 : 0);
                    qvhostFailMallocCall(0);
                    std::vector<uint8_t> other = hostBuffer(bytes);
                    require(importer.image(handle, other.data()) == Ok);
                    require(rowsReversed(pixels, other, rows));
                }
            } else {
                // A chosen image lies at or after the first image's end:
                // a file cut inside the first image holds neither.
                const uint32_t firstWidth = chosen ? load32(&file[16]) : static_cast<uint32_t>(record.width);
                const uint32_t firstHeight = chosen ? load32(&file[12]) : static_cast<uint32_t>(record.height);
                if (change == ChangeTruncate &&
                    changed.size() < layoutOf(file).dataOffset + bytesTheImageNeeds(file, firstWidth, firstHeight)) {
                    require(imageStatus == ReadFailed);
                }
                if (imageStatus == Ok) {
                    // Whatever the file now holds, a fresh import of it
                    // gives the same pixels.
                    qvhostFailMallocCall(0);
                    std::vector<uint8_t> fresh;
                    require(freshImport(importer, record, &fresh) == Ok);
                    require(fresh == pixels);
                }
            }
        }

        arm(PhaseClose);
        importer.close(handle);
        // The handle is gone: closing it again is refused.
        require(importer.host.close(nullptr, nullptr, handle) == ReadFailed);
    }

    qvhostFailMallocCall(0);
    require(qvpExit(qvhostPluginHandle()) == 1);
    requireNoHostMemory();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    importOnce(data, size);
    return 0;
}
