// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/AudioPlayer.h"

#include "platform/MessageWindow.h"
#include "plugins/PluginConfig.h"
#include "plugins/PluginHost.h"
#include "plugins/SharedMemory.h"
#include "plugins/WindowLink.h"
#include "tests/plugins/PluginFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <thread>
#include <unistd.h>

namespace tindrel {
namespace {

using test::WaitFor;

std::unique_ptr<QObject> makeConfigForm(IDialogs& dialogs, MessageWindow* playerWindow) {
    return std::make_unique<TPluginConfigForm>(dialogs, playerWindow);
}

// A player on device 0 whose Plugins folder holds the tone plug-in, loaded.
// It owns its plug-in dialog, as the main window's does, and a visualisation
// block of its own: players of other test processes make the usual one.
class PlayerPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.addPlugin("in_tone", "in_tone.so");
        player = std::make_unique<TAudioPlayer>(nullptr, dialogs, folder.path(), 0, &makeConfigForm, shareName);
        ASSERT_TRUE(player->PlayerReady());
        ASSERT_EQ(LoadPlugin("in_tone.so"), kPluginDone);
    }
    intptr_t probe(const char* what) const {
        const auto function =
            reinterpret_cast<intptr_t (*)(const char*)>(dlsym(GetPluginInfo(0).DLLHandle, "tone_probe"));
        return function ? function(what) : -2;
    }
    uint32_t position() const { return player->GetPosition(); }
    // Puts the test plug-in `name` into slot 0 once the player has let go
    // of the one there.
    void usePlugin(const std::string& name) {
        const std::string file = name + ".so";
        if (GetPluginInfo(0).FileName == file)
            return;
        ASSERT_TRUE(WaitFor([] { return InUsePlugin() == -1; }, 10'000));
        ASSERT_EQ(UnloadPlugin(GetPluginInfo(0).FileName), kPluginDone);
        ASSERT_EQ(LoadPlugin(folder.addPlugin(name, file)), kPluginDone);
    }

    const std::string shareName = "TindrelTestVis" + std::to_string(::getpid());
    test::ProgramFolder folder;
    FakeDialogs dialogs;
    std::unique_ptr<TAudioPlayer> player;
};

TEST_F(PlayerPluginTest, AToneFileIsDescribedByThePlugin) {
    const std::string tone = folder.writeTone("a.tone", 44100, 2, 16, 2000);
    TStreamInfo info;
    int32_t index = -1;
    TSupportedBy supported = TSupportedBy::Both;
    ASSERT_TRUE(player->GetStreamInfo(tone, info, index, supported));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(supported, TSupportedBy::PluginOnly);
    EXPECT_EQ(info.Title, "a.tone");
    EXPECT_EQ(info.Duration, 2000u);

    // The plug-in claims the extension but cannot read this file.
    const std::string broken = folder.writeTone("b.tone", 44100, 2, 12, 2000);
    EXPECT_FALSE(player->GetStreamInfo(broken, info, index, supported));
    EXPECT_EQ(supported, TSupportedBy::Unsupported);
    // An extension only a later entry of the plug-in's list names is not its.
    EXPECT_FALSE(player->GetStreamInfo(folder.writeTone("c.pcmx", 44100, 2, 16, 2000), info, index, supported));
}

TEST_F(PlayerPluginTest, ANameLongerThanThePluginsBufferIsCutNotOverrun) {
    namespace fs = std::filesystem;
    fs::path deep = folder.path();
    for (int i = 0; i < 3; ++i)
        deep /= std::string(100, char('p' + i));
    fs::create_directories(deep);
    const std::string tone = (deep / "long.tone").string();
    ASSERT_GT(tone.size(), 300u);
    std::filesystem::copy_file(folder.writeTone("long.tone", 44100, 2, 16, 1000), tone);

    TStreamInfo info;
    int32_t index = -1;
    TSupportedBy supported = TSupportedBy::Both;
    EXPECT_FALSE(player->GetStreamInfo(tone, info, index, supported)); // the cut name opens nothing
    EXPECT_EQ(probe("infoNameLength"), 255);
}

// The whole life of a plug-in playback on the silent device.
TEST_F(PlayerPluginTest, AToneFilePlaysSeeksPausesEndsAndThePluginUnloadsAfterClose) {
    const std::string tone = folder.writeTone("play.tone", 44100, 2, 16, 2000);
    bool streamBeforeStart = false;
    uint16_t startChannels = 0;
    uint32_t startRate = 0;
    player->OnPluginStartPlay = [&](TAudioPlayer* sender, uint16_t channels, uint32_t rate) {
        streamBeforeStart = sender->Channel() != 0 && sender->Channel() != 1;
        startChannels = channels;
        startRate = rate;
    };
    int ends = 0;
    player->OnPlayEnd = [&](TAudioPlayer*) { ++ends; };

    ASSERT_TRUE(player->Open(tone));
    EXPECT_EQ(player->ChannelType(), TChannelType::Plugin);
    EXPECT_EQ(player->SupportedBy(), TSupportedBy::PluginOnly);
    EXPECT_EQ(player->GetPlayLength(), 2000u);
    EXPECT_EQ(position(), 0u);
    // The plug-in keeps its own volume, clamped as the engine's are.
    EXPECT_EQ(player->GetVolume(), 255);
    player->SetVolume(150);
    EXPECT_EQ(player->GetVolume(), 100);

    player->Play();
    ASSERT_EQ(player->Mode(), TPlayerMode::Playing);
    EXPECT_TRUE(streamBeforeStart); // WM_PLUGIN_STREAM came before WM_PLUGIN_STARTPLAY
    EXPECT_EQ(startChannels, 2);
    EXPECT_EQ(startRate, 44100u);
    EXPECT_GT(position(), 200u);
    const uint32_t early = position();
    ASSERT_TRUE(WaitFor([&] { return position() >= early + 150; }, 10'000));

    player->SetPosition(1200);
    EXPECT_GE(position(), 1200u);
    EXPECT_LT(position(), 1500u);

    player->Pause();
    EXPECT_EQ(player->Mode(), TPlayerMode::Paused);
    const uint32_t paused = position();
    QThread::msleep(200);
    EXPECT_NEAR(position(), paused, 30);
    player->Play(); // resumes
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
    ASSERT_TRUE(WaitFor([&] { return position() >= paused + 100; }, 10'000));

    uint32_t last = 0; // the output closes with the end, so watch it until then
    ASSERT_TRUE(WaitFor(
        [&] {
            if (ends == 0)
                last = std::max(last, position());
            return ends > 0;
        },
        4000));
    EXPECT_GE(last, 1700u);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(player->Mode(), TPlayerMode::Stopped);
    EXPECT_EQ(player->Channel(), 0u);

    // Playing again starts the file from its beginning.
    player->Play();
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
    EXPECT_LT(position(), 900u);
    player->Stop();
    EXPECT_EQ(player->Mode(), TPlayerMode::Stopped);

    EXPECT_EQ(UnloadPlugin("in_tone.so"), kUnloadInUse);
    player->Close();
    ASSERT_TRUE(WaitFor([] { return InUsePlugin() == -1; }, 10'000));
    EXPECT_EQ(UnloadPlugin("in_tone.so"), kPluginDone);
    EXPECT_TRUE(dialogs.messages().empty());
}

// Most plug-ins post their end once the output's IsPlaying() returns 0; the
// tone plug-in waits for its output time instead. Either way a file shorter
// than the 400 ms start test plays as well as a long one: to its end, the
// end told within a second of the sound's end, the engine and the UI
// thread answering meanwhile.
TEST_F(PlayerPluginTest, ShortAndLongFilesPlayToTheEndWhicheverWayThePluginEnds) {
    void* engine = dlopen((folder.path() + "/libbass.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(engine, nullptr);
    const auto getData = reinterpret_cast<DWORD (*)(DWORD, void*, DWORD)>(dlsym(engine, "BASS_ChannelGetData"));
    const auto getPosition = reinterpret_cast<QWORD (*)(DWORD)>(dlsym(engine, "BASS_ChannelGetPosition"));
    ASSERT_TRUE(getData && getPosition);
    const struct {
        const char* plugin;
        uint32_t ms;
    } cases[] = {{"in_tone", 300}, {"in_tone_idle_end", 300}, {"in_tone_idle_end", 2000}};
    for (const auto& [plugin, ms] : cases) {
        SCOPED_TRACE(std::string(plugin) + " " + std::to_string(ms));
        ASSERT_NO_FATAL_FAILURE(usePlugin(plugin));
        QElapsedTimer clock;
        clock.start();
        std::atomic<DWORD> stream{0};
        std::atomic<int> ends{0};
        std::atomic<qint64> ended{-1};
        player->OnPluginStartPlay = [&](TAudioPlayer* sender, uint16_t, uint32_t) { stream = sender->Channel(); };
        player->OnPlayEnd = [&](TAudioPlayer*) {
            ended = clock.elapsed();
            ++ends;
        };
        // Watches the engine from a thread of its own, as the UI thread may
        // be inside the player's play-out wait.
        qint64 soundEnd = -1, slowestData = 0;
        std::thread watcher([&] {
            const QWORD length = QWORD(44100) * 4 * ms / 1000;
            while (ends == 0 && clock.elapsed() < ms + 5000) {
                if (const DWORD s = stream.load(); s != 0) {
                    const QWORD at = getPosition(s);
                    if (soundEnd < 0 && at != QWORD(-1) && at >= length)
                        soundEnd = clock.elapsed();
                    std::array<float, 256> fft{};
                    const qint64 before = clock.elapsed();
                    getData(s, fft.data(), BASS_DATA_FFT512);
                    slowestData = std::max(slowestData, clock.elapsed() - before);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // With the spectrum timer on, the UI thread keeps its events going.
        player->OnNewFFTData = [](TAudioPlayer*, TBandOut&) {};
        QTimer beat;
        qint64 lastBeat = clock.elapsed(), longestGap = 0;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - lastBeat);
            lastBeat = clock.elapsed();
        });
        beat.start(10);
        ASSERT_TRUE(player->Open(folder.writeTone(plugin + std::to_string(ms) + ".tone", 44100, 2, 16, int(ms))));
        player->Play();
        const bool endTold = WaitFor([&] { return ends > 0; }, int(ms) + 3000);
        watcher.join();
        EXPECT_LT(longestGap, 1000);
        ASSERT_TRUE(endTold);
        ASSERT_GE(soundEnd, 0) << "played to the end";
        EXPECT_LT(ended - soundEnd, 1000);
        EXPECT_LT(slowestData, 100);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(player->Mode(), TPlayerMode::Stopped);
        player->Close();
    }
    dlclose(engine);
    EXPECT_TRUE(dialogs.messages().empty());
}

// A plug-in that refuses the file, or has not opened its output when the
// start wait ends: the user is told, the player stays Ready, and the
// plug-in is not left decoding, to sound later behind the player's back.
TEST_F(PlayerPluginTest, APluginThatDoesNotStartIsReportedAndStopped) {
    for (const char* plugin : {"in_tone_play_fails", "in_tone_opens_late"}) {
        SCOPED_TRACE(plugin);
        ASSERT_NO_FATAL_FAILURE(usePlugin(plugin));
        dialogs.clear();
        ASSERT_TRUE(player->Open(folder.writeTone("late.tone", 44100, 2, 16, 2000)));
        player->Play();
        EXPECT_EQ(player->Mode(), TPlayerMode::Ready);
        EXPECT_EQ(dialogs.messages().size(), 1u);
        for (const auto& message : dialogs.messages()) {
            EXPECT_EQ(message.caption, "Error");
            EXPECT_TRUE(message.text.startsWith("Can't play the file\r\n(error code: ")) << message.text.toStdString();
        }
        EXPECT_EQ(probe("decoding"), 0);
        player->Close();
    }
}

// One plug-in ignores CanWrite, so its writes are refused while the ring
// is full; the other closes its output before it stops its thread, which
// then posts an end. Each playback ends once, at the file's end and never
// after the user's Stop, and shows at most one "Write error" box.
TEST_F(PlayerPluginTest, EachPlaybackEndsOnceAndShowsAtMostOneWriteErrorBox) {
    const struct {
        const char* plugin;
        std::size_t boxes;
    } cases[] = {{"in_tone_ignores_canwrite", 1}, {"in_tone_closes_first", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plugin);
        ASSERT_NO_FATAL_FAILURE(usePlugin(c.plugin));
        dialogs.clear();
        int ends = 0;
        player->OnPlayEnd = [&](TAudioPlayer*) { ++ends; };
        const std::string tone = folder.writeTone("once.tone", 44100, 2, 16, 1000);
        ASSERT_TRUE(player->Open(tone));
        player->Play();
        ASSERT_TRUE(WaitFor([&] { return ends > 0; }, 10'000));
        ASSERT_TRUE(player->Open(tone));
        player->Play();
        ASSERT_EQ(player->Mode(), TPlayerMode::Playing);
        player->Stop();
        // An end the plug-in posted while stopping has crossed the
        // emulator's window and the player's.
        PumpMessages();
        PumpMessages();
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(dialogs.messages().size(), 2 * c.boxes);
        player->Close();
    }
}

// The preview plays from the cursor: Open, SetPosition, Play. A plug-in
// forgets a seek in its Play, whether it opens its output there or later
// from its thread; the start still begins at the cursor.
TEST_F(PlayerPluginTest, PlayAfterASeekStartsAtTheCursor) {
    for (const char* plugin : {"in_tone", "in_tone_opens_in_thread"}) {
        SCOPED_TRACE(plugin);
        ASSERT_NO_FATAL_FAILURE(usePlugin(plugin));
        ASSERT_TRUE(player->Open(folder.writeTone("cursor.tone", 44100, 2, 16, 3000)));
        player->SetPosition(1500);
        player->Play();
        ASSERT_EQ(player->Mode(), TPlayerMode::Playing);
        EXPECT_GE(position(), 1500u);
        player->Close();
    }
}

// The end of a channel that is no longer the player's: the preview opens
// the file again on every Play, so the old clip may end during the click.
TEST_F(PlayerPluginTest, AnEndNoticeOfTheChannelBeforeIsIgnored) {
    const struct {
        std::string file;
        uint32_t notice;
    } cases[] = {
        {test::TestDataDir() + "/app/tone.wav", WM_STREAM_ENDED},
        {folder.writeTone("again.tone", 44100, 2, 16, 2000), WM_PLUGIN_EOF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        int ends = 0;
        player->OnPlayEnd = [&](TAudioPlayer*) { ++ends; };
        ASSERT_TRUE(player->Open(c.file));
        player->Play();
        const uint32_t before = player->Channel();
        ASSERT_TRUE(player->Open(c.file));
        player->Play();
        ASSERT_EQ(player->Mode(), TPlayerMode::Playing);
        ASSERT_NE(player->Channel(), before);
        GetPlayerWindow()->post(c.notice, before, 0);
        PumpMessages();
        EXPECT_EQ(ends, 0);
        EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
        player->Close();
    }
}

TEST_F(PlayerPluginTest, TheSpectrumFollowsAPlayingPluginAndStopsWithIt) {
    const std::string tone = folder.writeTone("spectrum.tone", 44100, 2, 16, 1500, 440);
    int ticks = 0;
    uint16_t loudest = 0;
    player->OnNewFFTData = [&](TAudioPlayer*, TBandOut& bands) {
        ++ticks;
        // 440 Hz falls into FFT bin 5 of 512 points at 44.1 kHz: band 3.
        loudest = std::max(loudest, bands[3]);
        EXPECT_GE(bands[3], bands[12]);
    };
    ASSERT_TRUE(player->Open(tone));
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return ticks >= 5; }, 10'000));
    EXPECT_TRUE(player->SpectrumTimerActive());
    EXPECT_GT(loudest, 0);
    player->Stop();
    ASSERT_TRUE(WaitFor([&] { return !player->SpectrumTimerActive(); }, 10'000));
}

TEST_F(PlayerPluginTest, WithVisualisationOnEachTickFillsTheBlockAndNotifiesTheViewer) {
    ASSERT_NE(player->SharedView(), nullptr);
    EXPECT_EQ(player->SharedMemory()->ShareName(), shareName);
    EXPECT_EQ(player->SharedMemory()->Size(), kVisBlockSize);
    NamedWindow viewer("TApplication", "VisOut");
    ASSERT_TRUE(viewer.Listening());
    int ticks = 0;
    player->OnNewFFTData = [&](TAudioPlayer*, TBandOut&) { ++ticks; };
    player->SetVisOutActive(true);
    ASSERT_TRUE(player->Open(folder.writeTone("vis.tone", 44100, 2, 16, 1000)));
    player->Play();
    std::optional<TWindowMessage> notice;
    ASSERT_TRUE(WaitFor([&] { return ticks > 0 && (notice = viewer.Receive()).has_value(); }, 10'000));
    player->Stop();
    EXPECT_EQ(notice->msg, player->SharedMemory()->SendingDataMsg());
    EXPECT_EQ(notice->wParam, 10u);
    EXPECT_EQ(notice->lParam, kVisBlockSize);
    int32_t rate = 0;
    std::memcpy(&rate, player->SharedView(), 4);
    EXPECT_EQ(rate, 44100);
}

TEST_F(PlayerPluginTest, DestroyingThePlayerWhilePlayingStopsThePlugin) {
    ASSERT_TRUE(player->Open(folder.writeTone("d.tone", 22050, 1, 8, 3000)));
    player->Play();
    ASSERT_EQ(player->Mode(), TPlayerMode::Playing);
    QElapsedTimer clock;
    clock.start();
    player.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(GetPluginModule(0), nullptr);
}

TEST_F(PlayerPluginTest, TheDialogsCheckBoxSetsThePluginFirstSwitch) {
    EXPECT_FALSE(player->PluginFirst());
    auto* box = player->PluginConfigForm()->findChild<QCheckBox*>(QStringLiteral("PluginFirst"));
    ASSERT_NE(box, nullptr);
    box->click();
    ASSERT_TRUE(WaitFor([&] { return player->PluginFirst(); }, 10'000));
    box->click();
    ASSERT_TRUE(WaitFor([&] { return !player->PluginFirst(); }, 10'000));
}

TEST_F(PlayerPluginTest, AFileNoPluginNamesStaysWithTheEngine) {
    TStreamInfo info;
    int32_t index = 5;
    TSupportedBy supported;
    ASSERT_TRUE(player->GetStreamInfo(test::TestDataDir() + "/app/tone.wav", info, index, supported));
    EXPECT_EQ(supported, TSupportedBy::BASSOnly);
    EXPECT_EQ(index, -1); // the slot's list does not name WAV
}

TEST(SpectrumBands, AFallGoesTwoATickAndARiseShowsAtOnce) {
    const struct {
        uint16_t old, level, shown;
    } cases[] = {{7, 3, 5}, {1, 0, 0}, {4, 9, 9}, {0, 0, 0}, {5, 4, 4}, {2, 0, 0}, {100, 0, 98}};
    for (const auto& c : cases)
        EXPECT_EQ(TAudioPlayer::NextBandLevel(c.old, c.level), c.shown) << c.old << "->" << c.level;
}

TEST(SpectrumBands, EachBandTakesThePeakOfItsBinsWeightedByItsPlace) {
    std::array<float, 256> fft{};
    fft[0] = 1.0f;    // bin 0 belongs to no band
    fft[5] = 0.5f;    // band 3: bins 4..6
    fft[181] = 1.0f;  // above the last band
    fft[180] = 0.25f; // band 24: bins 157..180
    TBandOut bands{};
    TAudioPlayer::ComputeBands(fft.data(), bands);
    for (int b = 0; b < 25; ++b) {
        const uint16_t expected = b == 3 ? 58 : b == 24 ? 92 : 0; // (b * 0.15 + 1) * peak * 80
        EXPECT_EQ(bands[b], expected) << b;
    }
    fft.fill(0);
    TAudioPlayer::ComputeBands(fft.data(), bands);
    EXPECT_EQ(bands[3], 56);
}

} // namespace
} // namespace tindrel
