// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tindrel {

// A stretch of the source's timeline, [StartMs, EndMs) in milliseconds.
struct EditRange {
    int64_t StartMs = 0;
    int64_t EndMs = 0;
    bool operator==(const EditRange&) const = default;
};

enum class EditKind { Delete, Keep, Gain, FadeIn, FadeOut };

// One step of an edit. Every time is on the source's timeline, whatever
// came before, so that a list reads the same in any order and a removed
// range never moves the ones after it.
struct EditOperation {
    EditKind Kind = EditKind::Delete;
    // Keep may name several ranges (all of them stay); the others one.
    std::vector<EditRange> Ranges;
    // Gain: whole steps of 1.5 dB, the unit of a frame's global gain.
    int GainSteps = 0;
    bool operator==(const EditOperation&) const = default;
};

// A gain applied to a stretch of the source, in 1.5 dB steps: constant for
// a level, ramping for a fade.
struct GainSpan {
    EditRange Range;
    int Steps = 0;         // level: the steps over the whole range
    int FadeFromSteps = 0; // fade: steps at the range's start ...
    int FadeToSteps = 0;   // ... and at its end
    bool Fade = false;
    // The steps at ms within the range, rounded to whole steps.
    int StepsAt(int64_t ms) const;
};

// How deep a fade reaches below the level: 40 steps of 1.5 dB, 60 dB, where
// speech and music are gone into the noise of any room.
inline constexpr int kFadeSteps = 40;

// The edits of one source: applied on save, never to the source itself,
// with undo and redo without limit.
class EditList {
public:
    // Adds op; what was undone can no longer be redone.
    void Apply(EditOperation op);
    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_operations.size(); }
    bool Undo();
    bool Redo();
    // The operations in force (the undone ones left out), in the order made.
    std::vector<EditOperation> Operations() const;
    bool Empty() const { return m_done == 0; }

    // The ranges of a source of lengthMs that stay, in time order, none
    // empty: what no Delete removes and every Keep keeps.
    std::vector<EditRange> KeptRanges(int64_t lengthMs) const;
    // The gains in force, in the order made; where they overlap their steps
    // add up.
    std::vector<GainSpan> Gains() const;

    // One operation a line, times as time text:
    //   delete 00:10.000-00:12.500
    //   keep 00:05.000-01:00.000 01:10.000-02:00.000
    //   gain 00:20.000-00:30.000 -6.0
    //   fade-in 00:00.000-00:05.000
    //   fade-out 02:50.000-03:00.000
    // Blank lines and lines starting with "#" are skipped when read.
    std::string ToText() const;
    // Throws std::runtime_error("Line <n> of the edit list: <why>").
    static EditList FromText(const std::string& text);
    // Through the one safe write path: the old list stays until the new one
    // is complete. Throw as AtomicFile and FileStream do.
    void Save(const std::string& path) const;
    static EditList Load(const std::string& path);

private:
    std::vector<EditOperation> m_operations;
    std::size_t m_done = 0; // operations [0, m_done) are in force
};

// Reads "A-B" (two time texts) into a range; throws std::runtime_error
// naming the text when it is no range or B is not after A.
EditRange ParseEditRange(const std::string& text);
// The steps of a gain in dB, rounded to whole 1.5 dB steps.
int GainStepsOf(double db);

} // namespace tindrel
