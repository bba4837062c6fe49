// Opening and closing files: the magic check, the mode, and the table of
// open files whose slot index is the handle.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dds_builder.h"
#include "plugin_fixture.h"

namespace {

using OpenClose = PluginTest;

std::vector<uint8_t> validDxt1() { return ddsFile(dxtFields("DXT1", 4, 4), randomBytes(8, 1)); }

struct OpenCase {
    const char *name;
    std::vector<uint8_t> contents;
    const char *mode;
    int expected;
};

TEST_F(OpenClose, OpenChecksModeAndMagic) {
    const OpenCase cases[] = {
        {"valid", validDxt1(), "r", 0},
        {"any mode beginning with r", validDxt1(), "rt+", 0},
        {"write mode", validDxt1(), "w", -2},
        {"append mode", validDxt1(), "a", -2},
        {"empty mode", validDxt1(), "", -2},
        {"empty file", {}, "r", -2},
        {"three bytes", {'D', 'D', 'S'}, "r", -2},
        {"magic only", {'D', 'D', 'S', ' '}, "r", 0},
        {"fourth byte !", {'D', 'D', 'S', '!', 0, 0, 0, 0}, "r", -6},
        {"lowercase", {'d', 'd', 's', ' ', 0, 0, 0, 0}, "r", -6},
        {"NUL inside magic", {'D', 'D', 0, ' ', 0, 0, 0, 0}, "r", -6},
        {"PNG", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, "r", -6},
    };
    for (const OpenCase &c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.contents);
        int handle = 77;
        const int status = open(file.path(), &handle, c.mode);
        EXPECT_EQ(status, c.expected);
        if (status == 0) {
            EXPECT_EQ(handle, 0);
            EXPECT_EQ(close(handle), 0);
        } else {
            EXPECT_EQ(handle, 77) << "a failed open leaves the handle as it was";
        }
    }
}

TEST_F(OpenClose, MissingFileAndWriteModeOpenNothing) {
    int handle = 5;
    EXPECT_EQ(open("/nonexistent/dir/file.dds", &handle), -2);
    TempFile file(validDxt1());
    EXPECT_EQ(open(file.path(), &handle, "w"), -2);
    EXPECT_EQ(handle, 5);
    // A write mode must not have truncated the file.
    int reopened = -1;
    ASSERT_EQ(open(file.path(), &reopened), 0);
    QvImageInfo record{};
    EXPECT_EQ(info(reopened, &record), 0);
    EXPECT_EQ(close(reopened), 0);
    // Nothing stayed open: the next open still gets handle 0.
    EXPECT_EQ(open(file.path(), &reopened), 0);
    EXPECT_EQ(reopened, 0);
}

TEST_F(OpenClose, FirstHandleIsZeroAgainAfterClose) {
    TempFile file(validDxt1());
    for (int round = 0; round < 3; ++round) {
        int handle = -1;
        ASSERT_EQ(open(file.path(), &handle), 0);
        EXPECT_EQ(handle, 0);
        EXPECT_EQ(close(handle), 0);
    }
}

TEST_F(OpenClose, TwentyFilesFitAndTheTwentyFirstIsRefused) {
    TempFile file(validDxt1());
    for (int expected = 0; expected < 20; ++expected) {
        int handle = -1;
        ASSERT_EQ(open(file.path(), &handle), 0);
        EXPECT_EQ(handle, expected);
    }
    int handle = 99;
    EXPECT_EQ(open(file.path(), &handle), -2);
    EXPECT_EQ(handle, 99);
    // Refused even for a file that is not DDS: the table check comes first.
    TempFile other(std::vector<uint8_t>{'x', 'y', 'z', 'w'});
    EXPECT_EQ(open(other.path(), &handle), -2);

    // Closing one frees exactly that slot, and the next open takes it.
    EXPECT_EQ(close(7), 0);
    ASSERT_EQ(open(file.path(), &handle), 0);
    EXPECT_EQ(handle, 7);
    for (int h = 0; h < 20; ++h) EXPECT_EQ(close(h), 0) << h;
}

TEST_F(OpenClose, HandleStaysValidUntilItsOwnClose) {
    // Three different files; closing the first must not move the others.
    TempFile a(ddsFile(dxtFields("DXT1", 4, 4), randomBytes(8, 1)));
    TempFile b(ddsFile(dxtFields("DXT5", 8, 4), randomBytes(32, 2)));
    TempFile c(ddsFile(dxtFields("DXT3", 4, 12), randomBytes(48, 3)));
    const int ha = openOk(a.path()), hb = openOk(b.path()), hc = openOk(c.path());
    ASSERT_EQ(ha, 0);
    ASSERT_EQ(hb, 1);
    ASSERT_EQ(hc, 2);
    EXPECT_EQ(close(ha), 0);

    QvImageInfo record{};
    ASSERT_EQ(info(hb, &record), 0);
    EXPECT_EQ(record.width, 8);
    ASSERT_EQ(info(hc, &record), 0);
    EXPECT_EQ(record.height, 12);
    EXPECT_EQ(info(ha, &record), -8) << "a closed handle names no file";

    // The lowest empty slot is reused, with nothing left of the old file.
    const int hd = openOk(c.path());
    EXPECT_EQ(hd, 0);
    ASSERT_EQ(info(hd, &record), 0);
    EXPECT_EQ(record.height, 12);
    EXPECT_EQ(close(hb), 0);
    EXPECT_EQ(close(hc), 0);
    EXPECT_EQ(close(hd), 0);
}

TEST_F(OpenClose, CloseRefusesHandlesThatNameNoFile) {
    for (int handle : {-1, 20, 25, 3, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(close(handle), -8) << handle;
    }
    TempFile file(validDxt1());
    int handle = openOk(file.path());
    EXPECT_EQ(close(handle), 0);
    EXPECT_EQ(close(handle), -8) << "second close of the same handle";
}

TEST_F(OpenClose, ManyOpensAndClosesKeepTheTableConsistent) {
    // A model of the table: the lowest free slot for each open.
    TempFile file(validDxt1());
    std::vector<bool> used(20, false);
    const std::vector<uint8_t> script = randomBytes(400, 42);
    for (uint8_t step : script) {
        const int slot = step % 20;
        if (step & 0x80) {
            EXPECT_EQ(close(slot), used[static_cast<size_t>(slot)] ? 0 : -8);
            used[static_cast<size_t>(slot)] = false;
        } else {
            int expected = -1;
            for (int i = 0; i < 20 && expected < 0; ++i) {
                if (!used[static_cast<size_t>(i)]) expected = i;
            }
            int handle = -1;
            const int status = open(file.path(), &handle);
            if (expected < 0) {
                EXPECT_EQ(status, -2);
            } else {
                ASSERT_EQ(status, 0);
                EXPECT_EQ(handle, expected);
                used[static_cast<size_t>(expected)] = true;
            }
        }
    }
    for (int slot = 0; slot < 20; ++slot) {
        EXPECT_EQ(close(slot), used[static_cast<size_t>(slot)] ? 0 : -8);
    }
}

}  // namespace
