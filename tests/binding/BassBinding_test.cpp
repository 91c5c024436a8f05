// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "binding/BassBinding.h"
#include "tests/binding/EngineSession.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>

namespace tindrel::test {
namespace {

// Nothing of the library stays mapped in the process.
bool IsMapped(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

TEST(JoinLibraryPath, AddsOneSeparatorOnlyWhenMissing) {
    struct Case {
        const char* folder;
        const char* expected;
    };
    for (const Case& c : {Case{"/opt/tindrel", "/opt/tindrel/libbass.so"},
                          Case{"/opt/tindrel/", "/opt/tindrel/libbass.so"}, Case{"/", "/libbass.so"}})
        EXPECT_EQ(JoinLibraryPath(c.folder, "libbass.so"), c.expected) << c.folder;
}

TEST(BassLibrary, LoadsEveryEntryPointFromTheProgramFolder) {
    for (const std::string& folder : {ProgramFolder(), ProgramFolder() + "/"}) {
        BassLibrary bass;
        ASSERT_TRUE(bass.Load(folder, "libbass.so")) << folder;
        EXPECT_TRUE(bass.Loaded());
        EXPECT_EQ(bass.BASS_GetVersion(), 0x00080001u);
        EXPECT_NE(bass.BASS_ChannelGetAttributes, nullptr);
        // Already loaded: true, whatever folder is given now.
        EXPECT_TRUE(bass.Load("/nonexistent", "libbass.so"));
        bass.Unload();
        EXPECT_FALSE(bass.Loaded());
        EXPECT_EQ(bass.BASS_GetVersion, nullptr);
    }
}

TEST(BassLibrary, UnloadFreesTheEngine) {
    BassLibrary bass;
    ASSERT_TRUE(bass.Load(ProgramFolder(), "libbass.so"));
    ASSERT_TRUE(bass.BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
    bass.Unload();
    ASSERT_TRUE(bass.Load(ProgramFolder(), "libbass.so"));
    // Had the first session not been freed, this would fail as "already".
    EXPECT_TRUE(bass.BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr)) << bass.BASS_ErrorGetCode();
}

TEST(BassLibrary, MissingFileOrEntryPointLeavesNothingLoaded) {
    TempDir empty;
    struct Case {
        std::string folder;
        std::string name;
    };
    for (const Case& c : {Case{empty.path(), "libbass.so"}, Case{TINDREL_INCOMPLETE_FOLDER, "libbass.so"}}) {
        BassLibrary bass;
        EXPECT_FALSE(bass.Load(c.folder, c.name)) << c.folder;
        EXPECT_FALSE(bass.Loaded());
        EXPECT_EQ(bass.BASS_GetVersion, nullptr) << "entry points found before the failure are forgotten";
        EXPECT_FALSE(IsMapped(JoinLibraryPath(c.folder, c.name)));
        bass.Unload(); // harmless when nothing is loaded
    }
}

TEST(BassWmaLibrary, LoadsTheAddOnAndRefusesAnIncompleteOne) {
    BassWmaLibrary wma;
    ASSERT_TRUE(wma.Load(ProgramFolder(), "libbasswma.so"));
    EXPECT_NE(wma.BASS_WMA_StreamCreateFile, nullptr);
    EXPECT_NE(wma.BASS_WMA_ChannelSetSync, nullptr);
    wma.Unload();
    EXPECT_FALSE(wma.Loaded());

    BassWmaLibrary incomplete;
    EXPECT_FALSE(incomplete.Load(TINDREL_INCOMPLETE_FOLDER, "libbasswma.so"));
    EXPECT_FALSE(incomplete.Loaded());
    EXPECT_EQ(incomplete.BASS_WMA_StreamCreateFile, nullptr);
    EXPECT_FALSE(IsMapped(JoinLibraryPath(TINDREL_INCOMPLETE_FOLDER, "libbasswma.so")));
}

std::set<std::string> DynamicExports(const std::string& library) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + library + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            names.insert(name);
    }
    return names;
}

#define TINDREL_NAME(name) #name,

// The libraries export the entry points the binding looks up and nothing
// else: no C++ internals, nothing of the libraries they link.
TEST(EngineLibraries, ExportExactlyTheBindingsEntryPoints) {
    const std::set<std::string> core{TINDREL_BASS_ENTRY_POINTS(TINDREL_NAME)};
    const std::set<std::string> addOn{TINDREL_BASS_WMA_ENTRY_POINTS(TINDREL_NAME)};
    EXPECT_EQ(DynamicExports(JoinLibraryPath(ProgramFolder(), "libbass.so")), core);
    EXPECT_EQ(DynamicExports(JoinLibraryPath(ProgramFolder(), "libbasswma.so")), addOn);
}

} // namespace
} // namespace tindrel::test
