// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// A named shared-memory block with a companion mutex, and the notice to an
// external program that new data is in it. Names live in the system's
// shared-memory namespace; only the process that created a block removes its
// name again.

#include "engine/BassApi.h"

#include <cstdint>
#include <string>

namespace tindrel {

class BassLibrary;
class IDialogs;

class TSharedMemory {
public:
    explicit TSharedMemory(IDialogs& dialogs);
    ~TSharedMemory();
    TSharedMemory(const TSharedMemory&) = delete;
    TSharedMemory& operator=(const TSharedMemory&) = delete;

    const std::string& ShareName() const { return m_shareName; }
    void SetShareName(const std::string& value) { m_shareName = value; }
    bool MsgOutOnErr() const { return m_msgOutOnErr; }
    void SetMsgOutOnErr(bool value) { m_msgOutOnErr = value; }
    int32_t Size() const { return m_size; }
    void SetSize(int32_t value) { m_size = value; }
    const std::string& TargetApplication() const { return m_targetApplication; }
    void SetTargetApplication(const std::string& value) { m_targetApplication = value; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    int32_t Timeout() const { return m_timeout; }
    void SetTimeout(int32_t value) { m_timeout = value; }
    uint32_t SendingDataMsg() const { return m_sendingDataMsg; }
    uint32_t RequestingDataMsg() const { return m_requestingDataMsg; }
    // Address of the window found by the last notice; empty when none.
    const std::string& TargetWindow() const { return m_targetWindow; }
    bool HasMapping() const { return m_mapping >= 0; }
    bool HasMutex() const { return m_mutex != nullptr; }

    // Creates the block; false when it already exists (another process
    // made it first and still runs) or cannot be made. A block left by a
    // creator that was killed is replaced. The mutex is opened in any case.
    bool OpenMapping();
    // A view of Size bytes, read-only when ReadOnly; nullptr without a mapping.
    void* MapView();
    bool UnmapView(void* address);
    bool CloseHandles();
    // Posts SendingDataMsg to the target program's application window.
    void NotifyTarget(uintptr_t wParam, intptr_t lParam);

private:
    IDialogs& m_dialogs;
    std::string m_shareName;
    bool m_msgOutOnErr = false;
    int32_t m_size = 0;
    std::string m_targetApplication;
    std::string m_targetWindow;
    uint32_t m_sendingDataMsg;
    uint32_t m_requestingDataMsg;
    int m_mapping = -1;
    bool m_createdMapping = false;
    void* m_mutex = nullptr;
    bool m_readOnly = false;
    int32_t m_timeout = -1;
};

// The visualisation block: sample rate, channel count 2, two spectrum rows and
// two waveform rows of 576 bytes each.
inline constexpr int32_t kVisBlockSize = 2312;

// Fills a visualisation block from what the channel plays now.
void FillVisBlock(const BassLibrary& bass, DWORD channel, uint8_t* block);

} // namespace tindrel
