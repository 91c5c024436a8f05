// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

namespace tindrel {

// Numbers of the program's own messages start here, as they did on the
// design's first platform; every message keeps its number.
inline constexpr uint32_t WM_USER = 0x0400;

// A hidden window that receives posted messages. post() may be called from
// any thread; the handler always runs on the thread that owns the window
// (the user-interface thread), from the event loop.
class MessageWindow : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

    explicit MessageWindow(Handler handler, QObject* parent = nullptr);
    void post(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);

protected:
    bool event(QEvent* event) override;

private:
    Handler m_handler;
};

// Runs every event waiting for the calling thread, then returns. A request to
// quit met while pumping is kept for the main event loop, which ends as soon
// as control returns to it.
void PumpMessages();

} // namespace tindrel
