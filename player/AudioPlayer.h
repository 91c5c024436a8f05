// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace tindrel {

class BassLibrary;
class BassWmaLibrary;
class IDialogs;
class MessageWindow;
class PlayerChannel;
class TAppExec;
class TSharedMemory;
class TMPEGaudio;
class TOggVorbis;
class TWAVfile;
class TWMAfile;

// What the player knows of a file. Texts are UTF-8, whatever the tag or
// header they come from.
struct TStreamInfo {
    std::string FileName;
    uint64_t FileSize = 0;
    uint32_t SampleRate = 0;
    uint32_t BitRate = 0;  // kbit/s; stays 0 for WAV
    uint64_t Duration = 0; // ms
    uint16_t Channels = 0;
    std::string Title, Artist, Album, Year, Genre;
    uint8_t GenreID = 0;
    uint8_t Track = 0;
    std::string Comment;
};

enum class TPlayerMode : uint8_t { Closed = 0, Ready = 1, Stopped = 2, Playing = 3, Paused = 4 };
enum class TChannelType : uint8_t { None = 0, Stream = 1, WMAStream = 2, Music = 3, Plugin = 4 };
enum class TSupportedBy : uint8_t { Both = 0, BASSOnly = 1, PluginOnly = 2, Unsupported = 3 };
// When the player loads the engine, opens the device and starts the plug-ins:
// at once, or on Start() or the first call that needs them (a window is
// shown first and starts its player after its first paint).
enum class TEngineStart : uint8_t { Now = 0, OnFirstUse = 1 };

// The end-of-stream notice the engine's callback posts to the player.
inline constexpr uint32_t WM_STREAM_ENDED = 0x0400 + 107;

// Spectrum levels of 25 bands, lowest band first.
using TBandOut = std::array<uint16_t, 25>;

// The preview player: one channel of the audio engine, played as a stream,
// a WMA stream or a tracker module, or a file decoded by a Winamp 2 input
// plug-in and played through the output emulator. Every operation runs on the
// UI thread; the engine's end-of-stream callback and the plug-in's threads
// only post messages to the player's hidden window. Failures are shown in
// message boxes and returned as false.
class TAudioPlayer : public QObject {
    Q_OBJECT
public:
    // Makes the plug-in configuration window a player owns. A program with
    // widgets passes one; the player itself, and a command-line tool built on
    // it, need no widgets.
    using PluginConfigFactory = std::function<std::unique_ptr<QObject>(IDialogs&, MessageWindow*)>;
    // The name of the shared block the visualisation program reads; that
    // program looks for this one.
    static constexpr const char* kVisShareName = "SharedMemory1";

    // Loads the engine from programFolder and opens the given output device
    // (-1 the default device, 0 "no sound"), now or when start says.
    // makeConfigForm, when given, makes the plug-in configuration window;
    // visShareName names the visualisation block.
    TAudioPlayer(QObject* owner, IDialogs& dialogs, const std::string& programFolder, int device = -1,
                 PluginConfigFactory makeConfigForm = {}, std::string visShareName = kVisShareName,
                 TEngineStart start = TEngineStart::Now);
    ~TAudioPlayer() override;

    // Loads the engine, opens the device and starts the plug-ins, once; a
    // failure is shown as it would have been at construction.
    void Start();

    bool Open(const std::string& fileName);
    void Play();
    void SetPaused(bool value);
    void Pause();
    void Resume();
    void Stop();
    void Close();
    uint64_t GetPlayLength();
    uint64_t GetPosition();
    void SetPosition(uint64_t ms);
    int32_t GetVolume();
    void SetVolume(int32_t value);
    // Reads what is known of a file without creating a channel.
    bool GetStreamInfo(const std::string& fileName, TStreamInfo& info, int32_t& pluginIndex, TSupportedBy& supportedBy);

    const std::string& Version() const { return m_version; }
    // These start the engine when it has not started yet.
    const std::string& BASSDLLVer();
    bool DX8EffectReady();
    bool PlayerReady();
    bool WMAReady();
    TPlayerMode Mode() const { return m_mode; }
    TChannelType ChannelType() const;
    TSupportedBy SupportedBy() const { return m_supportedBy; }
    const TStreamInfo& StreamInfo() const { return m_streamInfo; }
    const std::string& StreamFileName() const { return m_streamInfo.FileName; }
    // The engine channel that sounds; 0 when there is none.
    uint32_t Channel() const;

    // When a file can be played both by the engine and by a loaded plug-in,
    // play it through the plug-in.
    bool PluginFirst() const { return m_pluginFirst; }
    void SetPluginFirst(bool value) { m_pluginFirst = value; }
    int32_t PluginIndex() const { return m_pluginIndex; }
    bool SpectrumTimerActive() const;
    const TBandOut& BandOut() const { return m_bandOut; }
    // The plug-in configuration window, hidden until someone shows it; null
    // when the player was made without a factory for it.
    QObject* PluginConfigForm();

    TSharedMemory* SharedMemory();
    void* SharedView();
    TAppExec* VisLauncher();
    bool VisOutActive() const { return m_visOutActive; }
    void SetVisOutActive(bool value) { m_visOutActive = value; }

    // Playback reached the end of the file.
    std::function<void(TAudioPlayer*)> OnPlayEnd;
    // A plug-in started to produce sound in this format.
    std::function<void(TAudioPlayer*, uint16_t channels, uint32_t sampleRate)> OnPluginStartPlay;
    // New spectrum levels; assigning it lets playback start the spectrum timer.
    std::function<void(TAudioPlayer*, TBandOut& bandOut)> OnNewFFTData;

    // The next level of a band: a rise shows at once, a fall goes 2 a tick.
    static uint16_t NextBandLevel(uint16_t old, uint16_t level);
    // Folds 256 FFT magnitudes into the 25 bands, falling off from bands.
    static void ComputeBands(const float* fft, TBandOut& bands);

    // The engine's sync callback: posts WM_STREAM_ENDED, with the channel
    // that ended, to the window it is given as user value.
    static void PlayEndSync(uint32_t sync, uint32_t channel, uint32_t data, void* user);

private:
    void startEngine();
    void createOwnedObjects();
    void destroyOwnedObjects();
    void WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void pluginWndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void restart();
    void FFTTimerTick();
    void setSpectrumTimer(bool on);
    void searchPlugins(const std::string& fileName, TStreamInfo& info, int32_t& pluginIndex, TSupportedBy& supportedBy,
                       bool& found);
    void ShowError(const std::string& message);
    bool openEngineChannel(const std::string& fileName);
    void readWav(const std::string& fileName, TStreamInfo& info, bool& found);
    void readMp3(const std::string& fileName, TStreamInfo& info, bool& found);
    void readOgg(const std::string& fileName, TStreamInfo& info, bool& found);
    void readWma(const std::string& fileName, TStreamInfo& info, bool& found);

    IDialogs& m_dialogs;
    // What Start() needs; the factory is dropped once used.
    const std::string m_programFolder;
    const int m_device;
    PluginConfigFactory m_makeConfigForm;
    const std::string m_visShareName;
    bool m_started = false;
    const std::string m_version = "1.2";
    std::string m_bassDllVer;
    bool m_bassLoaded = false;
    bool m_playerReady = false;
    bool m_wmaReady = false;
    bool m_dx8EffectReady = false;
    TPlayerMode m_mode = TPlayerMode::Closed;
    // Shared so that a call which pumps messages keeps its channel alive
    // while a handler closes the player or opens another file.
    std::shared_ptr<PlayerChannel> m_current;
    TSupportedBy m_supportedBy = TSupportedBy::Unsupported;
    TStreamInfo m_streamInfo;
    int32_t m_musicVolume = 0;
    int32_t m_streamVolume = 0;

    MessageWindow* m_messageWindow = nullptr; // a Qt child of the player
    std::unique_ptr<BassLibrary> m_bass;
    std::unique_ptr<BassWmaLibrary> m_bassWma;
    std::unique_ptr<TMPEGaudio> m_mpegReader;
    std::unique_ptr<TOggVorbis> m_oggReader;
    std::unique_ptr<TWMAfile> m_wmaReader;
    std::unique_ptr<TWAVfile> m_wavReader;

    bool m_pluginFirst = false;
    bool m_pluginHostStarted = false;
    std::unique_ptr<QTimer> m_fftTimer;
    int32_t m_pluginIndex = -1;
    MessageWindow* m_pluginHostWindow = nullptr;
    int32_t m_pluginVolume = 255;
    TBandOut m_bandOut{};
    std::unique_ptr<QObject> m_pluginConfigForm;
    std::unique_ptr<TSharedMemory> m_sharedMemory;
    void* m_sharedView = nullptr;
    bool m_visOutActive = false;
    std::unique_ptr<TAppExec> m_visLauncher;
};

} // namespace tindrel
