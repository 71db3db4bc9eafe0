// The editor's window, its loading and its list commands, driven by the messages a
// user's clicks send.
#include "editor_test_support.h"

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

// --- The window's template -----------------------------------------------------------

struct control_template {
    int id;
    const char *kind; // the system class
    const char *caption;
    short x, y, cx, cy;
    DWORD style;
    DWORD extended_style;
};

// A template names a system class by its ordinal or by its name.
bool is_class(WORD ordinal, const std::wstring &name, const char *kind) {
    const struct {
        const char *kind;
        WORD ordinal;
    } classes[] = {{"Button", 0x80}, {"Edit", 0x81}, {"Static", 0x82}, {"ListBox", 0x83}};
    for (const auto &known : classes)
        if (std::string(known.kind) == kind)
            return ordinal == known.ordinal ||
                   lstrcmpiA(std::string(name.begin(), name.end()).c_str(), kind) == 0;
    return false;
}

const WORD *skip_string_or_ordinal(const WORD *at, WORD *ordinal, std::wstring *text) {
    if (*at == 0xFFFF) {
        if (ordinal)
            *ordinal = at[1];
        return at + 2;
    }
    while (*at) {
        if (text)
            text->push_back(static_cast<wchar_t>(*at));
        at++;
    }
    return at + 1;
}

std::string narrow(const std::wstring &text) {
    return std::string(text.begin(), text.end());
}

TEST_F(EditorTest, WindowTemplateHasTheControlsTheUserSees) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_EDITOR), MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(data, nullptr);

    const WORD *words = reinterpret_cast<const WORD *>(data);
    ASSERT_EQ(words[0], 1);      // DLGTEMPLATEEX
    ASSERT_EQ(words[1], 0xFFFF); // its signature
    DWORD extended_style, style;
    std::memcpy(&extended_style, data + 8, 4);
    std::memcpy(&style, data + 12, 4);
    WORD count = words[8];
    const short *frame = reinterpret_cast<const short *>(data + 18);
    EXPECT_EQ(style, DWORD(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION |
                           WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(extended_style, 0u);
    EXPECT_EQ(frame[2], 311);
    EXPECT_EQ(frame[3], 261);
    const WORD *at = reinterpret_cast<const WORD *>(data + 26);
    at = skip_string_or_ordinal(at, nullptr, nullptr); // menu
    at = skip_string_or_ordinal(at, nullptr, nullptr); // class
    std::wstring caption, font;
    at = skip_string_or_ordinal(at, nullptr, &caption);
    EXPECT_EQ(narrow(caption), "Station Editor");
    EXPECT_EQ(at[0], 8); // points
    at = skip_string_or_ordinal(at + 3, nullptr, &font);
    EXPECT_EQ(narrow(font), "Ms Shell Dlg");

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD edge = WS_EX_STATICEDGE;
    const control_template expected[] = {
        {IDC_STATION_LIST, "ListBox", "", 6, 6, 297, 163,
         child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_DISABLENOSCROLL | LBS_NOINTEGRALHEIGHT,
         edge},
        {-1, "Static", "Station Name", 8, 179, 44, 8, child | SS_LEFT, 0},
        {-1, "Static", "Station URL", 11, 198, 40, 8, child | SS_LEFT, 0},
        {IDC_STATION_NAME, "Edit", "", 65, 179, 237, 12, child | WS_TABSTOP | ES_AUTOHSCROLL, edge},
        {IDC_STATION_URL, "Edit", "", 65, 196, 237, 12, child | WS_TABSTOP | ES_AUTOHSCROLL, edge},
        {IDC_SAVE, "Button", "Save", 255, 226, 48, 15, child | WS_TABSTOP | BS_DEFPUSHBUTTON, edge},
        {IDC_ADD, "Button", "Add", 101, 226, 49, 14, child | WS_TABSTOP, edge},
        {IDC_UPDATE, "Button", "Update", 152, 226, 50, 14, child | WS_TABSTOP, edge},
        {IDC_DELETE, "Button", "Delete", 203, 226, 50, 14, child | WS_TABSTOP, edge},
        {IDC_UP, "Button", "UP", 7, 225, 32, 14, child | WS_TABSTOP, edge},
        {IDC_DOWN, "Button", "DOWN", 41, 225, 31, 14, child | WS_TABSTOP, edge},
        {IDC_IMPORT_M3U, "Button", "Import m3u", 101, 243, 49, 15, child | WS_TABSTOP, edge},
    };
    ASSERT_EQ(count, std::size(expected));
    for (const control_template &control : expected) {
        // Items start on a 4-byte boundary.
        uintptr_t offset = reinterpret_cast<const BYTE *>(at) - data;
        const BYTE *item = data + ((offset + 3) & ~uintptr_t(3));
        DWORD item_extended_style, item_style, id;
        std::memcpy(&item_extended_style, item + 4, 4);
        std::memcpy(&item_style, item + 8, 4);
        const short *box = reinterpret_cast<const short *>(item + 12);
        std::memcpy(&id, item + 20, 4);
        WORD ordinal = 0;
        std::wstring class_name, text;
        at = skip_string_or_ordinal(reinterpret_cast<const WORD *>(item + 24), &ordinal,
                                    &class_name);
        at = skip_string_or_ordinal(at, nullptr, &text);
        at = reinterpret_cast<const WORD *>(reinterpret_cast<const BYTE *>(at + 1) + *at);

        SCOPED_TRACE(control.caption[0] ? control.caption : std::to_string(control.id).c_str());
        EXPECT_EQ(static_cast<int>(id), control.id);
        EXPECT_TRUE(is_class(ordinal, class_name, control.kind)) << narrow(class_name);
        EXPECT_EQ(narrow(text), control.caption);
        EXPECT_EQ(box[0], control.x);
        EXPECT_EQ(box[1], control.y);
        EXPECT_EQ(box[2], control.cx);
        EXPECT_EQ(box[3], control.cy);
        EXPECT_EQ(item_style, control.style);
        EXPECT_EQ(item_extended_style, control.extended_style);
    }
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
