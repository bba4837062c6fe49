// The Windows plug-in DLL's export and import tables, read from the built
// file itself: the host finds the six exports by their undecorated names,
// the two entry points as code and the four identity strings as data, and
// loading the DLL must need nothing but qvapilib.dll and system DLLs.
//
// Windows builds only: the Linux library's exports are checked through its
// ELF dynamic symbol table in exports_test.cpp.

#if defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// A small reader for PE files (DOS header, PE header, optional header, data
// directory 0 for exports, 1 for imports, 13 for delay-loaded imports).

constexpr uint32_t ScnMemExecute = 0x20000000u;  // IMAGE_SCN_MEM_EXECUTE
constexpr uint16_t MachineI386 = 0x014c;          // IMAGE_FILE_MACHINE_I386
constexpr uint16_t MachineAmd64 = 0x8664;         // IMAGE_FILE_MACHINE_AMD64
constexpr uint16_t FileDll = 0x2000;              // IMAGE_FILE_DLL

struct PeExport {
    std::string name;
    uint32_t rva = 0;
    bool code = false;       // the RVA lies in a section marked executable
    bool forwarded = false;  // the RVA points back into the export directory
};

struct PeImage {
    std::string error;  // empty when the file was read without a problem
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    std::string exportDllName;
    uint32_t exportAddressCount = 0;  // entries of the export address table
    std::vector<PeExport> exports;
    std::vector<std::string> imports;       // DLL names, data directory 1
    std::vector<std::string> delayImports;  // DLL names, data directory 13
};

struct PeSection {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
    uint32_t flags;
};

class PeReader {
  public:
    explicit PeReader(const std::vector<uint8_t> &bytes) : bytes_(bytes) {}

    uint16_t u16(uint64_t at) const { return static_cast<uint16_t>(byte(at) | byte(at + 1) << 8); }
    uint32_t u32(uint64_t at) const {
        return uint32_t{byte(at)} | uint32_t{byte(at + 1)} << 8 | uint32_t{byte(at + 2)} << 16 |
               uint32_t{byte(at + 3)} << 24;
    }
    std::string text(uint64_t at) const {
        std::string out;
        for (; byte(at) != 0; ++at) {
            out.push_back(static_cast<char>(byte(at)));
            if (out.size() > 4096) throw std::runtime_error("unterminated name");
        }
        return out;
    }

    void readSections(uint64_t at, uint16_t count) {
        for (uint16_t i = 0; i < count; ++i, at += 40) {
            sections_.push_back({u32(at + 12), u32(at + 8), u32(at + 20), u32(at + 16), u32(at + 36)});
        }
    }
    const PeSection *sectionOf(uint32_t rva) const {
        for (const PeSection &section : sections_) {
            const uint32_t size = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
            if (rva >= section.virtualAddress && rva - section.virtualAddress < size) return &section;
        }
        return nullptr;
    }
    uint64_t offsetOf(uint32_t rva) const {
        const PeSection *section = sectionOf(rva);
        if (section == nullptr || rva - section->virtualAddress >= section->rawSize) {
            throw std::runtime_error("RVA not backed by file data");
        }
        return uint64_t{section->rawOffset} + (rva - section->virtualAddress);
    }

  private:
    uint8_t byte(uint64_t at) const {
        if (at >= bytes_.size()) throw std::runtime_error("read past the end of the file");
        return bytes_[static_cast<size_t>(at)];
    }

    const std::vector<uint8_t> &bytes_;
    std::vector<PeSection> sections_;
};

// Walks a zero-ended array of import descriptors and returns the DLL names.
// Old-style delay-load descriptors (attribute bit 0 clear) hold virtual
// addresses instead of RVAs.
std::vector<std::string> importedDlls(const PeReader &reader, uint32_t rva, uint32_t descriptorSize,
                                      uint32_t nameField, bool delayLoad, uint64_t imageBase) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
        if (i > 4096) throw std::runtime_error("import table without end");
        const uint64_t at = reader.offsetOf(rva + i * descriptorSize);
        bool empty = true;
        for (uint32_t field = 0; field < descriptorSize; field += 4) empty = empty && reader.u32(at + field) == 0;
        if (empty) return names;
        uint64_t name = reader.u32(at + nameField);
        if (delayLoad && (reader.u32(at) & 1u) == 0) name -= imageBase;
        names.push_back(reader.text(reader.offsetOf(static_cast<uint32_t>(name))));
    }
}

PeImage readPe(const std::vector<uint8_t> &bytes) {
    PeImage image;
    try {
        PeReader reader(bytes);
        if (reader.u16(0) != 0x5A4D) throw std::runtime_error("no MZ signature");
        const uint32_t peHeader = reader.u32(0x3C);
        if (reader.u32(peHeader) != 0x00004550) throw std::runtime_error("no PE signature");
        const uint64_t fileHeader = uint64_t{peHeader} + 4;
        image.machine = reader.u16(fileHeader);
        const uint16_t sectionCount = reader.u16(fileHeader + 2);
        const uint16_t optionalSize = reader.u16(fileHeader + 16);
        image.characteristics = reader.u16(fileHeader + 18);

        const uint64_t optional = fileHeader + 20;
        uint64_t imageBase = 0, directoryCountAt = 0, directories = 0;
        switch (reader.u16(optional)) {
        case 0x10B:  // PE32
            imageBase = reader.u32(optional + 28);
            directoryCountAt = optional + 92;
            directories = optional + 96;
            break;
        case 0x20B:  // PE32+
            imageBase = reader.u32(optional + 24) | uint64_t{reader.u32(optional + 28)} << 32;
            directoryCountAt = optional + 108;
            directories = optional + 112;
            break;
        default:
            throw std::runtime_error("unknown optional header magic");
        }
        const uint32_t directoryCount = reader.u32(directoryCountAt);
        if (directories + 8ull * directoryCount > optional + optionalSize) {
            throw std::runtime_error("data directories overrun the optional header");
        }
        reader.readSections(optional + optionalSize, sectionCount);
        auto directory = [&](uint32_t index, uint32_t *rva, uint32_t *size) {
            *rva = *size = 0;
            if (index < directoryCount) {
                *rva = reader.u32(directories + 8ull * index);
                *size = reader.u32(directories + 8ull * index + 4);
            }
        };

        uint32_t exportRva = 0, exportSize = 0;
        directory(0, &exportRva, &exportSize);
        if (exportRva != 0) {
            const uint64_t at = reader.offsetOf(exportRva);
            image.exportDllName = reader.text(reader.offsetOf(reader.u32(at + 12)));
            image.exportAddressCount = reader.u32(at + 20);
            const uint32_t nameCount = reader.u32(at + 24);
            const uint32_t addresses = reader.u32(at + 28);
            const uint32_t names = reader.u32(at + 32);
            const uint32_t ordinals = reader.u32(at + 36);
            if (nameCount > 65536 || image.exportAddressCount > 65536) {
                throw std::runtime_error("implausible export count");
            }
            for (uint32_t i = 0; i < nameCount; ++i) {
                PeExport entry;
                entry.name = reader.text(reader.offsetOf(reader.u32(reader.offsetOf(names + 4 * i))));
                const uint16_t ordinal = reader.u16(reader.offsetOf(ordinals + 2 * i));
                if (ordinal >= image.exportAddressCount) throw std::runtime_error("export ordinal out of range");
                entry.rva = reader.u32(reader.offsetOf(addresses + 4u * ordinal));
                entry.forwarded = entry.rva >= exportRva && entry.rva - exportRva < exportSize;
                const PeSection *section = reader.sectionOf(entry.rva);
                entry.code = !entry.forwarded && section != nullptr && (section->flags & ScnMemExecute) != 0;
                image.exports.push_back(entry);
            }
        }

        uint32_t importRva = 0, importSize = 0;
        directory(1, &importRva, &importSize);
        if (importRva != 0) image.imports = importedDlls(reader, importRva, 20, 12, false, imageBase);
        uint32_t delayRva = 0, delaySize = 0;
        directory(13, &delayRva, &delaySize);
        if (delayRva != 0) image.delayImports = importedDlls(reader, delayRva, 32, 4, true, imageBase);
    } catch (const std::exception &problem) {
        image.error = problem.what();
    }
    return image;
}

std::vector<uint8_t> fileBytes(const std::string &path) {
    std::vector<uint8_t> bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The DLLs a plug-in may import: the host's API library, and system DLLs
// every Windows installation has (the C runtime in either form).
bool allowedImport(const std::string &dll) {
    const std::string name = lower(dll);
    return name == "qvapilib.dll" || name == "kernel32.dll" || name == "msvcrt.dll" || name == "ucrtbase.dll" ||
           name.rfind("api-ms-win-crt-", 0) == 0;
}

class PeTables : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::vector<uint8_t> bytes = fileBytes(DDSIMAGE_PLUGIN_PATH);
        ASSERT_FALSE(bytes.empty()) << "cannot read " << DDSIMAGE_PLUGIN_PATH;
        plugin_ = readPe(bytes);
    }
    static PeImage plugin_;
};

PeImage PeTables::plugin_;

// The 32-bit DLL is the product; the 64-bit build runs the same suite where
// a machine cannot run 32-bit programs.
TEST_F(PeTables, PluginIsADllForTheBuildsMachine) {
    ASSERT_EQ(plugin_.error, "");
    EXPECT_EQ(plugin_.machine, sizeof(void *) == 4 ? MachineI386 : MachineAmd64);
    EXPECT_NE(plugin_.characteristics & FileDll, 0);
    EXPECT_EQ(lower(plugin_.exportDllName), "ddsimage.dll");
}

TEST_F(PeTables, ExportsAreTheTwoEntryPointsAsCodeAndTheFourStringsAsData) {
    ASSERT_EQ(plugin_.error, "");
    std::vector<std::string> code, data;
    for (const PeExport &entry : plugin_.exports) {
        EXPECT_FALSE(entry.forwarded) << entry.name;
        (entry.code ? code : data).push_back(entry.name);
    }
    std::sort(code.begin(), code.end());
    std::sort(data.begin(), data.end());
    EXPECT_EQ(code, (std::vector<std::string>{"qvpExit", "qvpInit"}));
    EXPECT_EQ(data, (std::vector<std::string>{"qvpIDString", "qvpUUIDString", "qvpVendor", "qvpVersion"}));
    // No export reachable by ordinal only.
    EXPECT_EQ(plugin_.exportAddressCount, 6u);
}

TEST_F(PeTables, ImportsOnlyTheHostLibraryAndSystemDlls) {
    ASSERT_EQ(plugin_.error, "");
    std::vector<std::string> lowered;
    for (const std::string &dll : plugin_.imports) {
        EXPECT_TRUE(allowedImport(dll)) << "imports " << dll;
        lowered.push_back(lower(dll));
    }
    EXPECT_NE(std::find(lowered.begin(), lowered.end(), "qvapilib.dll"), lowered.end());
    EXPECT_NE(std::find(lowered.begin(), lowered.end(), "kernel32.dll"), lowered.end());
    EXPECT_TRUE(plugin_.delayImports.empty()) << "delay-loads " << plugin_.delayImports.front();
}

// The reader itself: it must tell a broken file from a DLL, and the import
// allowance must refuse the MinGW runtime DLLs the plug-in must not need.
TEST(PeReader, RefusesFilesThatAreNotWholePeImages) {
    EXPECT_NE(readPe({}).error, "");
    EXPECT_NE(readPe({'M', 'Z'}).error, "");
    std::vector<uint8_t> bytes = fileBytes(DDSIMAGE_PLUGIN_PATH);
    ASSERT_GT(bytes.size(), 0x40u);
    EXPECT_EQ(readPe(bytes).error, "");
    std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + 0x200);
    EXPECT_NE(readPe(truncated).error, "");
    std::vector<uint8_t> noSignature = bytes;
    noSignature[0] = 'X';
    EXPECT_NE(readPe(noSignature).error, "");
}

TEST(PeReader, ImportAllowanceRefusesTheMinGwRuntimeDlls) {
    EXPECT_TRUE(allowedImport("QVAPILIB.DLL"));
    EXPECT_TRUE(allowedImport("api-ms-win-crt-runtime-l1-1-0.dll"));
    EXPECT_FALSE(allowedImport("libstdc++-6.dll"));
    EXPECT_FALSE(allowedImport("libgcc_s_dw2-1.dll"));
    EXPECT_FALSE(allowedImport("libwinpthread-1.dll"));
    EXPECT_FALSE(allowedImport("qvapilib.dll.a"));
}

}  // namespace

#endif  // _WIN32
