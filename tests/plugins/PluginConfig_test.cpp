// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PluginConfig.h"

#include "plugins/PluginHost.h"
#include "tests/plugins/PluginFixture.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <functional>

namespace tindrel {
namespace {

class PluginConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"in_a.so", "in_b.so", "in_c.so"})
            folder.addPlugin("in_tone", name);
        folder.addPlugin("in_noexport", "in_noexport.so");
        ASSERT_TRUE(InitPluginHost(folder.path(), engine.bass, dialogs));
        form = std::make_unique<TPluginConfigForm>(dialogs, &player);
        list = form->findChild<QListWidget*>(QStringLiteral("PluginList"));
        grid = form->findChild<QTableWidget*>(QStringLiteral("PluginGrid"));
        ASSERT_TRUE(list && grid);
    }
    void TearDown() override {
        form.reset();
        QuitPluginHost();
    }

    void load(const QString& name) {
        list->setCurrentItem(list->findItems(name, Qt::MatchExactly).value(0));
        form->btnLoadClick();
    }
    void selectRow(int row) { grid->selectRow(row); }
    QString cell(int row, int column) const {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
    }
    // The last "Confirm" box's text, then forgets the boxes.
    QString lastMessage() {
        const QString text = dialogs.messages().empty() ? QString() : dialogs.messages().back().text;
        if (!dialogs.messages().empty()) {
            EXPECT_EQ(dialogs.messages().back().caption, "Confirm");
        }
        dialogs.clear();
        return text;
    }

    test::SilentEngine engine;
    test::ProgramFolder folder;
    FakeDialogs dialogs;
    std::vector<std::pair<uint32_t, intptr_t>> posted;
    MessageWindow player{[this](uint32_t msg, uintptr_t, intptr_t l) { posted.emplace_back(msg, l); }};
    std::unique_ptr<TPluginConfigForm> form;
    QListWidget* list = nullptr;
    QTableWidget* grid = nullptr;
};

TEST_F(PluginConfigTest, TheListShowsThePluginFilesAndLoadsTheSelectedOne) {
    EXPECT_EQ(form->windowTitle(), "Plug-in Configuration");
    form->btnLoadClick();
    EXPECT_EQ(lastMessage(), "No plug-in to load");

    form->show();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "in_a.so");
    list->clearSelection();
    form->btnLoadClick();
    EXPECT_EQ(lastMessage(), "Select plug-in to load first");

    load("in_b.so");
    EXPECT_EQ(lastMessage(), "");
    EXPECT_EQ(form->LoadedCount(), 1);
    EXPECT_EQ(cell(1, 0), "in_b.so");
    EXPECT_EQ(cell(1, 1), "Tindrel test tone decoder 1.0");
    EXPECT_EQ(cell(1, 2), "TONE");

    const struct {
        const char* file;
        const char* message;
    } refusals[] = {
        {"in_b.so", "Load denied : Already loaded before"},
        {"in_noexport.so", "Load denied : Not valid Winamp 2 input plug-in"},
    };
    for (const auto& r : refusals) {
        load(r.file);
        EXPECT_EQ(lastMessage(), r.message) << r.file;
        EXPECT_EQ(form->LoadedCount(), 1);
    }
}

TEST_F(PluginConfigTest, TheFixedRowHasNoCaptionsAndResizesTheColumns) {
    form->show();
    QHeaderView* fixedRow = grid->horizontalHeader();
    ASSERT_TRUE(fixedRow->isVisibleTo(form.get()));
    const int widths[] = {84, 173, 151};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(fixedRow->sectionSize(column), widths[column]) << column;
        EXPECT_EQ(grid->model()->headerData(column, Qt::Horizontal).toString(), "") << column;
    }
    EXPECT_EQ(grid->rowAt(0), 1) << "the first row under the fixed one is not row 1";
    // Drag the edge between the first two columns 30 pixels to the right.
    const int y = fixedRow->height() / 2;
    QTest::mousePress(fixedRow->viewport(), Qt::LeftButton, {}, {84, y});
    QTest::mouseMove(fixedRow->viewport(), {114, y});
    QTest::mouseRelease(fixedRow->viewport(), Qt::LeftButton, {}, {114, y});
    EXPECT_EQ(fixedRow->sectionSize(0), 114);
}

TEST_F(PluginConfigTest, AConfirmBoxOrShowingItAgainBringsTheWindowInFront) {
    QWidget mainWindow;
    mainWindow.show();
    form->show();
    const struct {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"a Confirm box", [&] { form->btnUnloadClick(); }},
        {"showing it again", [&] { form->ShowInFront(); }},
    };
    for (const auto& c : cases) {
        mainWindow.activateWindow(); // where the window manager leaves the focus
        ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow)) << c.what;
        c.act();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get())) << c.what;
    }
    EXPECT_EQ(lastMessage(), "No plug-ins are loaded");
}

TEST_F(PluginConfigTest, UnloadingTheLastRowEmptiesItAndAnEarlierRowClosesTheGap) {
    form->show();
    form->btnUnloadClick();
    EXPECT_EQ(lastMessage(), "No plug-ins are loaded");
    for (const char* name : {"in_a.so", "in_b.so", "in_c.so"})
        load(name);
    ASSERT_EQ(form->LoadedCount(), 3);

    selectRow(5); // beyond the filled rows
    form->btnUnloadClick();
    EXPECT_EQ(lastMessage(), "Select plug-in to unload first");

    selectRow(3);
    form->btnUnloadClick();
    EXPECT_EQ(form->LoadedCount(), 2);
    EXPECT_EQ(cell(3, 0), "");

    selectRow(1);
    form->btnUnloadClick();
    EXPECT_EQ(form->LoadedCount(), 1);
    EXPECT_EQ(cell(1, 0), "in_b.so");
    EXPECT_EQ(cell(2, 0), "");

    // The freed slot 0 is taken again, but the row goes after the filled ones.
    load("in_c.so");
    EXPECT_EQ(FindPlugin("in_c.so"), 0);
    EXPECT_EQ(cell(2, 0), "in_c.so");
}

TEST_F(PluginConfigTest, AboutAndConfigureReachThePluginWithAWindowItMayPostTo) {
    form->show();
    const struct {
        void (TPluginConfigForm::*click)();
        const char *none, *unselected, *probe;
    } actions[] = {
        {&TPluginConfigForm::btnAboutClick, "No plug-ins to query are loaded", "Select plug-in to query first",
         "about"},
        {&TPluginConfigForm::btnConfigureClick, "No plug-ins to configure are loaded",
         "Select plug-in to configure first", "config"},
    };
    for (const auto& a : actions) {
        (form.get()->*a.click)();
        EXPECT_EQ(lastMessage(), a.none);
    }
    load("in_a.so");
    const auto probe = reinterpret_cast<intptr_t (*)(const char*)>(dlsym(GetPluginInfo(0).DLLHandle, "tone_probe"));
    ASSERT_NE(probe, nullptr);
    for (const auto& a : actions) {
        selectRow(4);
        (form.get()->*a.click)();
        EXPECT_EQ(lastMessage(), a.unselected);
        selectRow(1);
        (form.get()->*a.click)();
        EXPECT_EQ(lastMessage(), "");
        EXPECT_EQ(probe(a.probe), 1) << a.probe;
        // The plug-in posted to it: a window record like every handle it gets.
        const auto* parent = reinterpret_cast<const HostWindowRecord*>(probe("lastParent"));
        ASSERT_NE(parent, nullptr);
        EXPECT_EQ(parent->size, sizeof(HostWindowRecord));
    }
}

TEST_F(PluginConfigTest, ThePlayingPluginStaysInTheGrid) {
    form->show();
    load("in_a.so");
    ASSERT_EQ(SelectPlugin(0), 0);
    selectRow(1);
    form->btnUnloadClick();
    EXPECT_EQ(lastMessage(), "Cannot unload : Plug-in is in use");
    EXPECT_EQ(form->LoadedCount(), 1);
    EXPECT_EQ(cell(1, 0), "in_a.so");
}

TEST_F(PluginConfigTest, TheCheckBoxTellsThePlayerWindow) {
    auto* box = form->findChild<QCheckBox*>(QStringLiteral("PluginFirst"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    box->click();
    box->click();
    ASSERT_TRUE(test::WaitFor([&] { return posted.size() == 2; }, 10'000));
    EXPECT_EQ(posted[0], std::make_pair(WM_PLUGIN_FIRST, intptr_t{1}));
    EXPECT_EQ(posted[1], std::make_pair(WM_PLUGIN_FIRST, intptr_t{0}));
}

} // namespace
} // namespace tindrel
