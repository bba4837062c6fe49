#include "plugin_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace {

void *openLibrary(const std::string &path, std::string *error) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void *>(module);
#else
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) *error = dlerror();
    return library;
#endif
}

void closeLibrary(void *library) {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

template <typename T>
bool resolve(const LoadedPlugin &plugin, const char *name, T *out, std::string *error) {
    void *address = findExport(plugin, name);
    if (address == nullptr) {
        *error = std::string("the plug-in does not export ") + name;
        return false;
    }
    *out = reinterpret_cast<T>(address);
    return true;
}

}  // namespace

void *findExport(const LoadedPlugin &plugin, const char *name) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(plugin.library), name));
#else
    return dlsym(plugin.library, name);
#endif
}

bool loadPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error) {
    LoadedPlugin loaded;
    loaded.library = openLibrary(path, error);
    if (loaded.library == nullptr) return false;
    if (resolve(loaded, "qvpInit", &loaded.init, error) && resolve(loaded, "qvpExit", &loaded.exit, error) &&
        resolve(loaded, "qvpVendor", &loaded.vendor, error) &&
        resolve(loaded, "qvpIDString", &loaded.idString, error) &&
        resolve(loaded, "qvpUUIDString", &loaded.uuidString, error) &&
        resolve(loaded, "qvpVersion", &loaded.version, error)) {
        *plugin = loaded;
        return true;
    }
    closeLibrary(loaded.library);
    return false;
}

void unloadPlugin(LoadedPlugin *plugin) {
    if (plugin->library != nullptr) closeLibrary(plugin->library);
    *plugin = LoadedPlugin{};
}

const char *pluginFileName() {
#if defined(_WIN32)
    return "ddsimage.dll";
#else
    return "libddsimage.so";
#endif
}

std::string programDirectory(const char *argv0) {
    std::string program;
#if defined(_WIN32)
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) program.assign(buffer, length);
#else
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) program.assign(buffer, static_cast<size_t>(length));
#endif
    if (program.empty() && argv0 != nullptr) program = argv0;
    const size_t slash = program.find_last_of("/\\");
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string pluginBesideProgram(const char *argv0) { return programDirectory(argv0) + "/" + pluginFileName(); }
