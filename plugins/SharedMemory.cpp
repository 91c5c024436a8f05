// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/SharedMemory.h"

#include "binding/BassBinding.h"
#include "platform/Dialogs.h"
#include "platform/FileOps.h"
#include "plugins/WindowLink.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

namespace {

std::string systemName(const std::string& name) {
    return "/" + name;
}
std::string mutexName(const std::string& shareName) {
    return systemName(shareName + "_SMMutex");
}

void putInt32(uint8_t* at, int32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

} // namespace

TSharedMemory::TSharedMemory(IDialogs& dialogs)
    : m_dialogs(dialogs), m_sendingDataMsg(RegisterWindowMessage("WM_SendingData")),
      m_requestingDataMsg(RegisterWindowMessage("WM_RequestingData")) {}

TSharedMemory::~TSharedMemory() {
    CloseHandles();
}

namespace {

int createExclusive(const std::string& name) {
    return ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
}

// A name with nobody holding its block is what a creator that was killed
// left (a mapping would have gone with its last handle). Creators hold a
// shared lock on their block for as long as they live, so an exclusive lock
// that can be had means the name is stale: it and its mutex are removed. A
// block made in the last seconds is left alone, since its creator may not
// have taken its lock yet.
bool removeIfStale(const std::string& shareName) {
    constexpr time_t kSettleSeconds = 2;
    const int fd = ::shm_open(systemName(shareName).c_str(), O_RDWR, 0);
    if (fd < 0)
        return errno == ENOENT; // gone meanwhile: worth trying again
    struct stat st {};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool settled = ::fstat(fd, &st) == 0 && now.tv_sec - st.st_mtim.tv_sec >= kSettleSeconds;
    const bool stale = settled && TryLock(fd, true);
    if (stale) {
        ::shm_unlink(systemName(shareName).c_str());
        ::sem_unlink(mutexName(shareName).c_str());
    }
    ::close(fd);
    return stale;
}

// Whether the name still stands for the block open as fd: after another
// process took a block for stale, the name may stand for its new one.
bool nameIsStill(const std::string& shareName, int fd) {
    struct stat mine {
    }, named{};
    const int other = ::shm_open(systemName(shareName).c_str(), O_RDONLY, 0);
    if (other < 0)
        return false;
    const bool same = ::fstat(fd, &mine) == 0 && ::fstat(other, &named) == 0 && mine.st_dev == named.st_dev &&
                      mine.st_ino == named.st_ino;
    ::close(other);
    return same;
}

} // namespace

bool TSharedMemory::OpenMapping() {
    bool result = m_mapping < 0;
    // Exclusive creation: a block that exists already belongs to another.
    m_mapping = createExclusive(systemName(m_shareName));
    if (m_mapping < 0 && errno == EEXIST && removeIfStale(m_shareName))
        m_mapping = createExclusive(systemName(m_shareName));
    m_createdMapping = m_mapping >= 0;
    if (m_mapping >= 0 && !TryLock(m_mapping, false)) {
        // Another process found the new block unlocked and took it for a
        // stale one; it removes the name and creates its own.
        ::close(m_mapping);
        m_mapping = -1;
        m_createdMapping = false;
    }
    if (m_mapping < 0 || ::ftruncate(m_mapping, m_size) != 0) {
        CloseHandles();
        result = false;
    }
    sem_t* mutex = ::sem_open(mutexName(m_shareName).c_str(), O_CREAT, 0600, 1);
    if (mutex == SEM_FAILED) {
        CloseHandles();
        return false;
    }
    m_mutex = mutex;
    return result;
}

void* TSharedMemory::MapView() {
    if (m_mapping < 0)
        return nullptr;
    void* view =
        ::mmap(nullptr, size_t(m_size), m_readOnly ? PROT_READ : PROT_READ | PROT_WRITE, MAP_SHARED, m_mapping, 0);
    return view == MAP_FAILED ? nullptr : view;
}

bool TSharedMemory::UnmapView(void* address) {
    if (m_mapping < 0)
        return false;
    ::munmap(address, size_t(m_size));
    return true;
}

bool TSharedMemory::CloseHandles() {
    if (m_mapping >= 0) {
        // The name goes with its creator, as a mapping does when its last
        // handle closes.
        if (m_createdMapping && nameIsStill(m_shareName, m_mapping))
            ::shm_unlink(systemName(m_shareName).c_str());
        else
            m_createdMapping = false; // the mutex is no longer ours either
        ::close(m_mapping);
        m_mapping = -1;
    }
    if (m_mutex) {
        ::sem_close(static_cast<sem_t*>(m_mutex));
        if (m_createdMapping)
            ::sem_unlink(mutexName(m_shareName).c_str());
        m_mutex = nullptr;
    }
    m_createdMapping = false;
    return true;
}

void TSharedMemory::NotifyTarget(uintptr_t wParam, intptr_t lParam) {
    if (!m_mutex || m_targetApplication.empty())
        return;
    const std::optional<std::string> window = FindWindow("TApplication", m_targetApplication);
    m_targetWindow = window.value_or(std::string());
    if (window) {
        PostToWindow(*window, m_sendingDataMsg, wParam, lParam);
    } else if (m_msgOutOnErr) {
        m_dialogs.messageBox(QStringLiteral("Warning..."),
                             QString::fromStdString("The application : [" + m_targetApplication +
                                                    "] is not active on your system.\n"
                                                    "The notification message has not been sent."),
                             MessageIcon::Warning);
    }
}

void FillVisBlock(const BassLibrary& bass, DWORD channel, uint8_t* block) {
    constexpr int kRow = 576;
    DWORD rate = 0;
    bass.BASS_ChannelGetAttributes(channel, &rate, nullptr, nullptr);
    putInt32(block, static_cast<int32_t>(rate));
    putInt32(block + 4, 2);

    std::array<float, 1024> fft{};
    bass.BASS_ChannelGetData(channel, fft.data(), BASS_DATA_FFT2048);
    for (int k = 0; k < kRow; ++k)
        block[8 + k] = static_cast<uint8_t>(static_cast<int64_t>(fft[k] * 255.0f) & 0xFF);
    std::memcpy(block + 8 + kRow, block + 8, kRow);

    std::array<int16_t, 2 * kRow> samples{};
    const bool single = (bass.BASS_ChannelGetFlags(channel) & (BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO)) != 0;
    bass.BASS_ChannelGetData(channel, samples.data(), single ? kRow * 2 : kRow * 4);
    uint8_t* left = block + 8 + 2 * kRow;
    uint8_t* right = left + kRow;
    for (int k = 0; k < kRow; ++k) {
        left[k] = static_cast<uint8_t>(static_cast<uint16_t>(samples[single ? k : 2 * k]) >> 8);
        right[k] = static_cast<uint8_t>(static_cast<uint16_t>(samples[single ? k : 2 * k + 1]) >> 8);
    }
}

} // namespace tindrel
