// Ordinary and hostile stations.ini files, each with the names worth asking it for: the
// corpus the one-pass reader is held against the platform's profile functions with.
#pragma once

#include <string>
#include <vector>

struct corpus_file {
    std::string label;
    std::string bytes;
    // Asked of every file as well: the station list's and the settings' names.
    std::vector<std::string> extra_names;
};

inline std::string utf16_file(const std::u16string &text, bool big_endian) {
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += big_endian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

inline std::string rows_file(int rows, const std::string &line_end) {
    std::string text = "[config]" + line_end + "use_proxy=off" + line_end + "[stations]" +
                       line_end + "station_count=" + std::to_string(rows) + line_end;
    for (int row = 1; row <= rows; row++)
        text += "station_name_" + std::to_string(row) + "=Station " + std::to_string(row) +
                line_end + "station_url_" + std::to_string(row) + "=http://radio.example/" +
                std::to_string(row) + line_end;
    return text;
}

inline std::vector<corpus_file> station_file_corpus() {
    using namespace std::string_literals;
    const std::string long_value(70000, 'v');
    std::string garbage;
    unsigned seed = 12345;
    for (int at = 0; at < 4000; at++) {
        seed = seed * 1103515245 + 12345;
        garbage += static_cast<char>(seed >> 16);
    }
    return {
        {"ordinary", rows_file(3, "\r\n"), {}},
        {"empty", "", {}},
        {"count beyond the rows, group rows, On is not on",
         "[stations]\r\nstation_count=3\r\nstation_name_1=Rock\r\nstation_url_1=null\r\n"
         "station_name_2=A\r\nstation_url_2=NULL\r\n[config]\r\nuse_proxy=On\r\n",
         {}},
        {"duplicated keys and sections, any case",
         "[stations]\nstation_count=2\nSTATION_COUNT=5\nstation_name_1=first\n"
         "[Stations]\nstation_name_1=second\nstation_name_2=only here\n[CONFIG]\nProxy=p1\n"
         "proxy=p2\nk8\nk8=later\n[ config ]\nlame_options=x\n",
         {"k8"}},
        {"blanks, quotes and equals",
         "  [ config ]  \n  proxy  =  host:1  \nuse_proxy=\t\"on\"\t\nlame_options='-b 64'\n"
         "a=\"half\nb=\"\nc=\"\"\nd=\" in \"\ne==x\nf=\"mixed'\ng='\n=nameless\n"
         "h=\v\fspaced\f\v\ni=\xa0kept\xa0\n",
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", ""}},
        {"quoted values at the buffer's edge",
         "[stations]\nstation_name_1=\"" + std::string(198, 'q') + "\"\nstation_name_2=\"" +
             std::string(199, 'q') + "\"\nstation_name_3=\"" + std::string(200, 'q') +
             "\"\nstation_url_1='" + std::string(197, 'u') + "'\nstation_count=\"12\"\n",
         {}},
        {"line endings of every kind, no final one",
         "[stations]\rstation_count=2\n\nstation_name_1=A\r\n\r\nstation_name_2=B\n\r"
         "station_url_1=u1\r\r[config]\nuse_proxy=on",
         {}},
        {"NUL bytes",
         "[stations]\r\nstation_name_1=va\0lue\r\nstation\0_x=1\r\nstation_url_1= x \0 y \r\n"
         "station_url_2=\"x\0y\"\r\n[con\0fig]\r\nproxy=after\r\n\0[stations]\r\n"
         "use_proxy\0 = on\r\n"s,
         {"station"}},
        {"brackets",
         "pre=before any section\n[stations\nstation_count=4\n[u=1\n[config]junk\n"
         "proxy=p\n[a]b]\nkey=1\n[]\nnothing=1\n",
         {"pre", "[u", "key", "nothing", "a]b", "a"}},
        {"numbers",
         "[s]\na=12abc\nb=-5\nc=+7\nd=0x10\ne=\nf=abc\ng=99999999999\nh=4294967295\n"
         "i=-2147483649\nj=\"42\"\nk=0b11\nl=0o17\nm=0X1f\nn=- 3\no=\" 42\"\np=" +
             std::string(40, '1') + "\nq=-0x10\nr=0xFF\n",
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
          "s"}},
        {"very long lines",
         "[config]\nproxy=" + long_value + "\n" + std::string(5000, 'k') + "=long name\n" +
             "[stations]\nstation_count=1\nstation_name_1=" + long_value + "\n",
         {std::string(5000, 'k')}},
        {"UTF-8 with a byte order mark",
         "\xEF\xBB\xBF[stations]\nstation_count=2\nstation_name_1=Caf\xC3\xA9 \xE2\x82\xAC "
         "\xC4\x81 \xE4\xB8\x9C \xF0\x9F\x8E\xB5\nstation_name_2=\xFF\xFE bad \xC3(\n"
         "station_url_1=\xE3\x80\x80spaced\xE3\x80\x80\n[config]\nproxy=\"" +
             std::string(196, 'p') + "\xC3\xA9\xF0\x9F\x8E\xB5\"\n",
         {}},
        {"two byte order marks", "\xEF\xBB\xBF\xEF\xBB\xBF[stations]\nstation_count=1\n", {}},
        {"UTF-16, little-endian",
         utf16_file(u"[stations]\r\nstation_count=1\r\nstation_name_1=Caf\u00e9 \u0101 "
                    u"\U0001F3B5\r\nstation_url_1=\xD800lone\r\n",
                    false),
         {}},
        {"UTF-16, big-endian", utf16_file(u"[config]\r\nproxy=\u20ac\r\n", true), {}},
        {"UTF-16 without a byte order mark",
         utf16_file(u"[config]\r\nproxy=x\r\n", false).substr(2),
         {}},
        {"binary garbage", garbage, {}},
        {"a thousand rows, bare line feeds", rows_file(1000, "\n"), {}},
    };
}
