// Importing extended M3U playlists into the editor's list: where the rows go, what the list
// shows, and the file dialog in front of it all. The reading rules themselves are tested
// natively (m3u_playlist_test).
#include "editor_test_support.h"
#include "import/m3u_import.h"
#include "import/m3u_playlist.h"

#include <dlgs.h>

namespace {

using rows = std::vector<std::pair<std::string, std::string>>;

// --- Importing into the list ---------------------------------------------------------

class ImportTest : public EditorTest {
  protected:
    std::string playlist(const std::string &content) {
        std::string path = path_of("list.m3u");
        write_file(path, content);
        return path;
    }

    rows import(const std::string &content, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        std::string path = playlist(content);
        EXPECT_TRUE(is_extended_m3u(path.c_str()));
        EXPECT_EQ(import_m3u(path.c_str()), 0);
        expect_list_matches_box(where);
        return nodes(where);
    }
};

TEST_F(ImportTest, EntriesWithAUsableTitleBecomeRows) {
    // Which lines make a row is the playlist rules' own test; here: rows in file order, a
    // group row's prefix, and the first new row selected.
    open_window();
    rows imported = import("#EXTM3U\r\n"
                           "#EXTINF:-1,Radio One\r\nhttp://one/stream\r\n"
                           "#EXTINF:5,X\nhttp://one-character-title\n" // no row
                           "#EXTINF:1,Heading\nnull\n"
                           "#EXTINF:1,Last line\nhttp://last");
    EXPECT_EQ(imported, (rows{{"Radio One", "http://one/stream"},
                              {"Heading", "null"},
                              {"Last line", "http://last"}}));
    EXPECT_EQ(row_texts()[1], "  [+]  Heading");
    EXPECT_EQ(selected_row(), 0);
    expect_no_message();
}

TEST_F(ImportTest, RestOfALongExtinfLineIsTakenAsItsUrl) {
    open_window();
    std::string title(292, 't');
    rows imported = import("#EXTM3U\n#EXTINF:-1," + title + "\nhttp://real\n");
    // 255 characters: "#EXTINF:-1," and 244 of the title; the other 48 are the URL line.
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_EQ(imported[0].first, std::string(244, 't'));
    EXPECT_EQ(imported[0].second, std::string(48, 't'));
    EXPECT_EQ(row_texts()[0].size(), row_text_limit);
}

TEST_F(ImportTest, WithoutSelectionRowsGoToTheEndInFileOrder) {
    open_window_on("[stations]\r\nstation_count=2\r\n");
    SetDlgItemTextA(dialog, IDC_STATION_NAME, "kept");
    import("#EXTM3U\n#EXTINF:1,XX\nhttp://x\n#EXTINF:1,YY\nhttp://y\n#EXTINF:1,ZZ\nhttp://z\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"null", "null", "XX", "YY", "ZZ"}));
    EXPECT_EQ(selected_row(), 0);
    EXPECT_EQ(field(IDC_STATION_NAME), "kept");
}

TEST_F(ImportTest, AfterASelectedRowRowsStandInReverseOrderAndTheFirstIsSelected) {
    std::string ini = "[stations]\r\nstation_count=60\r\n";
    open_window_on(ini);
    SendMessageA(station_listbox, LB_SETTOPINDEX, 2, 0);
    click_row(4);
    import("#EXTM3U\n#EXTINF:1,XX\nhttp://x\n#EXTINF:1,YY\nhttp://y\n#EXTINF:1,ZZ\nhttp://z\n");
    std::vector<std::string> result = names();
    EXPECT_EQ(result[4], "null");
    EXPECT_EQ(result[5], "ZZ");
    EXPECT_EQ(result[6], "YY");
    EXPECT_EQ(result[7], "XX");
    EXPECT_EQ(result.size(), 63u);
    EXPECT_EQ(selected_row(), 5);
    EXPECT_EQ(top_row(), 2);

    // Nothing qualifies: the rows stay and the row after the anchor is selected.
    click_row(62);
    import("#EXTM3U\nhttp://no-title\n");
    EXPECT_EQ(names().size(), 63u);
    EXPECT_EQ(selected_row(), -1);
}

TEST_F(ImportTest, MissingFileFailsAndLowerCaseEntriesMakeNoRows) {
    open_window();
    EXPECT_EQ(import_m3u(path_of("missing.m3u").c_str()), -1);
    import("#EXTM3U\n#extinf:1,Lower\nhttp://lower\n");
    EXPECT_EQ(row_count(), 0);
}

// --- The command, through the file dialog ---------------------------------------------

std::string dialog_item_text(HWND window, int id) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

// The file name box of the open-file dialog: an edit, or the edit inside a combo box.
HWND file_name_box(HWND file_dialog) {
    HWND box = GetDlgItem(file_dialog, edt1);
    if (!box)
        box = GetDlgItem(file_dialog, cmb13);
    return box;
}

TEST_F(ImportTest, ImportCommandAsksForAFileAndRemembersIt) {
    open_window();
    std::string good = playlist("#EXTM3U\n#EXTINF:1,Picked\nhttp://picked\n");
    std::string plain = path_of("plain.m3u");
    write_file(plain, "#EXTINF:1,A\nhttp://a\n");

    std::string shown_name, shown_filter;
    bool read_only_box_visible = true;
    file_dialog_handler = [&](HWND file_dialog) {
        shown_name = dialog_item_text(file_dialog, GetDlgCtrlID(file_name_box(file_dialog)));
        shown_filter = dialog_item_text(file_dialog, cmb1);
        HWND read_only = GetDlgItem(file_dialog, chx1);
        read_only_box_visible = read_only && IsWindowVisible(read_only);
        SetWindowTextA(file_name_box(file_dialog), good.c_str());
        PostMessageA(file_dialog, WM_COMMAND, IDOK, 0);
    };
    command(IDC_IMPORT_M3U);
    expect_no_message();
    EXPECT_EQ(shown_name, "");
    EXPECT_EQ(shown_filter, "Playlist (*.m3u)");
    EXPECT_FALSE(read_only_box_visible);
    EXPECT_EQ(std::string(import_path), good);
    EXPECT_EQ(nodes(), (rows{{"Picked", "http://picked"}}));

    // The second time the dialog shows the file chosen the first time; this one has no
    // marker and is refused.
    file_dialog_handler = [&](HWND file_dialog) {
        shown_name = dialog_item_text(file_dialog, GetDlgCtrlID(file_name_box(file_dialog)));
        SetWindowTextA(file_name_box(file_dialog), plain.c_str());
        PostMessageA(file_dialog, WM_COMMAND, IDOK, 0);
    };
    message_box_record box = expect_one_message([&] { command(IDC_IMPORT_M3U); });
    EXPECT_EQ(shown_name, "list.m3u");
    EXPECT_EQ(box.text, "Not an extended m3u file!");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
    EXPECT_EQ(nodes(), (rows{{"Picked", "http://picked"}}));

    // Cancelling changes nothing and says nothing.
    file_dialog_handler = nullptr;
    command(IDC_IMPORT_M3U);
    expect_no_message();
    EXPECT_EQ(std::string(import_path), plain);
    EXPECT_EQ(nodes(), (rows{{"Picked", "http://picked"}}));
}

} // namespace
