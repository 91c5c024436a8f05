// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/AudioPlayer.h"

#include "binding/BassBinding.h"
#include "platform/FakeDialogs.h"
#include "platform/MessageWindow.h"
#include "plugins/SharedMemory.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/binding/MixClock.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kProgramDir = TINDREL_PROGRAM_DIR;

std::string sample(const std::string& relative) {
    return test::TestDataDir() + "/" + relative;
}

class PlayerTest : public ::testing::Test {
protected:
    // The mixes of the engine the player plays through.
    test::MixClock& mixes() {
        if (!m_clock) {
            if (!m_engine.open(JoinLibraryPath(kProgramDir, "libbass.so")))
                throw std::runtime_error("the engine is not in " + kProgramDir);
            // The entries' types only: taking their addresses here would link
            // this program against an engine of its own.
            const auto entry = [&]<typename Function>(Function*, const char* name) {
                return reinterpret_cast<Function*>(m_engine.symbol(name));
            };
            m_clock = std::make_unique<test::MixClock>(test::MixClockCalls{
                entry(static_cast<decltype(&::BASS_StreamCreate)>(nullptr), "BASS_StreamCreate"),
                entry(static_cast<decltype(&::BASS_StreamPlay)>(nullptr), "BASS_StreamPlay"),
                entry(static_cast<decltype(&::BASS_StreamFree)>(nullptr), "BASS_StreamFree"),
                entry(static_cast<decltype(&::BASS_ChannelSetSync)>(nullptr), "BASS_ChannelSetSync")});
        }
        return *m_clock;
    }

    FakeDialogs dialogs;
    TAudioPlayer player{nullptr, dialogs, kProgramDir, 0};
    const std::string tenSeconds = sample("app/ten-seconds.mp3");
    const std::string shortClip = sample("mpeg/mpeg2_16k_vbr.mp3");

private:
    LibraryHandle m_engine; // the player's own engine, opened once more
    std::unique_ptr<test::MixClock> m_clock;
};

TEST_F(PlayerTest, StartsReadyOnTheSilentDevice) {
    EXPECT_TRUE(player.PlayerReady());
    EXPECT_TRUE(player.WMAReady());
    EXPECT_TRUE(player.DX8EffectReady());
    EXPECT_EQ(player.Version(), "1.2");
    EXPECT_EQ(player.BASSDLLVer(), "1.8");
    EXPECT_EQ(player.Mode(), TPlayerMode::Closed);
    EXPECT_TRUE(dialogs.messages().empty());
    // The visualisation program looks for its block by this name.
    EXPECT_EQ(player.SharedMemory()->ShareName(), "SharedMemory1");
    EXPECT_EQ(player.PluginConfigForm(), nullptr); // made without widgets
}

TEST_F(PlayerTest, OpenDescribesTheFileAndTheModesFollowTheControls) {
    ASSERT_TRUE(player.Open(tenSeconds));
    EXPECT_EQ(player.Mode(), TPlayerMode::Ready);
    EXPECT_EQ(player.ChannelType(), TChannelType::Stream);
    EXPECT_EQ(player.StreamInfo().BitRate, 128u);
    EXPECT_EQ(player.StreamInfo().SampleRate, 44100u);
    EXPECT_EQ(player.StreamInfo().Channels, 2);
    EXPECT_EQ(player.StreamInfo().Title, "Ten Seconds");
    EXPECT_NEAR(player.GetPlayLength(), 10'000, 60);

    const struct {
        void (TAudioPlayer::*operation)();
        TPlayerMode after;
    } steps[] = {
        {&TAudioPlayer::Pause, TPlayerMode::Ready},    {&TAudioPlayer::Stop, TPlayerMode::Ready},
        {&TAudioPlayer::Play, TPlayerMode::Playing},   {&TAudioPlayer::Play, TPlayerMode::Playing},
        {&TAudioPlayer::Resume, TPlayerMode::Playing}, {&TAudioPlayer::Pause, TPlayerMode::Paused},
        {&TAudioPlayer::Stop, TPlayerMode::Paused},    {&TAudioPlayer::Play, TPlayerMode::Playing},
        {&TAudioPlayer::Stop, TPlayerMode::Stopped},   {&TAudioPlayer::Pause, TPlayerMode::Stopped},
        {&TAudioPlayer::Play, TPlayerMode::Playing},   {&TAudioPlayer::Close, TPlayerMode::Closed},
        {&TAudioPlayer::Play, TPlayerMode::Closed},
    };
    int step = 0;
    for (const auto& s : steps) {
        (player.*s.operation)();
        EXPECT_EQ(player.Mode(), s.after) << "step " << step;
        ++step;
    }
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(PlayerTest, ThePositionMovesWhilePlayingAndHoldsWhilePaused) {
    ASSERT_TRUE(player.Open(tenSeconds));
    player.SetPosition(4'000);
    EXPECT_NEAR(player.GetPosition(), 4'000, 30);
    player.Play();
    ASSERT_TRUE(test::WaitFor([&] { return player.GetPosition() >= 4'200; }, 10'000));
    player.Pause();
    const uint32_t paused = player.GetPosition();
    ASSERT_TRUE(mixes().Wait(2));
    EXPECT_EQ(player.GetPosition(), paused);
    player.Stop(); // a paused player stays paused
    EXPECT_EQ(player.Mode(), TPlayerMode::Paused);
    player.Play(); // resumes where it paused
    EXPECT_NEAR(player.GetPosition(), paused, 60);
}

TEST_F(PlayerTest, SeeksBeyondTheDurationAreIgnoredAndTheDurationItselfIsAccepted) {
    // A WAV file's header gives its length exactly, as the engine sees it.
    ASSERT_TRUE(player.Open(sample("app/tone.wav")));
    const uint32_t duration = player.StreamInfo().Duration;
    ASSERT_EQ(duration, 1'000u);
    player.SetPosition(300);
    player.SetPosition(duration + 1);
    EXPECT_EQ(player.GetPosition(), 300u);
    player.SetPosition(duration);
    EXPECT_EQ(player.GetPosition(), duration);
}

TEST_F(PlayerTest, TheEndOfTheStreamStopsThePlayerOnThisThreadOnce) {
    ASSERT_TRUE(player.Open(shortClip));
    int ends = 0;
    QThread* const uiThread = QThread::currentThread();
    bool onUiThread = false;
    player.OnPlayEnd = [&](TAudioPlayer* sender) {
        ++ends;
        onUiThread = QThread::currentThread() == uiThread && sender == &player;
    };
    player.SetPosition(player.StreamInfo().Duration > 300 ? player.StreamInfo().Duration - 300 : 0);
    player.Play();
    ASSERT_TRUE(test::WaitFor([&] { return player.Mode() == TPlayerMode::Stopped; }, 15'000));
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(onUiThread);
    // A second, wrong, notice would come from a mix after the end, then
    // cross to this thread.
    ASSERT_TRUE(mixes().Wait(2) && mixes().EndNoticesDelivered());
    PumpMessages();
    EXPECT_EQ(ends, 1);
    // Play after the end starts again from the beginning.
    player.Play();
    EXPECT_EQ(player.Mode(), TPlayerMode::Playing);
    EXPECT_LT(player.GetPosition(), 200u);
}

TEST_F(PlayerTest, VolumesAreClampedAndKeptPerKindOfChannel) {
    const struct {
        int32_t given;
        int32_t kept;
    } cases[] = {{150, 100}, {-5, 0}, {-1, -1}, {40, 40}};
    for (const auto& c : cases) {
        player.SetVolume(c.given);
        EXPECT_EQ(player.GetVolume(), c.kept) << c.given;
    }
    BassLibrary engine; // the same loaded library, to read its volumes back
    ASSERT_TRUE(engine.Load(kProgramDir, "libbass.so"));
    player.SetVolume(150);
    DWORD music = 0, sampleVolume = 0, stream = 0;
    engine.BASS_GetGlobalVolumes(&music, &sampleVolume, &stream);
    EXPECT_EQ(stream, 100u);
    player.SetVolume(-5);
    engine.BASS_GetGlobalVolumes(&music, &sampleVolume, &stream);
    EXPECT_EQ(stream, 0u);
}

TEST_F(PlayerTest, CloseForgetsTheFileButKeepsItsDuration) {
    ASSERT_TRUE(player.Open(tenSeconds));
    const uint32_t duration = player.StreamInfo().Duration;
    player.Close();
    EXPECT_EQ(player.StreamInfo().FileName, "");
    EXPECT_EQ(player.StreamInfo().SampleRate, 0u);
    EXPECT_EQ(player.StreamInfo().Duration, duration);
    EXPECT_EQ(player.StreamFileName(), "");
    EXPECT_EQ(player.GetPlayLength(), 0u);
    EXPECT_EQ(player.GetPosition(), 0u);
}

TEST_F(PlayerTest, FilesThatCannotBeDescribedOrPlayedAreReported) {
    TempDir dir;
    const std::string text = dir.write("notes.txt", test::PatternBytes(4000, 1));
    const std::string fakeMp3 = dir.write("noise.mp3", std::vector<uint8_t>(4000, 0));
    ASSERT_TRUE(player.Open(tenSeconds));
    player.Play();
    for (const std::string& file : {text, fakeMp3}) {
        dialogs.clear();
        EXPECT_FALSE(player.Open(file));
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].caption, "Error");
        EXPECT_TRUE(dialogs.messages()[0].text.startsWith(
            QString::fromStdString("Invalid stream file(" + file + ") !\r\n(error code: ")));
        EXPECT_EQ(player.Mode(), TPlayerMode::Playing) << "the current playback went on";
    }
}

// A canonical 44-byte WAV header (8 kHz, mono, 16 bits) and dataBytes of
// silence.
test::Bytes SilentWav(uint32_t dataBytes) {
    test::Bytes wav(44 + dataBytes, 0);
    const auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wav[at + i] = uint8_t(v >> (8 * i));
    };
    std::memcpy(wav.data(), "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    wav[20] = 1; // PCM
    wav[22] = 1; // mono
    put32(24, 8000);
    put32(28, 16000);
    wav[32] = 2;
    wav[34] = 16;
    std::memcpy(wav.data() + 36, "data", 4);
    put32(40, dataBytes);
    return wav;
}

TEST_F(PlayerTest, DurationsRoundHalvesToEven) {
    // At 16,000 bytes a second, 8 bytes are half a millisecond.
    const struct {
        uint32_t dataBytes;
        uint32_t ms;
    } cases[] = {{16'008, 1'000}, {16'024, 1'002}, {16'016, 1'001}, {16'020, 1'001}};
    TempDir dir;
    for (const auto& c : cases) {
        TStreamInfo info;
        int32_t plugin = 0;
        TSupportedBy supported = TSupportedBy::Both;
        ASSERT_TRUE(player.GetStreamInfo(dir.write("s.wav", SilentWav(c.dataBytes)), info, plugin, supported));
        EXPECT_EQ(info.Duration, c.ms) << c.dataBytes;
        EXPECT_EQ(info.BitRate, 0u);
        EXPECT_EQ(plugin, -1);
        EXPECT_EQ(supported, TSupportedBy::BASSOnly);
    }
}

TEST_F(PlayerTest, AnMp3IsDescribedByItsID3v1TagFirst) {
    TempDir dir;
    const std::string file = dir.file("both.mp3");
    fs::copy_file(sample("mpeg/cbr128.mp3"), file);
    TID3v2 v2;
    v2.SetTitle("Title Two");
    v2.SetArtist("Artist Two");
    v2.SetTrack(9);
    v2.SetGenre("Genre Two");
    ASSERT_TRUE(v2.Save(file));
    TStreamInfo info;
    int32_t plugin = 0;
    TSupportedBy supported{};
    ASSERT_TRUE(player.GetStreamInfo(file, info, plugin, supported));
    EXPECT_EQ(info.Title, "Title Two");
    EXPECT_EQ(info.Genre, "Genre Two");
    EXPECT_EQ(info.GenreID, 0);
    EXPECT_EQ(info.Track, 9);

    TID3v1 v1;
    v1.SetTitle("Title One");
    v1.SetGenreIndex(17);
    v1.SetTrack(3);
    ASSERT_TRUE(v1.Save(file));
    ASSERT_TRUE(player.GetStreamInfo(file, info, plugin, supported));
    EXPECT_EQ(info.Title, "Title One");
    EXPECT_EQ(info.Artist, "");
    EXPECT_EQ(info.Genre, "Rock");
    EXPECT_EQ(info.GenreID, 17);
    EXPECT_EQ(info.Track, 3);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.SampleRate, 44100u);
    EXPECT_EQ(info.BitRate, 128u);
    EXPECT_EQ(info.FileName, file);
    // A file too short for the whole analysis is still described by the
    // frame that was found.
    EXPECT_TRUE(player.GetStreamInfo(sample("tags/plain.mp3"), info, plugin, supported));
    EXPECT_EQ(info.BitRate, 32u);
}

TEST_F(PlayerTest, ReadersDescribeOggWavAndWma) {
    const struct {
        const char* file;
        TChannelType type;
        uint32_t rate;
        uint16_t channels;
    } cases[] = {
        {"player/comments.ogg", TChannelType::Stream, 0, 0},
        {"player/mono22_16.wav", TChannelType::Stream, 22050, 1},
        {"player/mono22.wma", TChannelType::WMAStream, 22050, 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(player.Open(sample(c.file))) << c.file;
        EXPECT_EQ(player.ChannelType(), c.type) << c.file;
        if (c.rate) {
            EXPECT_EQ(player.StreamInfo().SampleRate, c.rate) << c.file;
            EXPECT_EQ(player.StreamInfo().Channels, c.channels) << c.file;
        }
        // The WMA reader estimates its length from the file size, so only
        // the others must agree with what the engine decodes.
        if (c.type != TChannelType::WMAStream) {
            EXPECT_NEAR(player.GetPlayLength(), player.StreamInfo().Duration, 60) << c.file;
        }
        player.Play();
        EXPECT_EQ(player.Mode(), TPlayerMode::Playing) << c.file;
    }
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST(PlayerWithoutEngine, AMissingEngineLeavesThePlayerNotReadyWithoutAMessage) {
    TempDir empty;
    FakeDialogs dialogs;
    TAudioPlayer player(nullptr, dialogs, empty.path(), 0);
    EXPECT_FALSE(player.PlayerReady());
    EXPECT_EQ(player.BASSDLLVer(), "");
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_FALSE(player.Open(sample("app/ten-seconds.mp3")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Confirm");
    EXPECT_EQ(dialogs.messages()[0].text, "Player is not ready !");
    EXPECT_EQ(player.GetPlayLength(), 0u);
    player.Play();
    player.SetVolume(50);
    player.Close();
}

TEST(PlayerWithoutEngine, WmaNeedsTheAddOn) {
    TempDir folder;
    fs::create_symlink(kProgramDir + "/libbass.so", folder.file("libbass.so"));
    FakeDialogs dialogs;
    TAudioPlayer player(nullptr, dialogs, folder.path(), 0);
    ASSERT_TRUE(player.PlayerReady());
    EXPECT_FALSE(player.WMAReady());
    ASSERT_TRUE(player.Open(sample("app/ten-seconds.mp3")));
    player.Play();
    // The WMA file is described, then no loader takes it: the channel that
    // was playing is already gone, and the mode is left as it was.
    EXPECT_FALSE(player.Open(sample("player/mono22.wma")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("Can't play the file\r\n(error code: "));
    EXPECT_EQ(player.Mode(), TPlayerMode::Playing);
    EXPECT_EQ(player.ChannelType(), TChannelType::None);
    EXPECT_EQ(player.GetPosition(), 0u);
    player.Pause();
    EXPECT_TRUE(player.Open(sample("app/ten-seconds.mp3")));
    EXPECT_EQ(player.Mode(), TPlayerMode::Ready);
}

// A four-channel tracker module whose pattern holds two MPEG audio frames:
// the analysis accepts it as an .mp3 file, while the engine's stream loader
// does not, so it plays through the module loader.
test::Bytes ModuleWithFrames() {
    const test::Bytes mp3 = test::ReadFileBytes(sample("mpeg/cbr128.mp3"));
    const std::size_t frames = 2 * 418; // the sample starts with a frame
    const std::size_t sampleBytes = 4000;
    test::Bytes mod(20 + 31 * 30 + 2 + 128 + 4 + 1024 + sampleBytes, 0);
    std::memcpy(mod.data(), "tindrel test", 12);
    uint8_t* sampleHeader = mod.data() + 20;
    sampleHeader[22] = uint8_t((sampleBytes / 2) >> 8); // length in words, big-endian
    sampleHeader[23] = uint8_t((sampleBytes / 2) & 0xFF);
    sampleHeader[25] = 64; // volume
    sampleHeader[29] = 1;  // no loop
    uint8_t* song = mod.data() + 20 + 31 * 30;
    song[0] = 1;
    song[1] = 127;
    std::memcpy(song + 2 + 128, "M.K.", 4);
    uint8_t* pattern = song + 2 + 128 + 4;
    std::memcpy(pattern, mp3.data(), frames);
    for (std::size_t i = 0; i < sampleBytes; ++i)
        pattern[1024 + i] = (i / 8) % 2 ? 0x90 : 0x70;
    return mod;
}

TEST_F(PlayerTest, AModuleHasNoPositionAndIgnoresSeeks) {
    TempDir dir;
    const std::string module = dir.write("module.mp3", ModuleWithFrames());
    ASSERT_TRUE(player.Open(module)) << dialogs.messages().back().text.toStdString();
    ASSERT_EQ(player.ChannelType(), TChannelType::Music);
    EXPECT_GT(player.GetPlayLength(), 0u);
    player.SetVolume(30);
    EXPECT_EQ(player.GetVolume(), 30);
    player.Play();
    EXPECT_EQ(player.Mode(), TPlayerMode::Playing);
    player.SetPosition(0);
    ASSERT_TRUE(mixes().Wait(2));
    EXPECT_EQ(player.GetPosition(), 0u);
    // The music volume is its own: a stream opened next has the stream volume.
    ASSERT_TRUE(player.Open(tenSeconds));
    EXPECT_NE(player.GetVolume(), 30);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(m_name); }

private:
    const char* m_name;
};

TEST(PlayerWithFakeEngine, EachStartUpFailureHasItsMessage) {
    const struct {
        const char* variable;
        const char* value;
        const char* caption;
        const char* text; // empty: no message
        bool ready;
    } cases[] = {
        {"TINDREL_FAKE_VERSION", "0x00070001", "Error", "BASS version is not 1.8 or higher\r\n(error code: 4242)",
         false},
        {"TINDREL_FAKE_INIT_FAILS", "1", "Error", "Can't initialize device\r\n(error code: 4242)", false},
        {"TINDREL_FAKE_START_FAILS", "1", "", "", false},
        {"TINDREL_FAKE_DSVER", "7", "Warning",
         "DirectX Ver 8 are not installed.\r\nSound effects except flanger are disabled.", true},
        {"TINDREL_FAKE_VERSION", "0x00080001", "", "", true},
    };
    // A player that starts on first use says nothing until then, and the
    // same as one started at once when first asked.
    for (const TEngineStart start : {TEngineStart::Now, TEngineStart::OnFirstUse}) {
        for (const auto& c : cases) {
            ScopedEnv env(c.variable, c.value);
            FakeDialogs dialogs;
            TAudioPlayer player(nullptr, dialogs, TINDREL_FAKE_ENGINE_DIR, 0, {}, TAudioPlayer::kVisShareName, start);
            if (start == TEngineStart::OnFirstUse) {
                EXPECT_TRUE(dialogs.messages().empty()) << c.variable;
            }
            EXPECT_EQ(player.PlayerReady(), c.ready) << c.variable;
            if (*c.text == 0) {
                EXPECT_TRUE(dialogs.messages().empty()) << c.variable;
            } else {
                ASSERT_EQ(dialogs.messages().size(), 1u) << c.variable;
                EXPECT_EQ(dialogs.messages()[0].caption, c.caption);
                EXPECT_EQ(dialogs.messages()[0].text, c.text);
            }
            EXPECT_EQ(player.DX8EffectReady(), c.ready && std::string(c.variable) != "TINDREL_FAKE_DSVER");
            EXPECT_EQ(player.BASSDLLVer(), c.ready ? "1.8" : "");
        }
    }
}

TEST(PlayerWithFakeEngine, AFileNoLoaderAcceptsCannotBePlayed) {
    FakeDialogs dialogs;
    TAudioPlayer player(nullptr, dialogs, TINDREL_FAKE_ENGINE_DIR, 0);
    ASSERT_TRUE(player.PlayerReady());
    EXPECT_FALSE(player.Open(sample("app/ten-seconds.mp3")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Can't play the file\r\n(error code: 4242)");
    EXPECT_EQ(player.Mode(), TPlayerMode::Closed);
}

} // namespace
} // namespace tindrel
