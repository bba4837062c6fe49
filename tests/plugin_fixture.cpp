#include "plugin_fixture.h"

#include "dds_builder.h"

#include <cstdlib>

#include <algorithm>

#include "importer.h"

LoadedPlugin PluginTest::plugin_;
QvHostImporter PluginTest::importer_;

void PluginTest::SetUpTestSuite() {
    if (plugin_.library == nullptr) {
        std::string error;
        ASSERT_TRUE(loadPlugin(DDSIMAGE_PLUGIN_PATH, &plugin_, &error)) << error;
    }
    qvhostReset();
    ASSERT_EQ(plugin_.init(qvhostPluginHandle(), 0, 0), 1);
    qvhostImporter(&importer_);
    ASSERT_TRUE(importer_.registered);
}

void PluginTest::TearDownTestSuite() {
    if (plugin_.library != nullptr) plugin_.exit(qvhostPluginHandle());
}

void PluginTest::SetUp() {
    qvhostReset();
    openHandles_.clear();
    callbacks_ = &importer_;
}

void PluginTest::useLinkedCallbacks(bool linked) {
    static QvHostImporter callbacks{};
    callbacks.open = ddsOpen;
    callbacks.close = ddsClose;
    callbacks.info = ddsGetInfo;
    callbacks.image = ddsGetImage;
    callbacks_ = linked ? &callbacks : &importer_;
}

void PluginTest::setDecodeThreads(const char *threads) {
#if defined(_WIN32)
    _putenv_s("DDSIMAGE_THREADS", threads != nullptr ? threads : "");
#else
    if (threads != nullptr) {
        setenv("DDSIMAGE_THREADS", threads, 1);
    } else {
        unsetenv("DDSIMAGE_THREADS");
    }
#endif
}

void PluginTest::TearDown() {
    setDecodeThreads(nullptr);
    // close() edits the list, so walk a copy of it.
    const std::vector<int> leftOpen = openHandles_;
    for (int handle : leftOpen) close(handle);
    EXPECT_EQ(qvhostLiveAllocations(), 0) << "qvMalloc blocks not given back";
    EXPECT_EQ(qvhostBadFrees(), 0) << "qvFree of a block qvMalloc never returned";
}

int PluginTest::open(const std::string &path, int *handle, const char *mode) {
    const int status = callbacks_->open(nullptr, nullptr, path.c_str(), mode, handle);
    if (status == 0) openHandles_.push_back(*handle);
    return status;
}

int PluginTest::close(int handle) {
    openHandles_.erase(std::remove(openHandles_.begin(), openHandles_.end(), handle), openHandles_.end());
    return callbacks_->close(nullptr, nullptr, handle);
}

int PluginTest::info(int handle, QvImageInfo *record) { return callbacks_->info(nullptr, nullptr, handle, record); }

int PluginTest::image(int handle, void *pixels) {
    return callbacks_->image(nullptr, nullptr, handle, nullptr, pixels);
}

int PluginTest::openOk(const std::string &path) {
    int handle = -1;
    EXPECT_EQ(open(path, &handle), 0) << path;
    return handle;
}

PluginTest::Imported PluginTest::importBytes(const std::vector<uint8_t> &bytes) {
    TempFile file(bytes);
    Imported out;
    const int handle = openOk(file.path());
    QvImageInfo record{};
    out.status = info(handle, &record);
    if (out.status == 0) {
        out.width = record.width, out.height = record.height, out.type = record.type;
        const size_t pixelBytes = record.type == 4 ? 3 : 4;
        out.pixels.assign(static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * pixelBytes, 0xA5);
        out.status = image(handle, out.pixels.data());
    }
    EXPECT_EQ(close(handle), 0);
    return out;
}

std::vector<std::string> PluginTest::callNames() {
    std::vector<std::string> names;
    QvHostCall call;
    for (int i = 0; qvhostCallAt(i, &call); ++i) names.emplace_back(call.name);
    return names;
}
