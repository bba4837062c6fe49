// The stand-in host library: every host API function a plug-in calls, with
// answers that tests and tools set through qvhost.h.  It is not part of the
// plug-in; it takes the host application's place in this repository.

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "qvhost.h"

namespace {

struct PluginTag {
    char unused;
};
PluginTag pluginTag;
PluginTag moduleTag;
PluginTag resourceTag;

struct HostState {
    int versionValid = 1;
    int registerResult = 1;
    int setterCalls = 0;
    int failSetterAt = 0;
    int mallocCalls = 0;
    int failMallocAt = 0;
    int badFrees = 0;
    int64_t liveBytes = 0;
    int64_t peakBytes = 0;
    std::map<std::string, int> preferences;
    std::vector<QvHostCall> calls;
    QvHostImporter importer{};
};

// Every function takes this lock: a plug-in may be called from several of
// the host's threads at once, and the recorded state stays whole.
std::recursive_mutex &hostMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

struct HostLock {
    std::lock_guard<std::recursive_mutex> guard{hostMutex()};
};

HostState &state() {
    static HostState hostState;
    return hostState;
}

// Sizes of the blocks qvMalloc handed out, by address.
std::unordered_map<void *, int> &liveBlocks() {
    static std::unordered_map<void *, int> blocks;
    return blocks;
}

void copyText(char *destination, size_t capacity, const char *source) {
    if (source == nullptr) {
        destination[0] = '\0';
        return;
    }
    std::strncpy(destination, source, capacity - 1);
    destination[capacity - 1] = '\0';
}

void logCall(const char *name, std::initializer_list<intptr_t> args, const char *text = nullptr) {
    QvHostCall call{};
    copyText(call.name, sizeof call.name, name);
    for (intptr_t arg : args) {
        if (call.argCount < QvHostMaxCallArgs) call.args[call.argCount++] = arg;
    }
    copyText(call.text, sizeof call.text, text);
    state().calls.push_back(call);
}

intptr_t asArg(const void *pointer) { return reinterpret_cast<intptr_t>(pointer); }

// The five texture setters share one counter, so that a test can make the
// nth of them fail whichever it is.
int setField(QvImageInfo *info, const char *name, int value, int field, int QvImageInfo::*member) {
    logCall(name, {asArg(info), value});
    HostState &host = state();
    ++host.setterCalls;
    if (host.failSetterAt != 0 && host.setterCalls == host.failSetterAt) return 0;
    if (info == nullptr) return 0;
    info->*member = value;
    info->setFields |= field;
    return 1;
}

}  // namespace

extern "C" {

QVAPILIB_DECL int QVAPI qvPluginIsVersionValid(QvPlugin *plugin) { const HostLock lock;
    logCall("qvPluginIsVersionValid", {asArg(plugin)});
    return state().versionValid;
}

QVAPILIB_DECL QvModule *QVAPI qvGetModuleHandle(QvPlugin *plugin) { const HostLock lock;
    logCall("qvGetModuleHandle", {asArg(plugin)});
    return reinterpret_cast<QvModule *>(&moduleTag);
}

QVAPILIB_DECL QvResource *QVAPI qvLoadResource(QvModule *module) { const HostLock lock;
    logCall("qvLoadResource", {asArg(module)});
    return module != nullptr ? reinterpret_cast<QvResource *>(&resourceTag) : nullptr;
}

QVAPILIB_DECL int QVAPI qvRegisterImageImporter(QvPlugin *plugin, const char *name, int flags,
                                                QvImportOpenFn open, QvImportCloseFn close,
                                                QvImportInfoFn info, QvImportImageFn image,
                                                QvResource *resource, ...) { const HostLock lock;
    logCall("qvRegisterImageImporter", {asArg(plugin), flags, asArg(resource)}, name);
    HostState &host = state();
    if (host.registerResult == 0) return 0;

    QvHostImporter importer{};
    importer.plugin = plugin;
    copyText(importer.name, sizeof importer.name, name);
    importer.flags = flags;
    importer.open = open;
    importer.close = close;
    importer.info = info;
    importer.image = image;
    importer.resource = resource;

    va_list pairs;
    va_start(pairs, resource);
    for (;;) {
        const char *key = va_arg(pairs, const char *);
        if (key == nullptr) break;
        const char *value = va_arg(pairs, const char *);
        if (importer.attributeCount == QvHostMaxAttributes) {
            importer.attributesTruncated = 1;
        } else {
            copyText(importer.keys[importer.attributeCount], QvHostMaxText, key);
            copyText(importer.values[importer.attributeCount], QvHostMaxText, value);
            ++importer.attributeCount;
        }
        if (value == nullptr) break;  // an odd list: the value was its end
    }
    va_end(pairs);

    importer.registered = 1;
    host.importer = importer;
    return host.registerResult;
}

QVAPILIB_DECL int QVAPI qvUnregisterAllTools(QvPlugin *plugin) { const HostLock lock;
    logCall("qvUnregisterAllTools", {asArg(plugin)});
    state().importer = QvHostImporter{};
    return 1;
}

QVAPILIB_DECL int QVAPI qvUnloadResource(QvResource *resource) { const HostLock lock;
    logCall("qvUnloadResource", {asArg(resource)});
    return resource == reinterpret_cast<QvResource *>(&resourceTag) ? 1 : 0;
}

QVAPILIB_DECL int QVAPI qvModelingPrefGetInteger(const char *name, int *value, int defaultValue) { const HostLock lock;
    logCall("qvModelingPrefGetInteger", {asArg(value), defaultValue}, name);
    if (value == nullptr) return 0;
    const auto &preferences = state().preferences;
    auto found = name != nullptr ? preferences.find(name) : preferences.end();
    if (found == preferences.end()) {
        *value = defaultValue;
        return 0;
    }
    *value = found->second;
    return 1;
}

QVAPILIB_DECL void *QVAPI qvMalloc(int size) { const HostLock lock;
    HostState &host = state();
    ++host.mallocCalls;
    if (host.failMallocAt != 0 && host.mallocCalls == host.failMallocAt) return nullptr;
    if (size <= 0) return nullptr;
    void *block = std::malloc(static_cast<size_t>(size));
    if (block == nullptr) return nullptr;
    liveBlocks()[block] = size;
    host.liveBytes += size;
    if (host.liveBytes > host.peakBytes) host.peakBytes = host.liveBytes;
    return block;
}

QVAPILIB_DECL void QVAPI qvFree(void *block) { const HostLock lock;
    auto &blocks = liveBlocks();
    auto found = blocks.find(block);
    if (found == blocks.end()) {
        ++state().badFrees;
        return;
    }
    state().liveBytes -= found->second;
    blocks.erase(found);
    std::free(block);
}

QVAPILIB_DECL int QVAPI qvSetTextureWidth(QvImageInfo *info, int width) { const HostLock lock;
    return setField(info, "qvSetTextureWidth", width, QvHostSetWidth, &QvImageInfo::width);
}

QVAPILIB_DECL int QVAPI qvSetTextureHeight(QvImageInfo *info, int height) { const HostLock lock;
    return setField(info, "qvSetTextureHeight", height, QvHostSetHeight, &QvImageInfo::height);
}

QVAPILIB_DECL int QVAPI qvSetTextureType(QvImageInfo *info, int type) { const HostLock lock;
    return setField(info, "qvSetTextureType", type, QvHostSetType, &QvImageInfo::type);
}

QVAPILIB_DECL int QVAPI qvSetTextureSampleSize(QvImageInfo *info, int bitsPerSample) { const HostLock lock;
    return setField(info, "qvSetTextureSampleSize", bitsPerSample, QvHostSetSampleSize,
                    &QvImageInfo::sampleSize);
}

QVAPILIB_DECL int QVAPI qvSetTextureTiledFlag(QvImageInfo *info, int tiled) { const HostLock lock;
    return setField(info, "qvSetTextureTiledFlag", tiled, QvHostSetTiled, &QvImageInfo::tiled);
}

// Controls.

QVHOST_DECL void qvhostReset(void) { const HostLock lock;
    HostState &host = state();
    int64_t live = host.liveBytes;
    host = HostState{};
    host.liveBytes = live;
    host.peakBytes = live;
}

QVHOST_DECL void qvhostSetVersionValid(int valid) { const HostLock lock; state().versionValid = valid; }
QVHOST_DECL void qvhostSetRegisterResult(int result) { const HostLock lock; state().registerResult = result; }

QVHOST_DECL void qvhostFailSetterCall(int nth) { const HostLock lock;
    HostState &host = state();
    host.failSetterAt = nth > 0 ? host.setterCalls + nth : 0;
}

QVHOST_DECL void qvhostSetPreference(const char *name, int value) { const HostLock lock;
    if (name != nullptr) state().preferences[name] = value;
}

QVHOST_DECL void qvhostClearPreferences(void) { const HostLock lock; state().preferences.clear(); }

QVHOST_DECL void qvhostFailMallocCall(int nth) { const HostLock lock;
    HostState &host = state();
    host.failMallocAt = nth > 0 ? host.mallocCalls + nth : 0;
}

QVHOST_DECL int qvhostMallocCalls(void) { const HostLock lock; return state().mallocCalls; }
QVHOST_DECL int qvhostLiveAllocations(void) { const HostLock lock; return static_cast<int>(liveBlocks().size()); }
QVHOST_DECL int64_t qvhostLiveBytes(void) { const HostLock lock; return state().liveBytes; }
QVHOST_DECL int64_t qvhostPeakBytes(void) { const HostLock lock; return state().peakBytes; }
QVHOST_DECL void qvhostResetPeak(void) { const HostLock lock; state().peakBytes = state().liveBytes; }
QVHOST_DECL int qvhostBadFrees(void) { const HostLock lock; return state().badFrees; }

QVHOST_DECL int qvhostCallCount(void) { const HostLock lock; return static_cast<int>(state().calls.size()); }

QVHOST_DECL int qvhostCallAt(int index, QvHostCall *call) { const HostLock lock;
    const auto &calls = state().calls;
    if (index < 0 || static_cast<size_t>(index) >= calls.size() || call == nullptr) return 0;
    *call = calls[static_cast<size_t>(index)];
    return 1;
}

QVHOST_DECL void qvhostClearCalls(void) { const HostLock lock; state().calls.clear(); }

QVHOST_DECL void qvhostImporter(QvHostImporter *importer) { const HostLock lock;
    if (importer != nullptr) *importer = state().importer;
}

QVHOST_DECL QvPlugin *qvhostPluginHandle(void) { const HostLock lock;
    return reinterpret_cast<QvPlugin *>(&pluginTag);
}

}  // extern "C"
