// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v2.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/FolderEntry.h"
#include "platform/PlatformInt.h"
#include "tags/ID3v1.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

using tagfile::ReadAt;
using tagfile::Trim;
using tagfile::TrimRight;
using tagfile::UniqueFd;

namespace {

constexpr uint8_t kWrittenMajorVersion = 3;
constexpr uint8_t kFooterFlag = 0x10;
// The language of a comment that was not loaded with one.
constexpr std::string_view kCommentLanguage = "eng";
constexpr int64_t kFooterSize = 10;
// A synchsafe size has 28 bits.
constexpr std::size_t kLargestTagBody = (std::size_t(1) << 28) - 1;
constexpr std::size_t kFrameHeaderSize = 10; // ID, size, flags

enum Frame : std::size_t { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment };

std::size_t frameIndex(std::string_view id) {
    return static_cast<std::size_t>(std::find(FrameIDs.begin(), FrameIDs.end(), id) - FrameIDs.begin());
}

void appendSynchsafe(std::string& out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7)
        out.push_back(static_cast<char>((value >> shift) & 0x7F));
}

void appendFrame(std::string& tag, std::string_view id, const std::string& data) {
    if (data.empty())
        return;
    tag.append(ID3v2FrameBytes({std::string(id), 0, data}));
}

// The kernel copies in blocks of this size; only a fallback copy between
// file systems that cannot copy in the kernel holds one block in memory.
constexpr std::size_t kCopyBlock = std::size_t(1) << 20;

} // namespace

int32_t TagHeader::TagSize() const {
    // The size bytes are taken as they stand: a set top bit is not masked, so
    // a malformed size grows rather than wraps. A version 2.4 footer repeats
    // the header behind the tag and is not counted in its size.
    const bool hasFooter = bytes[3] == 4 && (bytes[5] & kFooterFlag) != 0;
    const int64_t size = int64_t(bytes[6]) * (1 << 21) + int64_t(bytes[7]) * (1 << 14) + int64_t(bytes[8]) * (1 << 7) +
                         int64_t(bytes[9]) + int64_t(TID3v2::kHeaderSize) + (hasFooter ? kFooterSize : 0);
    return size > fileSize ? 0 : static_cast<int32_t>(size);
}

namespace {

// Not blocking: a named pipe given as a file answers at once.
UniqueFd openForReading(const std::string& fileName, int64_t& fileSize) {
    UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.valid() && ::fstat(fd.get(), &st) != 0)
        fd.reset();
    fileSize = st.st_size;
    return fd;
}

bool readTagHeader(int fd, int64_t fileSize, TagHeader& header) {
    header.fileSize = fileSize;
    return ReadAt(fd, header.bytes.data(), header.bytes.size(), 0);
}

} // namespace

bool ReadTagHeader(const std::string& fileName, TagHeader& header) {
    int64_t fileSize = 0;
    const UniqueFd fd = openForReading(fileName, fileSize);
    return fd.valid() && readTagHeader(fd.get(), fileSize, header);
}

uint8_t ParseTrackNumber(const std::string& text) {
    const std::string trimmed = Trim(text);
    const std::string_view number = std::string_view(trimmed).substr(0, trimmed.find('/'));
    int32_t value = 0;
    if (!TryParsePlatformInt(std::string(number), value))
        return 0;
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
}

std::string StripGenrePrefix(const std::string& text) {
    const std::string trimmed = Trim(text);
    const std::size_t close = trimmed.rfind(')');
    return close == std::string::npos ? trimmed : trimmed.substr(close + 1);
}

void TID3v2::Clear() {
    m_exists = false;
    m_majorVersion = 0;
    m_tagSize = 0;
    m_title.clear();
    m_artist.clear();
    m_album.clear();
    m_track = 0;
    m_trackText.clear();
    m_year.clear();
    m_genre.clear();
    m_genreText.clear();
    m_comment.clear();
    m_commentLanguage = kCommentLanguage;
    m_commentDescription.clear();
    m_otherFrames.clear();
    m_droppedFrames.clear();
}

namespace {

// The kept user text frame of that description, if any.
template <typename Frames> auto findUserText(Frames& frames, std::string_view description) {
    return std::find_if(frames.begin(), frames.end(), [&](const ID3v2Frame& frame) {
        std::string found, value;
        if (frame.id != "TXXX" || frame.Opaque())
            return false;
        UserTextParts(frame.Content(), found, value);
        return found.size() == description.size() &&
               std::equal(found.begin(), found.end(), description.begin(),
                          [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); });
    });
}

} // namespace

std::string TID3v2::UserText(std::string_view description) const {
    const auto frame = findUserText(m_otherFrames, description);
    std::string found, value;
    if (frame != m_otherFrames.end())
        UserTextParts(frame->Content(), found, value);
    return value;
}

void TID3v2::SetUserText(std::string_view description, std::string_view value) {
    const auto frame = findUserText(m_otherFrames, description);
    if (frame == m_otherFrames.end()) {
        m_otherFrames.push_back({"TXXX", 0, UserTextData(description, value)});
        return;
    }
    // A group byte stays in front of the new content.
    const std::string group = (frame->flags & ID3v2Frame::kGrouped) ? frame->data.substr(0, 1) : std::string();
    frame->data = group + UserTextData(description, value);
}

bool TID3v2::Load(const std::string& fileName) {
    Clear();
    // One open serves the header and the frames.
    int64_t fileSize = 0;
    const UniqueFd fd = openForReading(fileName, fileSize);
    return fd.valid() && load(fd.get(), fileSize);
}

bool TID3v2::Load(const FileStream& file) {
    Clear();
    struct stat st {};
    return file.isOpen() && ::fstat(file.fd(), &st) == 0 && load(file.fd(), st.st_size);
}

bool TID3v2::load(int fd, int64_t fileSize) {
    TagHeader header;
    if (!readTagHeader(fd, fileSize, header))
        return false;
    const std::string_view head(reinterpret_cast<const char*>(header.bytes.data()), header.bytes.size());
    LoadTag(head, fileSize);
    if (!m_exists || m_tagSize <= int32_t(kHeaderSize))
        return true;
    try {
        takeFields(ReadID3v2Frames(fd, head, std::size_t(m_tagSize), &m_droppedFrames));
    } catch (const std::exception&) {
        // Unreadable frames, or a tag too large to hold, leave the fields
        // empty.
        LoadTag(head, fileSize);
    }
    return true;
}

void TID3v2::LoadTag(std::string_view bytes, int64_t fileSize) {
    Clear();
    TagHeader header;
    header.fileSize = fileSize;
    std::copy_n(bytes.begin(), std::min(bytes.size(), header.bytes.size()), header.bytes.begin());
    if (bytes.size() < kHeaderSize || !header.StartsWithTag())
        return;
    m_exists = true;
    m_majorVersion = header.bytes[3];
    m_tagSize = header.TagSize();
    if (m_tagSize > 0 && bytes.size() >= std::size_t(m_tagSize))
        takeFields(ParseID3v2Frames(bytes.substr(0, std::size_t(m_tagSize)), &m_droppedFrames));
}

namespace {

// A comment frame's description and trimmed text; empty texts for frames
// that cannot be read.
std::pair<std::string, std::string> commentOf(const ID3v2Frame& frame) {
    std::string description, text;
    if (frame.id == "COMM" && !frame.Opaque())
        CommentParts(frame.Content(), description, text);
    return {description, Trim(text)};
}

// Players keep their own data in described comments ("iTunNORM" and the
// like); those are never the comment the user wrote.
bool isPlayerData(const std::string& description) {
    return description.starts_with("iTun");
}

} // namespace

// The last frame of each field's ID gives the field. The comment is the text
// of the last COMM frame without a description (and with a text) in the
// language of the first such frame; it keeps that language, and the other
// comments (a player's normalisation data, a comment in another language)
// are kept as frames. A tag whose only comments have a description (some
// taggers always write one) shows the first of them that holds no player
// data, and keeps its description when saved, so that copying the tag to
// ID3v1 does not clear the comment. Compressed or encrypted frames cannot be
// read and are kept as they are.
void TID3v2::takeFields(std::vector<ID3v2Frame> frames) {
    // One without text is no comment to show, and Save would write none in
    // its place: it is kept as a frame.
    const auto plain = [](const ID3v2Frame& frame) {
        const auto [description, text] = commentOf(frame);
        return description.empty() && !text.empty();
    };
    const auto described = [](const ID3v2Frame& frame) {
        const auto [description, text] = commentOf(frame);
        return !description.empty() && !isPlayerData(description) && !text.empty();
    };
    const bool anyPlain = std::any_of(frames.begin(), frames.end(), plain);
    const auto shown = [&](const ID3v2Frame& frame) { return anyPlain ? plain(frame) : described(frame); };
    // The first comment's language names the comment (Save writes it first,
    // so a saved tag reads back the same); of several in that language the
    // last one's text is used.
    const auto first = std::find_if(frames.begin(), frames.end(), shown);
    if (first != frames.end())
        m_commentLanguage = first->Content().substr(1, 3);
    std::string* const texts[] = {&m_title, &m_artist, &m_album, &m_trackText, &m_year, &m_genreText};
    for (ID3v2Frame& frame : frames) {
        const std::size_t index = frameIndex(frame.id);
        if (!frame.Opaque() && index < kComment) {
            *texts[index] = Trim(TextFrameValue(frame.Content()));
        } else if (shown(frame) && frame.Content().substr(1, 3) == m_commentLanguage &&
                   (anyPlain || m_comment.empty())) {
            std::tie(m_commentDescription, m_comment) = commentOf(frame);
        } else {
            m_otherFrames.push_back(std::move(frame));
        }
    }
    m_track = ParseTrackNumber(m_trackText);
    m_genre = StripGenrePrefix(m_genreText);
}

std::string TID3v2::BuildTag() const {
    std::string head;
    std::string tag;
    for (const std::string_view part : TagParts(head))
        tag += part;
    return tag;
}

std::vector<std::string_view> TID3v2::TagParts(std::string& head) const {
    std::array<std::string, FrameIDs.size()> data;
    // A genre given by number, "(17)", shows no name; the number stays while
    // the field is left as it was shown.
    const bool genreAsLoaded = !m_genreText.empty() && StripGenrePrefix(m_genreText) == m_genre;
    std::string_view texts[] = {m_title, m_artist, m_album, {}, m_year, genreAsLoaded ? m_genreText : m_genre};
    for (std::size_t i = 0; i < kComment; ++i)
        if (!texts[i].empty())
            data[i] = TextFrameData(texts[i]);
    // A text whose number is the track's, or one that is no number at all,
    // goes back as it came.
    if (m_track > 0 || !m_trackText.empty())
        data[kTrack] = TextFrameData(ParseTrackNumber(m_trackText) == m_track ? m_trackText : std::to_string(m_track));
    if (!m_comment.empty()) {
        // The description (mostly none) and its terminator in the comment's
        // own encoding come before the text.
        const uint8_t encoding = EncodingFor(m_commentDescription + m_comment);
        const std::string terminator(encoding == kEncodingUtf16 ? 2 : 1, '\0');
        data[kComment] = static_cast<char>(encoding) + m_commentLanguage + EncodeText(m_commentDescription, encoding) +
                         terminator + EncodeText(m_comment, encoding);
    }

    std::string fields;
    for (std::size_t i = 0; i < data.size(); ++i)
        appendFrame(fields, FrameIDs[i], data[i]);
    std::size_t bodySize = fields.size();
    for (const ID3v2Frame& frame : m_otherFrames)
        bodySize += kFrameHeaderSize + frame.data.size();
    head = "ID3";
    head.push_back(static_cast<char>(kWrittenMajorVersion));
    head.append(2, '\0'); // revision, flags
    appendSynchsafe(head, static_cast<uint32_t>(std::min(bodySize, kLargestTagBody)));
    head += fields;
    const std::size_t fieldsEnd = head.size();
    for (const ID3v2Frame& frame : m_otherFrames)
        head += ID3v2FrameHeader(frame);
    // The views are taken once head has stopped growing.
    std::vector<std::string_view> parts{std::string_view(head).substr(0, fieldsEnd)};
    for (std::size_t i = 0; i < m_otherFrames.size(); ++i) {
        parts.push_back(std::string_view(head).substr(fieldsEnd + i * kFrameHeaderSize, kFrameHeaderSize));
        parts.push_back(m_otherFrames[i].data);
    }
    return parts;
}

namespace {

std::size_t sizeOf(std::span<const std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts)
        size += part.size();
    return size;
}

// A size beyond 28 bits cannot be written; a truncated one would make every
// reader take frame bytes for audio.
bool fitsTagSize(std::span<const std::string_view> parts, std::string* reason) {
    if (sizeOf(parts) - TID3v2::kHeaderSize <= kLargestTagBody)
        return true;
    if (reason)
        *reason = "The tag is larger than an ID3v2 tag can be.";
    return false;
}

bool rebuild(const std::string& linkOrFile, std::span<const std::string_view> tag, const TID3v1* v1, bool& v1Written,
             std::string* reason);

} // namespace

bool TID3v2::Save(const std::string& fileName) {
    m_lastError.clear();
    try {
        std::string head;
        const std::vector<std::string_view> tag = TagParts(head);
        bool unused = false;
        return fitsTagSize(tag, &m_lastError) && rebuild(fileName, tag, nullptr, unused, &m_lastError);
    } catch (const std::bad_alloc&) {
        m_lastError = "Out of memory";
        return false;
    }
}

namespace {

// The reason of a "Cannot create file "<name>". <reason>" error.
std::string reasonOf(const std::exception& error, const std::string& fileName) {
    const std::string text = error.what();
    const std::string prefix = "Cannot create file \"" + fileName + "\". ";
    if (text.starts_with(prefix))
        return text.substr(prefix.size()) == kFileInUseReason ? "Another program holds the file locked."
                                                              : text.substr(prefix.size());
    return text;
}

} // namespace

namespace {

constexpr int64_t kID3v1BlockSize = 128;

bool startsWithTagMark(FileStream& source, int64_t at) {
    char mark[3];
    source.seek(at);
    source.readExact(mark, sizeof mark);
    return mark[0] == 'T' && mark[1] == 'A' && mark[2] == 'G';
}

// Why the file cannot be rebuilt, or nothing.
std::optional<std::string> rebuildRefusal(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return "The file does not exist.";
    if (!S_ISREG(st.st_mode))
        return kNotRegularReason;
    // A read-only mark is the owner's to take off and put back; the file of
    // another user that this user may not write stays as it is, even where
    // the folder would let it be replaced.
    if (::geteuid() != 0 && st.st_uid != ::geteuid() && ::access(fileName.c_str(), W_OK) != 0)
        return std::string(std::strerror(EACCES));
    return std::nullopt;
}

// Rebuilds the file as tag, the audio behind its current ID3v2 tag and,
// when given, an ID3v1 block over the one at its end (or added there).
bool rebuild(const std::string& linkOrFile, std::span<const std::string_view> tag, const TID3v1* v1, bool& v1Written,
             std::string* reason) {
    std::string ignored;
    std::string& why = reason ? *reason : ignored;
    v1Written = false;
    std::string fileName = linkOrFile;
    try {
        // Through a symbolic link the file it points to is rebuilt, beside
        // itself, instead of the link being replaced by a copy; but only a
        // link that the kernel guarding shared folders would follow.
        fileName = FollowOwnLinks(linkOrFile);
        if (const auto refusal = rebuildRefusal(fileName)) {
            why = *refusal;
            return false;
        }
        // The new file has no name until it is complete and flushed, so
        // nothing can be planted in its place, and the old file stays locked
        // and whole until the new one takes its name in one step.
        AtomicFile out = AtomicFile::Create(fileName, true);
        // Read from the very file that was checked and is replaced, not
        // from whatever the name holds by now.
        FileStream source = out.openReplaced();
        // As the ID3v2 save alone, a file too short for a tag header fails.
        if (source.size() < int64_t(TID3v2::kHeaderSize))
            throw StreamReadError();
        // Both tags are written together or not at all: a file too short
        // for the ID3v1 block keeps its old ID3v2 tag too.
        if (v1 && source.size() < int64_t(kID3v1BlockSize)) {
            why = "The file is shorter than an ID3v1 tag.";
            return false;
        }
        const std::optional<std::array<uint8_t, kID3v1BlockSize>> block =
            v1 ? std::optional(v1->BuildBlock()) : std::nullopt;
        v1Written = WriteWithTags(source, 0, source.size(), tag, block ? &*block : nullptr, out.stream(), kCopyBlock);
        out.Commit();
    } catch (const std::exception& error) {
        why = reasonOf(error, fileName);
        v1Written = false;
        return false;
    }
    return true;
}

} // namespace

bool WriteWithTags(FileStream& source, int64_t start, int64_t count, std::string_view id3v2,
                   const std::array<uint8_t, 128>* id3v1, FileStream& out, std::size_t blockBytes) {
    return WriteWithTags(source, start, count, std::span(&id3v2, 1), id3v1, out, blockBytes);
}

bool WriteWithTags(FileStream& source, int64_t start, int64_t count, std::span<const std::string_view> id3v2,
                   const std::array<uint8_t, 128>* id3v1, FileStream& out, std::size_t blockBytes) {
    const bool v1Written = id3v1 && count >= kID3v1BlockSize;
    const bool tailIsTag = v1Written && startsWithTagMark(source, start + count - kID3v1BlockSize);
    const int64_t bodySize = count - (tailIsTag ? kID3v1BlockSize : 0);
    // The tag these bytes start with, measured against what they are once
    // the ID3v1 save is done, is left out behind the new one.
    int64_t skip = 0;
    const std::size_t tagSize = sizeOf(id3v2);
    if (tagSize > 0 && count >= int64_t(TID3v2::kHeaderSize)) {
        TagHeader header;
        source.seek(start);
        source.readExact(header.bytes.data(), header.bytes.size());
        header.fileSize = bodySize + (v1Written ? kID3v1BlockSize : 0);
        skip = header.StartsWithTag() ? header.TagSize() : 0;
    }
    for (const std::string_view part : id3v2)
        out.writeAll(part.data(), part.size());
    const int64_t bodySkip = std::min(skip, bodySize);
    source.seek(start + bodySkip);
    out.copyFrom(source, bodySize - bodySkip, blockBytes);
    if (v1Written) {
        const auto blockSkip = static_cast<std::size_t>(skip - bodySkip);
        out.writeAll(id3v1->data() + blockSkip, id3v1->size() - blockSkip);
    }
    return v1Written;
}

bool ReplaceLeadingTag(const std::string& linkOrFile, std::string_view tag, std::string* reason) {
    bool unused = false;
    return rebuild(linkOrFile, std::span(&tag, 1), nullptr, unused, reason);
}

bool SaveBothTags(const std::string& fileName, const TID3v1& v1, const TID3v2& v2, bool& v1Written,
                  std::string* reason) {
    v1Written = false;
    try {
        std::string head;
        const std::vector<std::string_view> tag = v2.TagParts(head);
        return fitsTagSize(tag, reason) && rebuild(fileName, tag, &v1, v1Written, reason);
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = "Out of memory";
        return false;
    }
}

void TID3v2::SetTitle(const std::string& value) {
    m_title = TrimRight(value);
}
void TID3v2::SetArtist(const std::string& value) {
    m_artist = TrimRight(value);
}
void TID3v2::SetAlbum(const std::string& value) {
    m_album = TrimRight(value);
}
void TID3v2::SetYear(const std::string& value) {
    m_year = TrimRight(value);
}
void TID3v2::SetGenre(const std::string& value) {
    m_genre = TrimRight(value);
}
void TID3v2::SetTrack(uint8_t value) {
    m_track = value;
    if (value == 0 || ParseTrackNumber(m_trackText) != value)
        m_trackText.clear();
}

void TID3v2::SetTrackText(const std::string& value) {
    m_trackText = Trim(value);
    m_track = ParseTrackNumber(m_trackText);
}

void TID3v2::SetComment(const std::string& value) {
    m_comment = TrimRight(value);
}

} // namespace tindrel
