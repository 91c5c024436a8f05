// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/AppExec.h"

#include "platform/FileOps.h"

#include <cctype>

namespace tindrel {

namespace {

// "/" alone, or a drive root such as "C:/" where drives exist.
bool isRoot(const std::string& path) {
    if (path.size() == 1)
        return true;
    return path.size() == 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

} // namespace

void TAppExec::SetExePath(const std::string& value) {
    if (value == m_exePath)
        return;
    m_exePath = value;
    if (!m_exePath.empty() && m_exePath.back() == kPathSeparator && !isRoot(m_exePath))
        m_exePath.pop_back();
}

void TAppExec::SetWindowState(TWindowState value) {
    if (value == m_windowState)
        return;
    m_windowState = value;
    m_showCommand = static_cast<uint16_t>(static_cast<int>(value) + 1);
}

} // namespace tindrel
