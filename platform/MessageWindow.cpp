// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>

namespace tindrel {

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage final : public QEvent {
public:
    PostedMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam)
        : QEvent(kPostedMessage), message(msg), w(wParam), l(lParam) {}
    const uint32_t message;
    const uintptr_t w;
    const intptr_t l;
};

} // namespace

MessageWindow::MessageWindow(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

void MessageWindow::post(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    // postEvent is thread-safe and hands the event to this object's thread.
    QCoreApplication::postEvent(this, new PostedMessage(msg, wParam, lParam));
}

bool MessageWindow::event(QEvent* event) {
    if (event->type() != kPostedMessage)
        return QObject::event(event);
    const auto* posted = static_cast<PostedMessage*>(event);
    if (m_handler)
        m_handler(posted->message, posted->w, posted->l);
    return true;
}

void PumpMessages() {
    // Qt's quit request is a flag on the running event loops, not a queued
    // message, so nothing processed here can swallow it.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace tindrel
