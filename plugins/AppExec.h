// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The settings for starting an external program: name, folder, parameters
// and window state. Holding them is all it does.

#include <cstdint>
#include <string>
#include <vector>

namespace tindrel {

enum class TWindowState : uint8_t { Normal, Minimized, Maximized };

class TAppExec {
public:
    int32_t ErrNo() const { return m_errNo; }
    const std::string& ExeName() const { return m_exeName; }
    void SetExeName(const std::string& value) { m_exeName = value; }
    const std::string& ExePath() const { return m_exePath; }
    // Kept without a final separator, except for a root folder.
    void SetExePath(const std::string& value);
    const std::vector<std::string>& ExeParams() const { return m_exeParams; }
    void SetExeParams(const std::vector<std::string>& value) { m_exeParams = value; }
    TWindowState WindowState() const { return m_windowState; }
    void SetWindowState(TWindowState value);
    // 1 normal, 2 minimized, 3 maximized.
    uint16_t ShowCommand() const { return m_showCommand; }
    bool ChangeDir() const { return m_changeDir; }
    void SetChangeDir(bool value) { m_changeDir = value; }
    bool Wait() const { return m_wait; }
    void SetWait(bool value) { m_wait = value; }

private:
    int32_t m_errNo = -1;
    std::string m_exeName;
    std::string m_exePath;
    std::vector<std::string> m_exeParams;
    TWindowState m_windowState = TWindowState::Normal;
    uint16_t m_showCommand = 1;
    bool m_changeDir = true;
    bool m_wait = false;
};

} // namespace tindrel
