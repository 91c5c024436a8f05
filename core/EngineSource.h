// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"

#include <optional>
#include <string>

namespace tindrel {

class FileStream;

// The length and bit rate of an MP3 source, by the same means the player
// uses for a ".MP3" file (the MPEG analysis for the bit rate, the engine's
// decoder for the length, rounded to milliseconds as the player rounds it),
// but without the player, its event loop or the engine's library: a cut
// that only needs these figures starts at once. Nothing when the player
// would not open the file.
std::optional<SourceFacts> DescribeMp3(const std::string& path);
// The same from the source a cut already holds open: the figures are those
// of the file that is cut, read without opening it again.
std::optional<SourceFacts> DescribeMp3(const FileStream& source);

} // namespace tindrel
