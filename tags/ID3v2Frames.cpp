// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v2Frames.h"

#include "tags/TagFile.h"
#include "tags/TagText.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tindrel {

namespace {

constexpr std::size_t kHeaderSize = 10;
constexpr uint8_t kUnsynchronised = 0x80; // tag flag
constexpr uint8_t kExtendedHeader = 0x40; // tag flag
// Version 2.2 used the extended-header bit for a compression scheme that was
// never defined: such a tag cannot be read.
constexpr uint8_t kV22Compressed = 0x40;

uint32_t bigEndian(std::string_view bytes, std::size_t count) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | static_cast<uint8_t>(bytes[i]);
    return value;
}

uint32_t synchsafe(std::string_view bytes) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 7 | (static_cast<uint8_t>(bytes[i]) & 0x7F);
    return value;
}

void appendBigEndian(std::string& out, uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Every FF 00 becomes FF, in place: a large picture is not held twice.
void undoUnsynchronisation(std::string& bytes) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[out++] = bytes[i];
        if (bytes[i] == '\xff' && i + 1 < bytes.size() && bytes[i + 1] == '\0')
            ++i;
    }
    bytes.resize(out);
}

bool validId(std::string_view bytes, std::size_t at, std::size_t length) {
    if (at + length > bytes.size())
        return false;
    return std::all_of(bytes.begin() + long(at), bytes.begin() + long(at + length),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// ---- Re-encoding the texts of a frame -------------------------------------

// How a frame's content is laid out behind its encoding byte.
enum class Part : uint8_t {
    EncodedString, // a text in the frame's encoding, ending in a terminator
    Latin1String,  // an ISO-8859-1 text ending in a NUL
    Byte,          // one byte as it stands (a picture type)
    Language,      // three bytes as they stand
    RestText,      // texts in the frame's encoding to the end, joined by "/"
    RestList,      // texts to the end, kept apart (pairs of a people list)
    RestBinary,    // bytes to the end as they stand
};

struct Layout {
    std::string_view id;
    std::array<Part, 4> parts;
    std::size_t count;
};

constexpr Layout kLayouts[] = {
    {"TXXX", {Part::EncodedString, Part::RestText}, 2},
    {"IPLS", {Part::RestList}, 1},
    {"COMM", {Part::Language, Part::EncodedString, Part::RestText}, 3},
    {"USLT", {Part::Language, Part::EncodedString, Part::RestText}, 3},
    {"USER", {Part::Language, Part::RestText}, 2},
    {"APIC", {Part::Latin1String, Part::Byte, Part::EncodedString, Part::RestBinary}, 4},
    {"WXXX", {Part::EncodedString, Part::RestBinary}, 2},
    {"GEOB", {Part::Latin1String, Part::EncodedString, Part::EncodedString, Part::RestBinary}, 4},
};
constexpr Layout kTextLayout = {"T", {Part::RestText}, 1};

const Layout* layoutOf(std::string_view id) {
    for (const Layout& layout : kLayouts)
        if (layout.id == id)
            return &layout;
    return id.starts_with('T') ? &kTextLayout : nullptr;
}

std::vector<std::string> decodeValues(std::string_view bytes, uint8_t encoding) {
    std::vector<std::string> values;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = FindTerminator(bytes, encoding, at);
        values.push_back(DecodeText(bytes.substr(at, end - at), encoding));
        at = end + TerminatorWidth(encoding);
    }
    while (!values.empty() && values.back().empty())
        values.pop_back();
    return values;
}

std::string joined(const std::vector<std::string>& values, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i)
        out.append(i ? separator : "").append(values[i]);
    return out;
}

// A part of a content after decoding: texts as UTF-8, other bytes as they
// stand.
struct Piece {
    Part part;
    std::string text;
    std::vector<std::string> list;
};

// A content's texts rewritten: head replaces the content's first restAt
// bytes, and the bytes from there on (a picture, an object) stay as they are.
struct Reencoded {
    std::string head;
    std::size_t restAt = 0;
};

// The content rewritten with ISO-8859-1, or UTF-16 where a text needs it.
// Nothing when the content is too short for its layout.
std::optional<Reencoded> reencode(std::string_view data, const Layout& layout) {
    if (data.empty())
        return Reencoded{};
    std::size_t restAt = data.size();
    const auto encoding = static_cast<uint8_t>(data[0]);
    std::vector<Piece> pieces;
    std::size_t at = 1;
    for (std::size_t i = 0; i < layout.count; ++i) {
        const Part part = layout.parts[i];
        Piece piece{part, {}, {}};
        if (part == Part::Byte || part == Part::Language) {
            const std::size_t width = part == Part::Byte ? 1 : 3;
            if (at + width > data.size())
                return std::nullopt;
            piece.text = data.substr(at, width);
            at += width;
        } else if (part == Part::EncodedString || part == Part::Latin1String) {
            const uint8_t own = part == Part::Latin1String ? kEncodingLatin1 : encoding;
            const std::size_t end = FindTerminator(data, own, at);
            piece.text = part == Part::Latin1String ? std::string(data.substr(at, end - at))
                                                    : DecodeText(data.substr(at, end - at), own);
            at = std::min(data.size(), end + TerminatorWidth(own));
        } else if (part == Part::RestBinary) {
            // Always the last part: the binary rest is not copied.
            restAt = at;
            break;
        } else {
            piece.list = decodeValues(data.substr(at), encoding);
            at = data.size();
        }
        pieces.push_back(std::move(piece));
    }
    bool latin1 = true;
    for (const Piece& piece : pieces) {
        if (piece.part == Part::EncodedString)
            latin1 = latin1 && FitsLatin1(piece.text);
        for (const std::string& value : piece.list)
            latin1 = latin1 && FitsLatin1(value);
    }
    const uint8_t target = latin1 ? kEncodingLatin1 : kEncodingUtf16;
    const std::string terminator(TerminatorWidth(target), '\0');
    std::string out(1, static_cast<char>(target));
    for (const Piece& piece : pieces) {
        switch (piece.part) {
        case Part::EncodedString:
            out += EncodeText(piece.text, target) + terminator;
            break;
        case Part::Latin1String:
            out += piece.text + '\0';
            break;
        case Part::RestText:
            out += EncodeText(joined(piece.list, "/"), target);
            break;
        case Part::RestList:
            for (std::size_t i = 0; i < piece.list.size(); ++i)
                out += (i ? terminator : std::string()) + EncodeText(piece.list[i], target);
            break;
        default:
            out += piece.text;
        }
    }
    return Reencoded{std::move(out), restAt};
}

// ---- Frame IDs of the other versions --------------------------------------

constexpr std::pair<std::string_view, std::string_view> kV22Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"},
    {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"},
    {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"},
    {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
    {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSI", "TSIZ"},
    {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"}, {"WXX", "WXXX"},
};

// Frames of version 2.4 that version 2.3 has no place for.
constexpr std::string_view kV24Only[] = {"ASPI", "EQU2", "RVA2", "SEIS", "SIGN",
                                         "TDEN", "TDTG", "TMOO", "TPRO", "TSST"};
// Frames whose texts sit between binary fields that Tindrel does not take
// apart: kept when their encoding is one version 2.3 knows.
constexpr std::string_view kUnparsedTexts[] = {"COMR", "OWNE", "SYLT"};

ID3v2Frame textFrame(std::string_view id, std::string_view utf8) {
    return {std::string(id), 0, TextFrameData(utf8)};
}

bool digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A recording time "yyyy-MM-ddTHH:mm:ss" (any prefix of it) becomes the
// year, the day and month, and the time of version 2.3.
void splitRecordingTime(const std::string& time, uint16_t flags, std::vector<ID3v2Frame>& out) {
    const auto field = [&](std::size_t at, std::size_t length) {
        return time.size() >= at + length && digits(std::string_view(time).substr(at, length)) ? time.substr(at, length)
                                                                                               : std::string();
    };
    const std::string year = field(0, 4);
    if (year.empty())
        return;
    out.push_back(textFrame("TYER", year));
    out.back().flags = flags;
    if (const std::string month = field(5, 2), day = field(8, 2); !month.empty() && !day.empty())
        out.push_back(textFrame("TDAT", day + month));
    if (const std::string hour = field(11, 2), minute = field(14, 2); !hour.empty() && !minute.empty())
        out.push_back(textFrame("TIME", hour + minute));
}

// A picture of version 2.2 names its format in three letters where version
// 2.3 names a MIME type.
// Version 2.2 names a picture's format in three letters where later versions
// give a MIME type: changed in place, so the picture is moved, not copied.
std::string pictureFromV22(std::string data) {
    if (data.size() < 4)
        return data;
    std::string format = data.substr(1, 3);
    std::transform(format.begin(), format.end(), format.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const std::string mime = format == "jpg" ? "image/jpeg" : "image/" + format;
    data.replace(1, 3, mime + '\0');
    return data;
}

// ---- The walk ---------------------------------------------------------------

// A tag's body, held in memory or read from the file as the walk needs it:
// the frame headers and the small frames come from reads of whole blocks,
// and a large frame's content is read straight into its own string, so a
// big picture is held once, not once in the tag and again in its frame.
class TagBytes {
public:
    explicit TagBytes(std::string_view bytes) : m_memory(bytes), m_size(bytes.size()) {}
    TagBytes(int fd, int64_t offset, std::size_t size) : m_fd(fd), m_offset(offset), m_size(size), m_fileSize(size) {}

    // A body unsynchronised as a whole (versions 2.2 and 2.3), read as if
    // every FF 00 were FF. One pass over the file notes where the zeros
    // were put in, so a large picture is still read straight into its frame
    // instead of the body being held undone beside the frames made from it.
    static TagBytes Resynchronised(int fd, int64_t offset, std::size_t size) {
        TagBytes bytes(fd, offset, size);
        bytes.findStuffing();
        return bytes;
    }

    std::size_t size() const { return m_size; }

    // Up to count bytes at at, fewer at the end; valid until the next call.
    std::string_view view(std::size_t at, std::size_t count) {
        if (at >= m_size)
            return {};
        count = std::min(count, m_size - at);
        if (m_fd < 0)
            return m_memory.substr(at, count);
        if (!cached(at, count)) {
            m_cacheAt = at;
            m_cache.resize(std::min(kBlock, m_size - at));
            read(m_cache.data(), m_cache.size(), at);
        }
        return std::string_view(m_cache).substr(at - m_cacheAt, count);
    }

    // The count bytes at at (which the body holds) as a string of their own.
    std::string take(std::size_t at, std::size_t count) {
        if (m_fd < 0)
            return std::string(m_memory.substr(at, count));
        if (cached(at, count))
            return m_cache.substr(at - m_cacheAt, count);
        std::string bytes;
        // Room for a version 2.2 picture's format to become a MIME type
        // without moving the picture to a larger string.
        bytes.reserve(count + kFormatToMime);
        bytes.resize(count);
        read(bytes.data(), count, at);
        return bytes;
    }

    // Drops the first count bytes (an extended header).
    void skip(std::size_t count) {
        count = std::min(count, m_size);
        m_memory = m_memory.substr(std::min(count, m_memory.size()));
        m_skipped += count;
        m_size -= count;
        m_cache.clear();
        m_cacheAt = 0;
    }

private:
    // Small tags are read whole, large ones a block at a time.
    static constexpr std::size_t kBlock = std::size_t(256) << 10;
    static constexpr std::size_t kFormatToMime = 32;

    bool cached(std::size_t at, std::size_t count) const {
        return at >= m_cacheAt && at - m_cacheAt + count <= m_cache.size();
    }

    void readFile(char* out, std::size_t count, std::size_t at) const {
        if (at + count > m_fileSize || !tagfile::ReadAt(m_fd, out, count, off_t(m_offset + int64_t(at))))
            throw std::runtime_error("Stream read error");
    }

    void findStuffing() {
        std::string block(std::min(kBlock, m_fileSize), '\0');
        bool afterFF = false;
        std::size_t kept = 0;
        for (std::size_t at = 0; at < m_fileSize; at += block.size()) {
            const std::size_t count = std::min(block.size(), m_fileSize - at);
            readFile(block.data(), count, at);
            for (std::size_t i = 0; i < count; ++i) {
                const auto byte = static_cast<uint8_t>(block[i]);
                if (afterFF && byte == 0) {
                    m_stuffedAfter.push_back(kept - 1);
                    afterFF = false;
                    continue;
                }
                ++kept;
                afterFF = byte == 0xFF;
            }
        }
        m_size = kept;
    }

    // Where in the file the body's byte at sits: behind every zero put in
    // after an FF before it.
    std::size_t filePosition(std::size_t at) const {
        return at +
               std::size_t(std::lower_bound(m_stuffedAfter.begin(), m_stuffedAfter.end(), at) - m_stuffedAfter.begin());
    }

    void read(char* out, std::size_t count, std::size_t at) const {
        at += m_skipped;
        if (m_stuffedAfter.empty())
            return readFile(out, count, at);
        std::size_t file = filePosition(at);
        std::string chunk;
        bool afterFF = false;
        for (std::size_t done = 0; done < count;) {
            // Never more file bytes than body bytes still wanted: the
            // zeros dropped can only make a chunk give fewer.
            chunk.resize(std::min({kBlock, count - done, m_fileSize - std::min(file, m_fileSize)}));
            if (chunk.empty())
                throw std::runtime_error("Stream read error");
            readFile(chunk.data(), chunk.size(), file);
            file += chunk.size();
            for (const char c : chunk) {
                if (afterFF && c == '\0') {
                    afterFF = false;
                    continue;
                }
                out[done++] = c;
                afterFF = c == '\xff';
            }
        }
    }

    std::string_view m_memory;
    int m_fd = -1;
    int64_t m_offset = 0;
    std::size_t m_size = 0;
    std::size_t m_fileSize = 0;
    std::size_t m_skipped = 0;
    // The body's positions of the FF bytes the file follows with a zero
    // put in by unsynchronisation.
    std::vector<std::size_t> m_stuffedAfter;
    std::string m_cache;
    std::size_t m_cacheAt = 0;
};

struct RawFrame {
    std::string id;
    uint16_t flags = 0;
    std::string content;
};

class FrameWalk {
public:
    FrameWalk(uint8_t major, TagBytes& body) : m_major(major), m_body(body) {}

    // The next frame, or nothing at padding or at the end.
    std::optional<RawFrame> next() {
        const std::size_t headerSize = m_major == 2 ? 6 : 10;
        const std::size_t idLength = m_major == 2 ? 3 : 4;
        // A copy: the look at the next frame may read another block.
        const std::string header(m_body.view(m_at, headerSize));
        if (header.size() < headerSize || !validId(header, 0, idLength))
            return std::nullopt;
        const std::size_t size = m_major == 2 ? bigEndian(std::string_view(header).substr(3), 3) : frameSize(header);
        const std::size_t contentAt = m_at + headerSize;
        if (size > m_body.size() - contentAt)
            return std::nullopt;
        RawFrame frame{header.substr(0, idLength),
                       m_major == 2 ? uint16_t(0) : uint16_t(bigEndian(std::string_view(header).substr(8), 2)),
                       m_body.take(contentAt, size)};
        m_at = contentAt + size;
        return frame;
    }

private:
    // Version 2.4 sizes are synchsafe, but some writers put plain sizes
    // there: take the plain reading when only it lands on a next frame.
    std::size_t frameSize(std::string_view header) const {
        const std::string_view bytes = header.substr(4, 4);
        const uint32_t plain = bigEndian(bytes, 4);
        if (m_major == 3 || std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; }))
            return plain;
        const uint32_t safe = synchsafe(bytes);
        const auto landsOnFrame = [&](std::size_t size) {
            const std::size_t next = m_at + 10 + size;
            if (next == m_body.size())
                return true;
            const std::string_view id = m_body.view(next, 4);
            return !id.empty() && (id[0] == '\0' || validId(id, 0, 4));
        };
        return !landsOnFrame(safe) && landsOnFrame(plain) ? plain : safe;
    }

    uint8_t m_major;
    TagBytes& m_body;
    std::size_t m_at = 0;
};

class Converter {
public:
    Converter(uint8_t major, bool tagUnsynchronised, std::vector<std::string>* dropped)
        : m_major(major), m_tagUnsynchronised(tagUnsynchronised), m_dropped(dropped) {}

    // Where the year taken from a release time stands in the output.
    std::optional<std::size_t> releaseYear() const { return m_releaseYear; }

    void add(RawFrame& raw, std::vector<ID3v2Frame>& out) {
        if (m_major == 3)
            out.push_back({raw.id, raw.flags, std::move(raw.content)});
        else if (m_major == 2)
            fromV22(raw, out);
        else
            fromV24(raw, out);
    }

private:
    void drop(const std::string& id) {
        if (m_dropped)
            m_dropped->push_back(id);
    }

    void fromV22(RawFrame& raw, std::vector<ID3v2Frame>& out) {
        const auto* entry = std::find_if(std::begin(kV22Ids), std::end(kV22Ids),
                                         [&](const auto& pair) { return pair.first == raw.id; });
        if (entry == std::end(kV22Ids))
            return drop(raw.id);
        out.push_back({std::string(entry->second), 0,
                       raw.id == "PIC" ? pictureFromV22(std::move(raw.content)) : std::move(raw.content)});
    }

    // The content is changed in place and moved into the frame: a picture is
    // never copied.
    void fromV24(RawFrame& raw, std::vector<ID3v2Frame>& out) {
        const uint8_t status = raw.flags >> 8;
        const uint8_t format = raw.flags & 0xFF;
        std::string data = std::move(raw.content);
        if ((format & 0x02) || m_tagUnsynchronised)
            undoUnsynchronisation(data);
        // The extra fields follow the header in the order of their flags:
        // group, encryption method, data length.
        const bool grouped = format & 0x40, compressed = format & 0x08, encrypted = format & 0x04;
        const bool lengthGiven = format & 0x01;
        const std::size_t extra = std::size_t(grouped) + std::size_t(encrypted) + (lengthGiven ? 4 : 0);
        if (data.size() < extra || (compressed && !lengthGiven))
            return drop(raw.id);
        std::size_t at = 0;
        const std::string group = grouped ? data.substr(at++, 1) : std::string();
        const std::string method = encrypted ? data.substr(at++, 1) : std::string();
        const uint32_t length = lengthGiven ? synchsafe(std::string_view(data).substr(at, 4)) : 0;
        data.erase(0, extra);

        ID3v2Frame frame{raw.id, uint16_t(uint16_t(status & 0x70) << 9), {}};
        std::string prefix;
        if (compressed) {
            frame.flags |= ID3v2Frame::kCompressed;
            appendBigEndian(prefix, length, 4);
        }
        frame.flags |= (encrypted ? ID3v2Frame::kEncrypted : 0) | (grouped ? ID3v2Frame::kGrouped : 0);
        prefix += method + group;
        if (!frame.Opaque()) {
            // The people lists of version 2.4 keep their pairs apart, as IPLS does.
            const Layout* layout = layoutOf(raw.id == "TIPL" || raw.id == "TMCL" ? "IPLS" : raw.id);
            const std::optional<Reencoded> converted =
                layout ? reencode(data, *layout) : std::optional<Reencoded>(Reencoded{{}, 0});
            const bool unparsed =
                std::find(std::begin(kUnparsedTexts), std::end(kUnparsedTexts), raw.id) != std::end(kUnparsedTexts);
            if (!converted || (unparsed && !data.empty() && uint8_t(data[0]) > kEncodingUtf16))
                return drop(raw.id);
            data.replace(0, converted->restAt, converted->head);
        }
        data.insert(0, prefix);
        frame.data = std::move(data);
        renamed(frame, out);
    }

    // The version 2.3 name of a version 2.4 frame.
    void renamed(ID3v2Frame& frame, std::vector<ID3v2Frame>& out) {
        if (std::find(std::begin(kV24Only), std::end(kV24Only), frame.id) != std::end(kV24Only))
            return drop(frame.id);
        if (frame.Opaque()) {
            if (frame.id == "TDRC" || frame.id == "TDOR" || frame.id == "TIPL" || frame.id == "TMCL")
                return drop(frame.id);
            out.push_back(std::move(frame));
            return;
        }
        if (frame.id == "TDRC")
            return splitRecordingTime(TextFrameValue(frame.Content()), frame.flags, out);
        // A release time stands in for the year only where the tag has no
        // recording time; ParseID3v2Frames settles that once all are read.
        if (frame.id == "TDRL") {
            const std::string year = TextFrameValue(frame.Content()).substr(0, 4);
            if (year.size() != 4 || !digits(year))
                return drop(frame.id);
            m_releaseYear = out.size();
            out.push_back(textFrame("TYER", year));
            return;
        }
        if (frame.id == "TDOR") {
            const std::string year = TextFrameValue(frame.Content()).substr(0, 4);
            if (year.size() == 4 && digits(year))
                out.push_back(textFrame("TORY", year));
            return;
        }
        if (frame.id == "TIPL" || frame.id == "TMCL")
            frame.id = "IPLS";
        out.push_back(std::move(frame));
    }

    uint8_t m_major;
    bool m_tagUnsynchronised;
    std::vector<std::string>* m_dropped;
    std::optional<std::size_t> m_releaseYear;
};

} // namespace

namespace {

// The header's version and flags, when a tag of them can be read.
bool readableHeader(std::string_view header, uint8_t& major, uint8_t& flags) {
    if (header.size() < kHeaderSize || !header.starts_with("ID3"))
        return false;
    major = static_cast<uint8_t>(header[3]);
    flags = static_cast<uint8_t>(header[5]);
    return major >= 2 && major <= 4 && !(major == 2 && (flags & kV22Compressed));
}

// Versions 2.2 and 2.3 unsynchronise the whole tag after its header;
// version 2.4 does it frame by frame.
bool wholeTagUnsynchronised(uint8_t major, uint8_t flags) {
    return major < 4 && (flags & kUnsynchronised);
}

std::vector<ID3v2Frame> walkFrames(uint8_t major, uint8_t flags, TagBytes& body, std::vector<std::string>* dropped) {
    std::vector<ID3v2Frame> frames;
    if (major > 2 && (flags & kExtendedHeader)) {
        const std::string_view sizeBytes = body.view(0, 4);
        if (sizeBytes.size() < 4)
            return frames;
        // Version 2.3 counts the extended header without its size field,
        // version 2.4 with it.
        const std::size_t size = major == 3 ? std::size_t(bigEndian(sizeBytes, 4)) + 4 : synchsafe(sizeBytes);
        body.skip(size);
    }
    FrameWalk walk(major, body);
    Converter converter(major, major == 4 && (flags & kUnsynchronised), dropped);
    while (std::optional<RawFrame> raw = walk.next())
        converter.add(*raw, frames);
    if (const auto release = converter.releaseYear();
        release &&
        std::count_if(frames.begin(), frames.end(), [](const ID3v2Frame& f) { return f.id == "TYER"; }) > 1) {
        frames.erase(frames.begin() + long(*release));
        if (dropped)
            dropped->push_back("TDRL");
    }
    return frames;
}

} // namespace

std::vector<ID3v2Frame> ParseID3v2Frames(std::string_view tag, std::vector<std::string>* dropped) {
    uint8_t major = 0, flags = 0;
    if (!readableHeader(tag, major, flags))
        return {};
    std::string_view body = tag.substr(kHeaderSize, std::min<std::size_t>(synchsafe(tag.substr(6)), tag.size()));
    std::string resynchronised;
    if (wholeTagUnsynchronised(major, flags)) {
        resynchronised = body;
        undoUnsynchronisation(resynchronised);
        body = resynchronised;
    }
    TagBytes bytes(body);
    return walkFrames(major, flags, bytes, dropped);
}

std::vector<ID3v2Frame> ReadID3v2Frames(int fd, std::string_view header, std::size_t tagSize,
                                        std::vector<std::string>* dropped) {
    uint8_t major = 0, flags = 0;
    if (!readableHeader(header, major, flags) || tagSize < kHeaderSize)
        return {};
    const std::size_t bodySize = std::min<std::size_t>(synchsafe(header.substr(6)), tagSize - kHeaderSize);
    TagBytes bytes = wholeTagUnsynchronised(major, flags) ? TagBytes::Resynchronised(fd, int64_t(kHeaderSize), bodySize)
                                                          : TagBytes(fd, int64_t(kHeaderSize), bodySize);
    return walkFrames(major, flags, bytes, dropped);
}

std::string ID3v2FrameHeader(const ID3v2Frame& frame) {
    std::string out = frame.id;
    appendBigEndian(out, static_cast<uint32_t>(frame.data.size()), 4);
    appendBigEndian(out, frame.flags, 2);
    return out;
}

std::string ID3v2FrameBytes(const ID3v2Frame& frame) {
    return ID3v2FrameHeader(frame) + frame.data;
}

std::string TextFrameValue(std::string_view data) {
    if (data.empty())
        return {};
    return joined(decodeValues(data.substr(1), static_cast<uint8_t>(data[0])), "/");
}

void CommentParts(std::string_view data, std::string& description, std::string& text) {
    description.clear();
    text.clear();
    constexpr std::size_t kTextsAt = 4; // behind the encoding and the language
    if (data.size() <= kTextsAt)
        return;
    const auto encoding = static_cast<uint8_t>(data[0]);
    const std::size_t end = FindTerminator(data, encoding, kTextsAt);
    description = DecodeText(data.substr(kTextsAt, end - kTextsAt), encoding);
    if (end < data.size())
        text = joined(decodeValues(data.substr(end + TerminatorWidth(encoding)), encoding), "\n");
}

void UserTextParts(std::string_view data, std::string& description, std::string& value) {
    description.clear();
    value.clear();
    if (data.empty())
        return;
    const auto encoding = static_cast<uint8_t>(data[0]);
    const std::size_t end = FindTerminator(data, encoding, 1);
    description = DecodeText(data.substr(1, end - 1), encoding);
    if (end < data.size())
        value = joined(decodeValues(data.substr(end + TerminatorWidth(encoding)), encoding), "/");
}

std::string UserTextData(std::string_view description, std::string_view value) {
    const uint8_t encoding = std::max(EncodingFor(description), EncodingFor(value));
    std::string data(1, static_cast<char>(encoding));
    data += EncodeText(description, encoding);
    data.append(TerminatorWidth(encoding), '\0');
    return data + EncodeText(value, encoding);
}

std::string TextFrameData(std::string_view utf8) {
    const uint8_t encoding = EncodingFor(utf8);
    return static_cast<char>(encoding) + EncodeText(utf8, encoding);
}

} // namespace tindrel
