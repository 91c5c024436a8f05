// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tindrel {

// The journal of a change made to some bytes of a file in the file itself
// (a new gain in every audio frame): for each changed run its place, the
// bytes it held and the bytes it is to hold. It is complete and on disk
// before the file is touched, so a writer killed halfway leaves every run
// holding, byte for byte, its old or its new content; writing all the new
// bytes again then finishes the change. A run that holds anything else
// tells that the file was written since, and the journal is dropped.
//
// The runs come one after the other (offset, old length, new length, old
// bytes, new bytes), in the order of their offsets, followed by a trailer
// as long as the trailer of a whole-content journal, each with its own
// mark, so a sweep tells the two apart.
class ChangeJournal {
public:
    // Writes to the empty journal file fd, for a target of oldSize bytes;
    // path is the journal's name in messages.
    ChangeJournal(int fd, int64_t oldSize, std::string path);

    // Adds a run; only the last run may change its length, and only when
    // it reaches the target's end (a tag behind the audio that grows or
    // shrinks). Throws std::invalid_argument for a run before the end of
    // the last one or past the target's end, and StreamWriteError naming
    // the journal and the system's reason when it cannot be written.
    void add(int64_t offset, std::span<const uint8_t> old, std::span<const uint8_t> now);
    // Writes what is buffered and the trailer naming the target and flushes
    // the journal to disk; throws StreamWriteError as add does.
    void finish(const struct stat& target);
    bool empty() const { return m_runs == 0; }
    int64_t newSize() const { return m_newSize; }

private:
    void flush();
    [[noreturn]] void fail() const;

    int m_fd;
    std::string m_path;
    int64_t m_oldSize;
    int64_t m_newSize;
    int64_t m_end = 0;
    int64_t m_runs = 0;
    int64_t m_written = 0;
    bool m_resized = false;
    std::vector<uint8_t> m_buffer;
};

// Whether the journal file of size bytes records changes in place.
bool IsChangeJournal(int journal, int64_t size);
// Whether target is the file the journal was written for, as the change
// left it: the same file, of its old or new length or in between, every
// run of unchanged length holding its old or new byte at each place.
bool LeftByTheChanges(int journal, int64_t size, int target);
// Writes every run's new bytes into target, gives it its new length and
// flushes it; observer (when given) is called after each block written
// with the offset reached. False on any read or write error.
bool ApplyChanges(int journal, int64_t size, int target, void (*observer)(int64_t));

} // namespace tindrel
