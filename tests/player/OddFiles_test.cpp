// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// Folders, pipes and devices given where a file is expected: every reader
// answers at once, with nothing read.
#include "mpeg/MPEGaudio.h"
#include "platform/FileOps.h"
#include "player/OggVorbis.h"
#include "player/WAVfile.h"
#include "player/WMAfile.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tindrel {
namespace {

TEST(OddFiles, ReadersAnswerAtOnceForFoldersPipesAndDevices) {
    test::TempDir dir;
    const std::string pipe = dir.file("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {dir.path(), pipe, std::string("/dev/null"), std::string("/dev/zero")}) {
        EXPECT_FALSE(FileExists(path)) << path;
        TID3v1 v1;
        v1.Load(path);
        EXPECT_FALSE(v1.Exists()) << path;
        TID3v2 v2;
        v2.Load(path);
        EXPECT_FALSE(v2.Exists()) << path;
        EXPECT_FALSE(v1.Save(path)) << path;
        EXPECT_FALSE(v2.Save(path)) << path;
        TMPEGaudio mpeg;
        mpeg.Analyze(path);
        EXPECT_FALSE(mpeg.IsValid()) << path;
        TWAVfile wav;
        wav.ReadFromFile(path);
        EXPECT_FALSE(wav.Valid()) << path;
        TWMAfile wma;
        wma.ReadFromFile(path);
        EXPECT_FALSE(wma.Valid()) << path;
        TOggVorbis ogg;
        try {
            ogg.ReadFromFile(path);
        } catch (const std::exception&) {
            // A file the Ogg reader cannot open is the central handler's to report.
        }
        EXPECT_FALSE(ogg.Valid()) << path;
    }
}

} // namespace
} // namespace tindrel
