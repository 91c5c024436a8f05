// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Loudness.h"

#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace tindrel {
namespace {

using test::TempDir;

double dB(double linear) {
    return 20 * std::log10(linear);
}

// The last value of key in the output of a meter run.
double lastValue(const std::string& output, const std::string& key) {
    const std::size_t at = output.rfind(key);
    return at == std::string::npos ? NAN : std::atof(output.c_str() + at + key.size());
}

bool haveTools(const char* tools) {
    return std::system(("for t in " + std::string(tools) + "; do command -v $t >/dev/null || exit 1; done").c_str()) ==
           0;
}

// Twelve files of different rates, channels and encoders measure as the
// reference meter measures them (its integrated loudness to the thousandth,
// its peaks to three digits), and each file and the album as the ReplayGain
// scanner does.
TEST(Loudness, MeasuresAsTheReferenceMetersDo) {
    if (!haveTools("sox lame ffmpeg oggenc"))
        GTEST_SKIP() << "sox, lame, ffmpeg or oggenc is not installed";
    const TempDir dir;
    test::CommandOutput("SECONDS_EACH=2 " + test::TestDataDir() + "/loudness/make_set.sh '" + dir.path() + "'");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 12u);
    const TLoudnessScan scan = ScanLoudness(files);
    ASSERT_EQ(scan.Tracks.size(), 12u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string meter =
            test::CommandOutput("ffmpeg -nostdin -hide_banner -loglevel error -i '" + files[i] +
                                "' -af 'ebur128=metadata=1:peak=sample+true,ametadata=mode=print:file=-' -f null -");
        const TLoudness& track = scan.Tracks[i];
        EXPECT_NEAR(track.Loudness, lastValue(meter, "lavfi.r128.I="), 0.05) << files[i];
        EXPECT_NEAR(dB(track.SamplePeak), dB(lastValue(meter, "lavfi.r128.sample_peak=")), 0.1) << files[i];
        EXPECT_NEAR(dB(track.TruePeak), dB(lastValue(meter, "lavfi.r128.true_peak=")), 0.1) << files[i];
    }
    if (!haveTools("loudgain"))
        return;
    // One line a file and one for the album: name, loudness, range, true peak...
    std::istringstream lines(test::CommandOutput("cd '" + dir.path() + "' && loudgain -a -O *"));
    std::map<std::string, std::pair<double, double>> scanner;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name, loudness, range, peak;
        if (std::getline(fields, name, '\t') && std::getline(fields, loudness, '\t') &&
            std::getline(fields, range, '\t') && std::getline(fields, peak, '\t'))
            scanner[name] = {std::atof(loudness.c_str()), std::atof(peak.c_str())};
    }
    ASSERT_EQ(scanner.size(), 14u) << "a header, twelve files and the album";
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [loudness, peak] = scanner[std::filesystem::path(files[i]).filename().string()];
        EXPECT_NEAR(scan.Tracks[i].Loudness, loudness, 0.05) << files[i];
        EXPECT_NEAR(dB(scan.Tracks[i].TruePeak), dB(peak), 0.1) << files[i];
    }
    EXPECT_NEAR(scan.Album.Loudness, scanner["Album"].first, 0.05);
    EXPECT_NEAR(dB(scan.Album.TruePeak), dB(scanner["Album"].second), 0.1);
}

// The gain and peak frames are read by a tagging library and by the
// reference prober; a second write replaces them; every other frame and an
// APEv2 tag behind the audio stay as they were.
TEST(Loudness, TagsAreReadByOtherReadersAndKeepTheRest) {
    if (!haveTools("ffprobe /usr/bin/python3") || std::system("/usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0)
        GTEST_SKIP() << "ffprobe or mutagen is not installed";
    const TempDir dir;
    const std::string mp3 = dir.file("tagged.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/mpeg/cbr128_tags.mp3", mp3);
    const std::string python = "/usr/bin/python3 -c \"import sys; from mutagen.";
    test::CommandOutput(python +
                        "id3 import ID3, TPUB; t = ID3(sys.argv[1]); t.add(TPUB(encoding=3, text='Label')); "
                        "t.save(sys.argv[1], v1=1)\" '" +
                        mp3 + "'");
    test::CommandOutput(python + "apev2 import APEv2; t = APEv2(); t['Artist'] = 'Ape'; t.save(sys.argv[1])\" '" + mp3 +
                        "'");
    const test::Bytes before = test::ReadFileBytes(mp3);
    const std::size_t tail = 128 + 32 + 32 + 4 + 4 + 7 + 3; // ID3v1, APE header, footer, one item

    TLoudness track{-11.48, 0.9, 0.988553};
    const TLoudness album{-20.0, 0.5, 0.51};
    ASSERT_TRUE(WriteReplayGainTags(mp3, {-10.0, 0.9, 0.3}, nullptr));
    ASSERT_TRUE(WriteReplayGainTags(mp3, track, &album));
    const test::Bytes after = test::ReadFileBytes(mp3);
    ASSERT_GT(after.size(), tail);
    EXPECT_TRUE(std::equal(after.end() - long(tail), after.end(), before.end() - long(tail)))
        << "the APEv2 tag and the ID3v1 block";

    const std::string read =
        test::CommandOutput(python +
                            "id3 import ID3; t = ID3(sys.argv[1]); print(len(t.getall('TXXX')), t['TPUB'].text[0]); "
                            "[print(f.desc, f.text[0]) for f in t.getall('TXXX')]\" '" +
                            mp3 + "'");
    EXPECT_EQ(read, "4 Label\nREPLAYGAIN_TRACK_GAIN -6.52 dB\nREPLAYGAIN_TRACK_PEAK 0.988553\n"
                    "REPLAYGAIN_ALBUM_GAIN 2.00 dB\nREPLAYGAIN_ALBUM_PEAK 0.510000\n");
    const std::string probe = test::CommandOutput("ffprobe -v error -show_entries format_tags=REPLAYGAIN_TRACK_GAIN,"
                                                  "REPLAYGAIN_ALBUM_PEAK,title -of flat '" +
                                                  mp3 + "'");
    EXPECT_NE(probe.find("REPLAYGAIN_TRACK_GAIN=\"-6.52 dB\""), std::string::npos) << probe;
    EXPECT_NE(probe.find("REPLAYGAIN_ALBUM_PEAK=\"0.510000\""), std::string::npos) << probe;
    EXPECT_NE(probe.find("title=\"Sample Title\""), std::string::npos) << probe;
}

} // namespace
} // namespace tindrel
