// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>

namespace tindrel {

// Reads one value from an INI file. Section and key names match without
// regard to case; blanks around the value and one pair of double quotes
// around it are dropped. A missing file, section or key gives fallback.
std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback);

} // namespace tindrel
