// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PluginHost.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <dlfcn.h>
#include <utility>

namespace tindrel {

namespace {

// Owns one library handle of dlopen: the library is closed when its owner
// goes, unless close() has done so already.
class LibraryHandle {
public:
    LibraryHandle() = default;
    explicit LibraryHandle(void* handle) : m_handle(handle) {}
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    LibraryHandle(LibraryHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    LibraryHandle& operator=(LibraryHandle&& other) noexcept {
        if (this != &other) {
            close();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    ~LibraryHandle() { close(); }

    void* get() const { return m_handle; }
    // false when the loader refuses to close it; the handle is given up
    // either way, as it cannot be closed twice.
    bool close() {
        void* handle = std::exchange(m_handle, nullptr);
        return !handle || dlclose(handle) == 0;
    }

private:
    void* m_handle = nullptr;
};

struct Host {
    std::array<In_Module*, kPluginSlots> modules{};
    std::array<LibraryHandle, kPluginSlots> libraries;
    std::array<TPluginInfo, kPluginSlots> infos;
    int32_t inUseSlot = -1;
    std::string pluginsFolder;
    bool started = false;
};

Host host;

bool validSlot(int32_t slot) {
    return slot >= 0 && slot < kPluginSlots;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// The visualisation and DSP services a plug-in may call: none is active.
void SAVSAInit(int, int) {}
void SAVSADeInit() {}
void SAAddPCMData(void*, int, int, int) {}
int SAGetMode() {
    return 0;
}
void SAAdd(void*, int, int) {}
void VSAAddPCMData(void*, int, int, int) {}
int VSAGetMode(int*, int*) {
    return 0;
}
void VSAAdd(void*, int) {}
void VSASetInfo(int, int) {}
int dsp_isactive() {
    return 0;
}
int dsp_dosamples(short int*, int numsamples, int, int, int) {
    return numsamples;
}
void SetInfo(int, int, int, int) {}

void fillServices(In_Module& module) {
    module.SAVSAInit = &SAVSAInit;
    module.SAVSADeInit = &SAVSADeInit;
    module.SAAddPCMData = &SAAddPCMData;
    module.SAGetMode = &SAGetMode;
    module.SAAdd = &SAAdd;
    module.VSAAddPCMData = &VSAAddPCMData;
    module.VSAGetMode = &VSAGetMode;
    module.VSAAdd = &VSAAdd;
    module.VSASetInfo = &VSASetInfo;
    module.dsp_isactive = &dsp_isactive;
    module.dsp_dosamples = &dsp_dosamples;
    module.SetInfo = &SetInfo;
}

// The entries the host calls whenever it needs them; a plug-in that leaves
// one empty is refused at load rather than crashing later, at every file it
// claims.
bool hasRequiredEntries(const In_Module& module) {
    return module.GetFileInfo && module.Play && module.Pause && module.UnPause && module.Stop && module.SetOutputTime &&
           module.SetVolume;
}

// A plug-in is a file of the Plugins folder: a bare name, not a path that
// leads out of it.
bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The text a plug-in's char* member points at; a null member is empty.
std::string text(const char* value) {
    return value ? std::string(value) : std::string();
}

} // namespace

bool InitPluginHost(const std::string& programFolder, const BassLibrary& bass, IDialogs& dialogs) {
    host.modules.fill(nullptr);
    host.pluginsFolder = IncludeTrailingSeparator(IncludeTrailingSeparator(programFolder) + "Plugins");
    const bool ready = StartOutputEmulator(bass, dialogs, [] { host.inUseSlot = -1; });
    host.inUseSlot = -1;
    host.started = true;
    return ready;
}

void QuitPluginHost() {
    if (!host.started)
        return;
    for (int32_t slot = 0; slot < kPluginSlots; ++slot) {
        In_Module* module = host.modules[slot];
        if (!module)
            continue;
        if (module->Quit)
            module->Quit();
        host.libraries[slot].close();
        // The record lived in the library just unmapped.
        host.modules[slot] = nullptr;
    }
    StopOutputEmulator();
    host.inUseSlot = -1;
    host.started = false;
}

void SetPlayerWindow(MessageWindow* window) {
    SetEmulatorPlayerWindow(window);
}
MessageWindow* GetPlayerWindow() {
    return EmulatorPlayerWindow();
}
MessageWindow* GetEmulatorWindow() {
    return EmulatorWindow();
}
const std::string& PluginsFolder() {
    return host.pluginsFolder;
}

int32_t LoadPlugin(const std::string& fileName) {
    if (!EmulatorReady())
        return kLoadNotReady;
    if (FindPlugin(fileName) >= 0)
        return kLoadAlreadyLoaded;
    const auto empty = std::find(host.modules.begin(), host.modules.end(), nullptr);
    if (empty == host.modules.end())
        return kLoadNoSpace;
    const auto slot = static_cast<int32_t>(empty - host.modules.begin());
    if (!plainFileName(fileName))
        return kLoadFailed;
    LibraryHandle library(dlopen((host.pluginsFolder + fileName).c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library.get())
        return kLoadFailed;
    const auto entry = reinterpret_cast<GetInModule2Proc>(dlsym(library.get(), "winampGetInModule2"));
    In_Module* module = entry ? entry() : nullptr;
    // The members after the version are laid out as that version lays them
    // out: a record of another version is not read any further.
    if (!module || module->version != kInModuleVersion || !hasRequiredEntries(*module))
        return kLoadNotAPlugin;
    module->hMainWindow = EmulatorHandle();
    module->hDllInstance = library.get();
    module->outMod = EmulatorOutModule();
    if (module->Init)
        module->Init();
    // Init runs before the host's services are in place.
    fillServices(*module);
    host.modules[slot] = module;
    void* const handle = library.get();
    host.infos[slot] = {
        fileName, module->version, text(module->description), text(module->FileExtensions), module->is_seekable,
        handle};
    host.libraries[slot] = std::move(library);
    return kPluginDone;
}

int32_t UnloadPlugin(const std::string& fileName) {
    const int32_t slot = FindPlugin(fileName);
    if (slot < 0)
        return kUnloadNotLoaded;
    if (slot == host.inUseSlot)
        return kUnloadInUse;
    if (host.modules[slot]->Quit)
        host.modules[slot]->Quit();
    if (!host.libraries[slot].close())
        return kUnloadFailed;
    host.modules[slot] = nullptr;
    return kPluginDone;
}

int32_t FindPlugin(const std::string& fileName) {
    for (int32_t slot = 0; slot < kPluginSlots; ++slot)
        if (host.modules[slot] && host.infos[slot].FileName == fileName)
            return slot;
    return -1;
}

In_Module* GetPluginModule(int32_t slot) {
    return validSlot(slot) ? host.modules[slot] : nullptr;
}

TPluginInfo GetPluginInfo(int32_t slot) {
    return validSlot(slot) && host.modules[slot] ? host.infos[slot] : TPluginInfo{};
}

int32_t SelectPlugin(int32_t slot) {
    if (!GetPluginModule(slot))
        return -1;
    host.inUseSlot = slot;
    return 0;
}

int32_t InUsePlugin() {
    return host.inUseSlot;
}

int32_t PluginOutputTime(bool fromEmulator) {
    if (fromEmulator)
        return EmulatorOutModule()->GetOutputTime();
    In_Module* module = GetPluginModule(host.inUseSlot);
    return module && module->GetOutputTime ? module->GetOutputTime() : 0;
}

void MarkSeekPending() {
    MarkEmulatorSeekPending();
}

bool PluginMatchesFile(const std::string& fileExtensions, const std::string& fileName) {
    const std::string name = ExtractFileName(fileName);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string key = upper(name.substr(dot + 1, 3));
    return !key.empty() && upper(fileExtensions).find(key) != std::string::npos;
}

} // namespace tindrel
