// A test fixture that drives the built plug-in as a host does: loaded by
// path, started with qvpInit against the stand-in host, and called through
// the callbacks it registered.  Every test ends with all host memory given
// back and no bad qvFree.
#ifndef TESTS_PLUGIN_FIXTURE_H
#define TESTS_PLUGIN_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin_loader.h"
#include "qvhost.h"

class PluginTest : public ::testing::Test {
  public:
    // What an import gave: the query's status and report, then the image
    // request's status and the pixels (a buffer of the reported size,
    // filled with 0xA5 first).
    struct Imported {
        int status = -1, width = 0, height = 0, type = 0;
        std::vector<uint8_t> pixels;
    };

  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static const LoadedPlugin &plugin() { return plugin_; }
    static const QvHostImporter &importer() { return importer_; }

    // With `linked`, the helpers below call the plug-in's callbacks linked
    // into the tests instead of the loaded plug-in's, until the test ends or
    // turns it off: the same code, reached by the tests' hooks in files/ and
    // the decode.
    void useLinkedCallbacks(bool linked);

    // Callbacks, with null host arguments.
    int open(const std::string &path, int *handle, const char *mode = "r");
    int close(int handle);
    int info(int handle, QvImageInfo *record);
    int image(int handle, void *pixels);

    // Opens, asserting success; the handle is closed at tear-down if the
    // test did not close it.
    int openOk(const std::string &path);

    // A whole import of a file of `bytes`, with the host's preferences as
    // they stand (see Imported).
    Imported importBytes(const std::vector<uint8_t> &bytes);

    // Names of the host calls logged since the last reset.
    static std::vector<std::string> callNames();

    // Sets DDSIMAGE_THREADS for the image requests that follow; null
    // removes it.  Tear-down removes it too.
    static void setDecodeThreads(const char *threads);

  private:
    static LoadedPlugin plugin_;
    static QvHostImporter importer_;
    const QvHostImporter *callbacks_ = &importer_;
    std::vector<int> openHandles_;
};

#endif
