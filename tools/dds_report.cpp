#include "dds_report.h"

#include <cctype>
#include <cinttypes>
#include <cstring>

#include "file_source.h"
#include "image_names.h"
#include "plan.h"

namespace {

// The file opened, checked for the magic, and planned, as the importer
// does at its open and its information query.
struct Verdict {
    const char *openFailure = nullptr;  // why the file is not even opened
    DdsRefusal refusal = DdsRefusal::Accepted;
    DdsPlan plan{};
    uint64_t length = 0;
};

Verdict judge(const std::string &path, const DdsImageChoice &choice) {
    Verdict verdict;
    PluginFile file;
    if (!ddsOpenFile(path.c_str(), &file)) {
        verdict.openFailure = "cannot be opened";
        return verdict;
    }
    DdsSource source;
    uint8_t magic[DdsMagicBytes];
    if (!ddsFileSource(&file, &source) || !ddsRead(source, 0, magic, sizeof magic)) {
        verdict.openFailure = "cannot be opened: fewer than 4 bytes";
    } else if (std::memcmp(magic, DdsMagic, sizeof magic) != 0) {
        verdict.openFailure = "not a DDS file (no \"DDS \" magic)";
    } else {
        verdict.length = source.length;
        verdict.refusal = ddsPlanImage(source, &verdict.plan, choice);
    }
    ddsCloseFile(&file);
    return verdict;
}

// What the file holds and the image taken, from an accepted plan; where
// the file's first image starts is where the plan's image starts less the
// images stored before it.
DdsFileImages imagesOf(const Verdict &verdict) {
    DdsFileImages file;
    if (verdict.openFailure != nullptr || verdict.refusal != DdsRefusal::Accepted) return file;
    const DdsPlan &plan = verdict.plan;
    file.planned = true;
    file.texture = plan.texture;
    file.image = plan.image;
    file.cross = plan.cross;
    file.format = plan.format;
    file.firstOffset = plan.dataOffset - ddsImageSpan(plan.texture, *plan.format, plan.image).offset;
    file.length = verdict.length;
    return file;
}

std::string refusalLine(const Verdict &verdict) {
    if (verdict.openFailure != nullptr) return verdict.openFailure;
    if (verdict.refusal == DdsRefusal::Accepted) return {};
    return std::string(ddsRefusalText(verdict.refusal)) + " (" + ddsRefusalName(verdict.refusal) + ")";
}

// "DXT1", or the code in hex when its bytes are not all printable.
std::string fourCCText(uint32_t code) {
    char text[16];
    bool printable = true;
    for (int i = 0; i < 4; ++i) {
        const int c = static_cast<int>((code >> (8 * i)) & 0xFF);
        printable = printable && std::isprint(c) != 0;
        text[i] = static_cast<char>(c);
    }
    if (printable) {
        text[4] = '\0';
        return std::string("\"") + text + "\"";
    }
    std::snprintf(text, sizeof text, "0x%08" PRIx32, code);
    return text;
}

void writeHeader(std::FILE *out, const DdsHeader &header) {
    std::fprintf(out, "  header: %" PRIu32 " x %" PRIu32 ", flags 0x%08" PRIx32, header.width, header.height,
                 header.flags);
    if (header.flags & DdsFlagMipMapCount) std::fprintf(out, ", mip count %" PRId32, header.mipMapCount);
    if (header.flags & DdsFlagLinearSize) std::fprintf(out, ", linear size %" PRIu32, header.pitchOrLinearSize);
    if (header.flags & DdsFlagDepth) std::fprintf(out, ", depth %" PRIu32, header.depth);
    if (header.caps2 & DdsCaps2Cubemap) std::fprintf(out, ", cube map");
    std::fprintf(out, "\n");
    const DdsPixelFormat &format = header.pixelFormat;
    std::fprintf(out, "  pixel format: flags 0x%08" PRIx32, format.flags);
    if (format.flags & DdsPixelFourCC) std::fprintf(out, ", FourCC %s", fourCCText(format.fourCC).c_str());
    if (!(format.flags & DdsPixelFourCC) || format.fourCC == 0) {
        std::fprintf(out,
                     ", %" PRIu32 " bits, masks R 0x%08" PRIx32 " G 0x%08" PRIx32 " B 0x%08" PRIx32
                     " A 0x%08" PRIx32,
                     format.rgbBitCount, format.rBitMask, format.gBitMask, format.bBitMask, format.aBitMask);
    }
    std::fprintf(out, "\n");
}

void writeDx10(std::FILE *out, const DdsHeaderDx10 &dx10) {
    static const char *const alphaModes[] = {"unknown", "straight", "premultiplied", "opaque", "custom"};
    const uint32_t alphaMode = dx10.miscFlags2 & DdsDx10AlphaModeMask;
    std::fprintf(out,
                 "  DX10: DXGI format %" PRIu32 ", dimension %" PRIu32 ", misc flag 0x%" PRIx32 "%s, array size %" PRIu32
                 ", alpha mode %" PRIu32 " (%s)\n",
                 dx10.dxgiFormat, dx10.resourceDimension, dx10.miscFlag,
                 (dx10.miscFlag & DdsDx10MiscCube) ? " (cube)" : "", dx10.arraySize, alphaMode,
                 alphaMode < 5 ? alphaModes[alphaMode] : "reserved");
}

void writeImport(std::FILE *out, const DdsPlan &plan) {
    const bool blocks = plan.format->coding == PixelCoding::Blocks;
    const bool words = plan.format->rows == RowLayout::WordGrid;
    const bool planes = plan.secondPlaneRowBytes != 0;
    std::fprintf(out, "  import: %s, %s (type %d), %" PRIu32 " stored rows of %s", plan.format->name,
                 plan.type == TextureType::Rgb ? "RGB" : "RGBA", static_cast<int>(plan.type), plan.sourceRows,
                 words ? "words" : blocks ? "blocks" : planes ? "two luma rows and their chroma row" : "pixels");
    if (planes) {
        std::fprintf(out, "\n  planes: luma from byte %" PRIu64 ", U, V pairs from byte %" PRIu64, plan.dataOffset,
                     plan.secondPlaneOffset);
    }
    if (plan.format->coding == PixelCoding::Palette) {
        std::fprintf(out, "\n  palette: 256 entries at byte %" PRIu64 ", the pixels from byte %" PRIu64,
                     plan.paletteOffset, plan.dataOffset);
    }
    if (!blocks) {
        std::fprintf(out, "\n");
        return;
    }
    const BlockShape shape = ddsBlockShape(plan.blocks);
    std::fprintf(out, " of %u bytes for %u x %u pixels\n", unsigned{shape.bytes}, unsigned{shape.width},
                 unsigned{shape.height});
    if (words) {
        std::fprintf(out, "  words: a grid of %" PRIu32 " x %u, in Morton order\n", plan.blocksPerRow,
                     static_cast<unsigned>(plan.levelBytes / 8 / plan.blocksPerRow));
    } else if (plan.width % shape.width != 0 || plan.height % shape.height != 0) {
        std::fprintf(out, "  edges: %s\n",
                     plan.partialBlocks ? "the partial blocks are stored and decoded"
                                        : "only the whole blocks are stored; the pixels past them are not decoded");
    }
}

// Every image of the file, in the order it stores them, up to the first
// one the file does not hold whole: the images after it start past the
// end of the file, and a hostile header can count billions of them.
void writeImages(std::FILE *out, const DdsFileImages &file) {
    const uint64_t count = ddsImageCount(file.texture);
    std::fprintf(out, "  images: %" PRIu64 ", in file order\n", count);
    for (uint64_t n = 0; n < count; ++n) {
        const DdsImagePlace place = ddsImagePlace(file, n);
        const DdsImageIndex &image = place.image;
        std::fprintf(out, "    element %" PRIu32, image.element);
        if (file.texture.cube) std::fprintf(out, ", face %s", ddsFaceName(image.face));
        std::fprintf(out, ", level %" PRIu32 ", slice %" PRIu32 ": %" PRIu32 " x %" PRIu32 ", %" PRIu64
                          " bytes at byte %" PRIu64 ", %s\n",
                     image.level, image.slice, ddsLevelSide(file.texture.width, image.level),
                     ddsLevelSide(file.texture.height, image.level), place.bytes, place.offset,
                     place.whole ? "whole" : "not whole");
        if (!place.whole && n + 1 < count) {
            std::fprintf(out, "    %" PRIu64 " more images, past the end of the file\n", count - n - 1);
            return;
        }
    }
}

}  // namespace

std::string ddsRefusalReason(const std::string &path, const DdsImageChoice &choice) {
    return refusalLine(judge(path, choice));
}

DdsFileImages ddsFileImages(const std::string &path, const DdsImageChoice &choice) {
    return imagesOf(judge(path, choice));
}

DdsImagePlace ddsImagePlace(const DdsFileImages &file, uint64_t n) {
    const DdsImageIndex image = ddsImageAt(file.texture, n);
    const DdsImageSpan span = ddsImageSpan(file.texture, *file.format, image);
    const uint64_t offset = span.offset > UINT64_MAX - file.firstOffset ? UINT64_MAX : file.firstOffset + span.offset;
    const bool whole = offset <= file.length && span.bytes <= file.length - offset;
    return DdsImagePlace{image, offset, span.bytes, whole};
}

bool ddsWriteReport(std::FILE *out, const std::string &path) {
    const Verdict verdict = judge(path, DdsImageChoice{});
    std::fprintf(out, "%s\n", path.c_str());
    if (verdict.openFailure != nullptr) {
        std::fprintf(out, "  refused: %s\n", verdict.openFailure);
        return false;
    }
    if (verdict.refusal == DdsRefusal::HeaderTruncated) {
        std::fprintf(out, "  %" PRIu64 " bytes: the header needs %" PRIu32 "\n", verdict.length, DdsDataOffset);
    } else {
        writeHeader(out, verdict.plan.header);
        if (verdict.plan.hasDx10 && verdict.refusal != DdsRefusal::Dx10HeaderTruncated) writeDx10(out, verdict.plan.dx10);
        const uint64_t headerEnd = verdict.plan.hasDx10 ? DdsDx10DataOffset : DdsDataOffset;
        std::fprintf(out, "  data: %" PRIu64 " bytes after the header",
                     verdict.length > headerEnd ? verdict.length - headerEnd : 0);
        if (verdict.plan.levelBytes != 0) {
            std::fprintf(out, ", the top level needs %" PRIu64, verdict.plan.levelBytes);
        }
        std::fprintf(out, "\n");
    }
    if (verdict.refusal != DdsRefusal::Accepted) {
        std::fprintf(out, "  refused: %s\n", refusalLine(verdict).c_str());
        return false;
    }
    writeImport(out, verdict.plan);
    writeImages(out, imagesOf(verdict));
    return true;
}
