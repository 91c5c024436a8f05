// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// Tries to create a named shared block as a second process would:
// shared_memory_probe NAME SIZE. Exit code 0: created with a view; 1: refused
// with no mapping and no view; 2: anything else.
#include "platform/FakeDialogs.h"
#include "plugins/SharedMemory.h"

#include <string>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    tindrel::FakeDialogs dialogs;
    tindrel::TSharedMemory memory(dialogs);
    memory.SetShareName(argv[1]);
    memory.SetSize(std::stoi(argv[2]));
    const bool created = memory.OpenMapping();
    void* view = memory.MapView();
    if (created && view && memory.HasMutex())
        return 0;
    if (!created && !view && !memory.HasMapping())
        return 1;
    return 2;
}
