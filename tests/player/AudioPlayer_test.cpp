// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/AudioPlayer.h"

#include "platform/FakeDialogs.h"
#include "platform/MessageWindow.h"
#include "player/BassBinding.h"
#include "tests/support/TempDir.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <filesystem>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kProgramDir = TINDREL_PROGRAM_DIR;

std::string sample(const std::string& relative) { return test::TestDataDir() + "/" + relative; }

// Runs the event loop until done() holds or the time runs out.
bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        PumpMessages();
        QThread::msleep(5);
    }
    return true;
}

class PlayerTest : public ::testing::Test {
protected:
    FakeDialogs dialogs;
    TAudioPlayer player{nullptr, dialogs, kProgramDir, 0};
    const std::string tenSeconds = sample("app/ten-seconds.mp3");
    const std::string shortClip = sample("mpeg/mpeg2_16k_vbr.mp3");
};

TEST_F(PlayerTest, StartsReadyOnTheSilentDevice) {
    EXPECT_TRUE(player.PlayerReady());
    EXPECT_TRUE(player.WMAReady());
    EXPECT_TRUE(player.DX8EffectReady());
    EXPECT_EQ(player.Version(), "1.2");
    EXPECT_EQ(player.BASSDLLVer(), "1.8");
    EXPECT_EQ(player.Mode(), TPlayerMode::Closed);
    EXPECT_TRUE(dialogs.messages().empty());
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
        {&TAudioPlayer::Pause, TPlayerMode::Ready},     {&TAudioPlayer::Stop, TPlayerMode::Ready},
        {&TAudioPlayer::Play, TPlayerMode::Playing},    {&TAudioPlayer::Play, TPlayerMode::Playing},
        {&TAudioPlayer::Resume, TPlayerMode::Playing},  {&TAudioPlayer::Pause, TPlayerMode::Paused},
        {&TAudioPlayer::Stop, TPlayerMode::Paused},     {&TAudioPlayer::Play, TPlayerMode::Playing},
        {&TAudioPlayer::Stop, TPlayerMode::Stopped},    {&TAudioPlayer::Pause, TPlayerMode::Stopped},
        {&TAudioPlayer::Play, TPlayerMode::Playing},    {&TAudioPlayer::Close, TPlayerMode::Closed},
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
    ASSERT_TRUE(waitFor([&] { return player.GetPosition() >= 4'200; }, 3'000));
    player.Pause();
    const uint32_t paused = player.GetPosition();
    QThread::msleep(200);
    EXPECT_NEAR(player.GetPosition(), paused, 30);
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
    ASSERT_TRUE(waitFor([&] { return player.Mode() == TPlayerMode::Stopped; }, 5'000));
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(onUiThread);
    waitFor([] { return false; }, 200);
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
        EXPECT_TRUE(dialogs.messages()[0].text.startsWith(QString::fromStdString("Invalid stream file(" + file +
                                                                                 ") !\r\n(error code: ")));
        EXPECT_EQ(player.Mode(), TPlayerMode::Playing) << "the current playback went on";
    }
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
    EXPECT_FALSE(player.Open(sample("player/mono22.wma")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("Can't play the file\r\n(error code: "));
    EXPECT_TRUE(player.Open(sample("app/ten-seconds.mp3")));
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
        {"TINDREL_FAKE_VERSION", "0x00070001", "Error", "BASS version is not 1.8 or higher\r\n(error code: 4242)", false},
        {"TINDREL_FAKE_INIT_FAILS", "1", "Error", "Can't initialize device\r\n(error code: 4242)", false},
        {"TINDREL_FAKE_START_FAILS", "1", "", "", false},
        {"TINDREL_FAKE_DSVER", "7", "Warning",
         "DirectX Ver 8 are not installed.\r\nSound effects except flanger are disabled.", true},
        {"TINDREL_FAKE_VERSION", "0x00080001", "", "", true},
    };
    for (const auto& c : cases) {
        ScopedEnv env(c.variable, c.value);
        FakeDialogs dialogs;
        TAudioPlayer player(nullptr, dialogs, TINDREL_FAKE_ENGINE_DIR, 0);
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
