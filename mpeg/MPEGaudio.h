// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/MPEGFrame.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tindrel {

class FileStream;

// How far behind the ID3v2 tag the analysis goes on when its first window's
// frame is one that no frame of its kind follows (junk before the audio).
inline constexpr std::size_t kJunkSearchBytes = 64 * 1024;

// Describes an MP3 file without decoding audio: its tags, its first frame,
// an optional VBR header and the encoder's mark, and from these its bit
// rate, sample rate, channel mode and duration. One object serves file after
// file; each Analyze starts from Clear.
class TMPEGaudio {
public:
    TMPEGaudio();
    ~TMPEGaudio();
    TMPEGaudio(const TMPEGaudio&) = delete;
    TMPEGaudio& operator=(const TMPEGaudio&) = delete;

    // Loads both tags, then reads at most three windows of kMPEGWindowSize
    // bytes (after the ID3v2 tag, in the middle when the first holds no
    // frame, and before the end of the file to find the encoder when there
    // is no VBR header), and kJunkSearchBytes more when the first window's
    // frame has no successor of its kind. True when the file was read to the end of the
    // analysis. A failure after a frame was found keeps what was found;
    // without a frame every field is cleared. Never throws.
    bool Analyze(const std::string& fileName);
    // The same from a file already open for reading: the tags and the
    // windows are read from that one open file, whatever its name holds
    // by now.
    bool Analyze(const FileStream& file);
    void Clear();

    // kbit/s: the VBR header's average when it counts frames, otherwise the
    // first frame's table rate; at most 65535.
    uint16_t BitRate() const;
    uint16_t SampleRate() const { return TableSampleRate(m_firstFrame); }
    const char* ChannelModeName() const { return tindrel::ChannelModeName(m_firstFrame.ModeCode); }
    // Seconds; 0 when no frame was found.
    double Duration() const;
    // A frame was found, the bit rate is 8 to 448 kbit/s and the file lasts
    // at least 0.1 s.
    bool IsValid() const;

    int64_t FileSize() const { return m_fileSize; }
    const std::string& EncoderID() const { return m_encoderID; }
    const TVBRHeader& VBRHeader() const { return m_vbrHeader; }
    const TMPEGFrame& FirstFrame() const { return m_firstFrame; }
    const TID3v1& V1Tag() const { return *m_v1Tag; }
    const TID3v2& V2Tag() const { return *m_v2Tag; }
    // Bytes the last Analyze read itself, the tag readers' reads aside.
    std::size_t WindowBytesRead() const { return m_windowBytesRead; }

private:
    void analyzeWindows(const FileStream& file);
    // Takes a frame further on that frames follow, when there is one, over
    // a first frame that no frame of its kind follows.
    void searchBehindJunk(const FileStream& file, int64_t tagSize);
    // kbit/s of the first frame: its table rate, or in free format the rate
    // its length stands for.
    double firstFrameBitRate() const;
    // The VBR header counts frames, so its averages replace the table values.
    bool hasFrameCount() const;
    // BitRate before it is limited to 16 bits.
    int64_t exactBitRate() const;

    int64_t m_fileSize = 0;
    std::string m_encoderID;
    TVBRHeader m_vbrHeader;
    TMPEGFrame m_firstFrame;
    std::unique_ptr<TID3v1> m_v1Tag;
    std::unique_ptr<TID3v2> m_v2Tag;
    std::size_t m_windowBytesRead = 0;
};

} // namespace tindrel
