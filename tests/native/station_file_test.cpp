#include "stand_in_code_page.h"
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

TEST(StationFileReader, ReadsEachKeyAsTheProfileFunctionsDo) {
    using namespace std::string_literals;
    const std::string file = "pre=0\n[ Stations ]junk\r"
                             "station_count = 2 \r\n"
                             "STATION_COUNT=9\n"
                             "station_name_1=\"quoted\"\n"
                             "station_url_1=va\0lue\n"
                             "valueless\n"
                             "valueless=later\n"
                             "half=\"open\n"
                             "empty=\"\"\n"
                             "wide=\x81\x41\x81\x42\n"
                             "[stations]\nstation_name_2=second section\n"
                             "[a]b]\nk=v"s;
    const station_file_contents contents(file, stand_in_code_page);
    struct row {
        std::string section, key;
        size_t buffer_size;
        std::string expected;
    } rows[] = {
        {"", "pre", 9, "0"},
        {"stations", "station_count", 9, "2"},
        {"stations", "station_name_1", 9, "quoted"},
        {"stations", "station_name_1", 7, "quote"}, // a letter taken for the closing quote
        {"stations", "station_name_1", 5, "quot"},
        {"stations", "station_url_1", 9, "va"},
        {"stations", "valueless", 9, "dflt"},
        {"stations", "half", 9, "\"open"},
        {"stations", "empty", 9, ""},
        {"stations", "wide", 4, "\x81\x41"}, // cut before a character of two bytes
        {"stations", "station_name_2", 9, "dflt"},
        {"a]b", "k", 9, "v"},
        {"missing", "k", 3, "df"},
    };
    for (const row &expected : rows)
        EXPECT_EQ(contents.text(expected.section, expected.key, "dflt", expected.buffer_size),
                  expected.expected)
            << expected.section << "/" << expected.key << " " << expected.buffer_size;
    EXPECT_EQ(contents.entries("stations").size(), 8u);
    EXPECT_EQ(contents.entries("stations")[0],
              (std::pair<std::string, std::string>("station_count", "2")));
}

TEST(StationFileReader, NumbersAndUnicodeFiles) {
    const station_file_contents numbers("[s]\na=12abc\nb=-0x10\nc=4294967297\nd=\ne=- 3\n",
                                        stand_in_code_page);
    const std::pair<const char *, int> expected[] = {{"a", 12}, {"b", -16}, {"c", 1},
                                                     {"d", 77}, {"e", 0},   {"f", 77}};
    for (const auto &[key, value] : expected)
        EXPECT_EQ(numbers.number("s", key, 77), value) << key;

    const station_file_contents utf8("\xEF\xBB\xBF[s]\nname=Caf\xC3\xA9 \xE2\x82\xAC\n",
                                     stand_in_code_page);
    EXPECT_EQ(utf8.text("s", "name", "", 200), "Caf\xE9 ?");
    const station_file_contents utf16(std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0", 16),
                                      stand_in_code_page);
    EXPECT_EQ(utf16.text("s", "k", "", 200), "\xE9");
}

} // namespace
