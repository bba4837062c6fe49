/* qvapi.h: the host application's plug-in API, as a plug-in sees it.
 *
 * A plug-in links against the host's API library (qvapilib) and calls the
 * functions below; the host, in turn, finds the plug-in's exports (the last
 * block of this file) by name.  Every handle the host passes in is opaque:
 * the plug-in only hands it back.  All integers are 32-bit.
 */
#ifndef QVAPI_H
#define QVAPI_H

#if defined(_WIN32)
#define QVAPI __cdecl
#else
#define QVAPI
#endif

/* The host's API library marks its own functions for export when it is
 * built, and for import everywhere else. */
#if defined(_WIN32)
#if defined(QVAPILIB_BUILDING)
#define QVAPILIB_DECL __declspec(dllexport)
#else
#define QVAPILIB_DECL __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define QVAPILIB_DECL __attribute__((visibility("default")))
#else
#define QVAPILIB_DECL
#endif

/* The plug-in marks its exports; which names leave the library is decided
 * by its link step (version script or module definition). */
#if defined(_WIN32)
#define QVP_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define QVP_EXPORT __attribute__((visibility("default")))
#else
#define QVP_EXPORT
#endif

#if defined(__GNUC__)
#define QVAPI_SENTINEL __attribute__((sentinel))
#else
#define QVAPI_SENTINEL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QvPlugin QvPlugin;       /* the host's handle for a plug-in (opaque) */
typedef struct QvModule QvModule;
typedef struct QvResource QvResource;
typedef struct QvImageInfo QvImageInfo; /* the host's image-information record (opaque) */

typedef int(QVAPI *QvImportOpenFn)(void *host1, void *host2, const char *path, const char *mode,
                                   int *handle);
typedef int(QVAPI *QvImportCloseFn)(void *host1, void *host2, int handle);
typedef int(QVAPI *QvImportInfoFn)(void *host1, void *host2, int handle, QvImageInfo *info);
typedef int(QVAPI *QvImportImageFn)(void *host1, void *host2, int handle, void *fourth,
                                    void *pixels);

QVAPILIB_DECL int QVAPI qvPluginIsVersionValid(QvPlugin *plugin);
QVAPILIB_DECL QvModule *QVAPI qvGetModuleHandle(QvPlugin *plugin);
QVAPILIB_DECL QvResource *QVAPI qvLoadResource(QvModule *module);
/* The attribute list is key and value strings in pairs, ended by a null
 * pointer. */
QVAPILIB_DECL int QVAPI qvRegisterImageImporter(QvPlugin *plugin, const char *name, int flags,
                                                QvImportOpenFn open, QvImportCloseFn close,
                                                QvImportInfoFn info, QvImportImageFn image,
                                                QvResource *resource, ...) QVAPI_SENTINEL;
QVAPILIB_DECL int QVAPI qvUnregisterAllTools(QvPlugin *plugin);
QVAPILIB_DECL int QVAPI qvUnloadResource(QvResource *resource);
QVAPILIB_DECL int QVAPI qvModelingPrefGetInteger(const char *name, int *value, int defaultValue);
QVAPILIB_DECL void *QVAPI qvMalloc(int size);
QVAPILIB_DECL void QVAPI qvFree(void *block);
QVAPILIB_DECL int QVAPI qvSetTextureWidth(QvImageInfo *info, int width);
QVAPILIB_DECL int QVAPI qvSetTextureHeight(QvImageInfo *info, int height);
QVAPILIB_DECL int QVAPI qvSetTextureType(QvImageInfo *info, int type);
QVAPILIB_DECL int QVAPI qvSetTextureSampleSize(QvImageInfo *info, int bitsPerSample);
QVAPILIB_DECL int QVAPI qvSetTextureTiledFlag(QvImageInfo *info, int tiled);

/* Exported by the plug-in. */
typedef int(QVAPI *QvpInitFn)(QvPlugin *plugin, int second, int third);
typedef int(QVAPI *QvpExitFn)(QvPlugin *plugin);

#if !defined(QVAPI_NO_PLUGIN_DECLS)
QVP_EXPORT int QVAPI qvpInit(QvPlugin *plugin, int second, int third);
QVP_EXPORT int QVAPI qvpExit(QvPlugin *plugin);
QVP_EXPORT extern const char *qvpVendor, *qvpIDString, *qvpUUIDString, *qvpVersion;
#endif

#ifdef __cplusplus
}
#endif

#endif /* QVAPI_H */
