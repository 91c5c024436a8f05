// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Join.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <unistd.h>

namespace tindrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

Bytes bodyOf(const Bytes& file) {
    if (file.size() <= 2128)
        return {};
    return Bytes(file.begin() + 2000, file.end() - 128);
}

struct RecordingObserver final : JoinObserver {
    std::vector<JoinStatus> statuses;
    int pumps = 0;
    std::function<void(int)> onPump; // gets the number of the pump, from 1
    bool stop = false;
    bool keepsOutput = true;

    explicit RecordingObserver(std::size_t rows) : statuses(rows, JoinStatus::Done) {}
    void letEventsRun() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    bool stopRequested() override { return stop; }
    void setStatus(std::size_t row, JoinStatus status) override { statuses.at(row) = status; }
    bool stopKeepsOutput() const override { return keepsOutput; }
};

TEST(Join, BodiesOfTwoInputsFollowEachOther) {
    TempDir dir;
    const Bytes first = PatternBytes(10'000, 1);
    const Bytes second = PatternBytes(20'000, 2);
    const std::vector<std::string> inputs = {dir.write("a.mp3", first), dir.write("b.mp3", second)};
    RecordingObserver observer(2);
    EXPECT_EQ(RunJoin(inputs, dir.file("out.mp3"), observer), JoinResult::Completed);

    const Bytes out = ReadFileBytes(dir.file("out.mp3"));
    ASSERT_EQ(out.size(), 25'744u);
    Bytes expected = bodyOf(first);
    const Bytes secondBody = bodyOf(second);
    expected.insert(expected.end(), secondBody.begin(), secondBody.end());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(observer.statuses, (std::vector<JoinStatus>{JoinStatus::Done, JoinStatus::Done}));
}

TEST(Join, InputsOfAtMost2128BytesContributeNothing) {
    TempDir dir;
    const Bytes big = PatternBytes(5'000, 3);
    const std::vector<std::string> inputs = {dir.write("empty.mp3", {}), dir.write("tiny.mp3", PatternBytes(2'128, 4)),
                                             dir.write("just.mp3", PatternBytes(2'129, 5)), dir.write("big.mp3", big)};
    RecordingObserver observer(4);
    EXPECT_EQ(RunJoin(inputs, dir.file("out.mp3"), observer), JoinResult::Completed);
    Bytes expected = {PatternBytes(2'129, 5)[2000]};
    const Bytes bigBody = bodyOf(big);
    expected.insert(expected.end(), bigBody.begin(), bigBody.end());
    EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")), expected);
    EXPECT_EQ(observer.statuses, std::vector<JoinStatus>(4, JoinStatus::Done));
}

TEST(Join, BodiesLargerThanOneBlockAreCopiedWhole) {
    TempDir dir;
    const Bytes big = PatternBytes(kJoinBlockBytes * 2 + 4321, 6);
    const std::vector<std::string> inputs = {dir.write("big.mp3", big), dir.write("big2.mp3", big)};
    RecordingObserver observer(2);
    RunJoin(inputs, dir.file("out.mp3"), observer);
    Bytes expected = bodyOf(big);
    expected.insert(expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")), expected);
}

TEST(Join, StopIsSeenOncePerRowInEachPass) {
    // Pumps 1..3 belong to the status pass of three rows, 4..6 to the copy pass.
    const struct {
        int stopAtPump;
        std::vector<JoinStatus> statuses;
        std::size_t bodiesWritten;
    } cases[] = {
        {1, {JoinStatus::Stopped, JoinStatus::Done, JoinStatus::Done}, 0},
        {3, {JoinStatus::Ready, JoinStatus::Ready, JoinStatus::Stopped}, 0},
        {4, {JoinStatus::Stopped, JoinStatus::Ready, JoinStatus::Ready}, 0},
        {5, {JoinStatus::Done, JoinStatus::Stopped, JoinStatus::Ready}, 1},
        {6, {JoinStatus::Done, JoinStatus::Done, JoinStatus::Stopped}, 2},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Bytes file = PatternBytes(3'000, 7);
        const std::vector<std::string> inputs(3, dir.write("a.mp3", file));
        RecordingObserver observer(3);
        observer.onPump = [&](int pump) { observer.stop = pump >= c.stopAtPump; };
        EXPECT_EQ(RunJoin(inputs, dir.file("out.mp3"), observer), JoinResult::Stopped);
        EXPECT_EQ(observer.statuses, c.statuses) << "stop at pump " << c.stopAtPump;
        EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")).size(), c.bodiesWritten * 872) << "stop at pump " << c.stopAtPump;
    }
}

// An interrupted join (the tool's Ctrl+C) is not the page's Stop: the file
// it was to replace keeps what it held; so does the page's Stop before the
// first input was copied.
TEST(Join, AnInterruptedOrEarlyStoppedJoinKeepsTheEarlierFile) {
    const struct {
        bool keepsOutput;
        int stopAtPump;
    } cases[] = {{false, 5}, {true, 4}, {true, 1}};
    for (const auto& c : cases) {
        TempDir dir;
        const std::vector<std::string> inputs(3, dir.write("a.mp3", PatternBytes(3'000, 7)));
        const Bytes old = PatternBytes(500, 9);
        dir.write("out.mp3", old);
        RecordingObserver observer(3);
        observer.keepsOutput = c.keepsOutput;
        observer.onPump = [&](int pump) { observer.stop = pump >= c.stopAtPump; };
        EXPECT_EQ(RunJoin(inputs, dir.file("out.mp3"), observer), JoinResult::Stopped);
        EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")), old) << c.stopAtPump;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a temporary file was left";
    }
}

TEST(Join, AMissingInputEndsTheJoinAndLeavesTheOldOutput) {
    TempDir dir;
    const Bytes file = PatternBytes(3'000, 8);
    const std::vector<std::string> inputs = {dir.write("a.mp3", file), dir.file("gone.mp3"), dir.write("c.mp3", file)};
    const Bytes old = PatternBytes(500, 9);
    dir.write("out.mp3", old);
    RecordingObserver observer(3);
    try {
        RunJoin(inputs, dir.file("out.mp3"), observer);
        ADD_FAILURE() << "the join went on without its second input";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + dir.file("gone.mp3") + "\". No such file or directory");
    }
    EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")), old) << "a failed join replaced the file";
    EXPECT_EQ(observer.statuses, (std::vector<JoinStatus>{JoinStatus::Done, JoinStatus::Ready, JoinStatus::Ready}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "a temporary file was left";
}

TEST(Join, AnOutputThatCannotBeCreatedChangesNoStatus) {
    TempDir dir;
    const std::vector<std::string> inputs = {dir.write("a.mp3", PatternBytes(3'000, 9))};
    RecordingObserver observer(1);
    const std::string output = dir.file("missing-folder/out.mp3");
    try {
        RunJoin(inputs, output, observer);
        ADD_FAILURE() << "an output in a missing folder was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + output + "\". No such file or directory");
    }
    EXPECT_EQ(observer.statuses, std::vector<JoinStatus>{JoinStatus::Done});
    EXPECT_EQ(observer.pumps, 0);
}

TEST(Join, TheOutputIsFoundAmongTheInputsByIdentity) {
    TempDir dir;
    const std::string a = dir.write("a.mp3", PatternBytes(100, 1));
    const std::string b = dir.write("b.mp3", PatternBytes(100, 2));
    ASSERT_EQ(::link(a.c_str(), dir.file("hard.mp3").c_str()), 0);
    ASSERT_EQ(::symlink(b.c_str(), dir.file("soft.mp3").c_str()), 0);
    const std::vector<std::string> inputs = {a, b};
    EXPECT_EQ(FindInputSameAs(inputs, a), 0u);
    EXPECT_EQ(FindInputSameAs(inputs, dir.path() + "/./b.mp3"), 1u);
    EXPECT_EQ(FindInputSameAs(inputs, dir.file("hard.mp3")), 0u);
    EXPECT_EQ(FindInputSameAs(inputs, dir.file("soft.mp3")), 1u);
    EXPECT_EQ(FindInputSameAs(inputs, dir.file("new.mp3")), std::nullopt);
}

} // namespace
} // namespace tindrel
