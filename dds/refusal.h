// Why a file is refused.  Every refusal has a name here and a short
// sentence for people (ddsinfo prints it); the host sees ReadFailed for
// each of them.
#ifndef DDS_REFUSAL_H
#define DDS_REFUSAL_H

enum DdsRefusal : int {
    DdsAccepted = 0,
    DdsHeaderTruncated,      // the file ends inside the 124-byte header
    DdsHeaderFlagRefused,    // header flag 0x200
    DdsNoPixelFormat,        // neither the FourCC flag nor the RGB flag
    DdsUnsupportedFourCC,    // a FourCC that names no decoded format
    DdsUnsupportedBitCount,  // uncompressed pixels of another size than 8, 16, 24, 32 bits
    DdsMipCountBelowOne,     // the mip-count flag with a count below 1
    DdsZeroDimension,        // width or height 0
    DdsDimensionTooLarge,    // width or height above 2^31 - 1
    DdsImageTooLarge,        // width x height x 4 bytes above 2^31 - 1
    DdsNoWholeBlock,         // a block image narrower or lower than a block, without its partial blocks
    DdsLevelTooLarge,        // the declared level above 2^31 - 1 bytes
    DdsLinearSizeTooSmall,   // the declared level smaller than the bytes the decoder reads
    DdsLevelTruncated,       // the file ends before the end of the top level
    DdsReadFailed,           // a read of the file failed
    DdsDx10HeaderTruncated,  // the file ends inside the DX10 record
    DdsUnsupportedDxgiFormat,  // a DXGI format that no row names (video, unknown numbers...)
    DdsYuvPixelFormat,       // the pixel format's YUV flag (0x200), which names no layout
    DdsAstcWithoutBlockSize,  // the FourCC "ASTC", which names no block size
    DdsAstcDxgiUnassigned,   // DXGI 136 + 4k, between the ASTC formats, which names none
    DdsSignedEac,            // signed EAC R11 or RG11
    DdsPvrtc2,               // PVRTC2, the second PVRTC format (not PVRTC1)
    DdsPvrtcNotPowerOfTwo,   // PVRTC1 whose width or height is not a power of two
    DdsTypelessFormat,       // a typeless DXGI format whose channels could be anything
    DdsVideoPaletteFormat,   // DXGI AI44, IA44, P8, A8P8: palette indices without a palette in the file
    DdsExtendedRangeFormat,  // DXGI R10G10B10_XR_BIAS_A2 and legacy code 119
    DdsLegacyDepthFormat,    // legacy depth codes 70 to 83 other than 80 (D16)
    DdsSmallPalette,         // 1-, 2- and 4-bit palette indices
    DdsOddPlanarSize,        // NV12, P010, P016 with an odd width or height
    DdsRefusalCount
};

// A short sentence naming the reason, for people; never null.
const char *ddsRefusalText(DdsRefusal refusal);

// The enumerator's name without its prefix ("LevelTruncated"), for
// manifests and scripts; never null.
const char *ddsRefusalName(DdsRefusal refusal);

#endif
