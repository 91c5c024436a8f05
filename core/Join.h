// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tindrel {

class FileStream;

// The body of an input is fixed by position alone: the first 2,000 bytes and
// the last 128 bytes (the size of an ID3v1 tag, present or not) are dropped.
inline constexpr int64_t kJoinHeadBytes = 2000;
inline constexpr int64_t kJoinTailBytes = 128;
// Bodies are streamed rather than held whole, so a join needs about this much
// memory however large its inputs are.
inline constexpr std::size_t kJoinBlockBytes = 1024 * 1024;

enum class JoinStatus { Ready, Done, Stopped };
enum class JoinResult { Completed, Stopped };

const char* JoinStatusText(JoinStatus status);

// What a join needs from the page while it runs.
class JoinObserver {
public:
    virtual ~JoinObserver() = default;
    // Lets queued window events run (the Stop button is seen here).
    virtual void letEventsRun() = 0;
    virtual bool stopRequested() = 0;
    virtual void setStatus(std::size_t row, JoinStatus status) = 0;
    // Whether a stopped join puts what it wrote in place; when not, the
    // output name keeps what it held before.
    virtual bool stopKeepsOutput() const { return true; }
};

// The number of body bytes of an input of the given size; inputs of 2,128
// bytes or fewer have none and contribute nothing.
int64_t JoinBodySize(int64_t fileSize);

// Appends the body of input to output. Throws "Cannot open file ..." when the
// input cannot be opened and "Stream read error" when it shrinks meanwhile.
void AppendJoinBody(const std::string& input, FileStream& output);

// Bytes: the inputs' bodies, cut by position. Exact: their audio frames,
// their own Xing/Info frames left out, behind one new Xing/Info frame whose
// delay and padding cover the whole; an input that continues the audio
// before it (the next piece of an exact split) joins without a seam.
enum class JoinMode { Bytes, Exact };

// Writes output from inputs, one after another, reporting each row's
// status. A completed or stopped join puts the output in place; an error is
// thrown to the caller and leaves any earlier file of that name as it was.
// Exact mode first reads every input's first frames and throws, before the
// output is created, a message naming the inputs that hold no MPEG audio or
// differ from the first in sample rate, channels or MPEG version.
JoinResult RunJoin(const std::vector<std::string>& inputs, const std::string& output, JoinObserver& observer,
                   JoinMode mode = JoinMode::Bytes);

// The first input that is the very file named by output (compared by
// identity, not by spelling), if any: writing there would empty it before it
// is read.
// What the join list shows of an input: its length, bit rate, sample rate
// and channels, from the analysis of its headers (valid false when no MPEG
// audio was found).
struct JoinInputFacts {
    bool valid = false;
    int64_t lengthMs = 0;
    int kbps = 0;
    int sampleRate = 0;
    bool mono = false;
};
JoinInputFacts DescribeJoinInput(const std::string& path);

// Why an input does not go with the first one (a joined file changes format
// at the seam, and most players break there), or empty when it does.
std::string JoinMismatch(const JoinInputFacts& first, const JoinInputFacts& input);

std::optional<std::size_t> FindInputSameAs(const std::vector<std::string>& inputs, const std::string& output);

} // namespace tindrel
