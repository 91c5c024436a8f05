// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v2.h"

#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/PlatformInt.h"
#include "tags/TagFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

using tagfile::ReadAt;
using tagfile::Trim;
using tagfile::TrimRight;
using tagfile::UniqueFd;

namespace {

constexpr std::size_t kFrameHeaderSize = 10;
constexpr std::size_t kFrameTextLimit = 250;
constexpr uint8_t kWrittenMajorVersion = 3;
// A synchsafe size has 28 bits.
constexpr std::size_t kLargestTagBody = (std::size_t(1) << 28) - 1;

enum Frame : std::size_t { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment };

std::size_t frameIndex(std::string_view id) {
    return static_cast<std::size_t>(std::find(FrameIDs.begin(), FrameIDs.end(), id) - FrameIDs.begin());
}

uint32_t bigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

void appendBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void appendSynchsafe(std::string& out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7)
        out.push_back(static_cast<char>((value >> shift) & 0x7F));
}

void appendFrame(std::string& tag, std::string_view id, const std::string& text) {
    if (text.empty())
        return;
    tag.append(id);
    appendBigEndian32(tag, static_cast<uint32_t>(text.size() + 1));
    tag.append(2, '\0'); // flags
    tag.push_back('\0'); // text encoding ISO-8859-1
    tag.append(text);
}

// The kernel copies in blocks of this size; only a fallback copy between
// file systems that cannot copy in the kernel holds one block in memory.
constexpr std::size_t kCopyBlock = std::size_t(1) << 20;

// Writes tag and then source from audioStart to its end into a new file at
// tempName, with the original's owner and permission bits, and flushes it to
// disk. Throws on any failure; the caller removes the temporary file.
void writeRebuiltFile(FileStream& source, int64_t audioStart, const std::string& tempName, std::string_view tag,
                      mode_t mode) {
    struct stat original {};
    if (::fstat(source.fd(), &original) != 0)
        throw std::runtime_error("Stream read error");
    FileStream out = FileStream::create(tempName);
    // Taking over the owner only works with the privilege to do so; without
    // it the file stays the saving user's, as any rewrite would.
    (void)!::fchown(out.fd(), original.st_uid, original.st_gid);
    if (::fchmod(out.fd(), mode) != 0)
        throw std::runtime_error("Stream write error");
    out.writeAll(tag.data(), tag.size());
    source.seek(audioStart);
    out.copyFrom(source, original.st_size - audioStart, kCopyBlock);
    if (::fsync(out.fd()) != 0)
        throw std::runtime_error("Stream write error");
}

// The file a name stands for: through a symbolic link the file it points to
// is rebuilt, beside itself, instead of the link being replaced by a copy.
std::string resolveLink(const std::string& fileName) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return fileName;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(fileName.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : fileName;
}

} // namespace

int32_t TagHeader::TagSize() const {
    // The size bytes are taken as they stand: a set top bit is not masked, so
    // a malformed size grows rather than wraps.
    const int64_t size = int64_t(bytes[6]) * (1 << 21) + int64_t(bytes[7]) * (1 << 14) + int64_t(bytes[8]) * (1 << 7) +
                         int64_t(bytes[9]) + int64_t(TID3v2::kHeaderSize);
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

TextFrames readTextFrames(int fd, int64_t fileSize, int32_t tagSize) {
    TextFrames texts;
    int64_t position = TID3v2::kHeaderSize;
    while (position < tagSize && position < fileSize) {
        uint8_t header[kFrameHeaderSize];
        if (!ReadAt(fd, header, sizeof header, off_t(position)))
            break;
        if (header[0] < 'A' || header[0] > 'Z') // padding
            break;
        const int64_t contentAt = position + int64_t(kFrameHeaderSize);
        const uint32_t frameSize = bigEndian32(header + 4);
        std::string raw(kFrameTextLimit, '\0');
        const std::size_t count = std::min<std::size_t>(frameSize, kFrameTextLimit);
        if (!ReadAt(fd, raw.data(), count, off_t(contentAt)))
            break;
        const std::size_t index = frameIndex(std::string_view(reinterpret_cast<const char*>(header), 4));
        if (index < texts.size())
            texts[index] = std::move(raw);
        position = contentAt + frameSize;
    }
    return texts;
}

} // namespace

bool ReadTagHeader(const std::string& fileName, TagHeader& header) {
    int64_t fileSize = 0;
    const UniqueFd fd = openForReading(fileName, fileSize);
    return fd.valid() && readTagHeader(fd.get(), fileSize, header);
}

TextFrames ReadTextFrames(const std::string& fileName, int32_t tagSize) {
    int64_t fileSize = 0;
    const UniqueFd fd = openForReading(fileName, fileSize);
    return fd.valid() ? readTextFrames(fd.get(), fileSize, tagSize) : TextFrames{};
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
    m_year.clear();
    m_genre.clear();
    m_comment.clear();
}

bool TID3v2::Load(const std::string& fileName) {
    Clear();
    // One open serves the header and the frames.
    int64_t fileSize = 0;
    const UniqueFd fd = openForReading(fileName, fileSize);
    TagHeader header;
    if (!fd.valid() || !readTagHeader(fd.get(), fileSize, header))
        return false;
    if (!header.StartsWithTag())
        return true;
    m_exists = true;
    m_majorVersion = header.bytes[3];
    m_tagSize = header.TagSize();
    // Other versions lay their frames out differently; their size is still
    // known, which is all the audio analysis needs.
    if (m_majorVersion != 3 || m_tagSize == 0)
        return true;
    const TextFrames texts = readTextFrames(fd.get(), fileSize, m_tagSize);
    // Trimming the front also drops the text-encoding byte and the NUL that
    // ends an empty comment description.
    m_title = Trim(texts[kTitle]);
    m_artist = Trim(texts[kArtist]);
    m_album = Trim(texts[kAlbum]);
    m_year = Trim(texts[kYear]);
    m_track = ParseTrackNumber(texts[kTrack]);
    m_genre = StripGenrePrefix(texts[kGenre]);
    // The comment's encoding byte and language code come first.
    m_comment = texts[kComment].size() > 4 ? Trim(std::string_view(texts[kComment]).substr(4)) : std::string();
    return true;
}

std::string TID3v2::BuildTag() const {
    TextFrames texts;
    texts[kTitle] = m_title;
    texts[kArtist] = m_artist;
    texts[kAlbum] = m_album;
    if (m_track > 0)
        texts[kTrack] = std::to_string(m_track);
    texts[kYear] = m_year;
    texts[kGenre] = m_genre;
    if (!m_comment.empty())
        texts[kComment] = std::string("eng") + '\0' + m_comment;

    std::size_t bodySize = 0;
    for (const std::string& text : texts)
        bodySize += text.empty() ? 0 : text.size() + kFrameHeaderSize + 1;
    std::string tag = "ID3";
    tag.push_back(static_cast<char>(kWrittenMajorVersion));
    tag.append(2, '\0'); // revision, flags
    appendSynchsafe(tag, static_cast<uint32_t>(std::min(bodySize, kLargestTagBody)));
    for (std::size_t i = 0; i < texts.size(); ++i)
        appendFrame(tag, FrameIDs[i], texts[i]);
    return tag;
}

bool TID3v2::Save(const std::string& fileName) {
    try {
        const std::string tag = BuildTag();
        // A size beyond 28 bits cannot be written; a truncated one would make
        // every reader take frame bytes for audio.
        if (tag.size() - kHeaderSize > kLargestTagBody)
            return false;
        return ReplaceLeadingTag(fileName, tag);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ReplaceLeadingTag(const std::string& linkOrFile, std::string_view tag) {
    const std::string fileName = resolveLink(linkOrFile);
    tagfile::OwnerWritable writable;
    TagHeader header;
    if (!writable.acquire(fileName) || !ReadTagHeader(fileName, header))
        return false;
    const int64_t audioStart = header.StartsWithTag() ? header.TagSize() : 0;
    const std::string tempName = fileName + "~";
    bool tempCreated = false;
    try {
        FileStream source = FileStream::openRead(fileName);
        if (!tagfile::LockExclusive(source.fd()))
            return false;
        // Any file already under the temporary name is replaced; unlinking it
        // first keeps a link of that name from redirecting the write.
        ::unlink(tempName.c_str());
        tempCreated = true;
        writeRebuiltFile(source, audioStart, tempName, tag, writable.mode());
        // Only now, with the new file complete on disk, does it take the
        // original's place, in one step: at every moment the name holds
        // either the old or the new file.
        if (::rename(tempName.c_str(), fileName.c_str()) != 0)
            throw std::runtime_error("Cannot rename file");
    } catch (const std::exception&) {
        if (tempCreated)
            ::unlink(tempName.c_str());
        return false;
    }
    SyncFolderOf(fileName); // the rename itself must last, not only the data
    writable.commit();
    return true;
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
void TID3v2::SetComment(const std::string& value) {
    m_comment = TrimRight(value);
}

} // namespace tindrel
