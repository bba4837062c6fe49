// Loads the plug-in library the way the host does: by path, finding its
// entry points and identity strings by their exported names.
#ifndef TOOLS_PLUGIN_LOADER_H
#define TOOLS_PLUGIN_LOADER_H

#include <string>

#define QVAPI_NO_PLUGIN_DECLS
#include "qvapi.h"

struct LoadedPlugin {
    void *library = nullptr;
    QvpInitFn init = nullptr;
    QvpExitFn exit = nullptr;
    // The exported variables, each holding a pointer to its string.
    const char *const *vendor = nullptr;
    const char *const *idString = nullptr;
    const char *const *uuidString = nullptr;
    const char *const *version = nullptr;
};

// Loads `path` and resolves all six exports; on failure fills `error` and
// leaves nothing loaded.
bool loadPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error);
void unloadPlugin(LoadedPlugin *plugin);

// Finds any exported name in a loaded plug-in; null when it is not there.
void *findExport(const LoadedPlugin &plugin, const char *name);

// The plug-in library's file name on this platform, the folder of the
// running program (from the system, or from argv0 where the system does not
// say), and the plug-in's full path beside the running program.
const char *pluginFileName();
std::string programDirectory(const char *argv0);
std::string pluginBesideProgram(const char *argv0);

#endif
