// Save's file: the whole new stations.ini built in memory and written in one pass, in the
// layout the profile functions write and read back. Runs on the window's thread; a list of
// 10,000 rows takes milliseconds, so the window never stops answering for it.
#pragma once

#include "station_file_reader.h"
#include "station_list.h"

#include <string>

// The new file: [config] with use_proxy, proxy and lame_options as old_file gives them (or
// their defaults), then every other setting of old_file's [config] as it was written (of a
// key given twice the first, which is the one in effect); then [stations] with count and
// the first count rows from head.
std::string station_file_text(const station_file_contents &old_file, const station_node *head,
                              int count);

// Writes text to path, replacing any file there, and flushes it to the disk. False when any
// byte could not be written (what was written is then left for the caller to remove).
bool write_whole_file(const char *path, const std::string &text);
