// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/OutputEmulator.h"

#include "plugins/PcmRing.h"
#include "tests/plugins/PluginFixture.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace tindrel {
namespace {

// Remembers on which thread each message box was shown.
class ThreadNotingDialogs : public IDialogs {
public:
    MessageResult messageBox(const QString& caption, const QString& text, MessageIcon icon,
                             MessageButtons buttons) override {
        threads.push_back(QThread::currentThread());
        return fake.messageBox(caption, text, icon, buttons);
    }
    std::optional<QString> openFile(const QString& filter) override { return fake.openFile(filter); }
    std::optional<QStringList> openFiles(const QString& filter) override { return fake.openFiles(filter); }
    std::optional<QString> saveFile(const QString& filter, const QString& ext, const QString& name) override {
        return fake.saveFile(filter, ext, name);
    }
    std::optional<QString> chooseFolder() override { return fake.chooseFolder(); }
    void openDocument(const QString& path) override { fake.openDocument(path); }
    const std::vector<FakeDialogs::Message>& messages() const { return fake.messages(); }

    FakeDialogs fake;
    std::vector<QThread*> threads;
};

struct Received {
    uint32_t msg;
    uintptr_t wParam;
    TStartPlayInfo info;
};

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartOutputEmulator(engine.bass, dialogs, [] {}));
        SetEmulatorPlayerWindow(&player);
        out = EmulatorOutModule();
    }
    void TearDown() override {
        out->Close();
        StopOutputEmulator();
    }

    int write(const std::vector<char>& bytes) { return out->Write(const_cast<char*>(bytes.data()), int(bytes.size())); }
    // Writes count bytes in blocks of at most 8192, as plug-ins do.
    void writeBytes(uint32_t count) {
        while (count > 0) {
            const uint32_t n = std::min<uint32_t>(count, 8192);
            ASSERT_EQ(write(std::vector<char>(n, 1)), 0);
            count -= n;
        }
    }
    uint32_t drain(uint32_t count) {
        std::vector<char> buffer(count);
        return OutStreamProc(0, buffer.data(), count, nullptr);
    }
    bool received(uint32_t msg) const {
        return std::any_of(messages.begin(), messages.end(), [&](const Received& r) { return r.msg == msg; });
    }
    const Received* find(uint32_t msg) const {
        for (const Received& r : messages)
            if (r.msg == msg)
                return &r;
        return nullptr;
    }

    test::SilentEngine engine;
    ThreadNotingDialogs dialogs;
    std::vector<Received> messages;
    MessageWindow player{[this](uint32_t msg, uintptr_t w, intptr_t l) {
        messages.push_back(
            {msg, w, msg == WM_PLUGIN_STARTPLAY ? *reinterpret_cast<const TStartPlayInfo*>(l) : TStartPlayInfo{}});
    }};
    Out_Module* out = nullptr;
};

TEST_F(EmulatorTest, TheRecordDescribesTheEmulator) {
    EXPECT_EQ(out->version, 0x10);
    EXPECT_STREQ(out->description, "BASS Winamp output plug-in emulator");
    EXPECT_EQ(out->id, 65537);
    EXPECT_EQ(out->hMainWindow, EmulatorHandle());
    EXPECT_EQ(out->hDllInstance, nullptr);
    out->Config(nullptr);
    out->About(nullptr);
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Confirm");
    EXPECT_EQ(dialogs.messages()[0].text, "No configuration is needed.");
    EXPECT_EQ(dialogs.messages()[1].text, "This is a Winamp output plug-in emulator using BASS");
}

TEST_F(EmulatorTest, TheStreamStartsOnce400msAreBufferedOrTheRingIsNearlyFull) {
    const struct {
        int rate, channels, bits;
        int32_t bytesPer200ms;
        DWORD flags;
    } formats[] = {
        {44100, 2, 16, 35'280, 0},
        {22050, 1, 16, 8'820, BASS_SAMPLE_MONO},
        {8000, 1, 8, 1'600, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.rate);
        messages.clear();
        ASSERT_EQ(out->Open(f.rate, f.channels, f.bits, -1, -1), 0);
        const TEmulatorState opened = EmulatorState();
        EXPECT_EQ(opened.BytesPer200ms, f.bytesPer200ms);
        EXPECT_EQ(engine.bass.BASS_ChannelGetFlags(opened.OutStream) & 3, f.flags);
        writeBytes(2 * f.bytesPer200ms - 1);
        EXPECT_TRUE(EmulatorState().StartPending);
        writeBytes(1);
        EXPECT_FALSE(EmulatorState().StartPending);
        ASSERT_TRUE(test::WaitFor([&] { return received(WM_PLUGIN_STARTPLAY); }, 10'000));
        // The stream's handle reaches the player before the start notice.
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages[0].msg, WM_PLUGIN_STREAM);
        EXPECT_EQ(messages[0].wParam, opened.OutStream);
        const TStartPlayInfo& info = find(WM_PLUGIN_STARTPLAY)->info;
        EXPECT_EQ(info.Bits, f.bits);
        EXPECT_EQ(info.SampleRate, uint32_t(f.rate));
        EXPECT_EQ(info.Channels, f.channels);
        EXPECT_NE(engine.bass.BASS_ChannelIsActive(opened.OutStream), BASS_ACTIVE_STOPPED);
        out->Close();
        EXPECT_EQ(EmulatorState().OutStream, 0u);
    }
}

TEST_F(EmulatorTest, AWriteThatDoesNotFitIsRefusedWithABoxOnTheUiThread) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    EXPECT_EQ(out->CanWrite(), 88'199);
    int refused = -1;
    std::thread writer([&] { refused = write(std::vector<char>(PcmRing::Size)); });
    writer.join();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(EmulatorState().UsedSpace, 0u);
    ASSERT_TRUE(test::WaitFor([&] { return !dialogs.messages().empty(); }, 10'000));
    EXPECT_EQ(dialogs.messages()[0].caption, "Error");
    EXPECT_EQ(dialogs.messages()[0].text, "Write error : No Space");
    EXPECT_EQ(dialogs.threads[0], QThread::currentThread());

    EXPECT_EQ(write(std::vector<char>(88'199)), 0);
    EXPECT_EQ(out->CanWrite(), 0);
}

TEST_F(EmulatorTest, TimesCountFromTheLastFlush) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    for (int i = 0; i < 4; ++i) { // 176,400 bytes, never enough at once to start the stream
        writeBytes(44'100);
        ASSERT_EQ(drain(44'100), 44'100u);
    }
    EXPECT_EQ(out->GetWrittenTime(), 1000);
    EXPECT_EQ(out->GetOutputTime(), 0); // nothing has played
    out->Flush(5000);
    EXPECT_EQ(out->GetWrittenTime(), 5000);
    EXPECT_EQ(out->GetOutputTime(), 5000);
    writeBytes(17'640);
    EXPECT_EQ(out->GetWrittenTime(), 5100);
    const TEmulatorState state = EmulatorState();
    EXPECT_EQ(state.WritePos, 17'640u);
    EXPECT_EQ(state.ReadPos, 0u);
}

// It runs on the engine's mixing thread: waiting there would silence every
// channel. A short delivery just stalls the stream until data comes.
TEST_F(EmulatorTest, TheStreamCallbackDeliversWhatIsThereWithoutWaiting) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    std::vector<char> tail(1000);
    for (size_t i = 0; i < tail.size(); ++i)
        tail[i] = char(i * 7);
    ASSERT_EQ(write(tail), 0); // too little to start the stream: only this test reads

    QElapsedTimer clock;
    clock.start();
    std::vector<char> buffer(4096);
    EXPECT_EQ(OutStreamProc(0, buffer.data(), 4096, nullptr), 1000u);
    EXPECT_EQ(std::vector<char>(buffer.begin(), buffer.begin() + 1000), tail);
    EXPECT_EQ(OutStreamProc(0, buffer.data(), 4096, nullptr), 0u);
    EXPECT_LT(clock.elapsed(), 100);
}

// A plug-in that ignores CanWrite retries a refused write for as long as
// it plays: one box for the playback, also after the box was answered;
// the next Open starts a playback that may show its own.
TEST_F(EmulatorTest, RefusedWritesShowOneBoxPerPlayback) {
    for (std::size_t playback = 1; playback <= 2; ++playback) {
        ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
        for (int answered = 0; answered < 2; ++answered) {
            std::thread plugin([&] {
                for (int i = 0; i < 100; ++i)
                    EXPECT_EQ(write(std::vector<char>(PcmRing::Size)), 1);
            });
            plugin.join();
            PumpMessages();
        }
        EXPECT_EQ(dialogs.messages().size(), playback);
    }
}

TEST_F(EmulatorTest, OnlyEightOrSixteenBitMonoOrStereoOpensAndASecondOpenClosesTheFirst) {
    const struct { int channels, bits; } refused[] = {{2, 24}, {2, 32}, {2, 12}, {3, 16}, {6, 16}, {0, 8}};
    for (const auto& f : refused) {
        EXPECT_EQ(out->Open(44100, f.channels, f.bits, -1, -1), -1) << f.channels << "/" << f.bits;
        EXPECT_EQ(EmulatorState().OutStream, 0u) << f.channels << "/" << f.bits;
    }
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM first = EmulatorState().OutStream;
    ASSERT_EQ(out->Open(22050, 1, 8, -1, -1), 0);
    EXPECT_NE(EmulatorState().OutStream, first);
    EXPECT_EQ(engine.bass.BASS_ChannelGetFlags(first), DWORD(-1)) << "the first stream is freed";
}

// 300 ms never pass the start test (400 ms buffered): the stream starts
// when the plug-in says its input ended, or asks whether its output still
// plays, which it does only after its last write.
TEST_F(EmulatorTest, AFileShorterThanTheStartTestStartsOnceItsInputEnds) {
    const struct {
        const char* name;
        std::function<void()> send;
    } triggers[] = {
        {"end of file", [] { host_post_message(EmulatorHandle(), kPluginEndOfFileMessage, 0, 0); }},
        {"IsPlaying", [&] { EXPECT_EQ(out->IsPlaying(), 1); }},
    };
    for (const auto& trigger : triggers) {
        messages.clear();
        ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
        writeBytes(52'920);
        PumpMessages();
        EXPECT_FALSE(received(WM_PLUGIN_STARTPLAY)) << trigger.name;
        trigger.send();
        ASSERT_TRUE(test::WaitFor([&] { return received(WM_PLUGIN_STARTPLAY); }, 10'000)) << trigger.name;
        EXPECT_NE(engine.bass.BASS_ChannelIsActive(EmulatorState().OutStream), BASS_ACTIVE_STOPPED) << trigger.name;
        out->Close();
    }
}

// The end of the file that was playing when the next one was opened.
TEST_F(EmulatorTest, AnEndNoticePostedBeforeTheNextOpenIsIgnored) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    host_post_message(EmulatorHandle(), kPluginEndOfFileMessage, 0, 0);
    out->Close();
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    PumpMessages();
    EXPECT_FALSE(EmulatorState().InputEnded);
    EXPECT_FALSE(received(WM_PLUGIN_EOF));
}

TEST_F(EmulatorTest, VolumeAndPanAreConvertedToTheEngineScales) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM stream = EmulatorState().OutStream;
    const struct {
        int volume;
        DWORD expected;
    } volumes[] = {{255, 100}, {128, 50}, {0, 0}, {-666, 99}, {-1, 0}};
    for (const auto& v : volumes) {
        out->SetVolume(v.volume);
        DWORD music = 0, sample = 0, streams = 0;
        engine.bass.BASS_GetGlobalVolumes(&music, &sample, &streams);
        EXPECT_EQ(streams, v.expected) << v.volume;
        EXPECT_EQ(music, v.expected) << v.volume;
        EXPECT_EQ(sample, v.expected) << v.volume;
    }
    const struct { int pan, expected; } pans[] = {{-128, -100}, {64, 50}, {128, 100}, {0, 0}, {2, 2}};
    for (const auto& p : pans) {
        out->SetPan(p.pan);
        int pan = 999;
        engine.bass.BASS_ChannelGetAttributes(stream, nullptr, nullptr, &pan);
        EXPECT_EQ(pan, p.expected) << p.pan;
    }
}

TEST_F(EmulatorTest, AFlushActsOnAPausedStreamOnlyAfterASeekWasMarked) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM stream = EmulatorState().OutStream;
    writeBytes(80'000);
    ASSERT_TRUE(test::WaitFor([&] { return received(WM_PLUGIN_STARTPLAY); }, 10'000));
    EXPECT_EQ(out->Pause(1), 0);
    EXPECT_EQ(out->Pause(1), 1);
    EXPECT_EQ(engine.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_PAUSED);

    const uint32_t buffered = EmulatorState().UsedSpace;
    out->Flush(3000);
    EXPECT_EQ(EmulatorState().TimeOffset, 0);
    EXPECT_EQ(EmulatorState().UsedSpace, buffered);

    MarkEmulatorSeekPending();
    out->Flush(3000);
    const TEmulatorState flushed = EmulatorState();
    EXPECT_EQ(flushed.TimeOffset, 3000);
    EXPECT_EQ(flushed.UsedSpace, 0u);
    EXPECT_FALSE(flushed.SeekPending);
    EXPECT_FALSE(flushed.StartPending); // a paused stream is not restarted by Write
    EXPECT_NEAR(out->GetOutputTime(), 3000, 1);
}

// The plug-in's thread writes while the mixing side reads: every byte comes
// out once, in order.
TEST_F(EmulatorTest, ConcurrentWritesAndReadsKeepTheByteOrder) {
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    constexpr uint32_t kTotal = 1'500'000;
    auto value = [](uint32_t i) { return char(i % 251); };
    std::thread writer([&] {
        std::vector<char> block(4000);
        for (uint32_t sent = 0; sent < kTotal;) {
            const uint32_t n = std::min<uint32_t>(4000, kTotal - sent);
            if (out->CanWrite() < int(n)) {
                std::this_thread::yield();
                continue;
            }
            for (uint32_t i = 0; i < n; ++i)
                block[i] = value(sent + i);
            if (out->Write(block.data(), int(n)) == 0)
                sent += n;
        }
    });
    uint32_t mismatches = 0;
    std::thread reader([&] {
        std::vector<char> buffer(3000);
        for (uint32_t got = 0; got < kTotal;) {
            const DWORD n = OutStreamProc(0, buffer.data(), std::min<uint32_t>(3000, kTotal - got), nullptr);
            for (DWORD i = 0; i < n; ++i)
                mismatches += buffer[i] != value(got + i);
            got += n;
        }
    });
    writer.join();
    reader.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(EmulatorState().WrittenBytes, kTotal);
}

} // namespace
} // namespace tindrel
