// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Split.h"

#include "core/TimeText.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

std::optional<CutBytes> CutByteRange(int64_t startMs, int64_t endMs, const SourceFacts& facts) {
    if (startMs >= facts.lengthMs || startMs >= endMs)
        return std::nullopt;
    endMs = std::min(endMs, facts.lengthMs);
    startMs = std::max<int64_t>(startMs, 0);
    // A selection that lies wholly before the first byte once the offset is
    // applied has nothing to cut; its count would be negative or zero, and a
    // zero count would copy the whole file.
    if (facts.bitRateKbps > 0 && endMs <= startMs)
        return std::nullopt;
    return CutBytes{facts.bitRateKbps * startMs / 8, facts.bitRateKbps * (endMs - startMs) / 8};
}

bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe) {
    if (!FileExists(inputPath))
        return false;
    const std::optional<SourceFacts> facts = describe(inputPath);
    if (!facts)
        return false;
    offsetMs = std::clamp(offsetMs, -kCutOffsetLimitMs, kCutOffsetLimitMs);
    const int64_t startMs = ParseTimeMs(startText) + offsetMs;
    const int64_t endMs = ParseTimeMs(endText) + offsetMs;
    const std::optional<CutBytes> range = CutByteRange(startMs, endMs, *facts);
    // Writing onto the source itself would delete it before it is read.
    if (!range || SameFile(inputPath, outputPath))
        return false;

    FileStream input = FileStream::openRead(inputPath);
    if (FileExists(outputPath) && !overwrite)
        return false;
    // The piece replaces an existing file, read-only or not, only once it is
    // complete; until then, and after a failed write, the old file stays.
    AtomicFile output = AtomicFile::Create(outputPath, true);
    try {
        if (range->count == 0) {
            output.stream().copyFrom(input, input.size(), kCutBlockBytes);
        } else {
            input.seek(range->start);
            output.stream().copyFrom(input, range->count, kCutBlockBytes);
        }
    } catch (const StreamReadError&) {
        // A range the source does not hold keeps the whole blocks it did.
        output.Commit();
        throw;
    }
    output.Commit();
    return true;
}

bool ForceDeleteFile(const std::string& path) {
    if (!FileExists(path))
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    return ::unlink(path.c_str()) == 0;
}

std::string SourceStem(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

std::string PartOutputPath(const std::string& folder, const std::string& stem, int k) {
    return IncludeTrailingSeparator(folder) + stem + "_chunk_" + std::to_string(k) + ".mp3";
}

PartTimes PartRange(int i, int n, int64_t lengthMs) {
    const int64_t seg = lengthMs / n;
    return {seg * i, i == n - 1 ? lengthMs : seg * (i + 1) - 1};
}

int PartProgress(int i, int n) {
    if (n <= 1)
        return 100;
    return static_cast<int>(std::nearbyint(double(i) / double(n - 1) * 100.0));
}

} // namespace tindrel
