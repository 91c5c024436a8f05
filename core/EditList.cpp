// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EditList.h"

#include "core/TimeText.h"
#include "platform/AtomicFile.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace tindrel {

namespace {

struct KindName {
    EditKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {{EditKind::Delete, "delete"},
                                   {EditKind::Keep, "keep"},
                                   {EditKind::Gain, "gain"},
                                   {EditKind::FadeIn, "fade-in"},
                                   {EditKind::FadeOut, "fade-out"}};

const char* nameOf(EditKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind)
            return k.name;
    return "";
}

std::string rangeText(const EditRange& r) {
    return FormatTimeText(double(r.StartMs) / 1000.0) + "-" + FormatTimeText(double(r.EndMs) / 1000.0);
}

// Ranges in time order with overlapping and touching ones merged.
std::vector<EditRange> merged(std::vector<EditRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const EditRange& a, const EditRange& b) { return a.StartMs < b.StartMs; });
    std::vector<EditRange> out;
    for (const EditRange& r : ranges) {
        if (r.EndMs <= r.StartMs)
            continue;
        if (!out.empty() && r.StartMs <= out.back().EndMs)
            out.back().EndMs = std::max(out.back().EndMs, r.EndMs);
        else
            out.push_back(r);
    }
    return out;
}

std::vector<EditRange> intersected(const std::vector<EditRange>& a, const std::vector<EditRange>& b) {
    std::vector<EditRange> out;
    for (const EditRange& x : a)
        for (const EditRange& y : b) {
            const EditRange r{std::max(x.StartMs, y.StartMs), std::min(x.EndMs, y.EndMs)};
            if (r.EndMs > r.StartMs)
                out.push_back(r);
        }
    return merged(out);
}

std::vector<EditRange> without(const std::vector<EditRange>& kept, const EditRange& removed) {
    return intersected(kept, {{INT64_MIN, removed.StartMs}, {removed.EndMs, INT64_MAX}});
}

EditOperation parseLine(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    EditOperation op;
    const auto known =
        std::find_if(std::begin(kKindNames), std::end(kKindNames), [&](const KindName& k) { return word == k.name; });
    if (known == std::end(kKindNames))
        throw std::runtime_error("\"" + word + "\" is no edit (delete, keep, gain, fade-in or fade-out)");
    op.Kind = known->kind;
    std::vector<std::string> rest;
    while (words >> word)
        rest.push_back(word);
    const std::size_t ranges = op.Kind == EditKind::Keep ? rest.size() : 1;
    const std::size_t wanted = op.Kind == EditKind::Gain ? 2 : ranges;
    if (rest.empty() || rest.size() != wanted)
        throw std::runtime_error(std::string("\"") + known->name + "\" takes " +
                                 (op.Kind == EditKind::Gain   ? "a range and a gain in dB"
                                  : op.Kind == EditKind::Keep ? "one range or more"
                                                              : "one range"));
    for (std::size_t i = 0; i < ranges; ++i)
        op.Ranges.push_back(ParseEditRange(rest[i]));
    if (op.Kind == EditKind::Gain) {
        char* end = nullptr;
        const double db = std::strtod(rest[1].c_str(), &end);
        if (end == rest[1].c_str() || *end != '\0' || !std::isfinite(db))
            throw std::runtime_error("\"" + rest[1] + "\" is no gain in dB");
        op.GainSteps = GainStepsOf(db);
    }
    return op;
}

} // namespace

int GainSpan::StepsAt(int64_t ms) const {
    if (!Fade)
        return Steps;
    const int64_t length = std::max<int64_t>(1, Range.EndMs - Range.StartMs);
    const double f = std::clamp(double(ms - Range.StartMs) / double(length), 0.0, 1.0);
    return int(std::lround(FadeFromSteps + f * (FadeToSteps - FadeFromSteps)));
}

int GainStepsOf(double db) {
    return int(std::lround(std::clamp(db, -255 * 1.5, 255 * 1.5) / 1.5));
}

EditRange ParseEditRange(const std::string& text) {
    const auto dash = text.find('-', 1);
    const auto ms = [](const std::string& t) {
        // Plain seconds ("90.5") are read as well as time text.
        const double s = ParseTimeSeconds(t.find(':') == std::string::npos ? "0:" + t : t);
        return s < 0 ? -1 : int64_t(std::llround(s * 1000.0));
    };
    if (dash != std::string::npos) {
        const EditRange r{ms(text.substr(0, dash)), ms(text.substr(dash + 1))};
        if (r.StartMs >= 0 && r.EndMs > r.StartMs)
            return r;
    }
    throw std::runtime_error("\"" + text +
                             "\" is no range of the form mm:ss.mmm-mm:ss.mmm with its end after its start");
}

void EditList::Apply(EditOperation op) {
    m_operations.resize(m_done);
    m_operations.push_back(std::move(op));
    m_done = m_operations.size();
}

bool EditList::Undo() {
    if (!CanUndo())
        return false;
    --m_done;
    return true;
}

bool EditList::Redo() {
    if (!CanRedo())
        return false;
    ++m_done;
    return true;
}

std::vector<EditOperation> EditList::Operations() const {
    return {m_operations.begin(), m_operations.begin() + long(m_done)};
}

std::vector<EditRange> EditList::KeptRanges(int64_t lengthMs) const {
    std::vector<EditRange> kept = merged({{0, lengthMs}});
    for (std::size_t i = 0; i < m_done; ++i) {
        const EditOperation& op = m_operations[i];
        if (op.Kind == EditKind::Delete)
            for (const EditRange& r : op.Ranges)
                kept = without(kept, r);
        else if (op.Kind == EditKind::Keep)
            kept = intersected(kept, merged(op.Ranges));
    }
    return kept;
}

std::vector<GainSpan> EditList::Gains() const {
    std::vector<GainSpan> gains;
    for (std::size_t i = 0; i < m_done; ++i) {
        const EditOperation& op = m_operations[i];
        if (op.Ranges.empty())
            continue;
        GainSpan span;
        span.Range = op.Ranges.front();
        if (op.Kind == EditKind::Gain)
            span.Steps = op.GainSteps;
        else if (op.Kind == EditKind::FadeIn)
            span = {span.Range, 0, -kFadeSteps, 0, true};
        else if (op.Kind == EditKind::FadeOut)
            span = {span.Range, 0, 0, -kFadeSteps, true};
        else
            continue;
        gains.push_back(span);
    }
    return gains;
}

std::string EditList::ToText() const {
    std::string text;
    for (std::size_t i = 0; i < m_done; ++i) {
        const EditOperation& op = m_operations[i];
        text += nameOf(op.Kind);
        for (const EditRange& r : op.Ranges)
            text += " " + rangeText(r);
        if (op.Kind == EditKind::Gain) {
            char db[32];
            std::snprintf(db, sizeof db, " %.1f", op.GainSteps * 1.5);
            text += db;
        }
        text += "\n";
    }
    return text;
}

EditList EditList::FromText(const std::string& text) {
    EditList list;
    std::istringstream lines(text);
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        try {
            list.Apply(parseLine(line));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error("Line " + std::to_string(n) + " of the edit list: " + error.what());
        }
    }
    return list;
}

void EditList::Save(const std::string& path) const {
    AtomicFile file = AtomicFile::Create(path);
    const std::string text = "# Tindrel edit list: times on the source's timeline\n" + ToText();
    file.stream().writeAll(text.data(), text.size());
    file.Commit();
}

EditList EditList::Load(const std::string& path) {
    FileStream file = FileStream::openRead(path);
    std::string text(std::size_t(file.size()), '\0');
    file.readExact(text.data(), text.size());
    return FromText(text);
}

} // namespace tindrel
