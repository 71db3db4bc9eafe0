// The editor's rows: a doubly linked list of station_node from station_head, mirrored
// row for row by the list box station_listbox. Everything here runs on the dialog's
// thread, the only one that touches the rows (the directory search's workers never do).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct station_node {
    station_node *prev;
    station_node *next;
    char *url;        // owned heap copy
    char *name;       // owned heap copy
    int32_t is_group; // 1 when url is exactly "null"; set only together with url
};

extern station_node *station_head;
extern HWND station_listbox;

// The longest text a list box row holds; longer names are cut on screen only.
constexpr size_t row_text_limit = 211;

int row_count();
// The selected row's index, or -1 when no row is selected.
int selected_row();
// The node at index, or nullptr when the index lies outside the list.
station_node *node_at(int index);
// The last node, or nullptr for an empty list.
station_node *last_node();
// Selects row index (none when index is outside the list), which scrolls it into view;
// then, unless top is -1, scrolls the list back so that row top is the top visible row.
void select_row(int index, int top);
// Rebuilds the list box from the list; returns the top visible row it had before.
int refresh_list();
// The usual end of a command: rebuild, select row index, keep the scroll position.
void refresh_and_select(int index);

// "  [+]  " or 15 spaces, then the name, cut to row_text_limit characters.
void row_text(const station_node *node, char *text, size_t text_size);

// A new unlinked node holding copies of name and url; nullptr when memory ran out.
station_node *make_node(const char *name, const char *url);
// Replaces the node's texts with copies; false, with the node unchanged, when memory ran out.
bool set_node_texts(station_node *node, const char *name, const char *url);
// Frees the node's url, then its name, then the node.
void free_node(station_node *node);
void free_station_list();

// Links node directly after anchor.
void insert_after(station_node *anchor, station_node *node);
// Links node after last, or makes it station_head when last is nullptr (empty list).
void append_after_last(station_node *last, station_node *node);
void unlink_node(station_node *node);
// Exchanges node with its next node by relinking; nothing when it has none.
void swap_with_next(station_node *node);
