// Percent-encoding for addresses and query values: a byte becomes "%" and two upper-case
// hex digits unless the caller's rule keeps it. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

// Letters, digits and "-._~": what a query value keeps as it is.
bool is_unreserved_byte(unsigned char byte);
// "!" to "~": what a browser keeps of an address it sends (blanks, controls and bytes
// beyond ASCII are encoded).
bool is_printable_ascii_byte(unsigned char byte);

// text with every byte for which keep is false percent-encoded.
std::string percent_encode(std::string_view text, bool (*keep)(unsigned char byte));
