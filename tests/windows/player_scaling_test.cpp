// The player's window at 100, 150 and 200 % scaling: Wine takes the scale from the LogPixels
// registry value when a process starts, so the test runs itself once per scale as a child
// that opens the window, reports its size and font and saves a screenshot
// (player-scaling-<percent>.png in the working folder) for a person to look at.
#include "fake_audio.h"
#include "player_harness.h"
#include "player_ids.h"
#include "player_main.h"
#include "playback/player_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A PNG of 8-bit RGB rows, its image data in stored (uncompressed) deflate blocks: small
// windows make small files even so.
class png_writer {
  public:
    static bool write(const char *path, int width, int height, const std::vector<uint8_t> &rgb) {
        std::vector<uint8_t> raw;
        for (int y = 0; y < height; ++y) {
            raw.push_back(0); // filter: none
            raw.insert(raw.end(), rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3);
        }
        std::vector<uint8_t> zlib = {0x78, 0x01};
        for (size_t at = 0; at < raw.size() || at == 0;) {
            const size_t length = std::min<size_t>(65535, raw.size() - at);
            zlib.push_back(at + length == raw.size() ? 1 : 0);
            zlib.insert(zlib.end(), {uint8_t(length), uint8_t(length >> 8), uint8_t(~length),
                                     uint8_t(~length >> 8)});
            zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
            at += length;
            if (length == 0)
                break;
        }
        append_be(zlib, adler32(raw));
        std::vector<uint8_t> header;
        append_be(header, width);
        append_be(header, height);
        header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB
        FILE *file = std::fopen(path, "wb");
        if (!file)
            return false;
        static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        std::fwrite(signature, 1, sizeof signature, file);
        write_chunk(file, "IHDR", header);
        write_chunk(file, "IDAT", zlib);
        write_chunk(file, "IEND", {});
        return std::fclose(file) == 0;
    }

  private:
    static void append_be(std::vector<uint8_t> &out, uint32_t value) {
        out.insert(out.end(), {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                               uint8_t(value)});
    }
    static uint32_t adler32(const std::vector<uint8_t> &data) {
        uint32_t a = 1, b = 0;
        for (uint8_t byte : data) {
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
        return (b << 16) | a;
    }
    static uint32_t crc32(const std::vector<uint8_t> &data) {
        uint32_t crc = 0xFFFFFFFF;
        for (uint8_t byte : data) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        return ~crc;
    }
    static void write_chunk(FILE *file, const char *type, const std::vector<uint8_t> &data) {
        std::vector<uint8_t> typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        std::vector<uint8_t> framing;
        append_be(framing, static_cast<uint32_t>(data.size()));
        std::fwrite(framing.data(), 1, 4, file);
        std::fwrite(typed.data(), 1, typed.size(), file);
        framing.clear();
        append_be(framing, crc32(typed));
        std::fwrite(framing.data(), 1, 4, file);
    }
};

// The window as it shows on the screen, frame included.
bool save_screenshot(HWND window, const char *path) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HBITMAP image = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(canvas, image);
    BitBlt(canvas, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t *pixel = static_cast<uint8_t *>(bits) + y * stride + x * 3;
            rgb.insert(rgb.end(), {pixel[2], pixel[1], pixel[0]});
        }
    SelectObject(canvas, previous);
    DeleteObject(image);
    DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
    return png_writer::write(path, width, height, rgb);
}

// The child: opens the window with texts in every line, prints what the parent checks,
// saves the screenshot and closes.
int run_child(const char *screenshot_path) {
    reset_fake_audio();
    std::thread player([] { player_main(); });
    if (!eventually([] { return main_window && IsWindowVisible(main_window); })) {
        std::printf("no window\n");
        player.detach();
        return 1;
    }
    const std::pair<int, const wchar_t *> texts[] = {{IDC_TITLE_LINE, L"Artist - Song"},
                                                     {IDC_STATION_LINE, L"Jazz FM"},
                                                     {IDC_INFO_LINE, L"http://jazz.example/"},
                                                     {IDC_BITRATE_LABEL, L"128 Kbps MP3"}};
    for (auto [id, text] : texts)
        SetDlgItemTextW(main_window, id, text);
    SetForegroundWindow(main_window);
    RedrawWindow(main_window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client;
    GetClientRect(main_window, &client);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(main_window, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    HDC window_context = GetDC(main_window);
    const int dpi = GetDeviceCaps(window_context, LOGPIXELSY);
    ReleaseDC(main_window, window_context);
    const bool saved = save_screenshot(main_window, screenshot_path);
    std::printf("dpi=%d width=%ld height=%ld font=%ld saved=%d\n", dpi, client.right, client.bottom,
                font.lfHeight, saved ? 1 : 0);
    std::fflush(stdout);
    PostMessageW(main_window, WM_CLOSE, 0, 0);
    player.join();
    return 0;
}

struct child_report {
    unsigned dpi = 0;
    long width = 0, height = 0, font = 0;
    int saved = 0;
};

// Runs this program as a child at the given scale and reads its report.
child_report run_at_scale(DWORD dpi, const std::string &path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    CreatePipe(&read_end, &write_end, &inherit, 0);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --screenshot " + std::wstring(path.begin(), path.end());
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = write_end;
    start.hStdError = write_end;
    PROCESS_INFORMATION child = {};
    child_report report;
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &start, &child);
    CloseHandle(write_end);
    std::string output;
    char buffer[256];
    DWORD got = 0;
    while (started && ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    CloseHandle(read_end);
    if (!started)
        return report;
    WaitForSingleObject(child.hProcess, 60000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    const size_t at = output.find("dpi=");
    if (at != std::string::npos)
        std::sscanf(output.c_str() + at, "dpi=%u width=%ld height=%ld font=%ld saved=%d",
                    &report.dpi, &report.width, &report.height, &report.font, &report.saved);
    (void)dpi;
    return report;
}

// While it lives, Wine starts new processes at this scale; the user's value comes back after.
class scale_setting {
  public:
    scale_setting() {
        DWORD size = sizeof previous_;
        had_value_ = RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                                  RRF_RT_REG_DWORD, nullptr, &previous_, &size) == ERROR_SUCCESS;
    }
    ~scale_setting() {
        if (had_value_)
            set(previous_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    }
    void set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                        sizeof dpi);
    }

  private:
    DWORD previous_ = 96;
    bool had_value_ = false;
};

TEST(PlayerScaling, WindowIsLaidOutAnewAt100150And200Percent) {
    scale_setting scale;
    child_report at_100;
    for (DWORD percent : {100, 150, 200}) {
        SCOPED_TRACE(percent);
        const DWORD dpi = 96 * percent / 100;
        scale.set(dpi);
        const std::string path = "player-scaling-" + std::to_string(percent) + ".png";
        DeleteFileA(path.c_str());
        const child_report report = run_at_scale(dpi, path);
        EXPECT_EQ(report.dpi, dpi);
        EXPECT_EQ(report.saved, 1);
        EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
        if (percent == 100) {
            at_100 = report;
            continue;
        }
        // Drawn at the scale, not a 100 % image stretched: the dialog font is chosen anew
        // in pixels and the layout follows it (within a few pixels of rounding).
        const double factor = percent / 100.0;
        EXPECT_NEAR(report.font, at_100.font * factor, 1.0);
        EXPECT_NEAR(report.width, at_100.width * factor, at_100.width * factor * 0.12);
        EXPECT_NEAR(report.height, at_100.height * factor, at_100.height * factor * 0.12);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return run_child(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
