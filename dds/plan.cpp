#include "plan.h"

#include <algorithm>
#include <utility>

#include "bc1_3/bc1_3.h"
#include "pvrtc_bands.h"
#include "pvrtc/pvrtc.h"

namespace {

// Reads the `size` bytes of a record at `offset`: false when the file ends
// inside it or the read fails.
bool readRecord(const DdsSource &source, uint64_t offset, uint8_t *bytes, size_t size) {
    return source.length >= offset + size && ddsRead(source, offset, bytes, size);
}

// Reads the header (offset 4) and the DX10 record after it where the header
// announces one; *headerEnd is where they end.  The DX10 record's array
// size is not read: the first image starts the data whatever it says, and
// writers that store one texture leave it 0 as often as 1.
DdsRefusal readHeaders(const DdsSource &source, DdsPlan *plan, uint64_t *headerEnd) {
    uint8_t bytes[DdsHeaderBytes];
    if (!readRecord(source, DdsMagicBytes, bytes, DdsHeaderBytes)) return DdsRefusal::HeaderTruncated;
    ddsParseHeader(bytes, &plan->header);
    if (plan->header.flags & DdsFlagRefused) return DdsRefusal::HeaderFlagRefused;
    plan->hasDx10 = ddsHasDx10Header(plan->header);
    *headerEnd = plan->hasDx10 ? DdsDx10DataOffset : DdsDataOffset;
    if (!plan->hasDx10) return DdsRefusal::Accepted;
    if (!readRecord(source, DdsDataOffset, bytes, DdsDx10Bytes)) return DdsRefusal::Dx10HeaderTruncated;
    ddsParseHeaderDx10(bytes, &plan->dx10);
    return DdsRefusal::Accepted;
}

// A mask selects bits inside a pixel of `bits` bits.
bool inside(uint32_t mask, uint32_t bits) { return mask != 0 && (bits >= 32 || (mask >> bits) == 0); }

// A legacy header's 32-bit 10:10:10:2 masks (green 0xFFC00, alpha
// 0xC0000000, red and blue 0x3FF00000 and 0x3FF either way round) are read
// with red and blue exchanged: the D3DX writers stored these masks
// reversed, and the DirectX texture library reads them so.  A DXGI number
// names its layout itself and is never reversed.
DdsPixelFormat legacyMasks(DdsPixelFormat masks) {
    const uint32_t r = masks.rBitMask, b = masks.bBitMask;
    const bool redBlue = (r == 0x3FF00000 && b == 0x3FF) || (r == 0x3FF && b == 0x3FF00000);
    if (masks.rgbBitCount == 32 && redBlue && masks.gBitMask == 0xFFC00 && masks.aBitMask == 0xC0000000) {
        std::swap(masks.rBitMask, masks.bBitMask);
    }
    return masks;
}

// The bit count, masks and alpha flag that convert a mask-coded format.
DdsPixelFormat pixelMasks(const DdsFormat &format, const DdsPixelFormat &header) {
    if (format.maskSource == MaskSource::Header) return legacyMasks(header);
    const uint32_t bits = format.unitBytes * 8;
    const uint32_t *m = format.masks;
    const bool alpha = m[3] != 0;
    DdsPixelFormat pixels{32, alpha ? DdsPixelAlpha : 0, 0, bits, m[0], m[1], m[2], m[3]};
    if (format.maskSource == MaskSource::Luminance) {
        const bool headerMasks = inside(header.rBitMask, bits) && (!alpha || inside(header.aBitMask, bits));
        const uint32_t luminance = headerMasks ? header.rBitMask : m[0];
        pixels.rBitMask = pixels.gBitMask = pixels.bBitMask = luminance;
        pixels.aBitMask = alpha ? (headerMasks ? header.aBitMask : m[3]) : 0;
    } else if (format.maskSource == MaskSource::AlphaOnly) {
        pixels.aBitMask = inside(header.aBitMask, bits) ? header.aBitMask : m[3];
    }
    return pixels;
}

// The fields of a field-coded format: the row's, or for the bump pixel
// formats the row's kinds over the header's masks as written.  A zero mask
// gives 0 (alpha: opaque), a row without alpha has none whatever the
// masks say, and the alpha flag makes alpha unsigned.
FieldLayout planFields(const DdsFormat &format, const DdsPixelFormat &header) {
    FieldLayout layout = format.fields;
    if (format.maskSource != MaskSource::Header) return layout;
    const uint32_t masks[4] = {header.rBitMask, header.gBitMask, header.bBitMask, header.aBitMask};
    for (unsigned c = 0; c < 4; ++c) {
        Field &field = layout.channels[c];
        const bool alpha = c == 3;
        if (field.kind == FieldKind::Opaque) continue;
        if (masks[c] == 0) {
            field = Field{alpha ? FieldKind::Opaque : FieldKind::Zero, 0, 0};
        } else {
            field = ddsField(alpha && (header.flags & DdsPixelAlpha) ? FieldKind::Unsigned : field.kind, masks[c]);
        }
    }
    return layout;
}

// Whether the colour is premultiplied by alpha: DXT2 and DXT4 always, any
// other format when the DX10 alpha mode says so.
bool premultiplied(const DdsPlan &plan) {
    const bool alphaMode = plan.hasDx10 && (plan.dx10.miscFlags2 & DdsDx10AlphaModeMask) == DdsDx10AlphaPremultiplied;
    return plan.format->premultiplied || alphaMode;
}

// The kernel: the row's normal-map variant when the pixel format carries
// the normal-map flag, unless the colour is premultiplied (its alpha is
// alpha, not a normal's x; BC5 has always been read so).
BlockFormat blockKernel(const DdsPlan &plan) {
    if (!premultiplied(plan) && (plan.header.pixelFormat.flags & DdsPixelNormalMap)) return plan.format->normalMap;
    return plan.format->blocks;
}

// The row the header names, and what the header adds to it: the kernel,
// the masks or the fields.
DdsRefusal findFormat(DdsPlan *plan) {
    DdsRefusal refusal = DdsRefusal::Accepted;
    const DdsPixelFormat &pixelFormat = plan->header.pixelFormat;
    plan->format = ddsFindFormat(DdsFormatQuery{&pixelFormat, plan->hasDx10 ? &plan->dx10 : nullptr}, &refusal);
    if (plan->format == nullptr) return refusal;
    plan->blocks = blockKernel(*plan);
    if (plan->format->coding == PixelCoding::Masks) plan->pixels = pixelMasks(*plan->format, pixelFormat);
    if (plan->format->coding == PixelCoding::Fields) plan->fields = planFields(*plan->format, pixelFormat);
    return DdsRefusal::Accepted;
}

bool isPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The header's sizes: the mip count, the image's width and height, and
// the sizes the row layout holds (planes even, word grids powers of two).
DdsRefusal checkSizes(const DdsHeader &header, RowLayout rows) {
    const uint64_t width = header.width;
    const uint64_t height = header.height;
    if ((header.flags & DdsFlagMipMapCount) && header.mipMapCount < 1) return DdsRefusal::MipCountBelowOne;
    if (width == 0 || height == 0) return DdsRefusal::ZeroDimension;
    if (width > ddsMaxHostBytes || height > ddsMaxHostBytes) return DdsRefusal::DimensionTooLarge;
    if (width * height > ddsMaxHostBytes / 4) return DdsRefusal::ImageTooLarge;
    if (rows == RowLayout::Planes && (width % 2 != 0 || height % 2 != 0)) return DdsRefusal::OddPlanarSize;
    if (rows == RowLayout::WordGrid && !(isPowerOfTwo(header.width) && isPowerOfTwo(header.height))) {
        return DdsRefusal::PvrtcNotPowerOfTwo;
    }
    return DdsRefusal::Accepted;
}

// The first image, which is read as it always has been: its linear size
// and its whole blocks.  A cross is never that.
bool isFirstImage(const DdsPlan &plan) { return !plan.cross && ddsIsFirstImage(plan.texture, plan.image); }

// The image `choice` asks for, or a cross of the faces of its element and
// level, and its size.  A level's planes must have an even size.
DdsRefusal chooseImage(const DdsImageChoice &choice, DdsPlan *plan) {
    plan->choice = choice;
    plan->texture = ddsTextureOf(plan->header, plan->hasDx10 ? &plan->dx10 : nullptr);
    plan->cross = choice.cubeCross && plan->texture.cube;
    DdsImageChoice image = choice;
    if (plan->cross) image.face = ddsAnyFace;
    const DdsRefusal refusal = ddsChooseImage(plan->texture, image, &plan->image);
    if (refusal != DdsRefusal::Accepted) return refusal;
    plan->width = ddsLevelSide(plan->header.width, plan->image.level);
    plan->height = ddsLevelSide(plan->header.height, plan->image.level);
    const bool planes = plan->format->rows == RowLayout::Planes;
    if (planes && (plan->width % 2 != 0 || plan->height % 2 != 0)) return DdsRefusal::OddPlanarSize;
    return DdsRefusal::Accepted;
}

// Where `image` starts: after the header's records, which end at
// `headerEnd`, the row's prefix (a palette) and the images stored before it.
uint64_t imageOffset(const DdsPlan &plan, uint64_t headerEnd, const DdsImageIndex &image) {
    const uint64_t first = headerEnd + plan.format->prefixBytes;
    const uint64_t before = ddsImageSpan(plan.texture, *plan.format, image).offset;
    return before > UINT64_MAX - first ? UINT64_MAX : first + before;
}

// Places the image, whose start the file must hold.
DdsRefusal placeImage(uint64_t length, uint64_t headerEnd, DdsPlan *plan) {
    const uint64_t offset = imageOffset(*plan, headerEnd, plan->image);
    if (length < offset) return DdsRefusal::LevelTruncated;
    plan->paletteOffset = headerEnd;
    plan->dataOffset = offset;
    plan->dataBytes = length - offset;
    return DdsRefusal::Accepted;
}

// The faces of a cross: where each face the file holds starts; each must
// be in the file, and the cross's four bytes a pixel within the host's
// limit.
DdsRefusal placeCrossFaces(uint64_t length, uint64_t headerEnd, DdsPlan *plan) {
    if (uint64_t{plan->width} * plan->height * 12 > ddsMaxHostBytes / 4) return DdsRefusal::ImageTooLarge;
    plan->crossFaces = plan->texture.faces;
    for (uint32_t face = 0; face < ddsCubeFaces; ++face) {
        if ((plan->crossFaces >> face & 1) == 0) continue;
        const DdsImageIndex image{plan->image.element, face, plan->image.level, 0};
        const uint64_t offset = imageOffset(*plan, headerEnd, image);
        if (offset > length || length - offset < plan->levelBytes) return DdsRefusal::LevelTruncated;
        plan->faceOffsets[face] = offset;
    }
    plan->outputWidth = 4 * plan->width;
    plan->outputHeight = 3 * plan->height;
    return DdsRefusal::Accepted;
}

// The row's linear size rule: a legacy header's linear size, where given,
// declares the first image's level.
bool hasLinearSize(const DdsPlan &plan) {
    const DdsHeader &header = plan.header;
    return plan.format->readsLinearSize && (header.flags & DdsFlagLinearSize) && header.pitchOrLinearSize != 0 &&
           isFirstImage(plan);
}

// The bytes the header declares for a level that stores `stored`: a
// legacy linear size where the row reads one, else for pixels declared as
// blocks (FourCC 0) w/4 x h/4 of those blocks, else `stored`.
uint64_t declaredBytes(const DdsPlan &plan, uint64_t stored) {
    if (hasLinearSize(plan)) return plan.header.pitchOrLinearSize;
    if (!isFirstImage(plan)) return stored;
    const uint64_t blocks = uint64_t{plan.width / ddsBlockSide} * (plan.height / ddsBlockSide);
    return plan.format->declaredBlockBytes != 0 ? blocks * plan.format->declaredBlockBytes : stored;
}

// Rows of blocks (see ddsPlanImage): every block of the level, `full`, or
// only the whole blocks; `level` gets the rows read and the bytes declared.
DdsRefusal chooseBlockRows(DdsPlan *plan, const DdsLevelRows &full, DdsLevelRows *level) {
    const BlockShape shape = ddsBlockShape(plan->blocks);
    const bool declaresLess = hasLinearSize(*plan) && plan->header.pitchOrLinearSize < full.bytes;
    // Files of some formats have always been written with every block: one
    // without its partial blocks is cut short.
    if (plan->format->holdsEveryBlock && plan->dataBytes < full.bytes) return DdsRefusal::LevelTruncated;
    plan->partialBlocks = (plan->dataBytes >= full.bytes && !declaresLess) || !isFirstImage(*plan);
    if (plan->partialBlocks) return DdsRefusal::Accepted;
    const uint64_t across = plan->width / shape.width;
    const uint64_t down = plan->height / shape.height;
    // No block to decode: the linear size declares too little for the full
    // level, or else the file ends before the end of it.
    if (across == 0 || down == 0) return declaresLess ? DdsRefusal::NoWholeBlock : DdsRefusal::LevelTruncated;
    plan->coveredWidth = static_cast<uint32_t>(across * shape.width);
    plan->coveredHeight = static_cast<uint32_t>(down * shape.height);
    *level = DdsLevelRows{down, across * shape.bytes, declaredBytes(*plan, across * down * shape.bytes)};
    return DdsRefusal::Accepted;
}

// The one size check of the level, in 64 bits before anything is
// narrowed: the rows the decoder reads and the level the header declares
// (level.bytes) fit the host's limit, the declared level holds the rows,
// and the file holds the declared level.
DdsRefusal checkLevel(const DdsPlan &plan, const DdsLevelRows &level) {
    const uint64_t readBytes = level.rows * level.rowBytes;
    if (readBytes > ddsMaxHostBytes || level.bytes > ddsMaxHostBytes) return DdsRefusal::LevelTooLarge;
    if (level.bytes < readBytes) return DdsRefusal::LinearSizeTooSmall;
    if (plan.dataBytes < level.bytes) return DdsRefusal::LevelTruncated;
    return DdsRefusal::Accepted;
}

// The source rows read at a time: as many as fill ddsChunkBytes (at least
// one), or a word grid's band.
uint32_t chunkRows(const DdsPlan &plan) {
    if (plan.format->rows == RowLayout::WordGrid) {
        return ddsPvrtcBandRows(plan.blocksPerRow, static_cast<uint32_t>(plan.levelBytes / plan.sourceRowBytes),
                                ddsPvrtcBandBytes);
    }
    return std::min(plan.sourceRows, std::max(1u, ddsChunkBytes / plan.sourceRowBytes));
}

// The stored rows the decode reads and the bytes the header declares for
// them: the whole level, or for rows of blocks chooseBlockRows's choice.
DdsRefusal chooseRows(DdsPlan *plan, DdsLevelRows *level) {
    const DdsLevelRows full = ddsLevelRows(*plan->format, plan->width, plan->height);
    *level = DdsLevelRows{full.rows, full.rowBytes, declaredBytes(*plan, full.bytes)};
    plan->coveredWidth = plan->width;
    plan->coveredHeight = plan->height;
    plan->partialBlocks = plan->format->coding == PixelCoding::Blocks;
    return plan->format->rows == RowLayout::Blocks ? chooseBlockRows(plan, full, level) : DdsRefusal::Accepted;
}

// Sets the checked rows, narrowed.  Planar YUV: a third of a source row is
// its row of U, V pairs, from the chroma plane after the luma plane's rows.
void setRows(DdsPlan *plan, const DdsLevelRows &level) {
    plan->sourceRowBytes = static_cast<uint32_t>(level.rowBytes);
    plan->sourceRows = static_cast<uint32_t>(level.rows);
    const bool blocks = plan->format->coding == PixelCoding::Blocks;
    plan->blocksPerRow = blocks ? plan->sourceRowBytes / plan->format->unitBytes : 0;
    if (plan->format->rows == RowLayout::Planes) {
        plan->secondPlaneRowBytes = plan->sourceRowBytes / 3;
        plan->secondPlaneOffset = plan->dataOffset + uint64_t{plan->height} * plan->secondPlaneRowBytes;
    }
}

// The type the row's rule gives before any block is read; a DXT5 normal
// map has no alpha left.
TextureType typeOfRule(const DdsPlan &plan) {
    const TypeRule rule = plan.format->type;
    const bool noAlphaMask = rule == TypeRule::AlphaMask && plan.header.pixelFormat.aBitMask == 0;
    const bool normals = plan.blocks == BlockFormat::Dxt5Normal;
    return rule == TypeRule::Rgb || noAlphaMask || normals ? TextureType::Rgb : TextureType::Rgba;
}

// DXT1 and BC1: Rgba when their blocks have transparency; or, when Rgb was
// reported and the first block is in four-colour mode, Rgb, for the decode
// to confirm.
DdsRefusal scanTransparency(const DdsSource &source, const TextureType *reported, DdsPlan *plan) {
    const bool confirm = reported != nullptr && *reported == TextureType::Rgb;
    bool transparent = false;
    const bool read = confirm ? ddsBc1FirstBlockTransparent(source, *plan, &transparent)
                              : ddsBc1ImageHasTransparency(source, *plan, &transparent);
    if (!read) return DdsRefusal::ReadFailed;
    plan->confirmType = confirm && !transparent;
    plan->type = transparent ? TextureType::Rgba : TextureType::Rgb;
    return DdsRefusal::Accepted;
}

DdsRefusal plan(const DdsSource &source, const TextureType *reported, const DdsImageChoice &choice,
                DdsPlan *plan) {
    *plan = DdsPlan{};
    uint64_t headerEnd = 0;
    DdsRefusal refusal = readHeaders(source, plan, &headerEnd);
    if (refusal == DdsRefusal::Accepted) refusal = findFormat(plan);
    if (refusal == DdsRefusal::Accepted) refusal = checkSizes(plan->header, plan->format->rows);
    if (refusal == DdsRefusal::Accepted) refusal = chooseImage(choice, plan);
    if (refusal != DdsRefusal::Accepted) return refusal;
    DdsLevelRows level{};
    refusal = placeImage(source.length, headerEnd, plan);
    if (refusal == DdsRefusal::Accepted) refusal = chooseRows(plan, &level);
    if (refusal != DdsRefusal::Accepted) return refusal;
    plan->levelBytes = level.bytes;  // reported with the refusals below too
    refusal = checkLevel(*plan, level);
    if (refusal != DdsRefusal::Accepted) return refusal;
    setRows(plan, level);
    if (!ddsSetChunkRows(plan, chunkRows(*plan))) return DdsRefusal::LevelTooLarge;
    plan->outputWidth = plan->width;
    plan->outputHeight = plan->height;
    if (plan->cross) {
        plan->type = TextureType::Rgba;  // the cells between the faces are transparent
        refusal = placeCrossFaces(source.length, headerEnd, plan);
    } else {
        plan->type = typeOfRule(*plan);
        if (plan->format->type == TypeRule::Transparency) refusal = scanTransparency(source, reported, plan);
    }
    plan->pixelBytes = ddsBytesPerPixel(plan->type);
    plan->unpremultiply = plan->type == TextureType::Rgba && premultiplied(*plan);
    return refusal;
}

DdsLevelRows levelOf(uint64_t rows, uint64_t rowBytes) { return DdsLevelRows{rows, rowBytes, rows * rowBytes}; }

}  // namespace

DdsLevelRows ddsLevelRows(const DdsFormat &format, uint32_t width, uint32_t height) {
    const uint64_t w = width, h = height, unit = format.unitBytes;
    switch (format.rows) {
        case RowLayout::Pixels: return levelOf(h, w * unit);
        case RowLayout::Bits: return levelOf(h, (w + 7) / 8);
        case RowLayout::Pairs: return levelOf(h, (w + 1) / 2 * unit);
        case RowLayout::Planes: return levelOf(h / 2, 3 * w * unit);
        case RowLayout::Blocks:
        case RowLayout::WordGrid: break;
    }
    const BlockShape shape = ddsBlockShape(format.blocks);
    const uint64_t across = (w + shape.width - 1) / shape.width, down = (h + shape.height - 1) / shape.height;
    if (format.rows == RowLayout::Blocks) return levelOf(down, across * unit);
    // PVRTC1's word grid (pvrtc.h): its rows below the image are stored but
    // not decoded.
    const uint64_t gridWidth = ddsPvrtcGridSide(width, shape.width);
    const uint64_t gridHeight = ddsPvrtcGridSide(height, shape.height);
    return DdsLevelRows{down, gridWidth * unit, gridWidth * gridHeight * unit};
}

bool ddsSetChunkRows(DdsPlan *plan, uint32_t rows) {
    const uint64_t bytes = plan->format->rows == RowLayout::WordGrid ? ddsPvrtcChunkBytes(*plan, rows)
                                                                      : uint64_t{rows} * plan->sourceRowBytes;
    if (bytes > ddsMaxHostBytes) return false;
    plan->rowsPerChunk = rows;
    plan->chunkBytes = static_cast<uint32_t>(bytes);
    return true;
}

DdsRefusal ddsPlanImage(const DdsSource &source, DdsPlan *out, const DdsImageChoice &choice) {
    return plan(source, nullptr, choice, out);
}

DdsRefusal ddsPlanReportedImage(const DdsSource &source, TextureType reported, DdsPlan *out,
                                const DdsImageChoice &choice) {
    return plan(source, &reported, choice, out);
}
