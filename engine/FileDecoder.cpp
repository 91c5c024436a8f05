// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/FileDecoder.h"

#include "engine/EngineError.h"
#include "engine/Mp3Decoder.h"
#include "engine/VorbisDecoder.h"
#include "engine/WavDecoder.h"

#include <cstring>
#include <fstream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace tindrel::engine {
namespace {

// Enough to find the first two frames of MPEG audio behind junk that some
// writers leave between the tag and the audio.
constexpr std::size_t kProbeBytes = 64 * 1024 + 8;

bool startsWith(const std::vector<unsigned char>& head, const char* magic, std::size_t at = 0) {
    const std::size_t n = std::strlen(magic);
    return head.size() >= at + n && std::memcmp(head.data() + at, magic, n) == 0;
}

// Where the audio starts: behind every ID3v2 tag at the file's start (some
// taggers put a new tag in front of an old one).
std::streamoff skipId3v2Tags(std::ifstream& in) {
    std::streamoff at = 0;
    unsigned char h[10];
    while (in.seekg(at) && in.read(reinterpret_cast<char*>(h), 10) && h[0] == 'I' && h[1] == 'D' && h[2] == '3')
        at += 10 + ((h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 | (h[8] & 0x7F) << 7 | (h[9] & 0x7F)) +
              ((h[5] & 0x10) ? 10 : 0);
    in.clear();
    return at;
}

std::vector<unsigned char> readAt(std::ifstream& in, std::streamoff at, std::size_t bytes) {
    std::vector<unsigned char> data(bytes);
    in.clear();
    in.seekg(at);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(bytes));
    data.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return data;
}

// The same probe on a file held open, read where it is asked.
std::vector<unsigned char> readAt(int fd, int64_t at, std::size_t bytes) {
    std::vector<unsigned char> data(bytes);
    const ssize_t got = ::pread(fd, data.data(), bytes, static_cast<off_t>(at));
    data.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    return data;
}

int64_t skipId3v2Tags(int fd) {
    int64_t at = 0;
    for (;;) {
        const std::vector<unsigned char> h = readAt(fd, at, 10);
        if (h.size() < 10 || h[0] != 'I' || h[1] != 'D' || h[2] != '3')
            return at;
        at += 10 + ((h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 | (h[8] & 0x7F) << 7 | (h[9] & 0x7F)) +
              ((h[5] & 0x10) ? 10 : 0);
    }
}

} // namespace

std::string FileArgument(BOOL mem, const void* file, QWORD offset, QWORD length) {
    if (mem || offset != 0 || length != 0)
        throw EngineError(BASS_ERROR_NOTAVAIL);
    if (!file)
        throw EngineError(BASS_ERROR_FILEOPEN);
    return static_cast<const char*>(file);
}

std::unique_ptr<Decoder> OpenFileDecoder(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw EngineError(BASS_ERROR_FILEOPEN);
    const std::streamoff size = in.tellg();
    const std::vector<unsigned char> head = readAt(in, 0, 12);
    if (startsWith(head, "RIFF") && startsWith(head, "WAVE", 8))
        return OpenWavDecoder(path);
    if (startsWith(head, "OggS"))
        return OpenVorbisDecoder(path);
    const std::streamoff audio = skipId3v2Tags(in);
    if (audio < size) {
        const std::vector<unsigned char> probe = readAt(in, audio, kProbeBytes);
        if (auto mpeg = FindMpegAudio(probe, static_cast<std::size_t>(size - audio))) {
            mpeg->offset += static_cast<std::size_t>(audio);
            return OpenMp3Decoder(path, *mpeg);
        }
    }
    throw EngineError(BASS_ERROR_FILEFORM);
}

std::unique_ptr<Decoder> OpenFileDecoder(int fd, const std::string& path) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        throw EngineError(BASS_ERROR_FILEOPEN);
    const int64_t size = st.st_size;
    const std::vector<unsigned char> head = readAt(fd, 0, 12);
    // The other formats' decoders read by name; a file named ".mp3" that
    // holds one of them is rare enough to be opened again for it.
    if ((startsWith(head, "RIFF") && startsWith(head, "WAVE", 8)) || startsWith(head, "OggS"))
        return OpenFileDecoder(path);
    const int64_t audio = skipId3v2Tags(fd);
    if (audio < size) {
        const std::vector<unsigned char> probe = readAt(fd, audio, kProbeBytes);
        if (auto mpeg = FindMpegAudio(probe, static_cast<std::size_t>(size - audio))) {
            mpeg->offset += static_cast<std::size_t>(audio);
            return OpenMp3Decoder(fd, *mpeg);
        }
    }
    throw EngineError(BASS_ERROR_FILEFORM);
}

} // namespace tindrel::engine
