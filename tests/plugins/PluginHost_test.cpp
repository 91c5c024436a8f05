// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PluginHost.h"

#include "tests/plugins/PluginFixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace tindrel {
namespace {

using test::ProgramFolder;

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitPluginHost(folder.path(), engine.bass, dialogs)); }
    void TearDown() override { QuitPluginHost(); }

    // Whether the library at Plugins/name is still mapped.
    bool mapped(const std::string& name) const {
        void* handle = dlopen((folder.path() + "/Plugins/" + name).c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            dlclose(handle);
        return handle != nullptr;
    }
    std::string tone(const std::string& as) const { return folder.addPlugin("in_tone", as); }

    test::SilentEngine engine;
    ProgramFolder folder;
    FakeDialogs dialogs;
};

TEST_F(PluginHostTest, ALoadedPluginIsWiredToTheEmulatorAndDescribed) {
    EXPECT_EQ(PluginsFolder(), folder.path() + "/Plugins/");
    ASSERT_EQ(LoadPlugin(tone("in_tone.so")), kPluginDone);
    ASSERT_EQ(FindPlugin("in_tone.so"), 0);

    const TPluginInfo info = GetPluginInfo(0);
    EXPECT_EQ(info.FileName, "in_tone.so");
    EXPECT_EQ(info.ModuleVersion, 0x100);
    EXPECT_EQ(info.Description, "Tindrel test tone decoder 1.0");
    EXPECT_EQ(info.FileExtensions, "TONE"); // only the first entry of the list
    EXPECT_EQ(info.Seekable, 1);
    ASSERT_NE(info.DLLHandle, nullptr);

    In_Module* module = GetPluginModule(0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->hMainWindow, EmulatorHandle());
    EXPECT_EQ(module->hDllInstance, info.DLLHandle);
    EXPECT_EQ(module->outMod, EmulatorOutModule());
    EXPECT_EQ(module->dsp_isactive(), 0);
    EXPECT_EQ(module->dsp_dosamples(nullptr, 576, 16, 2, 44100), 576);
    EXPECT_EQ(module->SAGetMode(), 0);
    EXPECT_EQ(module->VSAGetMode(nullptr, nullptr), 0);

    const auto probe = reinterpret_cast<intptr_t (*)(const char*)>(dlsym(info.DLLHandle, "tone_probe"));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe("init"), 1);
    EXPECT_EQ(probe("servicesSetAtInit"), 0); // Init ran before the services were filled
}

TEST_F(PluginHostTest, RefusedLoadsGiveTheirCodeAndLeaveTheTableAlone) {
    ASSERT_EQ(LoadPlugin(tone("in_x.so")), kPluginDone);
    const struct {
        std::string file;
        int32_t code;
    } cases[] = {
        {"in_x.so", kLoadAlreadyLoaded},
        {folder.addPlugin("in_noexport", "in_noexport.so"), kLoadNotAPlugin},
        {folder.addPlugin("in_nullmodule", "in_nullmodule.so"), kLoadNotAPlugin},
        {folder.addPlugin("in_version_0x10", "in_v10.so"), kLoadNotAPlugin},
        {folder.addPlugin("in_version_0x0F000100", "in_wide.so"), kLoadNotAPlugin},
        {"missing.so", kLoadFailed},
        {"../libbass.so", kLoadFailed}, // only files of the Plugins folder load
        {folder.path() + "/Plugins/in_x.so", kLoadFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadPlugin(c.file), c.code) << c.file;
        EXPECT_EQ(GetPluginModule(1), nullptr) << c.file;
    }
    for (const char* refused : {"in_noexport.so", "in_nullmodule.so", "in_v10.so", "in_wide.so"})
        EXPECT_FALSE(mapped(refused)) << refused;
    // Names compare with their letter case.
    EXPECT_EQ(LoadPlugin(tone("In_X.so")), kPluginDone);
    EXPECT_EQ(FindPlugin("In_X.so"), 1);
}

// The host calls these whenever it needs them: a record that leaves one
// empty is not a plug-in it can use.
TEST_F(PluginHostTest, ARecordWithAnEmptyEntryTheHostCallsIsRefused) {
    for (const char* entry : {"GetFileInfo", "Play", "Pause", "UnPause", "Stop", "SetOutputTime", "SetVolume"}) {
        const std::string name = std::string("in_without_") + entry;
        EXPECT_EQ(LoadPlugin(folder.addPlugin(name, name + ".so")), kLoadNotAPlugin) << entry;
        EXPECT_FALSE(mapped(name + ".so")) << entry;
    }
    EXPECT_EQ(GetPluginModule(0), nullptr);
}

TEST_F(PluginHostTest, EightSlotsFillInOrderAndAFreedSlotIsTakenFirst) {
    for (int i = 0; i < kPluginSlots; ++i)
        ASSERT_EQ(LoadPlugin(tone("in_" + std::to_string(i) + ".so")), kPluginDone);
    EXPECT_EQ(LoadPlugin(tone("in_ninth.so")), kLoadNoSpace);
    EXPECT_EQ(FindPlugin("in_ninth.so"), -1);
    EXPECT_FALSE(mapped("in_ninth.so"));

    ASSERT_EQ(UnloadPlugin("in_0.so"), kPluginDone);
    EXPECT_EQ(GetPluginModule(0), nullptr);
    EXPECT_FALSE(mapped("in_0.so"));
    ASSERT_EQ(LoadPlugin("in_ninth.so"), kPluginDone);
    EXPECT_EQ(FindPlugin("in_ninth.so"), 0);
}

TEST_F(PluginHostTest, ThePlayingPluginCannotBeUnloadedUntilThePlayerClosesIt) {
    ASSERT_EQ(LoadPlugin(tone("in_a.so")), kPluginDone);
    ASSERT_EQ(LoadPlugin(tone("in_b.so")), kPluginDone);
    // Keep the library mapped after the unload, to read its counters.
    void* keep = dlopen((folder.path() + "/Plugins/in_b.so").c_str(), RTLD_NOW);
    ASSERT_NE(keep, nullptr);
    const auto probe = reinterpret_cast<intptr_t (*)(const char*)>(dlsym(keep, "tone_probe"));

    EXPECT_EQ(UnloadPlugin("in_c.so"), kUnloadNotLoaded);
    ASSERT_EQ(SelectPlugin(1), 0);
    EXPECT_EQ(InUsePlugin(), 1);
    EXPECT_EQ(UnloadPlugin("in_b.so"), kUnloadInUse);
    EXPECT_EQ(probe("quit"), 0);

    GetEmulatorWindow()->post(WM_PLUGIN_CLOSED);
    ASSERT_TRUE(test::WaitFor([] { return InUsePlugin() == -1; }, 10'000));
    EXPECT_EQ(UnloadPlugin("in_b.so"), kPluginDone);
    EXPECT_EQ(probe("quit"), 1);
    EXPECT_EQ(FindPlugin("in_b.so"), -1);
    dlclose(keep);
}

TEST_F(PluginHostTest, BadOrEmptySlotsGiveNothing) {
    ASSERT_EQ(LoadPlugin(tone("in_a.so")), kPluginDone);
    for (const int32_t slot : {-1, 1, 7, 8}) {
        EXPECT_EQ(GetPluginModule(slot), nullptr) << slot;
        const TPluginInfo info = GetPluginInfo(slot);
        EXPECT_TRUE(info.FileName.empty() && info.Description.empty() && info.FileExtensions.empty()) << slot;
        EXPECT_EQ(info.ModuleVersion, 0) << slot;
        EXPECT_EQ(info.DLLHandle, nullptr) << slot;
        EXPECT_EQ(SelectPlugin(slot), -1) << slot;
    }
    EXPECT_EQ(InUsePlugin(), -1);
}

TEST_F(PluginHostTest, WithoutTheEmulatorNothingLoads) {
    QuitPluginHost();
    EXPECT_EQ(LoadPlugin(tone("in_a.so")), kLoadNotReady);
    QuitPluginHost(); // a second quit does no harm
}

TEST(PluginExtensionRule, TheFirstThreeLettersAfterTheDotAreLookedForAnywhere) {
    const struct {
        const char* extensions;
        const char* file;
        bool matches;
    } cases[] = {
        {"mp3;mp2;mpg", "song.mp3", true}, {"mp3;mp2;mpg", "/music/A.MP", true}, // key MP
        {"mp3;mp2;mpg", "x.mpeg", false},                                        // key MPE
        {"FLAC", "x.flac", true},                                                // key FLA
        {"MP3", "track.wav", false},       {"MP3", "noextension", false},
        {"MP3", "trailing.", false},       {"MP3", "/folder.mp3/file", false}, // the folder's dot does not count
        {"", "song.mp3", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PluginMatchesFile(c.extensions, c.file), c.matches) << c.extensions << " " << c.file;
}

} // namespace
} // namespace tindrel
