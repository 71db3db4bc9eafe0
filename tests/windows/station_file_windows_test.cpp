// Reading stations.ini through the platform's profile functions, beside the test program.
#include "station_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class StationFileReads : public ::testing::Test {
  protected:
    void SetUp() override {
        locate_station_file();
        DeleteFileA(ini_path);
    }
    void TearDown() override { DeleteFileA(ini_path); }

    void write_file(const std::string &content) {
        FILE *file = std::fopen(ini_path, "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
};

TEST_F(StationFileReads, PathIsBesideTheExecutable) {
    char module_path[MAX_PATH];
    GetModuleFileNameA(nullptr, module_path, sizeof module_path);
    std::string expected(module_path);
    expected = expected.substr(0, expected.rfind('\\')) + "\\stations.ini";
    EXPECT_EQ(std::string(ini_path), expected);
}

TEST_F(StationFileReads, MissingFileGivesDefaults) {
    char value[setting_buffer_size];
    EXPECT_EQ(read_setting_int(stations_section, station_count_key, 0), 0);
    read_setting_text(config_section, lame_options_key, default_lame_options, value,
                      lame_options_size);
    EXPECT_STREQ(value, "-b 128");
    read_setting_text(stations_section, "station_url_1", group_marker, value, sizeof value);
    EXPECT_STREQ(value, "null");
}

TEST_F(StationFileReads, UnreadableFileGivesDefaults) {
    // A folder where the file should be: nothing can be read from it.
    ASSERT_TRUE(CreateDirectoryA(ini_path, nullptr));
    char value[setting_buffer_size];
    EXPECT_EQ(read_setting_int(stations_section, station_count_key, 0), 0);
    read_setting_text(config_section, use_proxy_key, "off", value, sizeof value);
    EXPECT_STREQ(value, "off");
    RemoveDirectoryA(ini_path);
}

TEST_F(StationFileReads, ValuesAreReadAndCutAtTheirBuffer) {
    std::string long_name(300, 'n');
    write_file("[stations]\r\nstation_count=3\r\nstation_name_1=" + long_name +
               "\r\n[config]\r\nuse_proxy=on\r\n");
    EXPECT_EQ(read_setting_int(stations_section, station_count_key, 0), 3);

    char value[setting_buffer_size + 8];
    std::memset(value, 'x', sizeof value);
    read_setting_text(stations_section, "station_name_1", group_marker, value,
                      setting_buffer_size);
    EXPECT_EQ(std::strlen(value), setting_buffer_size - 1);
    EXPECT_EQ(value[setting_buffer_size], 'x');

    read_setting_text(config_section, use_proxy_key, "off", value, setting_buffer_size);
    EXPECT_STREQ(value, "on");
}

} // namespace
