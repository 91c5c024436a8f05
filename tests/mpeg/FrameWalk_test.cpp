// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/FrameWalk.h"

#include "platform/FileStream.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tindrel {
namespace {

using test::Bytes;

// A walk that hands each frame to a visitor keeps no list, and must still
// find exactly the frames the listing walk finds, with their own bytes: over files of other encoders (CRCs, free
// format, junk with false syncs, truncated ends, VBR without Xing), each
// repeated over many of its blocks so that frames and junk straddle them.
TEST(FrameWalk, AVisitingWalkFindsTheFramesOfTheListingWalk) {
    const test::TempDir dir;
    for (const char* name : {"crc_cbr", "crc_vbr", "free_format", "junk_false_syncs", "mpeg25_8k_vbr",
                             "truncated_last_frame", "truncated_promise", "vbr_no_xing"}) {
        SCOPED_TRACE(name);
        const Bytes one = test::ReadFileBytes(test::TestDataDir() + "/frames/" + name + ".mp3");
        Bytes repeated;
        while (repeated.size() < 2'200'000)
            repeated.insert(repeated.end(), one.begin(), one.end());
        const std::string path = dir.write(std::string(name) + ".mp3", repeated);
        const FileStream file = FileStream::openRead(path);
        const TFrameWalk listed = WalkFrames(file, 0, file.size());
        std::vector<TFrameSpan> visited;
        bool ownBytes = true;
        const TFrameWalk walk = WalkFrames(file, 0, file.size(), [&](const TFrameSpan& f, std::span<const uint8_t> b) {
            visited.push_back(f);
            ownBytes = ownBytes && b.size() == f.Length && std::memcmp(b.data(), &repeated[f.Offset], b.size()) == 0;
        });
        EXPECT_TRUE(walk.Frames.empty());
        EXPECT_TRUE(ownBytes);
        ASSERT_EQ(visited.size(), listed.Frames.size());
        EXPECT_GT(visited.size(), 2 * one.size() / 1000);
        for (std::size_t i = 0; i < visited.size(); ++i) {
            const TFrameSpan& a = visited[i];
            const TFrameSpan& b = listed.Frames[i];
            ASSERT_TRUE(a.Offset == b.Offset && a.Length == b.Length && a.MainDataBegin == b.MainDataBegin &&
                        a.BitRateIndex == b.BitRateIndex)
                << "frame " << i;
        }
        EXPECT_EQ(walk.InfoOffset, listed.InfoOffset);
        EXPECT_EQ(walk.FreeFormatBytes, listed.FreeFormatBytes);
        EXPECT_EQ(walk.Format.BitRateIndex, listed.Format.BitRateIndex);
    }
}

} // namespace
} // namespace tindrel
