// The "Now Playing" frame: station name and address, song title, bitrate and format of the
// stream that current_stream names when each function runs.
#pragma once

// Window's thread, once per stream when buffering ends: fills the frame and registers the
// metadata syncs that keep the title current.
void begin_now_playing();
// Any thread: refreshes the song title from the stream's metadata.
void update_title();
// Any thread: shows the WMA header tags (title as station name, author as address).
void show_wma_tags();
