// The editor's window, its loading and its list commands, driven by the messages a
// user's clicks send.
#include "editor_test_support.h"
#include "directory/find_dialog.h"

#include <algorithm>
#include <cstring>

namespace {

std::string station_file(int count, const std::vector<std::pair<std::string, std::string>> &rows,
                         const std::string &extra = "") {
    std::string content = "[stations]\r\nstation_count=" + std::to_string(count) + "\r\n";
    for (size_t row = 0; row < rows.size(); row++) {
        std::string number = std::to_string(row + 1);
        content += "station_name_" + number + "=" + rows[row].first + "\r\n";
        content += "station_url_" + number + "=" + rows[row].second + "\r\n";
    }
    return content + extra;
}

std::vector<std::pair<std::string, std::string>> numbered_rows(int count) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int row = 0; row < count; row++)
        rows.emplace_back("Station " + std::to_string(row), "http://host/" + std::to_string(row));
    return rows;
}

const std::string spaces15(15, ' ');

// --- What the user sees and reaches ---------------------------------------------------

std::string text_of(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    std::string shown = text;
    shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end()); // mnemonics
    return shown;
}

std::string class_name(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The controls Tab reaches, in order, starting from the first.
std::vector<int> tab_order(HWND window) {
    std::vector<int> order;
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    for (HWND at = first; at && order.size() < 50; at = GetNextDlgTabItem(window, at, FALSE)) {
        order.push_back(GetDlgCtrlID(at));
        if (GetNextDlgTabItem(window, at, FALSE) == first)
            break;
    }
    return order;
}

// The text a screen reader names a control by: the nearest label before it.
std::string label_of(HWND control) {
    for (HWND at = GetWindow(control, GW_HWNDPREV); at; at = GetWindow(at, GW_HWNDPREV))
        if (class_name(at) == "Static" && !text_of(at).empty())
            return text_of(at);
    return "";
}

struct shown_control {
    int id;
    const char *text; // the button's caption, or the label naming the field
};

// Every control is visible, enabled and reachable with Tab in this order, each button says
// what it does and each field has its label; Enter presses default_id; nothing overlaps
// and nothing lies outside the window.
void expect_usable(HWND window, const std::vector<shown_control> &tab_stops, int default_id) {
    std::vector<int> ids;
    for (const shown_control &control : tab_stops)
        ids.push_back(control.id);
    EXPECT_EQ(tab_order(window), ids);
    RECT client;
    GetClientRect(window, &client);
    std::vector<RECT> taken;
    for (const shown_control &control : tab_stops) {
        HWND item = GetDlgItem(window, control.id);
        SCOPED_TRACE(control.text);
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(IsWindowVisible(item));
        EXPECT_TRUE(IsWindowEnabled(item));
        bool is_button = class_name(item) == "Button";
        EXPECT_EQ(is_button ? text_of(item) : label_of(item), control.text);
        RECT box;
        GetWindowRect(item, &box);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&box), 2);
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &box, &client) && EqualRect(&inside, &box));
        for (const RECT &other : taken)
            EXPECT_FALSE(IntersectRect(&inside, &box, &other)) << "overlaps another control";
        taken.push_back(box);
    }
    EXPECT_EQ(LOWORD(SendMessageA(window, DM_GETDEFID, 0, 0)), default_id);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
}

TEST_F(EditorTest, EveryControlIsLabelledReachableAndUsable) {
    open_window();
    EXPECT_EQ(text_of(dialog), "Station Editor");
    expect_usable(dialog,
                  {{IDC_STATION_LIST, ""},
                   {IDC_STATION_NAME, "Station Name"},
                   {IDC_STATION_URL, "Station URL"},
                   {IDC_SAVE, "Save"},
                   {IDC_ADD, "Add"},
                   {IDC_UPDATE, "Update"},
                   {IDC_DELETE, "Delete"},
                   {IDC_UP, "UP"},
                   {IDC_DOWN, "DOWN"},
                   {IDC_IMPORT_M3U, "Import m3u"},
                   {IDC_FIND, "Find..."}},
                  IDC_SAVE);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_STYLE) & WS_MINIMIZEBOX);
    // The list shows many rows and only one is chosen at a time.
    EXPECT_EQ(SendMessageA(station_listbox, LB_GETSELCOUNT, 0, 0), LB_ERR);
    RECT list, name;
    GetWindowRect(station_listbox, &list);
    GetWindowRect(GetDlgItem(dialog, IDC_STATION_NAME), &name);
    EXPECT_GT(list.bottom - list.top, 10 * (name.bottom - name.top));
    // Find... stands beside Import m3u, the other way to add many stations.
    RECT import, find;
    GetWindowRect(GetDlgItem(dialog, IDC_IMPORT_M3U), &import);
    GetWindowRect(GetDlgItem(dialog, IDC_FIND), &find);
    EXPECT_EQ(find.top, import.top);
    EXPECT_GT(find.left, import.right - 1);
    EXPECT_LT(find.left - import.right, import.right - import.left);
}

TEST_F(EditorTest, FindDialogIsLabelledReachableAndUsable) {
    open_window();
    find_dialog_handler = [](HWND) {}; // stays open for the checks
    HWND find = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FIND), dialog,
                                   find_dialog, 0);
    ASSERT_NE(find, nullptr);
    ShowWindow(find, SW_SHOW);
    EXPECT_EQ(text_of(find), "Find stations");
    EXPECT_EQ(GetWindow(find, GW_OWNER), dialog);
    expect_usable(find,
                  {{IDC_FIND_NAME, "Name"},
                   {IDC_FIND_SEARCH, "Search"},
                   {IDC_FIND_TAG, "Tag"},
                   {IDC_FIND_COUNTRY, "Country"},
                   {IDC_FIND_CODEC, "Codec"},
                   {IDC_FIND_RESULTS, "Results"},
                   {IDC_FIND_ADD, "Add"},
                   {IDCANCEL, "Close"}},
                  IDC_FIND_SEARCH);
    // Several results can be chosen at once.
    EXPECT_NE(SendDlgItemMessageA(find, IDC_FIND_RESULTS, LB_GETSELCOUNT, 0, 0), LB_ERR);
    // Add with nothing chosen says why instead of doing nothing silently.
    SendMessageA(find, WM_COMMAND, IDC_FIND_ADD, 0);
    EXPECT_EQ(text_of(GetDlgItem(find, IDC_FIND_STATUS)), "Select the stations to add first.");
    EXPECT_EQ(row_count(), 0);
    // Escape closes it, as Close does.
    SendMessageA(find, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(find));
    DestroyWindow(find);
}

// --- Loading -------------------------------------------------------------------------

TEST_F(EditorTest, LoadingShowsEveryRowWithItsPrefixAndNothingSelected) {
    // Row 3 has no keys: it reads as "null", a group row.
    open_window_on(station_file(3, {{"Rock", "null"}, {"Radio One", "http://one/stream"}}) +
                   "station_name_4=beyond the count\r\n");
    EXPECT_EQ(row_texts(),
              (std::vector<std::string>{"  [+]  Rock", spaces15 + "Radio One", "  [+]  null"}));
    expect_list_matches_box();
    EXPECT_EQ(nodes()[2], std::make_pair(std::string("null"), std::string("null")));
    EXPECT_EQ(selected_row(), -1);
    EXPECT_EQ(field(IDC_STATION_NAME), "");
    EXPECT_EQ(field(IDC_STATION_URL), "");
}

TEST_F(EditorTest, ZeroOrNegativeCountShowsNoRows) {
    open_window_on(station_file(0, numbered_rows(2)));
    EXPECT_TRUE(row_texts().empty());
    EXPECT_EQ(station_head, nullptr);
    DestroyWindow(dialog);
    dialog = nullptr;
    open_window_on(station_file(-5, numbered_rows(2)));
    EXPECT_TRUE(row_texts().empty());
}

TEST_F(EditorTest, MissingFileShowsAnEmptyList) {
    open_window();
    EXPECT_EQ(row_count(), 0);
}

TEST_F(EditorTest, HugeCountStopsAtTheLoadLimit) {
    open_window_on(station_file(2000000000, numbered_rows(2)));
    EXPECT_EQ(row_count(), station_load_limit);
    EXPECT_EQ(nodes().size(), size_t(station_load_limit));
    EXPECT_EQ(row_texts()[1], spaces15 + "Station 1");
    EXPECT_EQ(row_texts()[2], "  [+]  null");
}

TEST_F(EditorTest, LongValuesAreCutAtTheirBufferAndRowTextsAtTheRowLimit) {
    std::string long_name(250, 'n');
    open_window_on(station_file(2, {{long_name, "http://a"}, {long_name, "null"}}));
    EXPECT_EQ(std::strlen(node_at(0)->name), 199u);
    // 15 + 199 characters do not fit a row; 7 + 199 do.
    EXPECT_EQ(row_texts()[0], spaces15 + std::string(196, 'n'));
    EXPECT_EQ(row_texts()[1], "  [+]  " + std::string(199, 'n'));
}

// --- Showing, adding, updating -------------------------------------------------------

TEST_F(EditorTest, ClickingARowShowsItButSelectingFromCodeDoesNot) {
    open_window_on(station_file(2, {{"A", "http://a"}, {"B", "http://b"}}));
    click_row(1);
    EXPECT_EQ(field(IDC_STATION_NAME), "B");
    EXPECT_EQ(field(IDC_STATION_URL), "http://b");
    select_row(0, -1);
    EXPECT_EQ(field(IDC_STATION_NAME), "B");
    // The selection change is recognised by its code before the remaining buttons.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DELETE, LBN_SELCHANGE), 0);
    EXPECT_EQ(field(IDC_STATION_NAME), "A");
    EXPECT_EQ(row_count(), 2);
}

TEST_F(EditorTest, EmptyFieldsAreRefusedWithAnErrorAndChangeNothing) {
    open_window_on(station_file(1, {{"A", "http://a"}}));
    for (int id : {IDC_ADD, IDC_UPDATE}) {
        click_row(0);
        set_fields("", "http://x");
        message_box_record box = expect_one_message([&] { command(id); });
        EXPECT_EQ(box.text, "Station name is empty!");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.owner, dialog);
        EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_HAND));

        set_fields("Name", "");
        box = expect_one_message([&] { command(id); });
        EXPECT_EQ(box.text, "Station url is empty!");
        EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_HAND));
        EXPECT_EQ(nodes(), (std::vector<std::pair<std::string, std::string>>{{"A", "http://a"}}));
        expect_list_matches_box();
    }
}

TEST_F(EditorTest, AddWithoutSelectionAppendsSelectsAndScrollsToTheNewRow) {
    open_window_on(station_file(60, numbered_rows(60)));
    set_fields("New", "http://new");
    command(IDC_ADD);
    expect_no_message();
    expect_list_matches_box();
    EXPECT_EQ(names().back(), "New");
    EXPECT_EQ(selected_row(), 60);
    EXPECT_GT(top_row(), 0); // scrolled down so the new row shows
    EXPECT_EQ(field(IDC_STATION_NAME), "New");

    // Into an empty list as well.
    DestroyWindow(dialog);
    dialog = nullptr;
    free_station_list();
    DeleteFileA(ini_path);
    open_window();
    set_fields("Only", "null");
    command(IDC_ADD);
    EXPECT_EQ(row_texts(), std::vector<std::string>{"  [+]  Only"});
    EXPECT_EQ(selected_row(), 0);
}

TEST_F(EditorTest, AddAfterTheSelectedRowKeepsTheScrollPosition) {
    open_window_on(station_file(60, numbered_rows(60)));
    SendMessageA(station_listbox, LB_SETTOPINDEX, 10, 0);
    click_row(12);
    ASSERT_EQ(top_row(), 10);
    set_fields("Inserted", "http://inserted");
    command(IDC_ADD);
    expect_list_matches_box();
    EXPECT_EQ(names()[12], "Station 12");
    EXPECT_EQ(names()[13], "Inserted");
    EXPECT_EQ(names()[14], "Station 13");
    EXPECT_EQ(selected_row(), 13);
    EXPECT_EQ(top_row(), 10);
}

TEST_F(EditorTest, UpdateReplacesTheRowAndRecomputesItsGroupMark) {
    open_window_on(station_file(2, {{"Group", "null"}, {"B", "http://b"}}));
    click_row(0);
    set_fields("Now a station", "http://real");
    command(IDC_UPDATE);
    EXPECT_EQ(row_texts()[0], spaces15 + "Now a station");
    EXPECT_EQ(selected_row(), 0);

    click_row(1);
    set_fields(std::string(250, 'x'), "null"); // typed text is cut at 199 characters
    command(IDC_UPDATE);
    expect_list_matches_box();
    EXPECT_EQ(std::string(node_at(1)->name), std::string(199, 'x'));
    EXPECT_EQ(node_at(1)->is_group, 1);
    EXPECT_EQ(row_texts()[1].substr(0, 7), "  [+]  ");
}

TEST_F(EditorTest, UpdateAndDeleteWithoutSelectionWarn) {
    open_window_on(station_file(1, {{"A", "http://a"}}));
    set_fields("B", "http://b");
    for (int id : {IDC_UPDATE, IDC_DELETE}) {
        message_box_record box = expect_one_message([&] { command(id); });
        EXPECT_EQ(box.text, "Please select a station!");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
    }
    EXPECT_EQ(nodes(), (std::vector<std::pair<std::string, std::string>>{{"A", "http://a"}}));
}

// --- Deleting and moving -------------------------------------------------------------

TEST_F(EditorTest, DeleteSelectsTheFollowingRowAndKeepsTheFields) {
    open_window_on(station_file(3, {{"A", "http://a"}, {"B", "http://b"}, {"C", "http://c"}}));
    click_row(1);
    command(IDC_DELETE);
    expect_list_matches_box();
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(selected_row(), 1);
    EXPECT_EQ(field(IDC_STATION_NAME), "B");
    // Update without a new click writes the fields into the row now selected.
    command(IDC_UPDATE);
    EXPECT_EQ(nodes()[1], std::make_pair(std::string("B"), std::string("http://b")));

    click_row(1);
    command(IDC_DELETE); // the last row: nothing is selected afterwards
    EXPECT_EQ(selected_row(), -1);
    click_row(0);
    command(IDC_DELETE); // the only row
    EXPECT_EQ(station_head, nullptr);
    EXPECT_EQ(row_count(), 0);
    expect_no_message();
}

TEST_F(EditorTest, UpAndDownThatCannotMoveDoNothingSilently) {
    open_window_on(station_file(3, {{"A", "http://a"}, {"B", "http://b"}, {"C", "http://c"}}));
    command(IDC_UP); // no selection
    command(IDC_DOWN);
    click_row(0);
    command(IDC_UP);
    EXPECT_EQ(selected_row(), 0);
    click_row(2);
    command(IDC_DOWN);
    EXPECT_EQ(selected_row(), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
    expect_no_message();

    DestroyWindow(dialog);
    dialog = nullptr;
    free_station_list();
    open_window_on(station_file(1, {{"Only", "http://only"}}));
    click_row(0);
    command(IDC_UP);
    command(IDC_DOWN);
    EXPECT_EQ(names(), std::vector<std::string>{"Only"});
    EXPECT_EQ(selected_row(), 0);
}

TEST_F(EditorTest, UpAndDownMoveTheSelectedRowAndKeepItSelected) {
    open_window_on(station_file(3, {{"A", "http://a"}, {"B", "http://b"}, {"C", "http://c"}}));
    click_row(1);
    command(IDC_UP);
    expect_list_matches_box();
    EXPECT_EQ(names(), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_STREQ(station_head->name, "B");
    EXPECT_EQ(selected_row(), 0);

    command(IDC_DOWN);
    command(IDC_DOWN);
    expect_list_matches_box();
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(selected_row(), 2);
    command(IDC_UP);
    expect_list_matches_box();
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(selected_row(), 1);
}

TEST_F(EditorTest, MovingKeepsTheScrollPosition) {
    open_window_on(station_file(60, numbered_rows(60)));
    SendMessageA(station_listbox, LB_SETTOPINDEX, 20, 0);
    click_row(25);
    command(IDC_DOWN);
    EXPECT_EQ(top_row(), 20);
    EXPECT_EQ(selected_row(), 26);
    command(IDC_UP);
    command(IDC_UP);
    EXPECT_EQ(top_row(), 20);
    EXPECT_EQ(names()[24], "Station 25");
    expect_list_matches_box();
}

} // namespace
