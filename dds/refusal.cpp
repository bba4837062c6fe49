#include "refusal.h"

#include <cstddef>

namespace {

struct RefusalWords {
    const char *name;
    const char *text;
};

// In the order of the enumeration.
constexpr RefusalWords Words[] = {
    {"Accepted", "accepted"},
    {"HeaderTruncated", "the file ends inside the header"},
    {"HeaderFlagRefused", "header flag 0x200 is set"},
    {"NoPixelFormat", "the pixel format is neither FourCC, RGB, luminance nor alpha"},
    {"UnsupportedFourCC", "unsupported FourCC"},
    {"UnsupportedBitCount", "uncompressed pixels of a bit count other than 8, 16, 24 or 32"},
    {"MipCountBelowOne", "the mip-count flag is set with a count below 1"},
    {"ZeroDimension", "width or height is 0"},
    {"DimensionTooLarge", "width or height is above 2^31 - 1"},
    {"ImageTooLarge", "the image is larger than 2^31 - 1 bytes at four bytes a pixel"},
    {"NoWholeBlock", "no whole 4 x 4 block, and the file does not hold the partial ones"},
    {"LevelTooLarge", "the top level is declared larger than 2^31 - 1 bytes"},
    {"LinearSizeTooSmall", "the declared level size is smaller than the level"},
    {"LevelTruncated", "the file ends before the end of the top level"},
    {"ReadFailed", "the file could not be read"},
    {"Dx10HeaderTruncated", "the file ends inside the DX10 header"},
    {"UnsupportedDxgiFormat", "unsupported DXGI format (video or unknown)"},
    {"YuvPixelFormat", "the pixel format's YUV flag names no layout"},
    {"AstcWithoutBlockSize", "the FourCC \"ASTC\" names no block size"},
    {"AstcDxgiUnassigned", "DXGI format 136 + 4k is not assigned to an ASTC format"},
    {"SignedEac", "signed EAC is not decoded"},
    {"Pvrtc2", "PVRTC2 is not decoded (PVRTC1 is)"},
    {"PvrtcNotPowerOfTwo", "PVRTC1 width or height is not a power of two"},
    {"TypelessFormat", "typeless DXGI format: its channels could be anything"},
    {"VideoPaletteFormat", "palette-indexed DXGI format without a palette in the file"},
    {"ExtendedRangeFormat", "extended-range (XR bias) format"},
    {"LegacyDepthFormat", "legacy depth format other than D16"},
    {"SmallPalette", "1-, 2- and 4-bit palette indices are not decoded"},
    {"OddPlanarSize", "planar YUV (NV12, P010, P016) of odd width or height"},
};
static_assert(sizeof Words / sizeof Words[0] == static_cast<size_t>(DdsRefusal::Count), "one entry for each refusal");

const RefusalWords *wordsOf(DdsRefusal refusal) {
    const auto index = static_cast<size_t>(refusal);
    return index < static_cast<size_t>(DdsRefusal::Count) ? &Words[index] : nullptr;
}

}  // namespace

const char *ddsRefusalName(DdsRefusal refusal) {
    const RefusalWords *words = wordsOf(refusal);
    return words != nullptr ? words->name : "Unknown";
}

const char *ddsRefusalText(DdsRefusal refusal) {
    const RefusalWords *words = wordsOf(refusal);
    return words != nullptr ? words->text : "unknown reason";
}
