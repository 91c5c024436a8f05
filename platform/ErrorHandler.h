// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <exception>
#include <functional>

namespace tindrel {

class IDialogs;

// The one place where errors raised below the pages are shown. The pages do
// not catch them: the exception unwinds the operation (closing its files on
// the way out) and ends here, in an "Error" box with the exception's text.
class ErrorHandler {
public:
    // The dialogs the handler reports through; null means "write to stderr".
    static void setDialogs(IDialogs* dialogs);
    static void report(const std::exception& error);
    // Runs an event handler and reports whatever std::exception leaves it.
    static void run(const std::function<void()>& handler);

    // Wraps a handler for a signal connection.
    template <typename F> static auto guard(F handler) {
        return [handler = std::move(handler)]() { run(handler); };
    }
};

} // namespace tindrel
