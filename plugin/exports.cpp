// The plug-in's exported surface: identity strings, start and stop.
// Loading the library does nothing of its own; all set-up is in qvpInit.

#include "ddsimage_version.h"
#include "importer.h"
#include "qvapi.h"

namespace {

// The resource loaded by qvpInit and released by qvpExit; null before.
QvResource *pluginResource = nullptr;

constexpr char ImporterName[] = "DDS Image Importer";

// The value of the registration's "Version" attribute names the importer's
// interface level, which is the plug-in's version without its patch number.
constexpr char ImporterVersion[] = DDSIMAGE_INTERFACE_VERSION;

}  // namespace

extern "C" {

// Variables that hold pointers, so that the host can read each string
// through its exported name.
QVP_EXPORT const char *qvpVendor = "Corvantis, Inc.";
QVP_EXPORT const char *qvpIDString = ImporterName;
QVP_EXPORT const char *qvpUUIDString = "c0758292-40e8-4cbd-bfd4-ea059688ecc0";
QVP_EXPORT const char *qvpVersion = DDSIMAGE_VERSION;

// Nothing escapes an export: anything thrown ends the call with 0.
QVP_EXPORT int QVAPI qvpInit(QvPlugin *plugin, int, int) {
    try {
        if (qvPluginIsVersionValid(plugin) == 0) return 0;
        // A missing resource does not stop the importer: it is only handed
        // back to the host.
        pluginResource = qvLoadResource(qvGetModuleHandle(plugin));
        return ddsRegisterImporter(plugin, pluginResource);
    } catch (...) {
        return 0;
    }
}

// Ends the registration and releases the resource, also after a qvpInit
// that failed (the resource is then null, or still loaded).  The resource is
// forgotten once released, so that a later start and stop never release it
// a second time.
QVP_EXPORT int QVAPI qvpExit(QvPlugin *plugin) {
    try {
        qvUnregisterAllTools(plugin);
        QvResource *resource = pluginResource;
        pluginResource = nullptr;
        return qvUnloadResource(resource);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"

int ddsRegisterImporter(QvPlugin *plugin, QvResource *resource) {
    const int accepted = qvRegisterImageImporter(
        plugin, ImporterName, 1, ddsOpen, ddsClose, ddsGetInfo, ddsGetImage, resource,
        "Version", ImporterVersion, "Filter", "*.dds", "FileType", "Direct Draw Surface",
        static_cast<const char *>(nullptr));
    return accepted != 0 ? 1 : 0;
}
