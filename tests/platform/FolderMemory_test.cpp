// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FolderMemory.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tindrel {
namespace {

namespace fs = std::filesystem;

// Each dialog gets back the folder it was last used in after a restart (a
// new object on the same settings file); a dialog never used, or whose folder
// has gone, starts nowhere in particular.
TEST(FolderMemory, EachDialogsLastFolderOutlivesARestart) {
    test::TempDir dir;
    const QString settings = QString::fromStdString(dir.file("config/Tindrel.ini"));
    for (const char* sub : {"songs", "pieces", "parts", "gone"})
        fs::create_directories(dir.file(sub));
    const QString root = QString::fromStdString(dir.path());
    struct Case {
        const char* dialog;
        QString chosen;
        QString expected;
    };
    const Case cases[] = {
        {"Open", root + "/songs/a.mp3", root + "/songs"},
        {"Save", root + "/pieces/new.mp3", root + "/pieces"},
        {"Folder", root + "/parts", root + "/parts"},
        {"Add", root + "/gone/b.mp3", QString()},
        {"Never", QString(), QString()},
    };
    {
        FolderMemory memory(settings);
        for (const Case& c : cases)
            if (!c.chosen.isEmpty())
                memory.remember(c.dialog, c.chosen);
    }
    fs::remove(dir.file("gone"));
    const FolderMemory restarted(settings);
    for (const Case& c : cases)
        EXPECT_EQ(restarted.folderFor(c.dialog), c.expected) << c.dialog;
}

} // namespace
} // namespace tindrel
