// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The host of Winamp 2 input plug-ins: a table of at most 8 plug-ins loaded
// from the Plugins folder, each given the output emulator as its output
// module. One host per process, alive as long as the player; every call runs
// on the UI thread.

#include "plugins/OutputEmulator.h"
#include "plugins/WinampPlugin.h"

#include <cstdint>
#include <string>

namespace tindrel {

class BassLibrary;
class IDialogs;
class MessageWindow;

inline constexpr int32_t kPluginSlots = 8;

struct TPluginInfo {
    std::string FileName; // as given to LoadPlugin, relative to PluginsFolder
    int32_t ModuleVersion = 0;
    std::string Description;
    std::string FileExtensions; // the first entry of the published list only
    int32_t Seekable = 0;
    void* DLLHandle = nullptr;
};

// Result codes of LoadPlugin and UnloadPlugin.
enum : int32_t {
    kPluginDone = 0,
    kLoadNotReady = 1,
    kLoadAlreadyLoaded = 2,
    kLoadNoSpace = 3,
    kLoadFailed = 4,
    kLoadNotAPlugin = 5,
    kUnloadFailed = 6,
    kUnloadNotLoaded = 7,
    kUnloadInUse = 8,
};

// Sets up the table and the output emulator; plug-ins are looked for in
// programFolder/Plugins/. Returns whether the emulator is ready.
bool InitPluginHost(const std::string& programFolder, const BassLibrary& bass, IDialogs& dialogs);
// Quits and frees every plug-in, then the emulator. Harmless without Init.
void QuitPluginHost();
void SetPlayerWindow(MessageWindow* window);
MessageWindow* GetPlayerWindow();
MessageWindow* GetEmulatorWindow();
const std::string& PluginsFolder();

// fileName is a bare file name inside the Plugins folder. A library without
// the entry point, or whose record leaves an entry the host calls empty, is
// not a plug-in.
int32_t LoadPlugin(const std::string& fileName);
int32_t UnloadPlugin(const std::string& fileName);
// The first loaded slot whose file name is exactly fileName, or -1.
int32_t FindPlugin(const std::string& fileName);
// nullptr for an empty slot or an index outside 0..7.
In_Module* GetPluginModule(int32_t slot);
// An empty record for an empty slot or an index outside 0..7.
TPluginInfo GetPluginInfo(int32_t slot);
// Marks a loaded slot as the one playing: 0, or -1 for any other index.
int32_t SelectPlugin(int32_t slot);
int32_t InUsePlugin();
// true: what the emulator has played; false: the playing module's own time.
int32_t PluginOutputTime(bool fromEmulator);
void MarkSeekPending();

// Whether a file's extension is among a plug-in's extensions: the first three
// characters after the last dot of the file name, upper-cased, occur anywhere
// in the upper-cased list. A name without an extension never matches.
bool PluginMatchesFile(const std::string& fileExtensions, const std::string& fileName);

} // namespace tindrel
