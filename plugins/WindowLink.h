// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// Messages between programs, standing in for registered window messages and
// top-level windows: a registered message is a stable number derived from its
// name, and a "window" of a class and a title is a local datagram socket in
// the user's runtime folder named after both. Posting sends the message and
// its two parameters to that socket.

#include <cstdint>
#include <optional>
#include <string>

namespace tindrel {

// A number in 0xC000..0xFFFF, the same for the same name in every process.
uint32_t RegisterWindowMessage(const std::string& name);

// The socket path of the window of that class and title; empty when the
// user has no private folder for it (XDG_RUNTIME_DIR, or else a tindrel-UID
// directory of our own, mode 0700, in TMPDIR or /tmp).
std::string WindowAddress(const std::string& className, const std::string& title);
// The address of a window that exists and listens, or nothing.
std::optional<std::string> FindWindow(const std::string& className, const std::string& title);
// Sends without waiting; false when nobody receives at that address.
bool PostToWindow(const std::string& address, uint32_t msg, uintptr_t wParam, intptr_t lParam);

struct TWindowMessage {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
};

// The receiving side: a window other programs can find and post to.
class NamedWindow {
public:
    NamedWindow(const std::string& className, const std::string& title);
    ~NamedWindow();
    NamedWindow(const NamedWindow&) = delete;
    NamedWindow& operator=(const NamedWindow&) = delete;

    bool Listening() const { return m_socket >= 0; }
    // The next message waiting, or nothing.
    std::optional<TWindowMessage> Receive();

private:
    std::string m_address;
    int m_socket = -1;
};

} // namespace tindrel
