// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "engine/Decoder.h"

#include <vector>

namespace tindrel::engine {

// A stream whose samples come from the caller's callback, pulled on the
// mixing thread. 8-bit samples (unsigned, as the callback gives them) are
// widened to 16 bits for mixing. The callback may deliver any number of
// bytes: a partial frame is kept and completed by the next delivery.
class UserStream final : public Decoder {
public:
    UserStream(HSTREAM handle, DWORD freq, DWORD flags, STREAMPROC* proc, void* user);

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t) override { return false; }
    int64_t lengthFrames() const override { return -1; }

private:
    HSTREAM m_handle;
    int m_rate;
    int m_channels;
    bool m_eightBit;
    STREAMPROC* m_proc;
    void* m_user;
    bool m_finished = false;
    std::vector<uint8_t> m_bytes;
    std::size_t m_carried = 0; // bytes of a partial frame at m_bytes' start
};

} // namespace tindrel::engine
