// The History window's Search: the web address that looks a song title up. Pure; any thread.
#pragma once

#include <string>

// search_url with every "%s" replaced by the title, every byte percent-encoded but RFC 3986's
// unreserved characters (so "&", "#", "%" and blanks stay inside the value); the title is appended
// when there is no "%s".
std::string search_address(const std::string &search_url, const std::string &utf8_title);
