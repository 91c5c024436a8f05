// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"
#include "platform/MessageWindow.h"

#include <QProgressBar>

namespace tindrel {

// A gauge and a Stop button following a split that runs on the window's
// thread: window events run before each part, so Stop is seen there.
class TGaugeSplitObserver final : public SplitObserver {
public:
    TGaugeSplitObserver(QProgressBar& gauge, const bool& stopRequested)
        : m_gauge(gauge), m_stopRequested(stopRequested) {}
    void letEventsRun() override { PumpMessages(); }
    bool stopRequested() override { return m_stopRequested; }
    void partDone(int, int, int percent) override { m_gauge.setValue(percent); }

private:
    QProgressBar& m_gauge;
    const bool& m_stopRequested;
};

} // namespace tindrel
