// Offsets past 4 GiB through the plug-in's file reads.  A `long` is 32 bits
// on Windows (and on 32-bit Linux): the length and the reads at offsets must
// use 64-bit offsets on every platform.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "dds_builder.h"
#include "file_source.h"

namespace {

TEST(LargeFile, LengthAndReadsPastFourGiB) {
    const uint64_t markerAt = (uint64_t{5} << 30) + 3;  // 5 GiB and 3 bytes
    const std::vector<uint8_t> head = {'D', 'D', 'S', ' '};
    const std::vector<uint8_t> marker = {0xDD, 0x53, 0x20, 0x7C};
    TempFile file(head);
    {
        // Seeking past the end and writing leaves a sparse gap of zeros.
        std::fstream out(file.path(), std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(markerAt));
        out.write(reinterpret_cast<const char *>(marker.data()), static_cast<std::streamsize>(marker.size()));
        ASSERT_TRUE(out.good()) << "cannot write at 5 GiB in " << file.path();
    }

    PluginFile opened;
    ASSERT_TRUE(ddsOpenFile(file.path().c_str(), &opened));
    DdsSource source;
    ASSERT_TRUE(ddsFileSource(&opened, &source));
    EXPECT_EQ(source.length, markerAt + marker.size());

    std::vector<uint8_t> got(4);
    EXPECT_TRUE(ddsRead(source, markerAt, got.data(), got.size()));
    EXPECT_EQ(got, marker);
    // Back to the start after the far read: the offset did not wrap.
    EXPECT_TRUE(ddsRead(source, 0, got.data(), got.size()));
    EXPECT_EQ(got, head);
    // Exactly 4 GiB, in the gap: zeros, not the head 4 GiB further down.
    got.assign(4, 0xFF);
    EXPECT_TRUE(ddsRead(source, uint64_t{1} << 32, got.data(), got.size()));
    EXPECT_EQ(got, std::vector<uint8_t>(4, 0));
    // One byte short at the end: the read fails.
    EXPECT_FALSE(ddsRead(source, markerAt + 1, got.data(), got.size()));
    ddsCloseFile(&opened);
}

}  // namespace
