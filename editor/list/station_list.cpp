#include "station_list.h"

#include "station_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

station_node *station_head = nullptr;
HWND station_listbox = nullptr;

namespace {

const char group_prefix[] = "  [+]  ";
const char station_prefix[] = "               ";

char *copy_text(const char *text) {
    size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

} // namespace

int row_count() {
    return static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
}

int selected_row() {
    LRESULT selection = SendMessageA(station_listbox, LB_GETCURSEL, 0, 0);
    return selection == LB_ERR ? -1 : static_cast<int>(selection);
}

station_node *node_at(int index) {
    if (index < 0)
        return nullptr;
    station_node *node = station_head;
    for (int step = 0; node && step < index; step++)
        node = node->next;
    return node;
}

station_node *last_node() {
    station_node *node = station_head;
    while (node && node->next)
        node = node->next;
    return node;
}

void select_row(int index, int top) {
    SendMessageA(station_listbox, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (top != -1)
        SendMessageA(station_listbox, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, top), 0);
}

int refresh_list() {
    if (!station_head) {
        SendMessageA(station_listbox, LB_RESETCONTENT, 0, 0);
        return 0;
    }
    int top = GetScrollPos(station_listbox, SB_VERT);
    // Redrawing after every added row makes long lists crawl.
    SendMessageA(station_listbox, WM_SETREDRAW, FALSE, 0);
    SendMessageA(station_listbox, LB_RESETCONTENT, 0, 0);
    char text[row_text_limit + 1];
    for (station_node *node = station_head; node; node = node->next) {
        row_text(node, text, sizeof text);
        SendMessageA(station_listbox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(station_listbox, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(station_listbox, nullptr, TRUE);
    return top;
}

void refresh_and_select(int index) {
    int top = refresh_list();
    select_row(index, top);
}

void row_text(const station_node *node, char *text, size_t text_size) {
    if (text_size > row_text_limit + 1)
        text_size = row_text_limit + 1;
    std::snprintf(text, text_size, "%s%s", node->is_group ? group_prefix : station_prefix,
                  node->name);
}

station_node *make_node(const char *name, const char *url) {
    station_node *node = static_cast<station_node *>(std::calloc(1, sizeof(station_node)));
    if (!node)
        return nullptr;
    if (!set_node_texts(node, name, url)) {
        std::free(node);
        return nullptr;
    }
    return node;
}

bool set_node_texts(station_node *node, const char *name, const char *url) {
    char *name_copy = copy_text(name);
    char *url_copy = copy_text(url);
    if (!name_copy || !url_copy) {
        std::free(name_copy);
        std::free(url_copy);
        return false;
    }
    std::free(node->name);
    std::free(node->url);
    node->name = name_copy;
    node->url = url_copy;
    node->is_group = is_group_url(url) ? 1 : 0;
    return true;
}

void free_node(station_node *node) {
    std::free(node->url);
    std::free(node->name);
    std::free(node);
}

void free_station_list() {
    while (station_head) {
        station_node *next = station_head->next;
        free_node(station_head);
        station_head = next;
    }
}

void insert_after(station_node *anchor, station_node *node) {
    node->prev = anchor;
    node->next = anchor->next;
    if (anchor->next)
        anchor->next->prev = node;
    anchor->next = node;
}

void append_after_last(station_node *last, station_node *node) {
    node->next = nullptr;
    if (last) {
        insert_after(last, node);
    } else {
        node->prev = nullptr;
        station_head = node;
    }
}

void unlink_node(station_node *node) {
    if (node->prev)
        node->prev->next = node->next;
    else
        station_head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    node->prev = nullptr;
    node->next = nullptr;
}

void swap_with_next(station_node *node) {
    station_node *next = node->next;
    if (!next)
        return;
    station_node *before = node->prev;
    station_node *after = next->next;
    if (before)
        before->next = next;
    else
        station_head = next;
    next->prev = before;
    next->next = node;
    node->prev = next;
    node->next = after;
    if (after)
        after->prev = node;
}
