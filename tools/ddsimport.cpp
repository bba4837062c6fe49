// ddsimport: a command-line host for the DDS importer plug-in.
//
// It loads the plug-in the way the host application does (by path, finding
// its exports by name), starts it against the stand-in host library, and
// imports each file through the callbacks the plug-in registered: open,
// information, image, close.  Each image is written as a PNG.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin_loader.h"
#include "png_writer.h"
#include "qvhost.h"

namespace {

constexpr char FlipPreference[] = "KER:FlipDDSImages";
constexpr int RgbType = 4;
constexpr int RgbaType = 5;

struct Options {
    std::string pluginPath;
    std::string outputDirectory = "out";
    int preference = 1;
    bool infoOnly = false;
    std::vector<std::string> files;
};

void printUsage(FILE *to) {
    std::fprintf(to,
                 "usage: ddsimport [options] [file.dds ...]\n"
                 "Imports DDS textures through the ddsimage plug-in and writes each as a PNG.\n"
                 "With no files, imports the bundled samples.\n\n"
                 "  -o DIR          write PNGs into DIR (default: out)\n"
                 "  --pref N        value of the host preference %s (default 1:\n"
                 "                  rows in file order, so the PNG stands upright; 0 shows\n"
                 "                  the rows as the host gets them by default)\n"
                 "  --info          query the image information only; write nothing\n"
                 "  --plugin PATH   load this plug-in instead of the one beside ddsimport\n"
                 "  -h, --help      show this text\n",
                 FlipPreference);
}

const char *statusWords(int status) {
    switch (status) {
        case 0: return "ok";
        case -2: return "cannot open the file";
        case -6: return "not a DDS file";
        case -8: return "unreadable or unsupported DDS data";
        default: return "unknown status";
    }
}

bool parseArguments(int argc, char **argv, Options *options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "ddsimport: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            std::exit(0);
        } else if (arg == "-o") {
            const char *v = value("-o");
            if (v == nullptr) return false;
            options->outputDirectory = v;
        } else if (arg == "--pref") {
            const char *v = value("--pref");
            if (v == nullptr) return false;
            char *end = nullptr;
            const long parsed = std::strtol(v, &end, 10);
            if (*v == '\0' || *end != '\0' || parsed < -2147483647L - 1 || parsed > 2147483647L) {
                std::fprintf(stderr, "ddsimport: --pref needs an integer, not '%s'\n", v);
                return false;
            }
            options->preference = static_cast<int>(parsed);
        } else if (arg == "--info") {
            options->infoOnly = true;
        } else if (arg == "--plugin") {
            const char *v = value("--plugin");
            if (v == nullptr) return false;
            options->pluginPath = v;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "ddsimport: unknown option %s\n", arg.c_str());
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return true;
}

std::vector<std::string> bundledSamples() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(DDSIMAGE_SAMPLES_DIR, error)) {
        if (entry.path().extension() == ".dds") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Imports one file; returns true when every callback succeeded.
bool importFile(const QvHostImporter &importer, const Options &options, const std::string &path) {
    const auto start = std::chrono::steady_clock::now();
    int handle = -1;
    int status = importer.open(nullptr, nullptr, path.c_str(), "r", &handle);
    QvImageInfo info{};
    std::string written;
    if (status == 0) {
        status = importer.info(nullptr, nullptr, handle, &info);
        if (status == 0 && !options.infoOnly) {
            const int channels = info.type == RgbType ? 3 : 4;
            std::vector<uint8_t> pixels(static_cast<size_t>(info.width) * static_cast<size_t>(info.height) *
                                        static_cast<size_t>(channels));
            status = importer.image(nullptr, nullptr, handle, nullptr, pixels.data());
            if (status == 0) {
                const std::string name = std::filesystem::path(path).stem().string() + ".png";
                written = (std::filesystem::path(options.outputDirectory) / name).string();
                if (!writePng(written, info.width, info.height, channels, pixels.data())) {
                    std::fprintf(stderr, "ddsimport: cannot write %s\n", written.c_str());
                    written.clear();
                    status = 1;
                }
            }
        }
        const int closed = importer.close(nullptr, nullptr, handle);
        if (status == 0) status = closed;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    const char *kind = info.type == RgbType ? "RGB" : info.type == RgbaType ? "RGBA" : "-";
    std::printf("%s: %d x %d %s %.2f ms %s%s%s\n", path.c_str(), info.width, info.height, kind, ms,
                status == 1 ? "PNG not written" : statusWords(status), written.empty() ? "" : " -> ",
                written.c_str());
    return status == 0;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseArguments(argc, argv, &options)) {
        printUsage(stderr);
        return 2;
    }
    if (options.pluginPath.empty()) options.pluginPath = pluginBesideProgram(argv[0]);
    if (options.files.empty()) options.files = bundledSamples();
    if (!options.infoOnly) {
        std::error_code error;
        std::filesystem::create_directories(options.outputDirectory, error);
        if (error) {
            std::fprintf(stderr, "ddsimport: cannot create %s: %s\n", options.outputDirectory.c_str(),
                         error.message().c_str());
            return 2;
        }
    }

    LoadedPlugin plugin;
    std::string error;
    if (!loadPlugin(options.pluginPath, &plugin, &error)) {
        std::fprintf(stderr, "ddsimport: %s\n", error.c_str());
        return 2;
    }
    std::printf("%s %s by %s (%s)\n", *plugin.idString, *plugin.version, *plugin.vendor, *plugin.uuidString);

    qvhostSetPreference(FlipPreference, options.preference);
    QvPlugin *host = qvhostPluginHandle();
    if (plugin.init(host, 0, 0) == 0) {
        std::fprintf(stderr, "ddsimport: the plug-in refused to start\n");
        plugin.exit(host);
        unloadPlugin(&plugin);
        return 2;
    }
    QvHostImporter importer;
    qvhostImporter(&importer);

    int imported = 0;
    for (const std::string &file : options.files) imported += importFile(importer, options, file) ? 1 : 0;
    plugin.exit(host);
    unloadPlugin(&plugin);

    const int total = static_cast<int>(options.files.size());
    std::printf("imported %d of %d files\n", imported, total);
    if (qvhostLiveAllocations() != 0) {
        std::fprintf(stderr, "ddsimport: the plug-in left %d host allocations\n", qvhostLiveAllocations());
        return 1;
    }
    return imported == total ? 0 : 1;
}
