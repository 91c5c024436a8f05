// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/AudioPlayer.h"

#include "binding/BassBinding.h"
#include "mpeg/MPEGaudio.h"
#include "platform/Dialogs.h"
#include "platform/MessageWindow.h"
#include "player/EngineMusicChannel.h"
#include "player/EngineStreamChannel.h"
#include "player/OggVorbis.h"
#include "player/PluginChannel.h"
#include "player/WAVfile.h"
#include "player/WMAfile.h"
#include "plugins/AppExec.h"
#include "plugins/PluginHost.h"
#include "plugins/SharedMemory.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QTimer>

namespace tindrel {

namespace {

#if defined(_WIN32)
constexpr const char* kBassFile = "bass.dll";
constexpr const char* kBassWmaFile = "basswma.dll";
#elif defined(__APPLE__)
constexpr const char* kBassFile = "libbass.dylib";
constexpr const char* kBassWmaFile = "libbasswma.dylib";
#else
constexpr const char* kBassFile = "libbass.so";
constexpr const char* kBassWmaFile = "libbasswma.so";
#endif

// Major 1 in the low word, minor 8 in the high word; the whole word is
// compared as one unsigned number.
constexpr uint32_t kLowestVersion = 0x00080001;
constexpr DWORD kMusicCalcLen = 0x2000;
constexpr DWORD kSample8Bits = 1;

} // namespace

TAudioPlayer::TAudioPlayer(QObject* owner, IDialogs& dialogs, const std::string& programFolder, int device,
                           PluginConfigFactory makeConfigForm, std::string visShareName, TEngineStart start)
    : QObject(owner), m_dialogs(dialogs), m_programFolder(programFolder), m_device(device),
      m_makeConfigForm(std::move(makeConfigForm)), m_visShareName(std::move(visShareName)) {
    m_messageWindow = new MessageWindow(
        [this](uint32_t msg, uintptr_t wParam, intptr_t lParam) { WndProc(msg, wParam, lParam); }, this);
    SetPlayerWindow(m_messageWindow);
    m_fftTimer = std::make_unique<QTimer>();
    m_fftTimer->setInterval(33);
    QObject::connect(m_fftTimer.get(), &QTimer::timeout, this, [this] { FFTTimerTick(); });
    if (start == TEngineStart::Now)
        Start();
}

void TAudioPlayer::Start() {
    // Set first: a failure's message box lets events run, and a handler
    // asking the player again must not start a second engine.
    if (m_started)
        return;
    m_started = true;
    startEngine();
    // Without a working device the player makes nothing it would own.
    if (m_pluginHostStarted)
        createOwnedObjects();
    m_makeConfigForm = nullptr;
}

void TAudioPlayer::startEngine() {
    m_bass = std::make_unique<BassLibrary>();
    m_bassLoaded = m_bass->Load(m_programFolder, kBassFile);
    if (!m_bassLoaded)
        return;
    const uint32_t version = m_bass->BASS_GetVersion();
    if (version < kLowestVersion) {
        ShowError("BASS version is not 1.8 or higher");
        return;
    }
    if (!m_bass->BASS_Init(m_device, 44100, 0, nullptr)) {
        ShowError("Can't initialize device");
        return;
    }
    if (!m_bass->BASS_Start())
        return;
    m_playerReady = true;
    BASS_INFO deviceInfo{};
    deviceInfo.size = sizeof deviceInfo;
    m_bass->BASS_GetInfo(&deviceInfo);
    m_dx8EffectReady = deviceInfo.dsver >= 8;
    if (!m_dx8EffectReady)
        m_dialogs.messageBox(QStringLiteral("Warning"),
                             QStringLiteral("DirectX Ver 8 are not installed.\r\nSound effects except flanger are "
                                            "disabled."),
                             MessageIcon::Warning);
    DWORD music = 0, sample = 0, stream = 0;
    m_bass->BASS_GetGlobalVolumes(&music, &sample, &stream);
    m_musicVolume = static_cast<int32_t>(music);
    m_streamVolume = static_cast<int32_t>(stream);
    m_bassDllVer = std::to_string(version & 0xFFFF) + "." + std::to_string(version >> 16);
    m_bassWma = std::make_unique<BassWmaLibrary>();
    m_wmaReady = m_bassWma->Load(m_programFolder, kBassWmaFile);
    InitPluginHost(m_programFolder, *m_bass, m_dialogs);
    m_pluginHostStarted = true;
    m_pluginHostWindow = GetEmulatorWindow();
    m_mpegReader = std::make_unique<TMPEGaudio>();
    m_oggReader = std::make_unique<TOggVorbis>();
    m_wmaReader = std::make_unique<TWMAfile>();
    m_wavReader = std::make_unique<TWAVfile>();
}

void TAudioPlayer::createOwnedObjects() {
    // The dialog is a widget; a player inside a command-line tool has none.
    if (m_makeConfigForm)
        m_pluginConfigForm = m_makeConfigForm(m_dialogs, m_messageWindow);
    m_visLauncher = std::make_unique<TAppExec>();
    m_sharedMemory = std::make_unique<TSharedMemory>(m_dialogs);
    m_sharedMemory->SetShareName(m_visShareName);
    m_sharedMemory->SetSize(kVisBlockSize);
    m_sharedMemory->SetTargetApplication("VisOut");
    if (m_sharedMemory->OpenMapping())
        m_sharedView = m_sharedMemory->MapView();
}

TAudioPlayer::~TAudioPlayer() {
    if (m_current)
        m_current->Stop();
    m_fftTimer.reset();
    // Plug-ins first: a plug-in's Quit may still use its output module,
    // which calls into the engine.
    if (m_pluginHostStarted)
        QuitPluginHost();
    if (m_bassLoaded)
        m_bass->Unload(); // frees the device first
    if (m_wmaReady)
        m_bassWma->Unload();
    if (GetPlayerWindow() == m_messageWindow)
        SetPlayerWindow(nullptr);
    delete m_messageWindow;
    destroyOwnedObjects();
}

void TAudioPlayer::destroyOwnedObjects() {
    m_pluginConfigForm.reset();
    m_visLauncher.reset();
    if (m_sharedView)
        m_sharedMemory->UnmapView(m_sharedView);
    m_sharedView = nullptr;
    m_sharedMemory.reset();
}

const std::string& TAudioPlayer::BASSDLLVer() {
    Start();
    return m_bassDllVer;
}

bool TAudioPlayer::DX8EffectReady() {
    Start();
    return m_dx8EffectReady;
}

bool TAudioPlayer::PlayerReady() {
    Start();
    return m_playerReady;
}

bool TAudioPlayer::WMAReady() {
    Start();
    return m_wmaReady;
}

QObject* TAudioPlayer::PluginConfigForm() {
    Start();
    return m_pluginConfigForm.get();
}

TSharedMemory* TAudioPlayer::SharedMemory() {
    Start();
    return m_sharedMemory.get();
}

void* TAudioPlayer::SharedView() {
    Start();
    return m_sharedView;
}

TAppExec* TAudioPlayer::VisLauncher() {
    Start();
    return m_visLauncher.get();
}

TChannelType TAudioPlayer::ChannelType() const {
    return m_current ? m_current->Type() : TChannelType::None;
}

uint32_t TAudioPlayer::Channel() const {
    return m_current ? m_current->Handle() : 0;
}

void TAudioPlayer::ShowError(const std::string& message) {
    const int code = m_bass && m_bass->BASS_ErrorGetCode ? m_bass->BASS_ErrorGetCode() : 0;
    m_dialogs.messageBox(QStringLiteral("Error"),
                         QString::fromStdString(message + "\r\n(error code: " + std::to_string(code) + ")"),
                         MessageIcon::Error);
}

void TAudioPlayer::PlayEndSync(uint32_t, uint32_t channel, uint32_t, void* user) {
    static_cast<MessageWindow*>(user)->post(WM_STREAM_ENDED, channel, 0);
}

void TAudioPlayer::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (msg != WM_STREAM_ENDED) {
        pluginWndProc(msg, wParam, lParam);
        return;
    }
    // The notice of a channel freed since (the preview opens the file
    // again on every Play) is not about what plays now; a plug-in's end
    // comes from the output emulator instead.
    if (!m_current || wParam != m_current->Handle() || m_current->Type() == TChannelType::Plugin)
        return;
    m_mode = TPlayerMode::Stopped;
    if (OnPlayEnd)
        OnPlayEnd(this);
}

} // namespace tindrel

namespace tindrel {

bool TAudioPlayer::Open(const std::string& fileName) {
    if (!PlayerReady()) {
        m_dialogs.messageBox(QStringLiteral("Confirm"), QStringLiteral("Player is not ready !"), MessageIcon::Question,
                             MessageButtons::Ok);
        return false;
    }
    TStreamInfo info;
    int32_t pluginIndex = -1;
    TSupportedBy supported = TSupportedBy::Unsupported;
    if (!GetStreamInfo(fileName, info, pluginIndex, supported)) {
        ShowError("Invalid stream file(" + fileName + ") !");
        return false;
    }
    if (m_current)
        m_current->Free();
    if (supported == TSupportedBy::PluginOnly || (supported == TSupportedBy::Both && m_pluginFirst)) {
        m_pluginIndex = pluginIndex;
        m_current = std::make_shared<PluginChannel>(*GetPluginModule(pluginIndex), fileName, info.Duration, m_mode,
                                                    m_pluginVolume, *m_bass, m_messageWindow, m_pluginHostWindow,
                                                    [this](const std::string& message) { ShowError(message); });
        SelectPlugin(pluginIndex);
    } else if (!openEngineChannel(fileName)) {
        return false;
    }
    m_streamInfo = info;
    m_supportedBy = supported;
    m_mode = TPlayerMode::Ready;
    return true;
}

bool TAudioPlayer::openEngineChannel(const std::string& fileName) {
    const char* name = fileName.c_str();
    m_current.reset();
    uint32_t handle = 0;
    if ((handle = m_bass->BASS_StreamCreateFile(0, name, 0, 0, 0)) != 0)
        m_current = std::make_shared<EngineStreamChannel>(*m_bass, nullptr, handle, &PlayEndSync, m_messageWindow,
                                                          m_streamVolume);
    else if (m_wmaReady && (handle = m_bassWma->BASS_WMA_StreamCreateFile(0, name, 0, 0, 0)) != 0)
        m_current = std::make_shared<EngineStreamChannel>(*m_bass, m_bassWma.get(), handle, &PlayEndSync,
                                                          m_messageWindow, m_streamVolume);
    else if ((handle = m_bass->BASS_MusicLoad(0, name, 0, 0, kMusicCalcLen)) != 0)
        m_current = std::make_shared<EngineMusicChannel>(*m_bass, handle, &PlayEndSync, m_messageWindow, m_musicVolume);
    if (!m_current) {
        ShowError("Can't play the file");
        return false;
    }
    if (m_bass->BASS_ChannelGetFlags(handle) & kSample8Bits) {
        // Both, in this order: the error code shown next is the second's.
        m_bass->BASS_MusicFree(handle);
        m_bass->BASS_StreamFree(handle);
        m_current.reset();
        ShowError("Sound card does not support 16-bit sources.");
        return false;
    }
    return true;
}

void TAudioPlayer::Play() {
    // A plug-in's start pumps messages, whose handlers may close its channel.
    const std::shared_ptr<PlayerChannel> channel = m_current;
    if (!channel || m_mode == TPlayerMode::Playing || channel->Busy())
        return;
    if (m_mode == TPlayerMode::Paused) {
        Resume();
    } else if (m_mode == TPlayerMode::Stopped) {
        restart();
    } else if (channel->Start()) {
        m_mode = TPlayerMode::Playing;
        if (channel->SoundStarted() && OnNewFFTData)
            setSpectrumTimer(true);
    }
}

void TAudioPlayer::restart() {
    const std::shared_ptr<PlayerChannel> channel = m_current;
    if (m_mode != TPlayerMode::Stopped || channel->Busy())
        return;
    if (!channel->Restart())
        return;
    m_mode = TPlayerMode::Playing;
    if (channel->SoundStarted() && OnNewFFTData)
        setSpectrumTimer(true);
}

void TAudioPlayer::SetPaused(bool value) {
    if (value)
        Pause();
    else
        Resume();
}

void TAudioPlayer::Pause() {
    if (m_mode != TPlayerMode::Playing)
        return;
    if (m_current)
        m_current->Pause();
    m_mode = TPlayerMode::Paused;
}

void TAudioPlayer::Resume() {
    if (m_mode != TPlayerMode::Paused)
        return;
    if (m_current)
        m_current->Resume();
    m_mode = TPlayerMode::Playing;
    if (OnNewFFTData && m_current && m_current->SoundStarted())
        setSpectrumTimer(true);
}

void TAudioPlayer::Stop() {
    if (m_mode != TPlayerMode::Playing)
        return;
    if (m_current)
        m_current->Stop();
    m_mode = TPlayerMode::Stopped;
}

void TAudioPlayer::Close() {
    if (m_current)
        m_current->Close();
    m_current.reset();
    m_pluginIndex = -1;
    m_mode = TPlayerMode::Closed;
    m_supportedBy = TSupportedBy::Unsupported;
    m_streamInfo.FileName.clear();
    m_streamInfo.SampleRate = 0;
}

uint64_t TAudioPlayer::GetPlayLength() {
    return m_current ? m_current->Length() : 0;
}

uint64_t TAudioPlayer::GetPosition() {
    return m_current ? m_current->Position(m_mode) : 0;
}

void TAudioPlayer::SetPosition(uint64_t ms) {
    // A plug-in's seek pumps messages, whose handlers may close its channel.
    const std::shared_ptr<PlayerChannel> channel = m_current;
    if (!channel || channel->Busy() || ms > m_streamInfo.Duration)
        return;
    if (channel->SetPosition(ms))
        setSpectrumTimer(true);
}

int32_t TAudioPlayer::GetVolume() {
    Start();
    return m_current ? m_current->Volume() : m_streamVolume;
}

void TAudioPlayer::SetVolume(int32_t value) {
    Start();
    value = ClampVolume(value);
    if (m_current)
        m_current->SetVolume(value);
    else
        EngineStreamChannel::SetEngineVolume(m_bass.get(), m_streamVolume, value);
}

} // namespace tindrel
