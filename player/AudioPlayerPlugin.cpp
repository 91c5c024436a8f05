// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The player's messages from the output emulator, the plug-in search and
// the spectrum timer.
#include "binding/BassBinding.h"
#include "platform/MessageWindow.h"
#include "player/AudioPlayer.h"
#include "player/PluginChannel.h"
#include "plugins/PluginHost.h"
#include "plugins/SharedMemory.h"

#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tindrel {

namespace {

// Upper FFT bin of each band; band b starts one above band b - 1's top.
constexpr std::array<int, 25> kBandTop = {1,  2,  3,  6,  12, 18, 24,  30,  36,  42,  48,  54, 60,
                                          66, 72, 78, 84, 90, 96, 102, 108, 120, 132, 156, 180};

// File and title texts cross to a plug-in in buffers of this size.
constexpr std::size_t kPluginTextSize = 256;

} // namespace

void TAudioPlayer::pluginWndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    // Only a plug-in channel hears from the output emulator about its file.
    const auto plugin = std::dynamic_pointer_cast<PluginChannel>(m_current);
    switch (msg) {
    case WM_PLUGIN_EOF:
        if (plugin && plugin->EndReached(static_cast<uint32_t>(wParam))) {
            Stop();
            if (OnPlayEnd)
                OnPlayEnd(this);
        }
        break;
    case WM_PLUGIN_STARTPLAY: {
        if (plugin)
            plugin->SoundStarting();
        const auto* format = reinterpret_cast<const TStartPlayInfo*>(lParam);
        m_streamInfo.Channels = format->Channels;
        m_streamInfo.SampleRate = format->SampleRate;
        if (OnPluginStartPlay)
            OnPluginStartPlay(this, m_streamInfo.Channels, m_streamInfo.SampleRate);
        if (OnNewFFTData)
            setSpectrumTimer(true);
        break;
    }
    case WM_PLUGIN_STREAM:
        if (plugin)
            plugin->StreamOpened(static_cast<uint32_t>(wParam));
        break;
    case WM_NEW_FFT_DATA:
        if (OnNewFFTData)
            OnNewFFTData(this, m_bandOut);
        break;
    case WM_PLUGIN_FIRST:
        m_pluginFirst = lParam != 0;
        break;
    default:
        break;
    }
}

void TAudioPlayer::searchPlugins(const std::string& fileName, TStreamInfo& info, int32_t& pluginIndex,
                                 TSupportedBy& supportedBy, bool& found) {
    // A longer name is cut, never written past the buffer's end.
    std::array<char, kPluginTextSize> name{};
    std::memcpy(name.data(), fileName.data(), std::min(fileName.size(), name.size() - 1));
    std::array<char, kPluginTextSize> title{};
    int length = 0;
    bool taken = false;
    for (int32_t slot = 0; slot < kPluginSlots && !taken; ++slot) {
        In_Module* module = GetPluginModule(slot);
        if (!module || !PluginMatchesFile(GetPluginInfo(slot).FileExtensions, fileName))
            continue;
        pluginIndex = slot;
        title.fill(0);
        length = 0;
        module->GetFileInfo(name.data(), title.data(), &length);
        title.back() = '\0';
        taken = length > 0;
    }
    if (!taken)
        return;
    if (supportedBy == TSupportedBy::BASSOnly) {
        supportedBy = TSupportedBy::Both;
        return;
    }
    if (m_playerReady)
        supportedBy = TSupportedBy::PluginOnly;
    info.Title = title.data();
    info.Duration = static_cast<uint64_t>(length);
    found = true;
}

uint16_t TAudioPlayer::NextBandLevel(uint16_t old, uint16_t level) {
    if (old < level)
        return level;
    return std::max<uint16_t>(level, old < 2 ? 0 : old - 2);
}

void TAudioPlayer::ComputeBands(const float* fft, TBandOut& bands) {
    for (int b = 0; b < int(kBandTop.size()); ++b) {
        const int low = b == 0 ? 1 : kBandTop[b - 1] + 1;
        double peak = 0;
        for (int bin = low; bin <= kBandTop[b]; ++bin)
            if (fft[bin] > peak)
                peak = fft[bin];
        const double level = std::nearbyint((b * 0.15 + 1) * peak * 80);
        bands[b] = NextBandLevel(bands[b], static_cast<uint16_t>(std::clamp(level, 0.0, 65535.0)));
    }
}

bool TAudioPlayer::SpectrumTimerActive() const {
    return m_fftTimer && m_fftTimer->isActive();
}

void TAudioPlayer::setSpectrumTimer(bool on) {
    if (!m_fftTimer)
        return;
    if (on)
        m_fftTimer->start();
    else
        m_fftTimer->stop();
}

void TAudioPlayer::FFTTimerTick() {
    const uint32_t channel = Channel();
    if (m_bass->BASS_ChannelIsActive(channel) != BASS_ACTIVE_PLAYING) {
        setSpectrumTimer(false);
        return;
    }
    std::array<float, 256> fft{};
    if (m_bass->BASS_ChannelGetData(channel, fft.data(), BASS_DATA_FFT512) == DWORD(-1)) {
        m_bandOut.fill(0);
        return;
    }
    setSpectrumTimer(false);
    ComputeBands(fft.data(), m_bandOut);
    m_messageWindow->post(WM_NEW_FFT_DATA);
    if (m_visOutActive && m_sharedView) {
        FillVisBlock(*m_bass, channel, static_cast<uint8_t*>(m_sharedView));
        m_sharedMemory->NotifyTarget(10, kVisBlockSize);
    }
    setSpectrumTimer(true);
}

} // namespace tindrel
