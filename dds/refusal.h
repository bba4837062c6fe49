// Why a file is refused.  Every refusal has a name here and a short
// sentence for people (ddsinfo prints it); the host sees ReadFailed for
// each of them.
#ifndef DDS_REFUSAL_H
#define DDS_REFUSAL_H

enum class DdsRefusal : int {
    Accepted = 0,
    HeaderTruncated,      // the file ends inside the 124-byte header
    HeaderFlagRefused,    // header flag 0x200
    NoPixelFormat,        // neither the FourCC flag nor the RGB flag
    UnsupportedFourCC,    // a FourCC that names no decoded format
    UnsupportedBitCount,  // uncompressed pixels of another size than 8, 16, 24, 32 bits
    MipCountBelowOne,     // the mip-count flag with a count below 1
    ZeroDimension,        // width or height 0
    DimensionTooLarge,    // width or height above 2^31 - 1
    ImageTooLarge,        // width x height x 4 bytes above 2^31 - 1
    NoWholeBlock,         // a block image narrower or lower than a block, without its partial blocks
    LevelTooLarge,        // the declared level above 2^31 - 1 bytes
    LinearSizeTooSmall,   // the declared level smaller than the bytes the decoder reads
    LevelTruncated,       // the file ends before the end of the top level
    ReadFailed,           // a read of the file failed
    Dx10HeaderTruncated,  // the file ends inside the DX10 record
    UnsupportedDxgiFormat,  // a DXGI format that no row names (video, unknown numbers...)
    YuvPixelFormat,       // the pixel format's YUV flag (0x200), which names no layout
    AstcWithoutBlockSize,  // the FourCC "ASTC", which names no block size
    AstcDxgiUnassigned,   // DXGI 136 + 4k, between the ASTC formats, which names none
    SignedEac,            // signed EAC R11 or RG11
    Pvrtc2,               // PVRTC2, the second PVRTC format (not PVRTC1)
    PvrtcNotPowerOfTwo,   // PVRTC1 whose width or height is not a power of two
    TypelessFormat,       // a typeless DXGI format whose channels could be anything
    VideoPaletteFormat,   // DXGI AI44, IA44, P8, A8P8: palette indices without a palette in the file
    ExtendedRangeFormat,  // DXGI R10G10B10_XR_BIAS_A2 and legacy code 119
    LegacyDepthFormat,    // legacy depth codes 70 to 83 other than 80 (D16)
    SmallPalette,         // 1-, 2- and 4-bit palette indices
    OddPlanarSize,        // NV12, P010, P016 with an odd width or height
    Count
};

// A short sentence naming the reason, for people; never null.
const char *ddsRefusalText(DdsRefusal refusal);

// The enumerator's name without its prefix ("LevelTruncated"), for
// manifests and scripts; never null.
const char *ddsRefusalName(DdsRefusal refusal);

#endif
