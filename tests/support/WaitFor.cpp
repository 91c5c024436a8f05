// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/WaitFor.h"

#include "platform/MessageWindow.h"

#include <QElapsedTimer>
#include <QThread>

namespace tindrel::test {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        PumpMessages();
        QThread::msleep(5);
    }
    return true;
}

} // namespace tindrel::test
