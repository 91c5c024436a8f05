// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// One frame of an ID3v2 tag in the form version 2.3 gives it: a frame read
// from a version 2.2 or 2.4 tag is converted on reading, so that Tindrel
// writes every frame it keeps into the version 2.3 tag it saves.
struct ID3v2Frame {
    std::string id;     // four characters
    uint16_t flags = 0; // the two flag bytes of version 2.3
    std::string data;   // the content, with the extra fields its flags announce first

    // Compressed or encrypted content cannot be read as text.
    bool Opaque() const { return (flags & kOpaqueFlags) != 0; }
    // The content behind a group byte; meaningful only when not Opaque().
    std::string_view Content() const {
        const std::size_t extra = (flags & kGrouped) ? 1 : 0;
        return std::string_view(data).substr(std::min(extra, data.size()));
    }

    static constexpr uint16_t kCompressed = 0x0080;
    static constexpr uint16_t kEncrypted = 0x0040;
    static constexpr uint16_t kGrouped = 0x0020;
    static constexpr uint16_t kOpaqueFlags = kCompressed | kEncrypted;
};

// The frames of a whole tag as it stands in a file (header included) of
// major version 2, 3 or 4: unsynchronisation undone, an extended header
// skipped, frames converted to version 2.3. The walk ends at padding, at a
// frame that runs past the tag, or at the end. A frame that version 2.3
// cannot hold is left out, and its ID (as the tag names it) is added to
// dropped when given.
std::vector<ID3v2Frame> ParseID3v2Frames(std::string_view tag, std::vector<std::string>* dropped = nullptr);
// The same for the tag at the start of the open file fd, given its first
// 10 bytes and its whole size (TagHeader::TagSize): the frames are read as
// the walk reaches them, a large frame's content straight into its frame,
// so that the tag is not also held whole beside them. Throws
// std::runtime_error("Stream read error") when the file cannot be read.
std::vector<ID3v2Frame> ReadID3v2Frames(int fd, std::string_view header, std::size_t tagSize,
                                        std::vector<std::string>* dropped = nullptr);

// The version 2.3 bytes of a frame: header and content.
std::string ID3v2FrameBytes(const ID3v2Frame& frame);
// The version 2.3 header of a frame alone (ID, size, flags), for a writer
// that writes the content from where the frame holds it.
std::string ID3v2FrameHeader(const ID3v2Frame& frame);

// The values of a text frame's content (encoding byte first) as UTF-8,
// joined by "/" where the frame holds several, as version 2.3 writes them.
std::string TextFrameValue(std::string_view data);

// The description and the text of a comment frame's content (encoding
// byte, language, description, text) as UTF-8.
void CommentParts(std::string_view data, std::string& description, std::string& text);

// The description and the value of a user text frame's (TXXX) content as
// UTF-8.
void UserTextParts(std::string_view data, std::string& description, std::string& value);
// A user text frame's content: ISO-8859-1 when it can hold both texts, else
// UTF-16.
std::string UserTextData(std::string_view description, std::string_view value);

// A text frame's content for a UTF-8 text: ISO-8859-1 when it can hold the
// text, else UTF-16.
std::string TextFrameData(std::string_view utf8);

} // namespace tindrel
