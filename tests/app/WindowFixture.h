// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "app/Main.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace tindrel::test {

// The main window with the real audio engine on its "no sound" device, its
// dialogs answered from a script, and a temporary folder for the files.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandler::setDialogs(&dialogs);
        test::UseSettingsFolder(dir.path());
        form = std::make_unique<TMainForm>(dialogs, QString::fromStdString(TINDREL_PROGRAM_DIR), 0);
        ASSERT_TRUE(form->Player()->PlayerReady());
    }
    void TearDown() override {
        form.reset();
        ErrorHandler::setDialogs(nullptr);
    }

    // A temporary copy of a sample of the split page's tests.
    std::string sample(const char* name) {
        const std::string copy = dir.file(name);
        std::filesystem::copy_file(TestDataDir() + "/app/" + name, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        return copy;
    }
    // Opens a file on the split page through its dialog.
    void open(const std::string& path) {
        dialogs.queueOpenFile(QString::fromStdString(path));
        click("btnOpen");
    }
    void click(const char* name) { form->findChild<QAbstractButton*>(name)->click(); }
    QLineEdit* edit(const char* name) { return form->findChild<QLineEdit*>(name); }
    // The text of a label or an edit box.
    QString text(const char* name) {
        if (auto* label = form->findChild<QLabel*>(name))
            return label->text();
        return edit(name)->text();
    }
    // Every message box shown, as "caption: text".
    QStringList messages() const {
        QStringList texts;
        for (const auto& m : dialogs.messages())
            texts << m.caption + ": " + m.text;
        return texts;
    }

    FakeDialogs dialogs;
    TempDir dir;
    std::unique_ptr<TMainForm> form;
};

} // namespace tindrel::test
