#include "station_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string station_file_of(const char *module_path, size_t size = ini_path_size) {
    char result[ini_path_size + 1];
    station_file_for_module(module_path, result, size);
    return result;
}

TEST(StationFile, LivesBesideTheExecutable) {
    EXPECT_EQ(station_file_of("C:\\Program Files\\Brevora\\brevora.exe"),
              "C:\\Program Files\\Brevora\\stations.ini");
    EXPECT_EQ(station_file_of("Z:\\brevora-editor.exe"), "Z:\\stations.ini");
    // Only the last backslash counts; forward slashes are ordinary characters.
    EXPECT_EQ(station_file_of("C:\\a\\b/c\\x.exe"), "C:\\a\\b/c\\stations.ini");
}

TEST(StationFile, PathWithoutBackslashGivesRootedName) {
    EXPECT_EQ(station_file_of("brevora.exe"), "\\stations.ini");
    EXPECT_EQ(station_file_of("C:/dir/brevora.exe"), "\\stations.ini");
    EXPECT_EQ(station_file_of(""), "\\stations.ini");
}

TEST(StationFile, LongestExecutablePathStillFits) {
    std::string directory = "C:\\" + std::string(259 - 3 - 12, 'd');
    std::string module = directory + "\\brevora.exe";
    ASSERT_EQ(module.size(), 259u);
    EXPECT_EQ(station_file_of(module.c_str()), directory + "\\stations.ini");
}

TEST(StationFile, ResultIsCutToItsBuffer) {
    char result[12];
    std::memset(result, 'x', sizeof result);
    station_file_for_module("C:\\music\\brevora.exe", result, 8);
    EXPECT_STREQ(result, "C:\\musi");
    EXPECT_EQ(result[8], 'x');
}

TEST(StationFile, RowKeysAndGroupMarker) {
    char key[32];
    row_key(key, sizeof key, station_url_prefix, 12);
    EXPECT_STREQ(key, "station_url_12");
    row_key(key, sizeof key, station_name_prefix, 1);
    EXPECT_STREQ(key, "station_name_1");

    EXPECT_TRUE(is_group_url("null"));
    EXPECT_FALSE(is_group_url("NULL"));
    EXPECT_FALSE(is_group_url("null "));
    EXPECT_FALSE(is_group_url(""));
}

} // namespace
