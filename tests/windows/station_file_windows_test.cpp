// Reading stations.ini beside the test program, and the one-pass reader held against the
// platform's profile functions on a corpus of ordinary and hostile files.
#include "station_file.h"
#include "station_file_corpus.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
    read_setting_text(stations_section, "station_name_1", group_marker, value, setting_buffer_size);
    EXPECT_EQ(std::strlen(value), setting_buffer_size - 1);
    EXPECT_EQ(value[setting_buffer_size], 'x');

    read_setting_text(config_section, use_proxy_key, "off", value, setting_buffer_size);
    EXPECT_STREQ(value, "on");
}

// --- The one-pass reader against the profile functions ------------------------------

class StationFileEquivalence : public StationFileReads {
  protected:
    // Every name the file's lines could give, as a section and as a key, and the
    // programs' own names.
    static std::pair<std::set<std::string>, std::set<std::string>>
    names_in(const corpus_file &file) {
        std::set<std::string> sections = {"stations", "config", "s", "missing", ""};
        std::set<std::string> keys(file.extra_names.begin(), file.extra_names.end());
        for (const char *key : {"station_count", "station_name_1", "station_name_2",
                                "station_name_3", "station_url_1", "station_url_2", "use_proxy",
                                "proxy", "lame_options", "directory", "missing"})
            keys.insert(key);
        size_t at = 0;
        while (at < file.bytes.size()) {
            size_t end = file.bytes.find_first_of("\r\n", at);
            std::string line = file.bytes.substr(at, end == std::string::npos ? end : end - at);
            at = end == std::string::npos ? file.bytes.size() : end + 1;
            std::string name = line.substr(0, line.find('=')).c_str();
            if (name.size() > 2 && name.front() == '[' && name.back() == ']')
                sections.insert(name.substr(1, name.size() - 2));
            else if (!name.empty() && name.size() < 300)
                keys.insert(name);
        }
        return {sections, keys};
    }

    std::string platform_text(const std::string &section, const std::string &key,
                              size_t size) const {
        std::vector<char> buffer(size + 1, '\x7f');
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "dflt", buffer.data(),
                                 static_cast<DWORD>(size), ini_path);
        return size == 0 ? std::string() : std::string(buffer.data());
    }

    std::vector<std::pair<std::string, std::string>>
    platform_entries(const std::string &section) const {
        std::vector<char> buffer(1 << 20);
        DWORD length = GetPrivateProfileSectionA(section.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), ini_path);
        std::vector<std::pair<std::string, std::string>> entries;
        for (const char *line = buffer.data(); line < buffer.data() + length && *line;
             line += std::strlen(line) + 1) {
            const char *equals = std::strchr(line, '=');
            if (equals && equals != line)
                entries.emplace_back(std::string(line, equals), std::string(equals + 1));
        }
        return entries;
    }

    // Every name of the file, as every section, with every buffer size, and as a number.
    void expect_same_answers(const corpus_file &file, const std::vector<size_t> &sizes) {
        SCOPED_TRACE(file.label);
        write_file(file.bytes);
        const station_file_contents contents = read_station_file(ini_path);
        auto [sections, keys] = names_in(file);
        int compared = 0;
        for (const std::string &section : sections) {
            EXPECT_EQ(contents.entries(section), platform_entries(section)) << "[" << section;
            for (const std::string &key : keys) {
                for (size_t size : sizes) {
                    ASSERT_EQ(contents.text(section, key, "dflt", size),
                              platform_text(section, key, size))
                        << "[" << section << "] " << key.substr(0, 40) << ", buffer " << size;
                    compared++;
                }
                ASSERT_EQ(contents.number(section, key, 77),
                          static_cast<int>(
                              GetPrivateProfileIntA(section.c_str(), key.c_str(), 77, ini_path)))
                    << "[" << section << "] " << key.substr(0, 40);
            }
        }
        EXPECT_GT(compared, 0);
    }
};

TEST_F(StationFileEquivalence, EveryKeyOfTheCorpusReadsAsThePlatformReadsIt) {
    const std::vector<size_t> sizes = {0, 1, 2, 8, 30, 64, 128, 198, 199, 200, 201, 1024, 100000};
    for (const corpus_file &file : station_file_corpus())
        expect_same_answers(file, sizes);
}

TEST_F(StationFileEquivalence, TenThousandRowsReadAsThePlatformReadsThem) {
    expect_same_answers({"10,000 rows", rows_file(10000, "\r\n"), {}}, {200});
    // The rows themselves, which the names above stop short of.
    const station_file_contents contents = read_station_file(ini_path);
    for (int row = 1; row <= 10000; row += 7) {
        std::string key = "station_url_" + std::to_string(row);
        ASSERT_EQ(contents.text("stations", key, "null", 200), platform_text("stations", key, 200))
            << key;
    }
}

TEST_F(StationFileEquivalence, MissingAndUnreadableFilesHaveNoKeys) {
    EXPECT_EQ(read_station_file(ini_path).text("stations", "station_count", "d", 200), "d");
    ASSERT_TRUE(CreateDirectoryA(ini_path, nullptr));
    EXPECT_EQ(read_station_file(ini_path).number("stations", "station_count", 7), 7);
    RemoveDirectoryA(ini_path);
}

TEST_F(StationFileReads, ReadsFollowTheFileAsItChanges) {
    write_file("[config]\r\nproxy=one\r\n");
    char value[setting_buffer_size];
    read_setting_text(config_section, proxy_key, "", value, sizeof value);
    EXPECT_STREQ(value, "one");
    // Same size, replaced as the editor's Save replaces it.
    std::string replacement = std::string(ini_path) + ".new";
    FILE *file = std::fopen(replacement.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("[config]\r\nproxy=two\r\n", file);
    std::fclose(file);
    ASSERT_TRUE(MoveFileExA(replacement.c_str(), ini_path, MOVEFILE_REPLACE_EXISTING));
    read_setting_text(config_section, proxy_key, "", value, sizeof value);
    EXPECT_STREQ(value, "two");
    DeleteFileA(ini_path);
    read_setting_text(config_section, proxy_key, "gone", value, sizeof value);
    EXPECT_STREQ(value, "gone");
}

} // namespace
