// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "bench/mpeg/BenchFiles.h"

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

// The peer: TagLib's generic file reference with its audio properties, the
// same facts the analysis gives (length, bit rate, sample rate, channels).
int main(int argc, char** argv) {
    return tindrel::bench::RunBenchmark("TagLib", argc, argv, [](const std::string& file) {
        TagLib::FileRef ref(file.c_str(), true);
        const TagLib::AudioProperties* properties = ref.isNull() ? nullptr : ref.audioProperties();
        if (!properties)
            return 0.0;
        return properties->lengthInMilliseconds() / 1000.0 + properties->bitrate() + properties->sampleRate();
    });
}
