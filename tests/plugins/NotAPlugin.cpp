// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// Libraries that the host must refuse as plug-ins: one without the entry
// point, one whose entry point gives no record.
#include "plugins/WinampPlugin.h"

#if defined(TINDREL_NULL_MODULE)
extern "C" __attribute__((visibility("default"))) tindrel::In_Module* winampGetInModule2() {
    return nullptr;
}
#else
extern "C" __attribute__((visibility("default"))) int notAPlugin() {
    return 42;
}
#endif
