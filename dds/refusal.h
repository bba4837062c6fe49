// Why a file is refused.  Every refusal has a name here and a short
// sentence for people (ddsinfo prints it); the host sees ReadFailed for
// each of them.
#ifndef DDS_REFUSAL_H
#define DDS_REFUSAL_H

// Each refusal once, in the order of the enumeration: its name and its
// sentence.
#define DDS_REFUSALS(X) \
    X(Accepted, "accepted")                                                                 \
    X(HeaderTruncated, "the file ends inside the header")                                   \
    X(HeaderFlagRefused, "header flag 0x200 is set")                                        \
    X(NoPixelFormat, "the pixel format is neither FourCC, RGB, luminance nor alpha")        \
    X(UnsupportedFourCC, "unsupported FourCC")                                              \
    X(UnsupportedBitCount, "uncompressed pixels of a bit count other than 8, 16, 24 or 32") \
    X(MipCountBelowOne, "the mip-count flag is set with a count below 1")                   \
    X(ZeroDimension, "width or height is 0")                                                \
    X(DimensionTooLarge, "width or height is above 2^31 - 1")                               \
    X(ImageTooLarge, "the image is larger than 2^31 - 1 bytes at four bytes a pixel")       \
    X(NoWholeBlock, "no whole 4 x 4 block, and the file does not hold the partial ones")    \
    X(LevelTooLarge, "the top level is declared larger than 2^31 - 1 bytes")                \
    X(LinearSizeTooSmall, "the declared level size is smaller than the level")              \
    X(LevelTruncated, "the file ends before the end of the image")                          \
    X(ReadFailed, "the file could not be read")                                             \
    X(Dx10HeaderTruncated, "the file ends inside the DX10 header")                          \
    X(UnsupportedDxgiFormat, "unsupported DXGI format (video or unknown)")                  \
    X(YuvPixelFormat, "the pixel format's YUV flag names no layout")                        \
    X(AstcWithoutBlockSize, "the FourCC \"ASTC\" names no block size")                      \
    X(AstcDxgiUnassigned, "DXGI format 136 + 4k is not assigned to an ASTC format")         \
    X(SignedEac, "signed EAC is not decoded")                                               \
    X(Pvrtc2, "PVRTC2 is not decoded (PVRTC1 is)")                                          \
    X(PvrtcNotPowerOfTwo, "PVRTC1 width or height is not a power of two")                   \
    X(TypelessFormat, "typeless DXGI format: its channels could be anything")               \
    X(VideoPaletteFormat, "palette-indexed DXGI format without a palette in the file")      \
    X(LegacyDepthFormat, "legacy depth format other than D16")                              \
    X(SmallPalette, "1-, 2- and 4-bit palette indices are not decoded")                     \
    X(OddPlanarSize, "planar YUV (NV12, P010, P016) of odd width or height")                \
    X(CubeFaceMissing, "the cube map does not hold the face asked for")

enum class DdsRefusal : int {
#define DDS_REFUSAL_NAME(name, text) name,
    DDS_REFUSALS(DDS_REFUSAL_NAME)
#undef DDS_REFUSAL_NAME
    Count
};

// A short sentence naming the reason, for people; never null.
const char *ddsRefusalText(DdsRefusal refusal);

// The enumerator's name without its prefix ("LevelTruncated"), for
// manifests and scripts; never null.
const char *ddsRefusalName(DdsRefusal refusal);

#endif
