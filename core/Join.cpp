// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Join.h"

#include "core/ExactCut.h"
#include "mpeg/MPEGFrame.h"
#include "mpeg/MPEGaudio.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"

#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace tindrel {

JoinInputFacts DescribeJoinInput(const std::string& path) {
    TMPEGaudio audio;
    audio.Analyze(path);
    JoinInputFacts facts;
    facts.valid = audio.IsValid();
    if (!facts.valid)
        return facts;
    facts.lengthMs = static_cast<int64_t>(std::llround(audio.Duration() * 1000.0));
    facts.kbps = audio.BitRate();
    facts.sampleRate = audio.SampleRate();
    facts.mono = audio.FirstFrame().ModeCode == 3;
    return facts;
}

std::string JoinMismatch(const JoinInputFacts& first, const JoinInputFacts& input) {
    if (!input.valid)
        return "no MPEG audio was found in this file";
    if (!first.valid)
        return {};
    if (input.sampleRate != first.sampleRate)
        return "sample rate " + std::to_string(input.sampleRate) + " Hz, the first file has " +
               std::to_string(first.sampleRate) + " Hz";
    if (input.mono != first.mono)
        return std::string(input.mono ? "mono" : "stereo") + ", the first file is " + (first.mono ? "mono" : "stereo");
    return {};
}

const char* JoinStatusText(JoinStatus status) {
    switch (status) {
    case JoinStatus::Ready:
        return "Ready";
    case JoinStatus::Done:
        return "Done";
    case JoinStatus::Stopped:
        return "Stopped";
    }
    return "";
}

int64_t JoinBodySize(int64_t fileSize) {
    const int64_t body = fileSize - kJoinHeadBytes - kJoinTailBytes;
    return body > 0 ? body : 0;
}

void AppendJoinBody(const std::string& input, FileStream& output) {
    FileStream source = FileStream::openRead(input);
    const int64_t body = JoinBodySize(source.size());
    if (body == 0)
        return;
    source.seek(kJoinHeadBytes);
    output.copyFrom(source, body, kJoinBlockBytes);
}

namespace {

// Refuses, before the output is created, inputs that cannot be joined
// frame by frame. Their first frames tell: each input is walked whole only
// when its turn comes, so that its frames are still in the cache when they
// are copied.
void checkInputs(const std::vector<std::string>& inputs) {
    std::vector<TFrameWalk> starts;
    for (const std::string& input : inputs)
        starts.push_back(WalkSource(FileStream::openRead(input), TStreamTime{0, 1000}));
    if (const auto refusal = ExactJoinRefusal(inputs, starts))
        throw std::runtime_error(*refusal);
}

} // namespace

JoinResult RunJoin(const std::vector<std::string>& inputs, const std::string& output, JoinObserver& observer,
                   JoinMode mode) {
    if (mode == JoinMode::Exact)
        checkInputs(inputs);
    // The output takes its name only when the join ends, so an error or a
    // crash half-way never leaves a half-written file where the user's file
    // of that name was. A stopped join is an ending: it keeps what it wrote.
    // A Stop before the first input is copied leaves an earlier file of that
    // name as it was: an empty output in its place would only lose it.
    std::error_code unseen;
    const bool replacesAFile = std::filesystem::exists(std::filesystem::symlink_status(output, unseen));
    bool wroteAny = false;
    AtomicFile out = AtomicFile::Create(output);
    std::optional<ExactJoiner> joiner;
    if (mode == JoinMode::Exact)
        joiner.emplace(out.stream());
    const auto commit = [&] {
        if (joiner)
            joiner->Finish();
        out.Commit();
    };
    // Each row lets window events run once per pass; a Stop seen then marks
    // the row and ends the join with what was written.
    const auto stoppedAt = [&](std::size_t row) {
        observer.letEventsRun();
        if (!observer.stopRequested())
            return false;
        observer.setStatus(row, JoinStatus::Stopped);
        if (observer.stopKeepsOutput() && (wroteAny || !replacesAFile))
            commit();
        return true;
    };
    for (std::size_t row = 0; row < inputs.size(); ++row) {
        if (stoppedAt(row))
            return JoinResult::Stopped;
        observer.setStatus(row, JoinStatus::Ready);
    }
    for (std::size_t row = 0; row < inputs.size(); ++row) {
        if (stoppedAt(row))
            return JoinResult::Stopped;
        if (joiner) {
            FileStream input = FileStream::openRead(inputs[row]);
            joiner->Append(input, WalkSource(input));
        } else {
            AppendJoinBody(inputs[row], out.stream());
        }
        wroteAny = true;
        observer.setStatus(row, JoinStatus::Done);
    }
    commit();
    return JoinResult::Completed;
}

std::optional<std::size_t> FindInputSameAs(const std::vector<std::string>& inputs, const std::string& output) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (SameFile(inputs[i], output))
            return i;
    }
    return std::nullopt;
}

} // namespace tindrel
