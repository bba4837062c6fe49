// Failures inside an import, one at a time: for every N until the import
// goes through, the Nth host allocation (qvMalloc), the Nth read of the
// file, or the Nth chunk's decode (by a throw) from the start of open /
// query / image / close fails; or the Nth read is interrupted by a signal
// or comes up short; or the system refuses the Nth decoding thread.  A
// failed allocation, read or decode ends the import in -8 (-2 in the
// open); the others give exactly the image of an import where nothing
// happened; never 0 with other pixels.  Nothing leaks, no thread goes on
// after the request returned, and the table of open files stays usable.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "dds_builder.h"
#include "decode_threads.h"
#include "file_source.h"
#include "parallel_decode.h"
#include "plugin_fixture.h"

namespace {

constexpr uint8_t Fill = 0x5C;

struct Shape {
    const char *name;
    std::vector<uint8_t> file;
    bool large = false;  // only for the faults whose paths need it
};

std::vector<uint8_t> dxt1Data(uint16_t color0, uint16_t color1, size_t blocks, uint32_t seed) {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t> indices = randomBytes(4 * blocks, seed);
    for (size_t i = 0; i < blocks; ++i) {
        put16(bytes, static_cast<uint32_t>(color0 + i % 7));
        put16(bytes, color1);
        for (size_t k = 0; k < 4; ++k) bytes.push_back(indices[4 * i + k]);
    }
    return bytes;
}

std::vector<Shape> shapes() {
    return {
        {"DXT1 four-colour (rgb) 16x8", ddsFile(dxtFields("DXT1", 16, 8), dxt1Data(0xF800, 0x001F, 8, 1))},
        {"DXT1 three-colour (rgba) 8x8", ddsFile(dxtFields("DXT1", 8, 8), dxt1Data(0x001F, 0xF800, 4, 2))},
        {"DXT1 rgb 13x6, partial blocks stored", ddsFile(dxtFields("DXT1", 13, 6), dxt1Data(0xF800, 0x1F, 8, 3))},
        {"DXT3 12x12", ddsFile(dxtFields("DXT3", 12, 12), randomBytes(144, 4))},
        {"DXT5 10x7, whole blocks only", ddsFile(dxtFields("DXT5", 10, 7), randomBytes(32, 5))},
        {"DXT5 256x256: several chunks", ddsFile(dxtFields("DXT5", 256, 256), randomBytes(65536, 6))},
        {"8-bit 7x5", ddsFile(maskFields(8, 0xE0, 0x1C, 0x03, 0, 7, 5, 0x40), randomBytes(35, 7))},
        {"16-bit 5x3", ddsFile(maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 5, 3, 0x41), randomBytes(30, 8))},
        {"24-bit 6x5", ddsFile(maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 6, 5, 0x40), randomBytes(90, 9))},
        {"32-bit 3x9", ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 3, 9, 0x41), randomBytes(108, 10))},
        {"DXT1 rgb 1024x512: the query reads every block, 16 KiB at a time",
         ddsFile(dxtFields("DXT1", 1024, 512), dxt1Data(0xF800, 0x1F, 32768, 12)), true},
        {"32-bit 25000x12: one-row chunks, ten of which fit the limit, more than the threads there can be",
         ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 25000, 12, 0x41), randomBytes(1200000, 13)), true},
        {"32-bit 512x512: eight chunks",
         ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 512, 512, 0x41), randomBytes(1 << 20, 11))},
    };
}

enum class Fault { Allocation, Read, Interrupted, Short, Throw, RefusedThread };

// The fault armed for the import under way: it hits the event `at` (from
// 1; 0 never) of its kind, and on one thread takes a copy of the host's
// buffer, where given, when a read fails or a decode throws.
struct Armed {
    Fault fault = Fault::Allocation;
    int at = 0;
    std::atomic<int> events{0};
    const std::vector<uint8_t> *pixels = nullptr;
    std::vector<uint8_t> whenHit;
};
Armed armed;

bool hits(bool ofItsKind) { return ofItsKind && ++armed.events == armed.at; }

int64_t faultyRead(const PluginFile &file, uint64_t offset, void *buffer, size_t size) {
    const Fault f = armed.fault;
    if (!hits(f == Fault::Read || f == Fault::Interrupted || f == Fault::Short)) {
        return ddsSystemRead(file, offset, buffer, size);
    }
    if (f == Fault::Short) return ddsSystemRead(file, offset, buffer, (size + 1) / 2);
    if (f == Fault::Read && armed.pixels != nullptr) armed.whenHit = *armed.pixels;
    errno = f == Fault::Read ? EIO : EINTR;
    return -1;
}

// What std::thread throws when the system will not start a thread, and
// what a failed allocation inside a decode would throw.
void faultyDecode(DdsDecodeEvent event) {
    if (hits(event == DdsDecodeEvent::WorkerStart && armed.fault == Fault::RefusedThread)) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    if (hits(event == DdsDecodeEvent::Chunk && armed.fault == Fault::Throw)) {
        if (armed.pixels != nullptr) armed.whenHit = *armed.pixels;
        throw std::bad_alloc();
    }
}

struct FaultCase {
    Fault fault;
    bool survives;     // the import still delivers the whole image
    bool linked;       // through the callbacks linked into the tests, which the hooks reach
    uint32_t threads;  // linked: the decoding threads (16 passes the chunk buffers' bound of 8)
    bool large;        // the large shapes too: the query's many reads, more chunks than threads
};

const FaultCase faultCases[] = {
    {Fault::Allocation, false, false, 0, true},     {Fault::Allocation, false, true, 3, false},
    {Fault::Read, false, true, 1, true},            {Fault::Read, false, true, 3, true},
    {Fault::Read, false, true, 16, true},           {Fault::Interrupted, true, true, 1, false},
    {Fault::Short, true, true, 1, false},           {Fault::Throw, false, true, 1, false},
    {Fault::Throw, false, true, 3, false},          {Fault::RefusedThread, true, true, 3, false},
    {Fault::RefusedThread, true, true, 16, true},
};

class AllocationFailure : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        ddsSetSystemReadForTesting(faultyRead);
        ddsSetDecodeHookForTesting(faultyDecode);
    }
    void TearDown() override {
        ddsSetSystemReadForTesting(nullptr);
        ddsSetDecodeHookForTesting(nullptr);
        ddsSetDecodeThreadsForTesting(0, ddsParallelMinimumPixels);
        PluginTest::TearDown();
    }

    struct Outcome {
        int status = 0;      // first status that was not 0, else 0
        int events = 0;      // events of the fault's kind that the sequence had
        int openEvents = 0;  // those of them in the open
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> whenHit;  // the buffer as it was when a watched fault hit
    };

    static void arm(Fault fault, int at) {
        armed.fault = fault;
        armed.at = at;
        armed.events = 0;
        armed.pixels = nullptr;
        armed.whenHit.clear();
        qvhostFailMallocCall(fault == Fault::Allocation ? at : 0);
    }

    static int eventsSince(int mallocCalls) {
        return armed.fault == Fault::Allocation ? qvhostMallocCalls() - mallocCalls : armed.events.load();
    }

    // open, query, image request into an exactly sized buffer, close, with
    // `fault` armed at event `at`; `watch` copies the buffer when it hits.
    Outcome import(const std::string &path, Fault fault, int at, bool watch) {
        Outcome outcome;
        const int before = qvhostMallocCalls();
        arm(fault, at);
        int handle = -1;
        outcome.status = open(path, &handle);
        outcome.openEvents = eventsSince(before);
        if (outcome.status == 0) {
            QvImageInfo record{};
            outcome.status = info(handle, &record);
            if (outcome.status == 0) {
                const size_t bytes = static_cast<size_t>(record.width) * static_cast<size_t>(record.height) *
                                     (record.type == 4 ? 3u : 4u);
                outcome.pixels.assign(bytes, Fill);
                if (watch) armed.pixels = &outcome.pixels;
                outcome.status = image(handle, outcome.pixels.data());
            }
            const int closed = close(handle);
            if (outcome.status == 0) outcome.status = closed;
        }
        outcome.events = eventsSince(before);
        outcome.whenHit.swap(armed.whenHit);
        arm(fault, 0);
        return outcome;
    }

    // After a failed import the table still opens files into the lowest
    // slots and closes them.
    void expectTableUsable(const std::string &path) {
        int first = -1;
        int second = -1;
        ASSERT_EQ(open(path, &first), 0);
        ASSERT_EQ(open(path, &second), 0);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(second, 1);
        EXPECT_EQ(close(first), 0);
        int reused = -1;
        ASSERT_EQ(open(path, &reused), 0);
        EXPECT_EQ(reused, 0);
        EXPECT_EQ(close(reused), 0);
        EXPECT_EQ(close(second), 0);
    }
};

TEST_F(AllocationFailure, EachFaultEndsInReadFailedOrTheRightImage) {
    for (const FaultCase &c : faultCases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(c.fault) << ", "
                                        << (c.linked ? "linked, threads " : "loaded plug-in") << c.threads);
        useLinkedCallbacks(c.linked);
        ddsSetDecodeThreadsForTesting(c.threads, 0);
        int hit = 0;
        for (const Shape &shape : shapes()) {
            if (shape.large && !c.large) continue;
            SCOPED_TRACE(shape.name);
            TempFile file(shape.file);
            // Every row order through the loaded plug-in; the default one, last row first, through the hooks.
            for (int preference : c.linked ? std::vector<int>{0} : std::vector<int>{-1, 0, 1}) {
                SCOPED_TRACE(preference);
                qvhostReset();
                if (preference >= 0) qvhostSetPreference("KER:FlipDDSImages", preference);

                const Outcome reference = import(file.path(), c.fault, 0, false);
                ASSERT_EQ(reference.status, 0);
                if (c.fault == Fault::Allocation) {
                    ASSERT_GE(reference.events, 1) << "the image request works in a host-allocated chunk";
                }

                int at = 1;
                for (;; ++at) {
                    SCOPED_TRACE(at);
                    ASSERT_LE(at, reference.events + 1);
                    const Outcome outcome = import(file.path(), c.fault, at, c.threads == 1);
                    EXPECT_EQ(qvhostLiveAllocations(), 0) << "leak";
                    EXPECT_EQ(qvhostBadFrees(), 0);
                    if (c.linked && c.threads > 1) {
                        const int events = eventsSince(0);
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        EXPECT_EQ(eventsSince(0), events) << "a thread went on after the request returned";
                    }
                    expectTableUsable(file.path());
                    if (outcome.events < at || c.survives) {
                        // The fault was never reached, or the import goes round it.
                        EXPECT_EQ(outcome.status, 0);
                        EXPECT_TRUE(outcome.pixels == reference.pixels);
                        if (outcome.events < at) break;
                        ++hit;
                        continue;
                    }
                    ++hit;
                    EXPECT_EQ(outcome.status, at <= reference.openEvents ? -2 : -8)
                        << "a fault hit, yet the import reported " << outcome.status;
                    if (!outcome.whenHit.empty()) {
                        EXPECT_TRUE(outcome.whenHit == outcome.pixels) << "written after the fault";
                    }
                }
                EXPECT_EQ(at, reference.events + 1) << "every event was made to fail once";
            }
        }
        EXPECT_GT(hit, 0) << "the fault never hit";
    }
}

// The same, with many files open: a failure in one leaves the others and
// their handles alone.
TEST_F(AllocationFailure, OtherOpenFilesAreUntouched) {
    TempFile big(shapes().back().file);
    TempFile small(shapes().front().file);
    std::vector<int> handles;
    for (int i = 0; i < 19; ++i) handles.push_back(openOk(small.path()));
    for (int i = 0; i < 19; ++i) EXPECT_EQ(handles[static_cast<size_t>(i)], i);

    int handle = -1;
    ASSERT_EQ(open(big.path(), &handle), 0);
    EXPECT_EQ(handle, 19);
    QvImageInfo record{};
    ASSERT_EQ(info(handle, &record), 0);
    std::vector<uint8_t> pixels(static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * 4, Fill);
    qvhostFailMallocCall(1);
    EXPECT_EQ(image(handle, pixels.data()), -8);
    qvhostFailMallocCall(0);
    EXPECT_EQ(qvhostLiveAllocations(), 0);
    // A retry on the same handle goes through.
    EXPECT_EQ(image(handle, pixels.data()), 0);
    EXPECT_EQ(close(handle), 0);

    // Every other handle still names its file.
    for (int h : handles) {
        QvImageInfo other{};
        EXPECT_EQ(info(h, &other), 0) << h;
        EXPECT_EQ(other.width, 16);
        EXPECT_EQ(close(h), 0);
    }
    EXPECT_EQ(qvhostLiveAllocations(), 0);
    EXPECT_EQ(qvhostBadFrees(), 0);
}

}  // namespace
