// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/WindowLink.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tindrel {

namespace {

// The wire form of a posted message.
struct Packet {
    uint64_t msg, wParam;
    int64_t lParam;
};

// The fallback folder lies in a place every user can write to: another user
// could have made it first, or put a link there, to receive or fake our
// messages. It is used only when it is our own private directory.
bool privateFolder(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 0077) == 0;
}

// Empty when there is no safe folder; then no window can be made or found.
std::string runtimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return runtime;
    const char* temp = std::getenv("TMPDIR");
    const std::string folder = std::string(temp && *temp ? temp : "/tmp") + "/tindrel-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    return privateFolder(folder) ? folder : std::string();
}

// A name part that cannot leave the folder or break the path.
std::string safe(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        if (c == '/' || c == '\0')
            c = '_';
    return result;
}

bool toAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // An empty path would bind an automatic abstract address.
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

} // namespace

uint32_t RegisterWindowMessage(const std::string& name) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (const unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    return 0xC000 + hash % 0x4000;
}

std::string WindowAddress(const std::string& className, const std::string& title) {
    const std::string folder = runtimeFolder();
    return folder.empty() ? std::string() : folder + "/tindrel-window-" + safe(className) + "-" + safe(title);
}

std::optional<std::string> FindWindow(const std::string& className, const std::string& title) {
    const std::string path = WindowAddress(className, title);
    sockaddr_un address;
    if (!toAddress(path, address))
        return std::nullopt;
    const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return std::nullopt;
    // A socket file left by a program that ended refuses the connection.
    const bool listening = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return listening ? std::optional(path) : std::nullopt;
}

bool PostToWindow(const std::string& path, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    sockaddr_un address;
    if (!toAddress(path, address))
        return false;
    const int sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender < 0)
        return false;
    const Packet packet{msg, wParam, lParam};
    const bool sent = ::sendto(sender, &packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                               sizeof address) == ssize_t(sizeof packet);
    ::close(sender);
    return sent;
}

NamedWindow::NamedWindow(const std::string& className, const std::string& title)
    : m_address(WindowAddress(className, title)) {
    sockaddr_un address;
    if (!toAddress(m_address, address))
        return;
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_socket < 0)
        return;
    ::unlink(m_address.c_str());
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

NamedWindow::~NamedWindow() {
    if (m_socket < 0)
        return;
    ::close(m_socket);
    ::unlink(m_address.c_str());
}

std::optional<TWindowMessage> NamedWindow::Receive() {
    Packet packet{};
    if (m_socket < 0 || ::recv(m_socket, &packet, sizeof packet, 0) != ssize_t(sizeof packet))
        return std::nullopt;
    return TWindowMessage{static_cast<uint32_t>(packet.msg), static_cast<uintptr_t>(packet.wParam),
                          static_cast<intptr_t>(packet.lParam)};
}

} // namespace tindrel
