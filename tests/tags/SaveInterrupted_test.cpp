// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tindrel {
namespace {

using test::Bytes;
using test::Concat;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;
using test::ToBytes;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kAudioSize = 20 << 20;
constexpr int kTrials = 50;

// Which of the candidates the file holds byte for byte, or -1 for none.
int WhichContent(const std::string& path, const Bytes (&candidates)[2]) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    Bytes now(candidates[0].size() + candidates[1].size() + 1);
    std::size_t size = 0;
    for (ssize_t got; (got = ::read(fd, now.data() + size, now.size() - size)) > 0;)
        size += std::size_t(got);
    ::close(fd);
    for (int i = 0; i < 2; ++i)
        if (size == candidates[i].size() && std::equal(candidates[i].begin(), candidates[i].end(), now.begin()))
            return i;
    return -1;
}

// A writer of one of two tag states onto a file, and the bytes each state
// gives the file.
struct TagWriter {
    const char* name;
    std::function<bool(int state, const std::string& path)> save;
    std::function<Bytes(int state)> content;
};

// Runs save in a child process and kills it after delay. Returns true when
// the child finished its save before the kill.
bool SaveKilledAfter(const std::function<bool()>& save, std::chrono::microseconds delay) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(save() ? 0 : 1);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SaveInterrupted : public ::testing::TestWithParam<TagWriter> {};

// The ID3v2 save alone, and both tags saved together as "Updat All" does.
TagWriter ID3v2Writer() {
    static const Bytes audio = PatternBytes(kAudioSize, 11);
    // Two tags of different sizes take turns, so every trial changes the file.
    static TID3v2 tags[2];
    tags[0].SetTitle("first");
    tags[1].SetTitle(std::string(3000, 'b'));
    tags[1].SetComment("second");
    return {"ID3v2", [](int state, const std::string& path) { return TID3v2(tags[state]).Save(path); },
            [](int state) { return Concat(ToBytes(tags[state].BuildTag()), audio); }};
}

TagWriter BothTagsWriter() {
    static const Bytes audio = PatternBytes(kAudioSize, 12);
    static TID3v1 v1[2];
    static TID3v2 v2[2];
    v1[0].SetTitle("one");
    v1[1].SetTitle("two");
    v2[0].SetTitle("first");
    v2[1].SetTitle(std::string(3000, 'b'));
    return {"BothTags",
            [](int state, const std::string& path) {
                bool v1Written = false;
                return SaveBothTags(path, v1[state], v2[state], v1Written) && v1Written;
            },
            [](int state) {
                const auto block = v1[state].BuildBlock();
                return Concat(Concat(ToBytes(v2[state].BuildTag()), audio), Bytes(block.begin(), block.end()));
            }};
}

TEST_P(SaveInterrupted, TheFileIsAlwaysTheOldOrTheNewContent) {
    const TagWriter& writer = GetParam();
    TempDir dir;
    const Bytes contents[2] = {writer.content(0), writer.content(1)};
    const std::string path = dir.write("big.mp3", contents[0]);
    const auto save = [&](int state) { return writer.save(state, path); };

    // The kill moments spread over the whole length of a save.
    const auto started = Clock::now();
    ASSERT_TRUE(save(1));
    ASSERT_TRUE(save(0));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started) / 2;
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, saveTime.count() * 13 / 10);

    int current = 0;
    int keptOld = 0;
    int gotNew = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const int target = 1 - current;
        const bool finished = SaveKilledAfter([&] { return save(target); }, std::chrono::microseconds(delay(random)));
        const int held = WhichContent(path, contents);
        const bool isNew = held == target;
        ASSERT_TRUE(held == current || isNew) << "trial " << trial << ", seed " << seed;
        ASSERT_TRUE(isNew || !finished) << "a finished save must have replaced the file";
        (isNew ? gotNew : keptOld)++;
        if (isNew)
            current = target;
    }
    // On a busy machine the random moments may all fall on one side of the
    // rename; one kill at once and one long wait show both sides exist.
    const auto extraTrial = [&](std::chrono::microseconds wait) {
        const int target = 1 - current;
        SaveKilledAfter([&] { return save(target); }, wait);
        const int held = WhichContent(path, contents);
        ASSERT_TRUE(held == current || held == target) << "extra trial, seed " << seed;
        (held == target ? gotNew : keptOld)++;
        current = held;
    };
    if (keptOld == 0)
        extraTrial(std::chrono::microseconds(0));
    if (gotNew == 0)
        extraTrial(std::chrono::seconds(10));
    std::cout << writer.name << ": save time " << saveTime.count() << " us; " << keptOld
              << " trials kept the old file, " << gotNew << " got the new one (seed " << seed << ")\n";
    EXPECT_GT(keptOld, 0) << "no kill landed before the rename";
    EXPECT_GT(gotNew, 0) << "no save got through";

    // A temporary file left by a killed save does not stand in the way.
    ASSERT_TRUE(save(1 - current));
    EXPECT_EQ(ReadFileBytes(path), contents[1 - current]);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "big.mp3") << "a name left beside the file";
}

INSTANTIATE_TEST_SUITE_P(Writers, SaveInterrupted, ::testing::Values(ID3v2Writer(), BothTagsWriter()),
                         [](const auto& writer) { return std::string(writer.param.name); });

} // namespace
} // namespace tindrel
