// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>

namespace tindrel {

// Tag texts are single bytes (ISO-8859-1); the console speaks UTF-8.

// A command-line argument as tag bytes: what the page stores for the same
// text typed into a field, with '?' for a character the tag cannot hold.
std::string TagBytesFromArgument(const std::string& utf8);
// Tag bytes as the console shows them.
std::string TagBytesForConsole(const std::string& latin1);

} // namespace tindrel
