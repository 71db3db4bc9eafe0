// Library-wide behaviour: version, start-up and release, options, plug-ins, error codes,
// and calls on handles that name nothing.
#include "brevora_audio.h"
#include "handle_calls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

// Options are process-wide: restore what each test changes.
class AudioLibrary : public ::testing::Test {
  protected:
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000);
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
        BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 75);
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
        BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, nullptr);
    }
};

TEST_F(AudioLibrary, ReportsVersion24) {
    EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
}

TEST_F(AudioLibrary, InitOnceThenFreeOnce) {
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);

    // The library can be started again after a release.
    EXPECT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
}

TEST_F(AudioLibrary, InitRejectsUnknownDeviceAndZeroRate) {
    EXPECT_FALSE(BASS_Init(7, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(BASS_Init(-1, 0, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FREQ);
}

TEST_F(AudioLibrary, OptionsHaveTheirDefaultsAndReadBack) {
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_BUFFER), 5000u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 10000u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PREBUF), 75u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 0u);

    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 10000));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 5000u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 1u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PREBUF), 0u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT), 10000u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST_F(AudioLibrary, OptionsRefuseUnknownNamesAndOutOfRangeValues) {
    EXPECT_FALSE(BASS_SetConfig(9999, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_GetConfig(9999), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10001));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 10000u);

    EXPECT_FALSE(BASS_SetConfigPtr(BASS_CONFIG_NET_TIMEOUT, "x"));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
}

TEST_F(AudioLibrary, OptionsWorkBeforeInitAndSurviveFree) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 1234));
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Free());
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 1234u);
}

TEST_F(AudioLibrary, ProxyIsCopiedFromTheCallersBuffer) {
    EXPECT_EQ(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY), nullptr);
    char setting[200] = "user:pass@proxy.example:8080";
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, setting));
    std::strcpy(setting, "changed");
    EXPECT_STREQ(static_cast<const char *>(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY)),
                 "user:pass@proxy.example:8080");
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, nullptr));
    EXPECT_EQ(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY), nullptr);
}

TEST_F(AudioLibrary, KnownPluginNamesLoadWithoutAFileOthersFail) {
    HPLUGIN aac = BASS_PluginLoad("bass_aac.dll", 0);
    HPLUGIN flac = BASS_PluginLoad("bassflac.dll", 0);
    HPLUGIN wma = BASS_PluginLoad("C:\\Program Files\\Brevora\\BASSWMA.DLL", 0);
    EXPECT_NE(aac, 0u);
    EXPECT_NE(flac, 0u);
    EXPECT_NE(wma, 0u);
    EXPECT_NE(aac, flac);
    EXPECT_EQ(BASS_PluginLoad("bass_aac.dll", 0), aac);

    EXPECT_EQ(BASS_PluginLoad("bass_fx.dll", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_PluginLoad("bass_aac.dll.bak", 0), 0u);
    EXPECT_EQ(BASS_PluginLoad(nullptr, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(AudioLibrary, ErrorCodeBelongsToTheCallingThread) {
    EXPECT_FALSE(BASS_StreamFree(12345));
    ASSERT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    int other_thread_code = -2;
    std::thread other([&] {
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 100);
        other_thread_code = BASS_ErrorGetCode();
    });
    other.join();
    EXPECT_EQ(other_thread_code, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(AudioLibrary, HandlesThatNameNothingAreHarmless) {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    for (DWORD handle : {0u, 1u, 4096u, 0x10001000u, 0x20001000u, 0x80000001u, 0xffffffffu}) {
        for (const auto *calls : {&handle_calls::channel_calls(), &handle_calls::encoder_calls()})
            for (const auto &call : *calls)
                EXPECT_TRUE(call.refuses(handle)) << call.name << " " << std::hex << handle;
    }
}

TEST_F(AudioLibrary, StreamCreationNeedsInit) {
    EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1:1/", 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

} // namespace
