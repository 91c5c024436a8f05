// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EditList.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tindrel {
namespace {

EditOperation del(int64_t a, int64_t b) {
    return {EditKind::Delete, {{a, b}}, 0};
}
EditOperation keep(std::vector<EditRange> ranges) {
    return {EditKind::Keep, std::move(ranges), 0};
}

// Each step is an action on the list followed by the ranges a 60 s source
// keeps after it: undo and redo walk the history, a new edit after an undo
// drops what could have been redone.
TEST(EditList, UndoAndRedoWalkTheHistoryAndANewEditDropsTheRedo) {
    enum Action { Apply, Undo, Redo };
    const struct {
        Action action;
        EditOperation op;
        bool accepted;
        std::vector<EditRange> kept;
    } steps[] = {
        {Undo, {}, false, {{0, 60'000}}},
        {Apply, del(10'000, 20'000), true, {{0, 10'000}, {20'000, 60'000}}},
        {Apply, keep({{5'000, 30'000}, {40'000, 50'000}}), true, {{5'000, 10'000}, {20'000, 30'000}, {40'000, 50'000}}},
        {Apply, del(25'000, 45'000), true, {{5'000, 10'000}, {20'000, 25'000}, {45'000, 50'000}}},
        {Undo, {}, true, {{5'000, 10'000}, {20'000, 30'000}, {40'000, 50'000}}},
        {Undo, {}, true, {{0, 10'000}, {20'000, 60'000}}},
        {Redo, {}, true, {{5'000, 10'000}, {20'000, 30'000}, {40'000, 50'000}}},
        {Undo, {}, true, {{0, 10'000}, {20'000, 60'000}}},
        {Apply, del(0, 1'000), true, {{1'000, 10'000}, {20'000, 60'000}}},
        {Redo, {}, false, {{1'000, 10'000}, {20'000, 60'000}}},
        {Undo, {}, true, {{0, 10'000}, {20'000, 60'000}}},
        {Undo, {}, true, {{0, 60'000}}},
        {Undo, {}, false, {{0, 60'000}}},
        {Apply, del(59'000, 70'000), true, {{0, 59'000}}},
        {Apply, keep({{59'500, 60'000}}), true, {}},
    };
    EditList list;
    int n = 0;
    for (const auto& step : steps) {
        ++n;
        const bool accepted = step.action == Apply  ? (list.Apply(step.op), true)
                              : step.action == Undo ? list.Undo()
                                                    : list.Redo();
        EXPECT_EQ(accepted, step.accepted) << "step " << n;
        EXPECT_EQ(list.KeptRanges(60'000), step.kept) << "step " << n;
    }
}

// A list written as text reads back as the same operations, and the text
// of a list read back is the text it was read from.
TEST(EditList, TextRoundTripsAndRejectsWhatIsNoEdit) {
    const std::string text = "delete 00:10.000-00:12.500\n"
                             "keep 00:05.000-01:00.000 01:10.000-62:00.001\n"
                             "gain 00:20.000-00:30.000 -6.0\n"
                             "gain 00:20.000-00:30.000 4.5\n"
                             "fade-in 00:00.000-00:05.000\n"
                             "fade-out 02:50.000-03:00.000\n";
    const EditList list = EditList::FromText("# comment\n\n" + text);
    ASSERT_EQ(list.Operations().size(), 6u);
    EXPECT_EQ(list.Operations()[1].Ranges[1], (EditRange{70'000, 3'720'001}));
    EXPECT_EQ(list.Operations()[2].GainSteps, -4);
    EXPECT_EQ(list.ToText(), text);

    const struct {
        const char* line;
        const char* why;
    } bad[] = {
        {"cut 00:01.000-00:02.000", "Line 2 of the edit list: \"cut\" is no edit"},
        {"delete 00:02.000-00:01.000", "Line 2 of the edit list: \"00:02.000-00:01.000\" is no range"},
        {"delete 00:01.000-00:02.000 00:03.000-00:04.000", "Line 2 of the edit list: \"delete\" takes one range"},
        {"gain 00:01.000-00:02.000", "Line 2 of the edit list: \"gain\" takes a range and a gain in dB"},
        {"gain 00:01.000-00:02.000 loud", "Line 2 of the edit list: \"loud\" is no gain in dB"},
        {"keep", "Line 2 of the edit list: \"keep\" takes one range or more"},
    };
    for (const auto& b : bad) {
        try {
            EditList::FromText(std::string("delete 00:00.000-00:00.001\n") + b.line + "\n");
            ADD_FAILURE() << b.line;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()).rfind(b.why, 0), 0u) << error.what();
        }
    }
}

TEST(EditList, SavedListLoadsWithItsUndoneEditsLeftOut) {
    test::TempDir dir;
    EditList list;
    list.Apply(del(1'000, 2'000));
    list.Apply({EditKind::Gain, {{3'000, 4'000}}, 2});
    list.Apply(del(5'000, 6'000));
    list.Undo();
    list.Save(dir.file("talk.edits"));
    const EditList loaded = EditList::Load(dir.file("talk.edits"));
    EXPECT_EQ(loaded.Operations(), list.Operations());
}

TEST(GainSpan, FadesStepFromTheirDepthToTheLevelAndGainsRoundToWholeSteps) {
    EditList list;
    list.Apply({EditKind::FadeIn, {{0, 4'000}}, 0});
    list.Apply({EditKind::FadeOut, {{6'000, 10'000}}, 0});
    const std::vector<GainSpan> gains = list.Gains();
    ASSERT_EQ(gains.size(), 2u);
    EXPECT_EQ(gains[0].StepsAt(0), -40);
    EXPECT_EQ(gains[0].StepsAt(2'000), -20);
    EXPECT_EQ(gains[0].StepsAt(4'000), 0);
    EXPECT_EQ(gains[1].StepsAt(6'000), 0);
    EXPECT_EQ(gains[1].StepsAt(9'000), -30);
    EXPECT_EQ(GainStepsOf(-6.0), -4);
    EXPECT_EQ(GainStepsOf(-5.0), -3);
    EXPECT_EQ(GainStepsOf(2.3), 2);
}

} // namespace
} // namespace tindrel
