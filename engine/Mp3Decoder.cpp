// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Mp3Decoder.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"
#include "mpeg/FrameHeader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel::engine {
namespace {

// Where a search for the first frame gives up.
constexpr std::size_t kSearchBytes = 64 * 1024;
// Reads that give nothing (damaged frames, a change of format) before a
// file is taken to have ended.
constexpr int kMaxFruitlessReads = 1000;

// The frames the decoder gives for a file without the encoder's note: every
// whole frame from `start` on, frames at another sample rate (a joined
// file) counted at the output rate they are converted to. Bytes that are no
// frame are stepped over one at a time, as the decoder resynchronises.
// A free format stream's frames are as long as its first (freeFormatBytes
// before their padding).
int64_t countOutputFrames(int fd, const MpegAudioStart& start, int outputRate) {
    std::vector<unsigned char> buffer(64 * 1024);
    std::size_t bufferStart = 0, bufferEnd = 0; // file offsets held in buffer
    bool full = true;                           // the last read filled the buffer
    std::map<uint32_t, uint64_t> samplesAtRate;
    for (std::size_t at = start.offset;;) {
        if (at + 4 > bufferEnd) {
            const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
            bufferStart = at;
            bufferEnd = at + static_cast<std::size_t>(std::max<ssize_t>(got, 0));
            full = got == ssize_t(buffer.size());
            if (at + 4 > bufferEnd)
                break;
        }
        const unsigned char* header = &buffer[at - bufferStart];
        TMPEGFrame frame;
        if (IsFrameHeader(header, start.freeFormatBytes > 0))
            DecodeFrameHeader(header, frame);
        const uint16_t length = FrameLength(frame, start.freeFormatBytes);
        if (length == 0) {
            ++at;
            continue;
        }
        // A frame cut off by the end of the file is not played.
        if (!full && at + length > bufferEnd)
            break;
        samplesAtRate[TableSampleRate(frame)] += SamplesPerFrame(frame);
        at += length;
    }
    uint64_t total = 0;
    for (const auto& [rate, samples] : samplesAtRate)
        total += (samples * static_cast<uint64_t>(outputRate) + rate / 2) / rate;
    return static_cast<int64_t>(total);
}

// The file as the decoder reads it: from the first frame on, so that bytes
// before the audio that hold a false frame header (junk a tool left, a
// broken tag) are never decoded as sound.
// Read at its own position, so that a file the caller holds open (and
// reads itself) can be decoded without being opened again by its name.
class AudioFile {
public:
    AudioFile(const std::string& path, off_t start)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), m_owned(true), m_start(start) {
        if (m_fd < 0)
            throw EngineError(BASS_ERROR_FILEOPEN);
    }
    // Reads fd, which stays the caller's and open while this lives.
    AudioFile(int fd, off_t start) : m_fd(fd), m_owned(false), m_start(start) {
        if (m_fd < 0)
            throw EngineError(BASS_ERROR_FILEOPEN);
    }
    ~AudioFile() {
        if (m_owned)
            ::close(m_fd);
    }
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    int fd() const { return m_fd; }

    // The decoder asks for a frame's header and then its body, two small
    // reads a frame; they are served from blocks read ahead, so that a
    // file is read in a few dozen calls instead of tens of thousands.
    static mpg123_ssize_t read(void* self, void* buffer, std::size_t bytes) {
        auto* file = static_cast<AudioFile*>(self);
        return file->readAt(static_cast<unsigned char*>(buffer), bytes);
    }
    static off_t seek(void* self, off_t offset, int whence) {
        auto* file = static_cast<AudioFile*>(self);
        off_t base = 0;
        if (whence == SEEK_CUR)
            base = file->m_position;
        else if (whence == SEEK_END) {
            struct stat st {};
            if (::fstat(file->m_fd, &st) != 0)
                return -1;
            base = st.st_size - file->m_start;
        } else if (whence != SEEK_SET) {
            errno = EINVAL;
            return -1;
        }
        // As the system refuses a position before the file's first byte.
        if (base + offset + file->m_start < 0) {
            errno = EINVAL;
            return -1;
        }
        file->m_position = base + offset;
        return file->m_position;
    }

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    ssize_t readAt(unsigned char* out, std::size_t bytes) {
        std::size_t done = 0;
        while (done < bytes) {
            if (m_position >= m_blockStart && m_position - m_blockStart < static_cast<off_t>(m_blockBytes)) {
                const auto from = static_cast<std::size_t>(m_position - m_blockStart);
                const std::size_t take = std::min(bytes - done, m_blockBytes - from);
                std::memcpy(out + done, m_block.data() + from, take);
                done += take;
                m_position += static_cast<off_t>(take);
                continue;
            }
            // What a whole block would hold goes straight to the caller.
            const bool direct = bytes - done >= kBlockBytes;
            if (!direct && m_block.empty())
                m_block.resize(kBlockBytes);
            unsigned char* into = direct ? out + done : m_block.data();
            const ssize_t got = ::pread(m_fd, into, direct ? bytes - done : kBlockBytes, m_start + m_position);
            if (got < 0)
                return done > 0 ? static_cast<ssize_t>(done) : got;
            if (got == 0)
                break;
            if (direct) {
                done += static_cast<std::size_t>(got);
                m_position += got;
            } else {
                m_blockStart = m_position;
                m_blockBytes = static_cast<std::size_t>(got);
            }
        }
        return static_cast<ssize_t>(done);
    }

    int m_fd;
    bool m_owned;
    off_t m_start;
    off_t m_position = 0; // from start
    std::vector<unsigned char> m_block;
    off_t m_blockStart = 0; // from start
    std::size_t m_blockBytes = 0;
};

struct HandleDeleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

class Mp3Decoder final : public Decoder {
public:
    Mp3Decoder(std::unique_ptr<AudioFile> file, const MpegAudioStart& start);

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    void setUp();

    // Declared first: the decoder reading it is closed before it.
    std::unique_ptr<AudioFile> m_file;
    std::unique_ptr<mpg123_handle, HandleDeleter> m_handle;
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_length = -1;
    int64_t m_position = 0; // frames given out since the start
    bool m_finished = false;
};

Mp3Decoder::Mp3Decoder(std::unique_ptr<AudioFile> file, const MpegAudioStart& start) : m_file(std::move(file)) {
    int error = MPG123_OK;
    m_handle.reset(mpg123_new(nullptr, &error));
    if (!m_handle)
        throw EngineError(BASS_ERROR_MEM);
    setUp();
    if (mpg123_replace_reader_handle(m_handle.get(), &AudioFile::read, &AudioFile::seek, nullptr) != MPG123_OK ||
        mpg123_open_handle(m_handle.get(), m_file.get()) != MPG123_OK)
        throw EngineError(BASS_ERROR_FILEOPEN);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(m_handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels < 1)
        throw EngineError(BASS_ERROR_FILEFORM);
    // From here on every frame comes out in this format, whatever later
    // frames of a joined file say.
    mpg123_format_none(m_handle.get());
    mpg123_format(m_handle.get(), rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    m_rate = static_cast<int>(rate);
    m_channels = channels == 1 ? 1 : 2;
    // Without the encoder's note the library would guess the length from
    // the file's size and the first frame's bit rate, counting the tags
    // and missing any change of rate; the frame headers tell the length
    // the decoder will play.
    if (!start.hasInfoFrame)
        m_length = std::max<int64_t>(0, countOutputFrames(m_file->fd(), start, m_rate) - start.leadSamples);
    if (m_length < 0) {
        const off_t length = mpg123_length(m_handle.get());
        m_length = length >= 0 ? static_cast<int64_t>(length) : -1;
    }
}

void Mp3Decoder::setUp() {
    mpg123_handle* h = m_handle.get();
    // Gapless decoding is what makes lengths exact; the tags are read by
    // Tindrel's own readers, so the decoder only steps over them.
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
}

std::size_t Mp3Decoder::read(int16_t* out, std::size_t frames) {
    const std::size_t frameBytes = static_cast<std::size_t>(m_channels) * sizeof(int16_t);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t done = 0;
    int fruitless = 0;
    while (done < frames && !m_finished) {
        std::size_t got = 0;
        const int rc = mpg123_read(m_handle.get(), bytes + done * frameBytes, (frames - done) * frameBytes, &got);
        done += got / frameBytes;
        // A damaged frame is skipped and decoding goes on after it; a file
        // made of nothing but damage ends.
        const bool ended = rc == MPG123_DONE || (got == 0 && ++fruitless > kMaxFruitlessReads);
        if (ended) {
            m_finished = true;
            // Now the true length is known, whatever the header said.
            m_length = m_position + static_cast<int64_t>(done);
        }
    }
    m_position += static_cast<int64_t>(done);
    return done;
}

bool Mp3Decoder::seek(int64_t frame) {
    if (frame < 0)
        return false;
    const off_t landed = mpg123_seek(m_handle.get(), static_cast<off_t>(frame), SEEK_SET);
    if (landed < 0)
        return false;
    m_position = static_cast<int64_t>(landed);
    m_finished = false;
    return true;
}

} // namespace

std::optional<MpegAudioStart> FindMpegAudio(std::span<const unsigned char> head, std::size_t bytesToEnd) {
    const std::span<const unsigned char> bytes = head.first(std::min(head.size(), bytesToEnd));
    const std::optional<TAudioStart> start =
        FindAudioStart(TByteSpan{bytes}, 0, int64_t(std::min(bytes.size(), kSearchBytes)) - 4);
    // One header followed by one that merely looks like another proves
    // little: any binary file has a sync word somewhere.
    if (!start || !start->Confirmed)
        return std::nullopt;
    const auto offset = static_cast<std::size_t>(start->Offset);
    TMPEGFrame frame;
    DecodeFrameHeader(&bytes[offset], frame);
    // The encoder's note of the frame count makes the length exact; a VBRI
    // header's count is not what the decoder plays.
    const TInfoFrame info = ReadInfoFrame(bytes.subspan(offset), frame);
    MpegAudioStart found{offset, info.Found && !info.IsVBRI, start->FreeFormatBytes, 0};
    // A file cut short holds fewer frames than its note promises: they are
    // counted instead, less what the decoder leaves out at the start (the
    // note's own frame, the encoder's and the decoder's delay).
    if (found.hasInfoFrame && info.ByteCount > 0 && int64_t(bytesToEnd - offset) < info.ByteCount) {
        found.hasInfoFrame = false;
        found.leadSamples = SamplesPerFrame(frame) + (info.HasExtension ? info.EncoderDelay + kMp3DecoderDelay : 0);
    }
    return found;
}

std::unique_ptr<Decoder> OpenMp3Decoder(const std::string& path, const MpegAudioStart& start) {
    return std::make_unique<Mp3Decoder>(std::make_unique<AudioFile>(path, static_cast<off_t>(start.offset)), start);
}

std::unique_ptr<Decoder> OpenMp3Decoder(int fd, const MpegAudioStart& start) {
    return std::make_unique<Mp3Decoder>(std::make_unique<AudioFile>(fd, static_cast<off_t>(start.offset)), start);
}

} // namespace tindrel::engine
