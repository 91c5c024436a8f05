// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/MessageWindow.h"

#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"

#include <QThread>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace tindrel {
namespace {

struct Received {
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
    bool onMainThread;
};

TEST(MessageWindow, MessagesPostedFromOtherThreadsArriveOnTheOwnersThreadInOrder) {
    std::vector<Received> received;
    QThread* const mainThread = QThread::currentThread();
    MessageWindow window([&](uint32_t msg, uintptr_t w, intptr_t l) {
        received.push_back({msg, w, l, QThread::currentThread() == mainThread});
    });
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            window.post(WM_USER + 2, uintptr_t(i), -i);
    });
    poster.join();
    EXPECT_TRUE(received.empty()) << "a posted message ran inside post()";
    PumpMessages();
    ASSERT_EQ(received.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(received[i].msg, WM_USER + 2);
        EXPECT_EQ(received[i].w, uintptr_t(i));
        EXPECT_EQ(received[i].l, -i);
        EXPECT_TRUE(received[i].onMainThread);
    }
}

TEST(ErrorHandler, AnExceptionLeavingAHandlerIsShownInAnErrorBox) {
    FakeDialogs dialogs;
    ErrorHandler::setDialogs(&dialogs);
    bool after = false;
    auto handler = ErrorHandler::guard([&] {
        throw std::runtime_error("Cannot open file \"x\". No such file or directory");
        after = true;
    });
    handler();
    ErrorHandler::setDialogs(nullptr);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Error");
    EXPECT_EQ(dialogs.messages()[0].text, "Cannot open file \"x\". No such file or directory");
    EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Error);
    EXPECT_FALSE(after);
}

} // namespace
} // namespace tindrel
