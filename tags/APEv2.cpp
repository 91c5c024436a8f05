// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/APEv2.h"

#include "tags/TagFile.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace tindrel {
namespace {

constexpr char kPreamble[] = "APETAGEX";
constexpr uint32_t kVersion = 2000;
constexpr uint32_t kHasHeader = 0x80000000u;
constexpr uint32_t kIsHeader = 0x20000000u;
// A tag larger than this is taken for damage rather than read.
constexpr uint32_t kLargestTag = 16u << 20;

uint32_t little32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putLittle32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char(value >> (8 * i) & 0xFF));
}

bool sameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string headerOrFooter(uint32_t itemsSize, uint32_t count, bool header) {
    std::string out(kPreamble, 8);
    putLittle32(out, kVersion);
    putLittle32(out, itemsSize + TAPEv2::kFooterSize);
    putLittle32(out, count);
    putLittle32(out, kHasHeader | (header ? kIsHeader : 0));
    out.append(8, '\0');
    return out;
}

// The items of a tag body; false when one runs past the body.
bool parseItems(const std::vector<uint8_t>& body, uint32_t count, std::vector<APEv2Item>& items) {
    std::size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (body.size() - at < 9)
            return false;
        const uint32_t size = little32(&body[at]);
        const uint32_t flags = little32(&body[at + 4]);
        const auto keyEnd = std::find(body.begin() + long(at + 8), body.end(), 0);
        if (keyEnd == body.end() || std::size_t(body.end() - keyEnd - 1) < size)
            return false;
        APEv2Item item{std::string(body.begin() + long(at + 8), keyEnd), flags, {}};
        item.value.assign(keyEnd + 1, keyEnd + 1 + long(size));
        at = std::size_t(keyEnd - body.begin()) + 1 + size;
        items.push_back(std::move(item));
    }
    return true;
}

} // namespace

bool TAPEv2::Load(int fd, int64_t end) {
    *this = TAPEv2();
    uint8_t footer[kFooterSize];
    if (end < int64_t(kFooterSize) || !tagfile::ReadAt(fd, footer, kFooterSize, end - int64_t(kFooterSize)) ||
        std::memcmp(footer, kPreamble, 8) != 0)
        return false;
    const uint32_t tagSize = little32(footer + 12);
    const uint32_t count = little32(footer + 16);
    const bool header = (little32(footer + 20) & kHasHeader) != 0;
    const int64_t whole = int64_t(tagSize) + (header ? int64_t(kFooterSize) : 0);
    if (tagSize < kFooterSize || tagSize > kLargestTag || whole > end)
        return false;
    std::vector<uint8_t> body(tagSize - kFooterSize);
    if (!tagfile::ReadAt(fd, body.data(), body.size(), end - int64_t(tagSize)))
        return false;
    std::vector<APEv2Item> items;
    if (!parseItems(body, count, items))
        return false;
    m_exists = true;
    m_offset = end - whole;
    m_size = whole;
    m_items = std::move(items);
    return true;
}

std::string TAPEv2::Value(std::string_view key) const {
    for (const APEv2Item& item : m_items)
        if (sameKey(item.key, key))
            return item.value;
    return {};
}

void TAPEv2::SetValue(std::string_view key, const std::string& value) {
    for (APEv2Item& item : m_items) {
        if (sameKey(item.key, key)) {
            item.value = value;
            return;
        }
    }
    m_items.push_back({std::string(key), 0, value});
}

void TAPEv2::Remove(std::string_view key) {
    std::erase_if(m_items, [&](const APEv2Item& item) { return sameKey(item.key, key); });
}

std::string TAPEv2::Build() const {
    if (m_items.empty())
        return {};
    std::string items;
    for (const APEv2Item& item : m_items) {
        putLittle32(items, uint32_t(item.value.size()));
        putLittle32(items, item.flags);
        items += item.key;
        items.push_back('\0');
        items += item.value;
    }
    const uint32_t count = uint32_t(m_items.size());
    return headerOrFooter(uint32_t(items.size()), count, true) + items +
           headerOrFooter(uint32_t(items.size()), count, false);
}

} // namespace tindrel
