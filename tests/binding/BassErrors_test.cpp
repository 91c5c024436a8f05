// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/binding/EngineSession.h"
#include "tests/engine/TinyModule.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace tindrel::test {
namespace {

struct ErrorCase {
    const char* what;
    std::function<bool(EngineSession&)> call; // true when the call reported failure
    int code;
};

// Each failing call says why through BASS_ErrorGetCode.
TEST(EngineErrors, FailuresReportTheirCause) {
    EngineSession session(Device::NoSound);
    BassLibrary& bass = session.bass;
    const std::string wav = EngineSample("tone1k_mono22k.wav");
    const std::string text = session.dir.write("notes.wav", Bytes(3000, 'x'));
    const std::string module = session.dir.write("tiny.mod", TinyModule());
    const HSTREAM stream = bass.BASS_StreamCreateFile(0, wav.c_str(), 0, 0, 0);
    const HMUSIC music = bass.BASS_MusicLoad(0, module.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(music, 0u);
    const DWORD bad = stream + music + 7;
    float spectrum[1024];

    const ErrorCase cases[] = {
        {"init twice", [&](auto&) { return !bass.BASS_Init(0, 44100, 0, nullptr); }, BASS_ERROR_ALREADY},
        {"missing file",
         [&](auto& s) { return !bass.BASS_StreamCreateFile(0, s.dir.file("none.mp3").c_str(), 0, 0, 0); },
         BASS_ERROR_FILEOPEN},
        {"not audio", [&](auto&) { return !bass.BASS_StreamCreateFile(0, text.c_str(), 0, 0, 0); },
         BASS_ERROR_FILEFORM},
        {"memory stream", [&](auto&) { return !bass.BASS_StreamCreateFile(1, wav.c_str(), 0, 0, 0); },
         BASS_ERROR_NOTAVAIL},
        {"user stream rate", [&](auto&) { return !bass.BASS_StreamCreate(50, 0, nullptr, nullptr); },
         BASS_ERROR_ILLPARAM},
        {"volume above 100", [&](auto&) { return !bass.BASS_SetGlobalVolumes(101, -1, -1); }, BASS_ERROR_ILLPARAM},
        {"unknown handle", [&](auto&) { return !bass.BASS_ChannelStop(bad); }, BASS_ERROR_HANDLE},
        {"position of unknown handle", [&](auto&) { return bass.BASS_ChannelGetPosition(bad) == QWORD(-1); },
         BASS_ERROR_HANDLE},
        {"stream call on music", [&](auto&) { return !bass.BASS_StreamFree(music); }, BASS_ERROR_HANDLE},
        {"music call on stream", [&](auto&) { return bass.BASS_MusicGetLength(stream, 1) == DWORD(-1); },
         BASS_ERROR_HANDLE},
        {"sync type", [&](auto&) { return !bass.BASS_ChannelSetSync(stream, 1, 0, nullptr, nullptr); },
         BASS_ERROR_ILLTYPE},
        {"data request", [&](auto&) { return bass.BASS_ChannelGetData(stream, spectrum, 0x80000001u) == DWORD(-1); },
         BASS_ERROR_ILLTYPE},
        {"pan out of range", [&](auto&) { return !bass.BASS_ChannelSetAttributes(stream, -1, -1, 120); },
         BASS_ERROR_ILLPARAM},
        {"pause when stopped", [&](auto&) { return !bass.BASS_ChannelPause(stream); }, BASS_ERROR_NOPLAY},
    };
    for (const ErrorCase& c : cases) {
        EXPECT_TRUE(c.call(session)) << c.what;
        EXPECT_EQ(bass.BASS_ErrorGetCode(), c.code) << c.what;
    }
    DWORD volume = 0;
    bass.BASS_GetGlobalVolumes(&volume, nullptr, nullptr);
    EXPECT_EQ(volume, 100u) << "a refused volume call changes nothing";
    EXPECT_TRUE(bass.BASS_ChannelStop(stream));
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_OK) << "success clears the code";
}

TEST(EngineErrors, NothingWorksBeforeInitOrAfterFree) {
    BassLibrary bass;
    ASSERT_TRUE(bass.Load(ProgramFolder(), "libbass.so"));
    const std::string wav = EngineSample("tone1k_mono22k.wav");
    BASS_INFO info{};
    info.size = sizeof(info);
    EXPECT_FALSE(bass.BASS_Start());
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(bass.BASS_StreamCreateFile(0, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(bass.BASS_GetInfo(&info));
    EXPECT_FALSE(bass.BASS_Init(-2, 44100, 0, nullptr));
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_ERROR_DEVICE);

    ASSERT_TRUE(bass.BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
    const HSTREAM stream = bass.BASS_StreamCreateFile(0, wav.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(bass.BASS_Free());
    EXPECT_EQ(bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_ERROR_INIT) << "Free releases every channel";
    EXPECT_FALSE(bass.BASS_Free());
}

// Without a usable sound driver the default device cannot be opened; the
// player then reports "Can't initialize device".
TEST(EngineErrors, InitFailsWithoutAUsableDriver) {
    BassLibrary bass;
    ASSERT_TRUE(bass.Load(ProgramFolder(), "libbass.so"));
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(bass.BASS_Init(BASS_DEVICE_DEFAULT, 44100, 0, nullptr));
    EXPECT_EQ(bass.BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    if (previous)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(bass.BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr)) << "device 0 needs no driver";
}

TEST(EngineInfo, VersionAndDeviceRecord) {
    EngineSession session(Device::NoSound);
    EXPECT_EQ(session.bass.BASS_GetVersion() & 0xFFFF, 1u);
    EXPECT_EQ(session.bass.BASS_GetVersion() >> 16, 8u);
    BASS_INFO info{};
    info.size = sizeof(info);
    ASSERT_TRUE(session.bass.BASS_GetInfo(&info));
    EXPECT_EQ(info.size, 56u);
    EXPECT_EQ(info.dsver, 9u);
    EXPECT_GE(info.maxrate, 44100u);
    // A shorter record is filled only as far as it reaches.
    DWORD shortRecord[3] = {12, 0xDEAD, 0xBEEF};
    ASSERT_TRUE(session.bass.BASS_GetInfo(reinterpret_cast<BASS_INFO*>(shortRecord)));
    EXPECT_EQ(shortRecord[1], 0u);
    EXPECT_EQ(shortRecord[2], 0u);
}

TEST(EngineConversions, BytesAndSecondsFollowTheChannelsFormat) {
    EngineSession session(Device::NoSound);
    const std::string wav = EngineSample("tone1k_mono22k.wav"); // 22050 Hz mono: 44100 bytes a second
    const std::string mp3 = EngineSample("tone1k.mp3");         // 32000 Hz stereo: 128000 bytes a second
    const HSTREAM mono = session.bass.BASS_StreamCreateFile(0, wav.c_str(), 0, 0, 0);
    const HSTREAM stereo = session.bass.BASS_StreamCreateFile(0, mp3.c_str(), 0, 0, 0);
    ASSERT_NE(mono, 0u);
    ASSERT_NE(stereo, 0u);
    EXPECT_EQ(session.bass.BASS_ChannelGetFlags(mono) & BASS_SAMPLE_MONO, BASS_SAMPLE_MONO);
    EXPECT_EQ(session.bass.BASS_ChannelGetFlags(stereo) & (BASS_SAMPLE_MONO | BASS_SAMPLE_8BITS), 0u);
    struct Case {
        HSTREAM handle;
        float seconds;
        QWORD bytes;
    };
    for (const Case& c : {Case{mono, 1.0f, 44100}, Case{mono, 0.1f, 4410}, Case{mono, 0.7f, 30870},
                          Case{stereo, 0.5f, 64000}, Case{stereo, 0.3f, 38400}}) {
        EXPECT_EQ(session.bass.BASS_ChannelSeconds2Bytes(c.handle, c.seconds), c.bytes) << c.seconds;
        EXPECT_FLOAT_EQ(session.bass.BASS_ChannelBytes2Seconds(c.handle, c.bytes), c.seconds) << c.seconds;
    }
    EXPECT_EQ(session.bass.BASS_StreamGetLength(mono), 44100u / 2);
}

} // namespace
} // namespace tindrel::test
