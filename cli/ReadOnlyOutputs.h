// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tindrel {

// The outputs of a split or a join that the user marked read-only: the
// window asks before it replaces one; here --force is the answer, and the
// tool says afterwards which marks went with the files they were on.
class ReadOnlyOutputs {
public:
    // Throws std::runtime_error naming the first marked output unless force;
    // with force, takes the marks off.
    ReadOnlyOutputs(const std::vector<std::string>& outputs, bool force);
    // One line to err for each output whose mark was taken off.
    void report(std::ostream& err) const;

private:
    std::vector<std::string> m_marked;
};

} // namespace tindrel
