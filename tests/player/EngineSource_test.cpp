// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EngineSource.h"

#include "core/PlayerSource.h"
#include "platform/FakeDialogs.h"
#include "platform/FileStream.h"
#include "player/AudioPlayer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tindrel {
namespace {

// The figures of a byte-mode cut, found without the player, are the
// player's: on the corpus, on VBR files without an encoder's header frame
// (whose length the frames alone tell), and on two VBR files joined, whose
// header frame counts only the first's frames.
TEST(EngineSource, AnMp3IsDescribedAsThePlayerDescribesIt) {
    test::TempDir dir;
    const std::string command = "cd '" + dir.path() +
                                "' && sox -n -r 44100 -c 2 -b 16 a.wav synth 4 sine 300-900"
                                " && lame --quiet -t -V 4 a.wav vbr_bare.mp3"
                                " && lame --quiet -t -V 7 -m m --resample 22.05 a.wav vbr_bare_mono22.mp3"
                                " && lame --quiet -V 2 a.wav vbr.mp3 && cat vbr.mp3 vbr.mp3 > joined.MP3";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string data = test::TestDataDir() + "/mpeg/";
    const std::string files[] = {data + "cbr128.mp3",
                                 data + "cbr128_tags.mp3",
                                 data + "crc_stereo.mp3",
                                 data + "ffmpeg_32k.mp3",
                                 data + "mono_cbr64.mp3",
                                 data + "mono_vbr.mp3",
                                 data + "mpeg25_11k.mp3",
                                 data + "mpeg2_16k_vbr.mp3",
                                 data + "mpeg2_22k.mp3",
                                 data + "mpeg2_mono_crc.mp3",
                                 data + "vbr_xing.mp3",
                                 dir.file("vbr_bare.mp3"),
                                 dir.file("vbr_bare_mono22.mp3"),
                                 dir.file("joined.MP3")};
    FakeDialogs dialogs;
    TAudioPlayer player(nullptr, dialogs, TINDREL_PROGRAM_DIR, 0);
    ASSERT_TRUE(player.PlayerReady());
    for (const std::string& file : files) {
        const std::optional<SourceFacts> expected = DescribeWithPlayer(player, file);
        ASSERT_TRUE(expected) << file;
        // By name, and from the file a cut holds open.
        for (const std::optional<SourceFacts>& got : {DescribeMp3(file), DescribeMp3(FileStream::openRead(file))}) {
            ASSERT_TRUE(got) << file;
            EXPECT_EQ(got->lengthMs, expected->lengthMs) << file;
            EXPECT_EQ(got->bitRateKbps, expected->bitRateKbps) << file;
        }
    }
    // Bytes the analysis finds no MPEG audio in, as the player refuses them.
    EXPECT_FALSE(DescribeMp3(dir.file("a.wav")));
    EXPECT_FALSE(DescribeMp3(FileStream::openRead(dir.file("a.wav"))));
    // The open file is described, not what its name holds by now.
    const FileStream open = FileStream::openRead(dir.file("vbr_bare.mp3"));
    const std::optional<SourceFacts> before = DescribeMp3(dir.file("vbr_bare.mp3"));
    ASSERT_EQ(::rename(dir.file("joined.MP3").c_str(), dir.file("vbr_bare.mp3").c_str()), 0);
    const std::optional<SourceFacts> after = DescribeMp3(open);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->lengthMs, before->lengthMs);
    EXPECT_NE(DescribeMp3(dir.file("vbr_bare.mp3"))->lengthMs, before->lengthMs);
}

} // namespace
} // namespace tindrel
