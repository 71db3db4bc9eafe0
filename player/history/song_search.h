// The History window's Search: the web address that looks a song title up. Pure; any thread.
#pragma once

#include <string>

// Every byte of UTF-8 text percent-encoded except RFC 3986's unreserved characters, so the
// title stays one query value whatever it holds ("&", "#", "%", spaces).
std::string percent_encode(const std::string &utf8_text);

// search_url with every "%s" replaced by the percent-encoded title; the title is appended
// when there is no "%s".
std::string search_address(const std::string &search_url, const std::string &utf8_title);
