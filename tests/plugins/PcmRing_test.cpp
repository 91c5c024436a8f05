// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PcmRing.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

constexpr uint32_t kSize = PcmRing::Size;

TEST(PcmRing, FreeAndUsedSpaceFollowBothPositions) {
    const struct {
        uint32_t read, write, free, used;
    } cases[] = {
        {0, 0, kSize, 0},                 // empty
        {500, 500, kSize, 0},             // empty anywhere
        {0, 1000, kSize - 1000, 1000},    // writer ahead
        {1000, 0, 1000, kSize - 1000},    // writer wrapped behind the reader
        {1000, 999, 1, kSize - 1},        // full: one byte always stays free
        {kSize - 10, 20, kSize - 30, 30}, // data across the end
    };
    PcmRing ring;
    ASSERT_TRUE(ring.Allocate());
    for (const auto& c : cases) {
        ring.SetPositions(c.read, c.write);
        EXPECT_EQ(ring.FreeSpace(), c.free) << c.read << "/" << c.write;
        EXPECT_EQ(ring.UsedSpace(), c.used) << c.read << "/" << c.write;
        EXPECT_EQ(ring.FreeSpace() + ring.UsedSpace(), kSize);
    }
}

TEST(PcmRing, AnEmptyRingTakes88199BytesButNot88200) {
    PcmRing ring;
    ASSERT_TRUE(ring.Allocate());
    const test::Bytes data = test::PatternBytes(kSize, 1);
    EXPECT_FALSE(ring.Write(reinterpret_cast<const char*>(data.data()), kSize));
    EXPECT_EQ(ring.WritePos(), 0u);
    EXPECT_TRUE(ring.Write(reinterpret_cast<const char*>(data.data()), kSize - 1));
    EXPECT_EQ(ring.UsedSpace(), kSize - 1);
    EXPECT_FALSE(ring.Write(reinterpret_cast<const char*>(data.data()), 1));

    test::Bytes out(kSize);
    EXPECT_EQ(ring.Read(reinterpret_cast<char*>(out.data()), kSize), kSize - 1);
    out.resize(kSize - 1);
    EXPECT_EQ(out, test::Bytes(data.begin(), data.end() - 1));
}

TEST(PcmRing, AWriteOverTheEndContinuesAtTheStartAndReadsBackInOrder) {
    PcmRing ring;
    ASSERT_TRUE(ring.Allocate());
    ring.SetPositions(kSize - 100, kSize - 100);
    const test::Bytes data = test::PatternBytes(300, 7);
    ASSERT_TRUE(ring.Write(reinterpret_cast<const char*>(data.data()), 300));
    EXPECT_EQ(ring.WritePos(), 200u); // the part that did not fit before the end
    EXPECT_EQ(ring.UsedSpace(), 300u);

    test::Bytes out(250);
    EXPECT_EQ(ring.Read(reinterpret_cast<char*>(out.data()), 250), 250u);
    EXPECT_EQ(out, test::Bytes(data.begin(), data.begin() + 250));
    EXPECT_EQ(ring.ReadPos(), 150u);
    // A request for more than is there gets the rest, then nothing.
    test::Bytes rest(100);
    EXPECT_EQ(ring.Read(reinterpret_cast<char*>(rest.data()), 100), 50u);
    EXPECT_EQ(test::Bytes(rest.begin(), rest.begin() + 50), test::Bytes(data.begin() + 250, data.end()));
    EXPECT_EQ(ring.Read(reinterpret_cast<char*>(rest.data()), 100), 0u);
}

TEST(PcmRing, WithTheReaderAheadTheFreeGapIsFilledInOneStretch) {
    PcmRing ring;
    ASSERT_TRUE(ring.Allocate());
    ring.SetPositions(5000, 1000);
    const test::Bytes data = test::PatternBytes(3999, 3);
    EXPECT_FALSE(ring.Write(reinterpret_cast<const char*>(data.data()), 4000));
    ASSERT_TRUE(ring.Write(reinterpret_cast<const char*>(data.data()), 3999));
    EXPECT_EQ(ring.WritePos(), 4999u);
    EXPECT_EQ(ring.FreeSpace(), 1u);
}

} // namespace
} // namespace tindrel
