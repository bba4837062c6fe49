// The plug-in's exported surface and its start and stop, seen through the
// built library as the host loads it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin_fixture.h"

#if defined(__linux__)
#include <elf.h>
#endif

namespace {

bool isUuid(const std::string &text) {
    static const int groups[] = {8, 4, 4, 4, 12};
    size_t at = 0;
    for (int g = 0; g < 5; ++g) {
        for (int i = 0; i < groups[g]; ++i, ++at) {
            if (at >= text.size()) return false;
            const char c = text[at];
            if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f')) return false;
        }
        if (g < 4 && (at >= text.size() || text[at++] != '-')) return false;
    }
    return at == text.size();
}

#if defined(__linux__)
// The ELF types of this build's own class, which the plug-in it loads has
// too: ELF64 on x86-64, ELF32 on 32-bit x86.
#if UINTPTR_MAX > 0xFFFFFFFFu
using ElfHeader = Elf64_Ehdr;
using ElfSection = Elf64_Shdr;
using ElfSymbol = Elf64_Sym;
constexpr unsigned char elfClass = ELFCLASS64;
#else
using ElfHeader = Elf32_Ehdr;
using ElfSection = Elf32_Shdr;
using ElfSymbol = Elf32_Sym;
constexpr unsigned char elfClass = ELFCLASS32;
#endif

// The names of the defined global symbols in the library's dynamic symbol
// table: what a host can find in it by name.
std::vector<std::string> dynamicExports(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> names;
    if (file.size() < sizeof(ElfHeader)) return names;
    ElfHeader elf;
    std::memcpy(&elf, file.data(), sizeof elf);
    if (std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 || elf.e_ident[EI_CLASS] != elfClass) return names;
    std::vector<ElfSection> sections(elf.e_shnum);
    if (elf.e_shoff + sections.size() * sizeof(ElfSection) > file.size()) return names;
    std::memcpy(sections.data(), file.data() + elf.e_shoff, sections.size() * sizeof(ElfSection));
    for (const ElfSection &section : sections) {
        if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size()) continue;
        const ElfSection &strings = sections[section.sh_link];
        for (size_t offset = 0; offset + sizeof(ElfSymbol) <= section.sh_size; offset += sizeof(ElfSymbol)) {
            ElfSymbol symbol;
            std::memcpy(&symbol, file.data() + section.sh_offset + offset, sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);  // the same top four bits in both classes
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0) continue;
            if (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE) continue;
            names.emplace_back(file.data() + strings.sh_offset + symbol.st_name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Exports, LibraryExportsExactlyTheSixEntryPoints) {
    const std::vector<std::string> expected = {"qvpExit",       "qvpIDString", "qvpInit",
                                               "qvpUUIDString", "qvpVendor",   "qvpVersion"};
    EXPECT_EQ(dynamicExports(DDSIMAGE_PLUGIN_PATH), expected);
}
#endif

TEST(Exports, UuidShapeCheckRejectsNearMisses) {
    EXPECT_TRUE(isUuid("0123abcd-4567-89ef-0123-456789abcdef"));
    EXPECT_FALSE(isUuid("0123ABCD-4567-89ef-0123-456789abcdef"));
    EXPECT_FALSE(isUuid("0123abcd-4567-89ef-0123-456789abcde"));
    EXPECT_FALSE(isUuid("0123abcd-4567-89ef-0123-456789abcdef0"));
    EXPECT_FALSE(isUuid("0123abcd04567-89ef-0123-456789abcdef"));
}

using StartStop = PluginTest;

TEST_F(StartStop, IdentityStringsAreReadThroughTheirExports) {
    EXPECT_STREQ(*plugin().vendor, "Corvantis, Inc.");
    EXPECT_STREQ(*plugin().idString, "DDS Image Importer");
    EXPECT_STREQ(*plugin().version, "3.2.0");
    EXPECT_TRUE(isUuid(*plugin().uuidString)) << *plugin().uuidString;
}

TEST_F(StartStop, RegistrationCarriesNameCallbacksResourceAndAttributes) {
    const QvHostImporter &registered = importer();
    EXPECT_STREQ(registered.name, "DDS Image Importer");
    EXPECT_EQ(registered.flags, 1);
    EXPECT_EQ(registered.plugin, qvhostPluginHandle());
    EXPECT_NE(registered.resource, nullptr);
    EXPECT_TRUE(registered.open && registered.close && registered.info && registered.image);
    ASSERT_EQ(registered.attributeCount, 3);
    EXPECT_FALSE(registered.attributesTruncated);
    const char *keys[] = {"Version", "Filter", "FileType"};
    const char *values[] = {"3.2", "*.dds", "Direct Draw Surface"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(registered.keys[i], keys[i]);
        EXPECT_STREQ(registered.values[i], values[i]);
    }
    // The callbacks are reached only through the registration.
    EXPECT_EQ(findExport(plugin(), "ddsOpen"), nullptr);
    EXPECT_EQ(findExport(plugin(), "ddsGetImage"), nullptr);
}

struct StartCase {
    const char *name;
    int versionValid;
    int registerResult;
    int expectedInit;
    std::vector<std::string> initCalls;
    bool resourceLoaded;  // what qvpExit hands to qvUnloadResource
};

TEST_F(StartStop, InitAndExitMakeExactlyTheirHostCalls) {
    const std::vector<std::string> fullStart = {"qvPluginIsVersionValid", "qvGetModuleHandle",
                                                "qvLoadResource", "qvRegisterImageImporter"};
    const StartCase cases[] = {
        {"accepted", 1, 1, 1, fullStart, true},
        {"version refused", 0, 1, 0, {"qvPluginIsVersionValid"}, false},
        {"registration refused", 1, 0, 0, fullStart, true},
    };
    QvPlugin *handle = qvhostPluginHandle();
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        // Start from an exited plug-in, so that the resource is what this
        // start leaves behind.
        plugin().exit(handle);
        qvhostReset();
        qvhostSetVersionValid(c.versionValid);
        qvhostSetRegisterResult(c.registerResult);
        // The second and third arguments have no effect.
        EXPECT_EQ(plugin().init(handle, 12345, -1), c.expectedInit);
        EXPECT_EQ(callNames(), c.initCalls);

        QvHostCall call;
        ASSERT_TRUE(qvhostCallAt(0, &call));
        EXPECT_EQ(call.args[0], reinterpret_cast<intptr_t>(handle));

        qvhostClearCalls();
        const int exitResult = plugin().exit(handle);
        EXPECT_EQ(callNames(), (std::vector<std::string>{"qvUnregisterAllTools", "qvUnloadResource"}));
        ASSERT_TRUE(qvhostCallAt(1, &call));
        EXPECT_EQ(call.args[0] != 0, c.resourceLoaded);
        // The stand-in's qvUnloadResource answers 1 only for its resource.
        EXPECT_EQ(exitResult, c.resourceLoaded ? 1 : 0);
    }
    // Leave the plug-in started for the other tests.
    qvhostReset();
    ASSERT_EQ(plugin().init(handle, 0, 0), 1);
}

}  // namespace
