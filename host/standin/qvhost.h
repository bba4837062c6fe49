/* qvhost.h: controls of the stand-in host library.
 *
 * The stand-in implements every function of qvapi.h so that the plug-in can
 * be loaded, driven and observed without the real host application.  Tests
 * and tools use the functions below to set what the host answers, to make
 * chosen calls fail, and to read back what the plug-in did: the ordered log
 * of host calls, the registered importer, the image-information records and
 * the allocations that are still live.
 */
#ifndef QVHOST_H
#define QVHOST_H

#include <stddef.h>
#include <stdint.h>

#include "qvapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The host's image-information record, as the stand-in keeps it.  A plug-in
 * sees only the opaque QvImageInfo; the setters fill these fields and mark
 * which ones they set. */
enum {
    QvHostSetWidth = 1,
    QvHostSetHeight = 2,
    QvHostSetType = 4,
    QvHostSetSampleSize = 8,
    QvHostSetTiled = 16
};
struct QvImageInfo {
    int width;
    int height;
    int type;
    int sampleSize;
    int tiled;
    int setFields; /* QvHostSet... bits */
};

enum { QvHostMaxAttributes = 8, QvHostMaxText = 64 };

/* What the plug-in handed to qvRegisterImageImporter. */
typedef struct QvHostImporter {
    int registered; /* 1 once qvRegisterImageImporter accepted it */
    QvPlugin *plugin;
    char name[QvHostMaxText];
    int flags;
    QvImportOpenFn open;
    QvImportCloseFn close;
    QvImportInfoFn info;
    QvImportImageFn image;
    QvResource *resource;
    int attributeCount; /* key/value pairs seen before the null pointer */
    char keys[QvHostMaxAttributes][QvHostMaxText];
    char values[QvHostMaxAttributes][QvHostMaxText];
    int attributesTruncated; /* 1 if more pairs came than fit */
} QvHostImporter;

enum { QvHostMaxCallArgs = 4 };

/* One host call as the plug-in made it.  Pointer and integer arguments are
 * kept as integers; text arguments (a preference name) in `text`. */
typedef struct QvHostCall {
    char name[32];
    int argCount;
    intptr_t args[QvHostMaxCallArgs];
    char text[QvHostMaxText];
} QvHostCall;

#if defined(_WIN32)
#if defined(QVAPILIB_BUILDING)
#define QVHOST_DECL __declspec(dllexport)
#else
#define QVHOST_DECL __declspec(dllimport)
#endif
#else
#define QVHOST_DECL QVAPILIB_DECL
#endif

/* Back to a fresh host: default answers, empty log, no preferences, no
 * injected failures, importer forgotten.  Live allocations are kept (they
 * are still the plug-in's), but the peak restarts from the live bytes. */
QVHOST_DECL void qvhostReset(void);

/* Answers of the version check and the registration (default 1).  A
 * refused registration records nothing. */
QVHOST_DECL void qvhostSetVersionValid(int valid);
QVHOST_DECL void qvhostSetRegisterResult(int result);

/* Make the nth texture setter call from now on (1-based, counting all five
 * setters together) return 0; 0 turns this off. */
QVHOST_DECL void qvhostFailSetterCall(int nth);

/* Integer preferences; a name never set makes qvModelingPrefGetInteger
 * store the caller's default. */
QVHOST_DECL void qvhostSetPreference(const char *name, int value);
QVHOST_DECL void qvhostClearPreferences(void);

/* Make the nth qvMalloc call from now on (1-based) return null; 0 turns
 * this off.  qvhostMallocCalls counts the calls since the last reset. */
QVHOST_DECL void qvhostFailMallocCall(int nth);
QVHOST_DECL int qvhostMallocCalls(void);

/* Memory handed out by qvMalloc and not yet given back to qvFree. */
QVHOST_DECL int qvhostLiveAllocations(void);
QVHOST_DECL int64_t qvhostLiveBytes(void);
/* Highest live byte count since the last reset or qvhostResetPeak. */
QVHOST_DECL int64_t qvhostPeakBytes(void);
QVHOST_DECL void qvhostResetPeak(void);
/* Calls of qvFree with a pointer qvMalloc never returned (or null, or one
 * already freed): each is a fault of the caller. */
QVHOST_DECL int qvhostBadFrees(void);

/* The ordered log of host calls since the last reset (qvMalloc and qvFree
 * are counted, not logged).  Returns 0 when index is out of range. */
QVHOST_DECL int qvhostCallCount(void);
QVHOST_DECL int qvhostCallAt(int index, QvHostCall *call);
QVHOST_DECL void qvhostClearCalls(void);

/* The importer of the last accepted registration; registered is 0 after a
 * reset and after qvUnregisterAllTools. */
QVHOST_DECL void qvhostImporter(QvHostImporter *importer);

/* Handles the stand-in gives out: the module of a plug-in and the resource
 * loaded from it are fixed non-null values. */
QVHOST_DECL QvPlugin *qvhostPluginHandle(void);

#ifdef __cplusplus
}
#endif

#endif /* QVHOST_H */
