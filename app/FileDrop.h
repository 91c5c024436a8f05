// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QStringList>
#include <functional>

class QDragEnterEvent;
class QDropEvent;

namespace tindrel {

// Files dragged onto a page from a file manager: a drag is taken when it
// carries at least one local file, and a drop hands the local files on in the
// drag's order (anything else it carries is left out).
void AcceptFileDrag(QDragEnterEvent* event);
void TakeFileDrop(QDropEvent* event, const std::function<void(const QStringList&)>& open);

} // namespace tindrel
