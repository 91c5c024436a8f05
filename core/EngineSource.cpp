// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EngineSource.h"

#include "engine/FileDecoder.h"
#include "mpeg/MPEGaudio.h"
#include "platform/FileStream.h"

#include <cmath>
#include <functional>
#include <memory>

namespace tindrel {

namespace {

// analysed: the MPEG analysis of the file succeeded and found it valid.
std::optional<SourceFacts> describe(bool analysed, const TMPEGaudio& mpeg,
                                    const std::function<std::unique_ptr<engine::Decoder>()>& open) {
    if (!analysed || !mpeg.IsValid())
        return std::nullopt;
    std::unique_ptr<engine::Decoder> decoder;
    try {
        decoder = open();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // The player asks the engine for seconds as a float and rounds those;
    // an unknown length is 0 there.
    const int64_t frames = decoder->lengthFrames();
    const auto seconds = frames > 0 ? static_cast<float>(double(frames) / decoder->rate()) : 0.0f;
    return SourceFacts{static_cast<int64_t>(std::nearbyint(double(seconds) * 1000.0)), mpeg.BitRate()};
}

} // namespace

std::optional<SourceFacts> DescribeMp3(const std::string& path) {
    TMPEGaudio mpeg;
    const bool analysed = mpeg.Analyze(path);
    return describe(analysed, mpeg, [&] { return engine::OpenFileDecoder(path); });
}

std::optional<SourceFacts> DescribeMp3(const FileStream& source) {
    TMPEGaudio mpeg;
    const bool analysed = mpeg.Analyze(source);
    return describe(analysed, mpeg, [&] { return engine::OpenFileDecoder(source.fd(), source.path()); });
}

} // namespace tindrel
