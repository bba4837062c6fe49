// ddsimport: a command-line host for the DDS importer plug-in.
//
// It loads the plug-in the way the host application does (by path, finding
// its exports by name), starts it against the stand-in host library, and
// imports each file through the callbacks the plug-in registered: open,
// information, image, close, under the host preferences its options set
// (which image of the file, how HDR values become bytes).  Each image is
// written as a PNG, and all of them can be put together into one contact
// sheet; or every image of each file is imported and written; or each file
// is imported several times, writing nothing, to time the import.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "dds_report.h"
#include "ddsimage_version.h"
#include "image_names.h"
#include "image_preferences.h"
#include "plugin_loader.h"
#include "png_writer.h"
#include "repeat_import.h"
#include "timed_import.h"
#include "qvhost.h"

namespace {

constexpr int RgbType = 4;
constexpr int RgbaType = 5;

// Exit statuses, as --help and the README list them.
constexpr int ExitAllImported = 0;
constexpr int ExitSomeFailed = 1;
constexpr int ExitUsageOrSetup = 2;

// Status of a file whose image was imported but whose PNG was not written.
constexpr int PngNotWritten = 1;

// The most imports of one file --repeat takes.
constexpr long MaxRepeat = 1000000;

struct Options {
    std::string pluginPath;
    std::string outputDirectory = "out";
    std::string contactSheet;
    int preference = 1;
    int repeat = 0;  // imports of each file for --repeat; 0: import once and write the PNG
    bool infoOnly = false;
    bool quiet = false;
    DdsImageChoice choice;            // the image preferences the options set
    const char *chosenBy = nullptr;   // the first option that chose the image (--mip ... --cube-cross)
    bool allImages = false;
    std::vector<std::string> files;
};

void printUsage(FILE *to) {
    std::fprintf(to,
                 "usage: ddsimport [options] file.dds ...\n"
                 "Imports DDS textures through the ddsimage plug-in and writes each as a PNG.\n\n"
                 "  -o DIR                 write PNGs into DIR (default: out)\n"
                 "  --contact-sheet FILE   also write FILE, one PNG with every imported image\n"
                 "                         scaled into a grid, its file name (with\n"
                 "                         --all-images its PNG's name) below it\n"
                 "  --quiet                print only the files that fail and the summary\n"
                 "  --pref N               value of the host preference %s (default 1:\n"
                 "                         rows in file order, so the PNG stands upright; 0\n"
                 "                         shows the rows as the host gets them by default)\n"
                 "  --mip N                import mip level N (0, the default: the largest)\n"
                 "  --element N            import array element N (of a cube array: cube N)\n"
                 "  --face F               import cube face F, 0 to 5 or +x, -x, +y, -y, +z, -z\n"
                 "                         (default: the first face the file holds)\n"
                 "  --slice N              import slice N of a volume's level\n"
                 "  --cube-cross           import a cube map's six faces as one RGBA cross of\n"
                 "                         4 x 3 faces\n"
                 "  --exposure EV          scale HDR values by 2^EV (stops, to the nearest 0.01)\n"
                 "  --hdr-srgb             HDR values through the sRGB curve after the exposure\n"
                 "  --all-images           import every image of each file (every element, face,\n"
                 "                         level and slice) into its own PNG, NAME_e1_f-x_m2_s0.png\n"
                 "                         with the parts the file has (NAME.png for one image);\n"
                 "                         not with --mip, --element, --face, --slice, --cube-cross\n"
                 "  --info                 query the image information only; write nothing\n"
                 "  --repeat N             import each file N times and write nothing; print\n"
                 "                         the best and the median time of one import (its\n"
                 "                         open, information, image and close callbacks)\n"
                 "  --plugin PATH          load this plug-in instead of the installed one\n"
                 "  --version              print ddsimport's version\n"
                 "  -h, --help             show this text\n\n"
                 "A level, element or slice beyond what a file holds takes the nearest it holds;\n"
                 "a file's line names the image taken when the file holds more than one.\n\n"
                 "The plug-in (%s) is taken from beside ddsimport, or else from\n"
                 "the installed plug-in folder (%s from ddsimport's folder).\n\n"
                 "Exit status: %d every file imported; %d some file (with --all-images some\n"
                 "image) failed, or its PNG or the contact sheet could not be written (the\n"
                 "other files are still imported); %d usage or setup error (bad options, no\n"
                 "files, the plug-in cannot be found, loaded or started, the output folder\n"
                 "cannot be made).\n",
                 FlipPreference, pluginFileName(), DDSIMAGE_PLUGIN_DIR_FROM_TOOLS, ExitAllImported,
                 ExitSomeFailed, ExitUsageOrSetup);
}

// What a status of the plug-in's callbacks means, or that of a PNG not
// written.
const char *statusWords(int status) {
    switch (status) {
        case 0: return "ok";
        case -2: return "the file cannot be opened or holds fewer than 4 bytes";
        case -6: return "not a DDS file (no \"DDS \" magic)";
        case -8: return "the data cannot be read or is refused";
        case PngNotWritten: return "PNG not written";
        default: return "unknown status";
    }
}

// Parses a whole decimal number within [low, high]; false otherwise.
bool parseInteger(const char *text, long low, long high, long *value) {
    char *end = nullptr;
    *value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && *value >= low && *value <= high;
}

// The value after option argv[*i], which *i moves to; null, said on
// stderr, when there is none.
const char *optionValue(int argc, char **argv, int *i) {
    if (*i + 1 >= argc) {
        std::fprintf(stderr, "ddsimport: %s needs a value\n", argv[*i]);
        return nullptr;
    }
    return argv[++*i];
}

// Whether an argument was one of a group of options, and whether its
// value was valid.
enum class Parsed { NotThese, Valid, Invalid };

// The image options without a value: --cube-cross, --hdr-srgb, --all-images.
Parsed parseImageSwitch(const char *arg, Options *options) {
    if (std::strcmp(arg, "--cube-cross") == 0) {
        options->choice.cubeCross = true;
        if (options->chosenBy == nullptr) options->chosenBy = arg;
    } else if (std::strcmp(arg, "--hdr-srgb") == 0) {
        options->choice.hdrSrgb = true;
    } else if (std::strcmp(arg, "--all-images") == 0) {
        options->allImages = true;
    } else {
        return Parsed::NotThese;
    }
    return Parsed::Valid;
}

// The image options with a value: --mip, --element, --slice (0 and up),
// --face, --exposure.
Parsed parseImageValue(int argc, char **argv, int *i, Options *options) {
    const char *arg = argv[*i];
    DdsImageChoice &choice = options->choice;
    int32_t *number = std::strcmp(arg, "--mip") == 0       ? &choice.level
                      : std::strcmp(arg, "--element") == 0 ? &choice.element
                      : std::strcmp(arg, "--slice") == 0   ? &choice.slice
                                                          : nullptr;
    const bool face = std::strcmp(arg, "--face") == 0;
    const bool exposure = std::strcmp(arg, "--exposure") == 0;
    if (number == nullptr && !face && !exposure) return Parsed::NotThese;
    const char *v = optionValue(argc, argv, i);
    if (v == nullptr) return Parsed::Invalid;
    long parsed = 0;
    if (exposure && !parseExposure(v, &choice.exposure)) {
        std::fprintf(stderr, "ddsimport: --exposure needs stops as a decimal number (-1.5), not '%s'\n", v);
        return Parsed::Invalid;
    } else if (face && !ddsParseFace(v, &choice.face)) {
        std::fprintf(stderr, "ddsimport: --face needs 0 to 5 or +x, -x, +y, -y, +z, -z, not '%s'\n", v);
        return Parsed::Invalid;
    } else if (number != nullptr && !parseInteger(v, 0, INT32_MAX, &parsed)) {
        std::fprintf(stderr, "ddsimport: %s needs a number from 0, not '%s'\n", arg, v);
        return Parsed::Invalid;
    }
    if (number != nullptr) *number = static_cast<int32_t>(parsed);
    if (!exposure && options->chosenBy == nullptr) options->chosenBy = arg;
    return Parsed::Valid;
}

// Options that do not go together; false, said on stderr, when two are
// given.
bool checkCombinations(const Options &options) {
    if (options.infoOnly && !options.contactSheet.empty()) {
        std::fprintf(stderr, "ddsimport: --contact-sheet needs the images, which --info does not read\n");
        return false;
    }
    if (options.repeat > 0 && (options.infoOnly || !options.contactSheet.empty() || options.allImages)) {
        std::fprintf(stderr, "ddsimport: --repeat times whole imports and writes nothing: not with %s\n",
                     options.infoOnly ? "--info" : options.allImages ? "--all-images" : "--contact-sheet");
        return false;
    }
    if (options.allImages && options.chosenBy != nullptr) {
        std::fprintf(stderr, "ddsimport: --all-images imports every image, each as it is stored: not with %s\n",
                     options.chosenBy);
        return false;
    }
    return true;
}

// What the command line asks for.
enum class Request { Import, Help, Version, Invalid };

Request parseArguments(int argc, char **argv, Options *options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        Parsed image = parseImageSwitch(argv[i], options);
        if (image == Parsed::NotThese) image = parseImageValue(argc, argv, &i, options);
        if (image == Parsed::Invalid) return Request::Invalid;
        if (image == Parsed::Valid) continue;
        if (arg == "-h" || arg == "--help") {
            return Request::Help;
        } else if (arg == "--version") {
            return Request::Version;
        } else if (arg == "-o" || arg == "--plugin" || arg == "--contact-sheet") {
            const char *v = optionValue(argc, argv, &i);
            if (v == nullptr) return Request::Invalid;
            std::string &target = arg == "-o" ? options->outputDirectory
                                  : arg == "--plugin" ? options->pluginPath
                                                      : options->contactSheet;
            target = v;
        } else if (arg == "--pref") {
            const char *v = optionValue(argc, argv, &i);
            if (v == nullptr) return Request::Invalid;
            long parsed = 0;
            if (!parseInteger(v, -2147483647L - 1, 2147483647L, &parsed)) {
                std::fprintf(stderr, "ddsimport: --pref needs an integer, not '%s'\n", v);
                return Request::Invalid;
            }
            options->preference = static_cast<int>(parsed);
        } else if (arg == "--repeat") {
            const char *v = optionValue(argc, argv, &i);
            if (v == nullptr) return Request::Invalid;
            long parsed = 0;
            if (!parseInteger(v, 1, MaxRepeat, &parsed)) {
                std::fprintf(stderr, "ddsimport: --repeat needs a count from 1 to %ld, not '%s'\n", MaxRepeat, v);
                return Request::Invalid;
            }
            options->repeat = static_cast<int>(parsed);
        } else if (arg == "--info") {
            options->infoOnly = true;
        } else if (arg == "--quiet") {
            options->quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "ddsimport: unknown option %s\n", arg.c_str());
            return Request::Invalid;
        } else {
            options->files.push_back(arg);
        }
    }
    if (options->files.empty()) {
        std::fprintf(stderr, "ddsimport: no files to import\n");
        return Request::Invalid;
    }
    return checkCombinations(*options) ? Request::Import : Request::Invalid;
}

// The plug-in beside the program, or else the one in the installed plug-in
// folder; empty when neither exists (both places are then in `looked`).
std::string findPlugin(const char *argv0, std::string *looked) {
    const std::filesystem::path directory = programDirectory(argv0);
    const std::filesystem::path candidates[] = {
        directory / pluginFileName(),
        directory / DDSIMAGE_PLUGIN_DIR_FROM_TOOLS / pluginFileName(),
    };
    for (const auto &candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
        *looked += (looked->empty() ? "" : ", ") + candidate.lexically_normal().string();
    }
    return std::string();
}

// One import: the file, the host preferences it runs under, and how its
// line, its PNG and its cell on the contact sheet name it.
struct ImportTarget {
    std::string path;
    DdsImageChoice choice;
    std::string words;    // the image, on its line; empty when the file holds one image
    std::string pngName;  // the PNG's name in the output folder
    std::string label;    // its label on the contact sheet
};

// The image the options choose from the file at `path`, named as the
// importer's planner takes it (the same planning the plug-in does): its
// PNG after the file, NAME.png, and its label the file's name.
ImportTarget chosenImage(const Options &options, const std::string &path) {
    const DdsFileImages file = ddsFileImages(path, options.choice);
    const std::filesystem::path name = std::filesystem::path(path).filename();
    return ImportTarget{path, options.choice, file.planned ? ddsImageWords(file.texture, file.image, file.cross) : "",
                        name.stem().string() + ".png", name.string()};
}

// Image `image` of a file of `texture` under --all-images: the options'
// preferences with that image's; its PNG and its label NAME_SUFFIX.
ImportTarget storedImage(const Options &options, const std::string &path, const DdsTexture &texture,
                         const DdsImageIndex &image) {
    DdsImageChoice choice = options.choice;
    choice.level = static_cast<int32_t>(image.level);
    choice.element = static_cast<int32_t>(image.element);
    choice.face = static_cast<int32_t>(image.face);
    choice.slice = static_cast<int32_t>(image.slice);
    const std::string name = std::filesystem::path(path).stem().string() + ddsImageSuffix(texture, image);
    return ImportTarget{path, choice, ddsImageWords(texture, image, false), name + ".png", name};
}

// What starts a line: the file's path, and the image when it names one.
std::string subjectOf(const ImportTarget &target) {
    return target.words.empty() ? target.path : target.path + " (" + target.words + ")";
}

// The line of an import that a callback refused with `status`: for -8 the
// reason ddsinfo gives (from its library ddsinfo_report) for the image
// the import chose, for the other statuses, or when ddsinfo finds nothing
// wrong (the file changed between the two looks), what the status means.
void printRefused(const ImportTarget &target, int status) {
    std::string reason = status == -8 ? ddsRefusalReason(target.path, target.choice) : std::string();
    if (reason.empty()) reason = statusWords(status);
    std::printf("%s: refused (%d): %s\n", subjectOf(target).c_str(), status, reason.c_str());
}

const char *typeName(int type) { return type == RgbType ? "RGB" : type == RgbaType ? "RGBA" : "-"; }

struct Totals {
    int imported = 0;     // files all of whose images (one, or every one) were imported
    uint64_t images = 0;  // images imported or refused, and with --all-images those past a file's end
    uint64_t imagesImported = 0;
    double pixels = 0;
    double importMs = 0;  // with --repeat: the best imports'
    double medianMs = 0;  // --repeat only
    double pngMs = 0;
};

// What became of one import: the image's, and its PNG's.
struct ImageOutcome {
    TimedImport import;
    int status = 0;        // the import's, or PngNotWritten
    double pngMs = -1;     // the time writing the PNG took; -1 when none was written
    std::string written;   // the PNG's path, once written
};

// Writes the PNG of an imported image into the output folder, and times
// it.
void writeImagePng(const Options &options, const ImportTarget &target, const std::vector<uint8_t> &pixels,
                   ImageOutcome *outcome) {
    const QvImageInfo &info = outcome->import.info;
    const std::string written = (std::filesystem::path(options.outputDirectory) / target.pngName).string();
    const ToolClock::time_point start = ToolClock::now();
    if (writePng(written, info.width, info.height, channelsOf(info), pixels.data())) {
        outcome->written = written;
    } else {
        std::fprintf(stderr, "ddsimport: cannot write %s\n", written.c_str());
        outcome->status = PngNotWritten;
    }
    outcome->pngMs = millisecondsSince(start);
}

void addToTotals(const ImageOutcome &outcome, Totals *totals) {
    ++totals->images;
    if (outcome.status != 0 && outcome.status != PngNotWritten) return;
    const QvImageInfo &info = outcome.import.info;
    totals->pixels += static_cast<double>(info.width) * static_cast<double>(info.height);
    totals->importMs += outcome.import.ms;
    if (outcome.pngMs >= 0) totals->pngMs += outcome.pngMs;
    if (outcome.status == 0) ++totals->imagesImported;
}

// The image's line: its size, type, times and PNG, or why it was refused;
// with --quiet only the images that fail.
void printImageLine(const Options &options, const ImportTarget &target, const ImageOutcome &outcome) {
    if (options.quiet && outcome.status == 0) return;
    if (outcome.status < 0) {
        printRefused(target, outcome.status);
        return;
    }
    const QvImageInfo &info = outcome.import.info;
    char times[64];
    if (outcome.pngMs >= 0) {
        std::snprintf(times, sizeof times, "import %.2f ms, png %.2f ms", outcome.import.ms, outcome.pngMs);
    } else {
        std::snprintf(times, sizeof times, "import %.2f ms", outcome.import.ms);
    }
    std::printf("%s: %d x %d %s %s %s%s%s\n", subjectOf(target).c_str(), info.width, info.height,
                typeName(info.type), times, statusWords(outcome.status), outcome.written.empty() ? "" : " -> ",
                outcome.written.c_str());
}

// Imports one image of a file under the target's preferences, writes its
// PNG and adds it to the contact sheet, and prints its line; true when
// every callback succeeded and its PNG was written.  Only the callbacks
// count as import time; writing the PNG is timed apart, adding to the
// contact sheet not at all.
bool importImage(const QvHostImporter &importer, const Options &options, const ImportTarget &target,
                 ContactSheet *sheet, Totals *totals) {
    setHostPreferences(options.preference, target.choice);
    std::vector<uint8_t> pixels;
    ImageOutcome outcome;
    outcome.import = importTimed(importer, target.path, !options.infoOnly, &pixels);
    outcome.status = outcome.import.status;
    if (outcome.status == 0 && !options.infoOnly) {
        writeImagePng(options, target, pixels, &outcome);
        const QvImageInfo &info = outcome.import.info;
        if (sheet != nullptr) sheet->add(target.label, info.width, info.height, channelsOf(info), pixels.data());
    }
    addToTotals(outcome, totals);
    printImageLine(options, target, outcome);
    return outcome.status == 0;
}

// The images of a file after one it does not hold whole: they start past
// its end, so they are counted, and not imported.
void countPastTheEnd(const std::string &path, uint64_t images, Totals *totals) {
    totals->images += images;
    std::printf("%s: %" PRIu64 " more images, past the end of the file: not imported\n", path.c_str(), images);
}

// Imports every image of a file, each under the preferences that choose
// it, in the order the file stores them, up to the first one the file
// does not hold whole; a file whose first image is refused is imported
// once, for its line.  True when every image was imported.
bool importEveryImage(const QvHostImporter &importer, const Options &options, const std::string &path,
                      ContactSheet *sheet, Totals *totals) {
    const DdsFileImages file = ddsFileImages(path);
    if (!file.planned) return importImage(importer, options, chosenImage(options, path), sheet, totals);
    const uint64_t count = ddsImageCount(file.texture);
    bool every = true;
    for (uint64_t n = 0; n < count; ++n) {
        const DdsImagePlace place = ddsImagePlace(file, n);
        every = importImage(importer, options, storedImage(options, path, file.texture, place.image), sheet,
                            totals) && every;
        if (!place.whole && n + 1 < count) {
            countPastTheEnd(path, count - n - 1, totals);
            return false;
        }
    }
    return every;
}

double megapixelsPerSecond(double pixels, double ms) { return ms > 0 ? pixels / ms / 1000.0 : 0.0; }

// Imports one file options.repeat times and prints its line: the best and
// the median time of one import; true when it was imported.
bool repeatFile(const QvHostImporter &importer, const Options &options, const std::string &path, Totals *totals) {
    const ImportTarget target = chosenImage(options, path);
    setHostPreferences(options.preference, target.choice);
    const RepeatedImport result = importRepeatedly(importer, path, options.repeat);
    if (result.status != 0) {
        printRefused(target, result.status);
        return false;
    }
    const double pixels = static_cast<double>(result.width) * static_cast<double>(result.height);
    totals->pixels += pixels;
    totals->importMs += result.bestMs;
    totals->medianMs += result.medianMs;
    if (options.quiet) return true;
    std::printf("%s: %d x %d %s best %.2f ms (%.1f MPix/s), median %.2f ms (%.1f MPix/s)\n",
                subjectOf(target).c_str(), result.width, result.height, typeName(result.type), result.bestMs,
                megapixelsPerSecond(pixels, result.bestMs), result.medianMs,
                megapixelsPerSecond(pixels, result.medianMs));
    return true;
}

// Imports one file as the options ask: the image they choose, every image,
// or the chosen one again and again; true when it was imported.
bool importFile(const QvHostImporter &importer, const Options &options, const std::string &path,
                ContactSheet *sheet, Totals *totals) {
    if (options.repeat > 0) return repeatFile(importer, options, path, totals);
    if (options.allImages) return importEveryImage(importer, options, path, sheet, totals);
    return importImage(importer, options, chosenImage(options, path), sheet, totals);
}

// The last lines: how many files were imported, and the pixels and times.
void printSummary(const Options &options, const Totals &totals) {
    const int total = static_cast<int>(options.files.size());
    if (options.repeat > 0) {
        std::printf("imported %d of %d files %d times, %.0f pixels: best %.2f ms (%.1f MPix/s), median %.2f ms "
                    "(%.1f MPix/s)\n",
                    totals.imported, total, options.repeat, totals.pixels, totals.importMs,
                    megapixelsPerSecond(totals.pixels, totals.importMs), totals.medianMs,
                    megapixelsPerSecond(totals.pixels, totals.medianMs));
        return;
    }
    if (options.allImages) {
        std::printf("imported %d of %d files, %" PRIu64 " of %" PRIu64 " images\n", totals.imported, total,
                    totals.imagesImported, totals.images);
    } else {
        std::printf("imported %d of %d files\n", totals.imported, total);
    }
    if (options.infoOnly) {
        // Nothing was decoded: a rate would only time the queries.
        std::printf("%.0f pixels\n", totals.pixels);
        return;
    }
    std::printf("%.0f pixels, import %.2f ms (%.1f MPix/s), png %.2f ms\n", totals.pixels, totals.importMs,
                megapixelsPerSecond(totals.pixels, totals.importMs), totals.pngMs);
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    switch (parseArguments(argc, argv, &options)) {
        case Request::Help:
            printUsage(stdout);
            return ExitAllImported;
        case Request::Version:
            std::printf("ddsimport %s\n", DDSIMAGE_VERSION);
            return ExitAllImported;
        case Request::Invalid:
            printUsage(stderr);
            return ExitUsageOrSetup;
        case Request::Import:
            break;
    }
    if (options.pluginPath.empty()) {
        std::string looked;
        options.pluginPath = findPlugin(argv[0], &looked);
        if (options.pluginPath.empty()) {
            std::fprintf(stderr, "ddsimport: no plug-in found (looked for %s); name one with --plugin\n",
                         looked.c_str());
            return ExitUsageOrSetup;
        }
    }
    if (!options.infoOnly && options.repeat == 0) {
        std::error_code error;
        std::filesystem::create_directories(options.outputDirectory, error);
        if (error) {
            std::fprintf(stderr, "ddsimport: cannot create %s: %s\n", options.outputDirectory.c_str(),
                         error.message().c_str());
            return ExitUsageOrSetup;
        }
    }

    LoadedPlugin plugin;
    std::string error;
    if (!loadPlugin(options.pluginPath, &plugin, &error)) {
        std::fprintf(stderr, "ddsimport: %s\n", error.c_str());
        return ExitUsageOrSetup;
    }
    const std::string preferences = preferencesText(options.choice);
    if (!options.quiet) {
        std::printf("%s %s by %s (%s) from %s\n", *plugin.idString, *plugin.version, *plugin.vendor,
                    *plugin.uuidString, options.pluginPath.c_str());
        if (!preferences.empty()) std::printf("preferences: %s\n", preferences.c_str());
    }

    setHostPreferences(options.preference, options.choice);
    QvPlugin *host = qvhostPluginHandle();
    if (plugin.init(host, 0, 0) == 0) {
        std::fprintf(stderr, "ddsimport: the plug-in refused to start\n");
        plugin.exit(host);
        unloadPlugin(&plugin);
        return ExitUsageOrSetup;
    }
    QvHostImporter importer;
    qvhostImporter(&importer);

    ContactSheet sheet;
    ContactSheet *sheetOrNull = options.contactSheet.empty() ? nullptr : &sheet;
    Totals totals;
    for (const std::string &file : options.files) {
        if (importFile(importer, options, file, sheetOrNull, &totals)) ++totals.imported;
    }
    plugin.exit(host);
    unloadPlugin(&plugin);

    bool failed = totals.imported != static_cast<int>(options.files.size());
    printSummary(options, totals);
    if (sheetOrNull != nullptr) {
        if (sheet.write(options.contactSheet)) {
            if (!options.quiet) {
                std::printf("contact sheet of %d images -> %s\n", static_cast<int>(sheet.size()),
                            options.contactSheet.c_str());
            }
        } else {
            std::fprintf(stderr, "ddsimport: cannot write the contact sheet %s\n", options.contactSheet.c_str());
            failed = true;
        }
    }
    if (qvhostLiveAllocations() != 0) {
        std::fprintf(stderr, "ddsimport: the plug-in left %d host allocations\n", qvhostLiveAllocations());
        failed = true;
    }
    return failed ? ExitSomeFailed : ExitAllImported;
}
