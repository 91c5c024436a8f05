// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// One item of an APEv2 tag: a key, its flags word and its value as stored.
struct APEv2Item {
    std::string key;
    uint32_t flags = 0;
    std::string value;
};

// An APEv2 tag at the end of an MP3 file, before an ID3v1 block if there is
// one. Tindrel keeps its gain undo record there, where the other MP3 gain
// tools read and write theirs; items it does not own stay as they were.
class TAPEv2 {
public:
    static constexpr std::size_t kFooterSize = 32;

    // Looks for a tag whose footer ends at end (the file's end, or the start
    // of its ID3v1 block) in the open file fd. False (and no tag) when there
    // is none or its sizes do not fit the file.
    bool Load(int fd, int64_t end);

    bool Exists() const { return m_exists; }
    // Where the whole tag (header, items, footer) stands in the file.
    int64_t Offset() const { return m_offset; }
    int64_t Size() const { return m_size; }
    const std::vector<APEv2Item>& Items() const { return m_items; }

    // The value of the item whose key matches, ignoring case; empty when
    // there is none.
    std::string Value(std::string_view key) const;
    // Replaces the value of the matching item in its place, or adds the item
    // at the end.
    void SetValue(std::string_view key, const std::string& value);
    void Remove(std::string_view key);

    // The tag with a header and a footer, as version 2000 writes it; empty
    // when there are no items.
    std::string Build() const;

private:
    bool m_exists = false;
    int64_t m_offset = 0;
    int64_t m_size = 0;
    std::vector<APEv2Item> m_items;
};

} // namespace tindrel
