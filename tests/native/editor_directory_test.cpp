// The station directory's rules that need no window: reading its answers into stations,
// which servers to ask in which order, the requests, and fitting names and addresses into
// stations.ini.
#include "directory/ansi_fit.h"
#include "directory/base_address.h"
#include "directory/directory_servers.h"
#include "directory/proxy_setting.h"
#include "directory/search_request.h"
#include "directory/directory_stations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<directory_station> read_all(const std::string &body, size_t limit = directory_limit) {
    std::vector<directory_station> stations;
    EXPECT_TRUE(read_directory_stations(body, limit, stations)) << body.substr(0, 80);
    return stations;
}

std::string station_json(int number) {
    return R"({"stationuuid":"96062a7b-0601-11e8-ae97-52543be04c8)" + std::to_string(number % 10) +
           R"(","name":"Station )" + std::to_string(number) + R"(","url":"http://s/)" +
           std::to_string(number) + R"("})";
}

// A code page of one byte per character for Latin-1 and of two bytes for the CJK block, in
// the way a double-byte code page stores them; everything else has no character there.
std::string stand_in_encode(char32_t character) {
    if (character < 0x100)
        return std::string(1, static_cast<char>(character));
    if (character >= 0x4E00 && character <= 0x9FFF)
        return {static_cast<char>(0x81 + (character >> 8) % 0x40), static_cast<char>(character)};
    return "?";
}

TEST(DirectoryStations, TakesTheFieldsTheEditorShowsAndStores) {
    auto stations = read_all(R"([
      {"changeuuid":"x","stationuuid":"960e4a0f-0601-11e8-ae97-52543be04c81","name":"Jazz FM",
       "url":"http://jazz/listen.pls","url_resolved":"http://jazz/live.mp3","codec":"MP3",
       "bitrate":128,"countrycode":"GB","country":"The United Kingdom","tags":"jazz,smooth",
       "hls":0,"lastcheckok":1,"votes":12},
      {"stationuuid":"not a uuid!","name":"Plain","url":"http://plain/","url_resolved":"",
       "codec":"AAC+","bitrate":99999999,"country":"Narnia","tags":["odd",{"deep":[1]}]},
      {"name":"No address","url":""}, 17, "text", null, [1, 2],
      {"name":"Nameless numbers","url_resolved":"http://n/","bitrate":-5,"codec":5}])");
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(stations[0].uuid, "960e4a0f-0601-11e8-ae97-52543be04c81");
    EXPECT_EQ(stations[0].name, "Jazz FM");
    EXPECT_EQ(stations[0].url, "http://jazz/live.mp3"); // the resolved address wins
    EXPECT_EQ(stations[0].codec, "MP3");
    EXPECT_EQ(stations[0].bitrate, 128);
    EXPECT_EQ(stations[0].country, "GB");
    EXPECT_EQ(stations[1].uuid, "");
    EXPECT_EQ(stations[1].url, "http://plain/"); // empty url_resolved: the entered one
    EXPECT_EQ(stations[1].bitrate, 0);           // absurd bitrates count as unknown
    EXPECT_EQ(stations[1].country, "Narnia");
    EXPECT_EQ(stations[2].bitrate, 0);
    EXPECT_EQ(stations[2].codec, "");
}

TEST(DirectoryStations, AnythingButAJsonArrayIsNotTheDirectorysAnswer) {
    const std::string refused[] = {"",
                                   "<html><body>502 Bad Gateway</body></html>",
                                   R"({"error":"rate limited"})",
                                   "[" + station_json(1) + ",",
                                   "42",
                                   "[\"\xff\xfe\"]",
                                   std::string(100000, '['),
                                   std::string(100000, '[') + std::string(100000, ']') + "x"};
    for (const std::string &body : refused) {
        std::vector<directory_station> stations(1);
        EXPECT_FALSE(read_directory_stations(body, directory_limit, stations))
            << body.substr(0, 60);
        EXPECT_TRUE(stations.empty());
    }
    EXPECT_TRUE(read_all("[]").empty());
    EXPECT_TRUE(read_all(" [ ] \n").empty());
}

TEST(DirectoryStations, KeepsAtMostTheLimitAndCapsEveryText) {
    std::string body = "[";
    for (int number = 0; number < 150; number++)
        body += (number ? "," : "") + station_json(number);
    body += "]";
    auto stations = read_all(body);
    ASSERT_EQ(stations.size(), directory_limit);
    EXPECT_EQ(stations.back().name, "Station 99");
    EXPECT_EQ(read_all(body, 3).size(), 3u);

    std::string long_name;
    for (int count = 0; count < 3000; count++)
        long_name += "\xc3\xa9"; // é, two bytes
    stations = read_all(R"([{"name":"x)" + long_name + R"(","url":"http://)" +
                        std::string(5000, 'u') + R"("}])");
    ASSERT_EQ(stations.size(), 1u);
    EXPECT_EQ(stations[0].name.size(), directory_field_limit - 1); // not inside an "é"
    EXPECT_EQ(stations[0].url.size(), directory_field_limit);
}

TEST(DirectoryServers, TheSettingReplacesTheLookUp) {
    int lookups = 0;
    directory_name_lookup lookup{[&](const std::string &) {
                                     lookups++;
                                     return std::vector<std::string>{"1.2.3.4"};
                                 },
                                 [](const std::string &) { return std::string("de1.example"); }};
    std::mt19937 random(1);
    EXPECT_EQ(
        directory_servers("  http://127.0.0.1:8123/ \thttps://de1.api.example//  ", lookup, random),
        (std::vector<std::string>{"http://127.0.0.1:8123", "https://de1.api.example"}));
    EXPECT_EQ(lookups, 0);
    for (const char *unset : {"", "null", "   "})
        EXPECT_EQ(directory_servers(unset, lookup, random),
                  std::vector<std::string>{"https://de1.example"});
    EXPECT_EQ(lookups, 3);
}

TEST(DirectoryServers, LookUpGivesEachServersOwnNameOnceInShuffledOrder) {
    const std::map<std::string, std::string> names = {
        {"10.0.0.1", "de1.api.example"},
        {"10.0.0.2", "nl1.api.example"},
        {"2001:db8::1", "de1.api.example"}, // the same server over IPv6
        {"10.0.0.3", ""},                   // no reverse name: its certificate cannot match
        {"10.0.0.4", "10.0.0.4"},
        {"10.0.0.5", "at1.api.example"}};
    std::string asked;
    directory_name_lookup lookup{[&](const std::string &host) {
                                     asked = host;
                                     std::vector<std::string> addresses;
                                     for (auto &entry : names)
                                         addresses.push_back(entry.first);
                                     return addresses;
                                 },
                                 [&](const std::string &address) { return names.at(address); }};
    std::set<std::vector<std::string>> orders;
    for (unsigned seed = 0; seed < 20; seed++) {
        std::mt19937 random(seed);
        std::vector<std::string> servers = directory_servers("", lookup, random);
        orders.insert(servers);
        std::sort(servers.begin(), servers.end());
        EXPECT_EQ(servers,
                  (std::vector<std::string>{"https://at1.api.example", "https://de1.api.example",
                                            "https://nl1.api.example"}));
    }
    EXPECT_EQ(asked, "all.api.radio-browser.info");
    EXPECT_GT(orders.size(), 1u) << "the order is never shuffled";

    directory_name_lookup nothing{[](const std::string &) { return std::vector<std::string>{}; },
                                  [](const std::string &) { return std::string(); }};
    std::mt19937 random(0);
    EXPECT_TRUE(directory_servers("", nothing, random).empty());
}

TEST(DirectoryServers, BaseAddresses) {
    struct row {
        const char *text;
        bool valid, secure;
        const char *host;
        unsigned port;
        const char *path;
    };
    const row rows[] = {
        {"http://127.0.0.1:8123", true, false, "127.0.0.1", 8123, ""},
        {"https://de1.api.radio-browser.info", true, true, "de1.api.radio-browser.info", 443, ""},
        {"http://host/mirror/", true, false, "host", 80, "/mirror"},
        {"https://[::1]:9000/x", true, true, "::1", 9000, "/x"},
        {"ftp://host", false, false, "", 0, ""},
        {"host:80", false, false, "", 0, ""},
        {"http://", false, false, "", 0, ""},
        {"http://host:0", false, false, "", 0, ""},
        {"http://host:99999", false, false, "", 0, ""},
        {"http://host:12ab", false, false, "", 0, ""},
        {"http://user@host", false, false, "", 0, ""},
    };
    for (const row &expected : rows) {
        SCOPED_TRACE(expected.text);
        auto parsed = parse_base_address(expected.text);
        ASSERT_EQ(parsed.has_value(), expected.valid);
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->secure, expected.secure);
        EXPECT_EQ(parsed->host, expected.host);
        EXPECT_EQ(parsed->port, expected.port);
        EXPECT_EQ(parsed->path, expected.path);
    }
}

TEST(DirectoryRequests, SearchAlwaysHidesBrokenLimitsAndOrdersByPopularity) {
    const std::string fixed = "hidebroken=true&limit=100&order=clickcount&reverse=true";
    EXPECT_EQ(search_path({"jazz", "", "", ""}), "/json/stations/search?name=jazz&" + fixed);
    EXPECT_EQ(search_path({"", "", "", ""}), "/json/stations/search?" + fixed);
    EXPECT_EQ(search_path({"rock & roll", "80s", "de", "aac+"}),
              "/json/stations/search?name=rock%20%26%20roll&tag=80s&countrycode=DE&codec=aac%2B&" +
                  fixed);
    // Only two letters are a code; a name is matched by the directory as a part of a name.
    EXPECT_EQ(search_path({"", "", "Österreich", ""}),
              "/json/stations/search?country=%C3%96sterreich&" + fixed);
    EXPECT_EQ(search_path({"", "", "D1", ""}), "/json/stations/search?country=D1&" + fixed);

    EXPECT_EQ(click_path("960e4a0f-0601-11e8-ae97-52543be04c81"),
              "/json/url/960e4a0f-0601-11e8-ae97-52543be04c81");
    for (const char *unusable : {"", "../stations", "a b", "x?y=1"})
        EXPECT_EQ(click_path(unusable), "") << unusable;
}

TEST(DirectoryRequests, ProxySettingSplitsIntoServerAndCredentials) {
    auto plain = split_proxy_setting("proxy.example:3128");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->server, "proxy.example:3128");
    EXPECT_EQ(plain->user, "");
    auto with_user = split_proxy_setting("me:se:cret@10.0.0.1:8080");
    ASSERT_TRUE(with_user);
    EXPECT_EQ(with_user->server, "10.0.0.1:8080");
    EXPECT_EQ(with_user->user, "me");
    EXPECT_EQ(with_user->password, "se:cret");
    for (const char *unusable : {"", "null", "user@", "http://proxy:80"})
        EXPECT_FALSE(split_proxy_setting(unusable)) << unusable;
}

TEST(AnsiFit, NamesAreConvertedAndCutAtACharacterBoundary) {
    struct row {
        std::string utf8;
        std::string stored;
        size_t limit;
    };
    const row rows[] = {
        {"Caf\xc3\xa9 del Mar", "Caf\xe9 del Mar", 199},
        {"\xe2\x82\xac Radio \xf0\x9f\x8e\xb5", "? Radio ?", 199}, // not in this code page
        {"Line\r\nbreak\ttab", "Line  break tab", 199},
        {"bad \xff\xc3( bytes \xed\xa0\x80",
         "bad ?"
         "?( bytes ?",
         199},
        {"\xe6\x9d\xb1\xe4\xba\xac", "\xa8\x71\x8f\xac", 199}, // 東京: two bytes each
        {"ab\xe6\x9d\xb1", "ab", 3}, // the double-byte character does not fit whole
        {std::string(250, 'n'), std::string(199, 'n'), 199},
    };
    for (const row &expected : rows) {
        EXPECT_EQ(fit_name(expected.utf8, stand_in_encode, expected.limit), expected.stored)
            << expected.utf8;
    }
    std::string cjk;
    for (int count = 0; count < 150; count++)
        cjk += "\xe6\x9d\xb1";
    EXPECT_EQ(fit_name(cjk, stand_in_encode).size(), 198u);
}

TEST(AnsiFit, AddressesFitWholeOrNotAtAll) {
    const std::string base = "http://h/";
    EXPECT_EQ(fit_address(base + std::string(190, 'a')), base + std::string(190, 'a'));
    EXPECT_FALSE(fit_address(base + std::string(191, 'a')));
    EXPECT_EQ(fit_address("http://h/caf\xc3\xa9 1"), "http://h/caf%C3%A9%201");
    for (const char *unusable : {"", "null"})
        EXPECT_FALSE(fit_address(unusable));
    // Encoding can push an address over the limit.
    std::string accents = base;
    for (int count = 0; count < 40; count++) // 80 bytes, 240 once encoded
        accents += "\xc3\xa9";
    EXPECT_FALSE(fit_address(accents));
}

TEST(AnsiFit, StationRowsNameNamelessStationsByAddressAndShowDetails) {
    directory_station station{"u", "  ", "http://nameless/", "MP3", 128, "DE"};
    auto row = station_row(station, stand_in_encode);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, "http://nameless/");
    EXPECT_EQ(row->details, "MP3\t128 kbps\tDE");
    station.bitrate = 0;
    station.name = "Named";
    row = station_row(station, stand_in_encode);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, "Named");
    EXPECT_EQ(row->details, "MP3\t\tDE");
    station.url = "http://h/" + std::string(300, 'x');
    EXPECT_FALSE(station_row(station, stand_in_encode));
}

} // namespace
