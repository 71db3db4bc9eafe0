// Smoke test of the Windows build of the audio library: plays a local Icecast mount
// (started by the CTest fixture) through the default output, which under Wine without a
// sound server is the silent one, and reports what the stream says about itself. Also
// frees streams while a library thread's callback waits in a synchronous SendMessage to
// the freeing thread, as the player's callbacks do.
#include "audio_library_scope.h"
#include "brevora_audio.h"
#include "icecast_fixture_port.h"
#include "played_tone.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> lines_of(const char *block) {
    std::vector<std::string> lines;
    for (const char *p = block; p && *p; p += std::strlen(p) + 1)
        lines.emplace_back(p);
    return lines;
}

// Sets a mount's song title through Icecast's admin interface (admin:hackme).
bool set_title(int port, const std::string &mount, const std::string &song) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply(256, '\0');
    int got = 0;
    if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        std::string request = "GET /admin/metadata?mount=/" + mount + "&mode=updinfo&song=" + song +
                              " HTTP/1.0\r\nAuthorization: Basic YWRtaW46aGFja21l\r\n\r\n";
        send(s, request.data(), static_cast<int>(request.size()), 0);
        got = recv(s, &reply[0], static_cast<int>(reply.size()), 0);
    }
    closesocket(s);
    WSACleanup();
    reply.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return reply.find(" 200 ") != std::string::npos;
}

std::mutex status_lock;
std::string status_line;
void CALLBACK keep_status(const void *buffer, DWORD length, void *) {
    std::lock_guard<std::mutex> guard(status_lock);
    if (length == 0 && status_line.empty())
        status_line = static_cast<const char *>(buffer);
}

TEST(AudioIcecastWindows, PlaysAnMp3MountAndReportsItsTags) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    played_tone tone;
    audio_library_scope library;

    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0,
                                     BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                     keep_status, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    {
        std::lock_guard<std::mutex> guard(status_lock);
        EXPECT_EQ(status_line, "HTTP/1.0 200 OK");
    }
    std::vector<std::string> http = lines_of(BASS_ChannelGetTags(s, BASS_TAG_HTTP));
    for (const auto &line : http)
        std::printf("HTTP tag: %s\n", line.c_str());
    EXPECT_NE(std::find(http.begin(), http.end(), "icy-name:Brevora Test tone.mp3"), http.end());
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
    QWORD size = BASS_StreamGetFilePosition(s, BASS_FILEPOS_END);
    std::printf("ctype 0x%lx, %lu Hz, %lu channels, buffer %llu bytes = %llu kbps\n",
                static_cast<unsigned long>(info.ctype), static_cast<unsigned long>(info.freq),
                static_cast<unsigned long>(info.chans), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(size * 8 / BASS_GetConfig(BASS_CONFIG_NET_BUFFER)));
    EXPECT_EQ(size, 80000u);

    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    // A second of sound.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int pitch = tone.pitch(played_tone::frames_per_second, deadline);
    std::printf("played tone: %d Hz\n", pitch);
    EXPECT_NEAR(pitch, 1000, 10);
    EXPECT_TRUE(BASS_Free());
}

// The minimal FFmpeg of the Windows build decodes Opus and FLAC in Ogg too, and HE-AAC at
// its full rate and in stereo, though its ADTS headers give only the AAC core's half rate
// (and for v2 one channel).
TEST(AudioIcecastWindows, PlaysOpusOggFlacAndHeAacMountsAtTheirPitch) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    struct {
        const char *mount;
        DWORD ctype;
        DWORD freq;
        int tone_hz;
    } cases[] = {{"tone.opus", BASS_CTYPE_STREAM_OPUS, 48000, 1000},
                 {"tone.oga", BASS_CTYPE_STREAM_OGG_FLAC, 44100, 1000},
                 {"he-aac-v1.aac", BASS_CTYPE_STREAM_AAC, 44100, 880},
                 {"he-aac-v2.aac", BASS_CTYPE_STREAM_AAC, 44100, 660},
                 {"he-aac-v2-48k.aac", BASS_CTYPE_STREAM_AAC, 48000, 740}};
    for (const auto &each : cases) {
        SCOPED_TRACE(each.mount);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        played_tone tone;
        std::string url = "http://127.0.0.1:" + std::to_string(port) + "/" + each.mount;
        HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        EXPECT_EQ(info.chans, 2u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        // Joining a stream, an HE-AAC decoder plays its first frames near-silent (a little
        // over a tenth of a second) while the high band and the stereo settle: a quarter of a
        // second is skipped.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        EXPECT_NEAR(tone.pitch(played_tone::frames_per_second, deadline,
                               played_tone::frames_per_second / 4),
                    each.tone_hz, 10);
        EXPECT_TRUE(BASS_Free());
    }
}

// A message-only window on the test's thread; library threads send it WM_APP and wait.
struct message_target {
    HWND window = nullptr;
    HANDLE sending = CreateEventW(nullptr, TRUE, FALSE, nullptr); // a callback is about to send
    HANDLE returned_event = CreateEventW(nullptr, TRUE, FALSE, nullptr); // and its send returned
    std::atomic<bool> armed{false};
    std::atomic<int> answered{0};
    std::atomic<int> returned{0};
    std::atomic<DWORD> channel{0};
    std::atomic<int> free_in_handler{-1}; // BASS_StreamFree's result inside the handler

    message_target() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"BrevoraMessageTarget";
        RegisterClassW(&window_class);
        window = CreateWindowW(L"BrevoraMessageTarget", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               window_class.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~message_target() {
        DestroyWindow(window);
        CloseHandle(sending);
        CloseHandle(returned_event);
    }

    // On a library thread: the first armed call tells the test and waits for its answer.
    void send_once() {
        if (!armed.exchange(false))
            return;
        SetEvent(sending);
        SendMessageW(window, WM_APP, 0, 0);
        ++returned;
        SetEvent(returned_event);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto *self = reinterpret_cast<message_target *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != WM_APP || !self)
            return DefWindowProcW(window, message, w, l);
        ++self->answered;
        // As the player does when a station ends: free the stream from the window's thread.
        self->free_in_handler = BASS_StreamFree(self->channel) ? 1 : 0;
        return 0;
    }
};

void CALLBACK send_from_download(const void *, DWORD length, void *user) {
    if (length > 0)
        static_cast<message_target *>(user)->send_once();
}

void CALLBACK send_from_sync(HSYNC, DWORD, DWORD, void *user) {
    static_cast<message_target *>(user)->send_once();
}

// Ends the process if the test hangs, so a deadlock fails the run instead of stalling it.
class watchdog {
  public:
    explicit watchdog(const char *what) : what_(what) {
        thread_ = std::thread([this] {
            std::unique_lock<std::mutex> guard(lock_);
            if (!done_changed_.wait_for(guard, std::chrono::seconds(30), [&] { return done_; })) {
                std::fprintf(stderr, "deadlock: %s\n", what_);
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        });
    }
    ~watchdog() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            done_ = true;
        }
        done_changed_.notify_all();
        thread_.join();
    }

  private:
    const char *what_;
    std::mutex lock_;
    std::condition_variable done_changed_;
    bool done_ = false;
    std::thread thread_;
};

TEST(AudioIcecastWindows, FreesWhileADownloadProcedureWaitsInSendMessage) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    message_target target;
    audio_library_scope library; // the download procedure has &target until the library ends
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, send_from_download, &target);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    target.channel = s;
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    target.armed = true;
    ASSERT_EQ(WaitForSingleObject(target.sending, 10000), WAIT_OBJECT_0);

    watchdog guard("BASS_StreamFree / BASS_Free against a blocked download procedure");
    // This thread does not answer messages yet: the procedure stays blocked.
    EXPECT_TRUE(BASS_StreamFree(s));
    EXPECT_TRUE(BASS_Free());
    // BASS_Free answered the message, in which the stream was already gone.
    EXPECT_EQ(target.answered, 1);
    EXPECT_EQ(target.returned, 1);
    EXPECT_EQ(target.free_in_handler, 0);
}

TEST(AudioIcecastWindows, FreesWhileAMetaSyncWaitsInSendMessage) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    message_target target;
    audio_library_scope library; // the META sync has &target until the library ends
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    target.channel = s;
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_META, 0, send_from_sync, &target), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    target.armed = true;
    ASSERT_TRUE(set_title(port, "tone.mp3", "Blocked+in+SendMessage"));
    ASSERT_EQ(WaitForSingleObject(target.sending, 15000), WAIT_OBJECT_0);

    {
        watchdog guard("a window-thread free inside a blocked META sync's message");
        // Answer messages as a window's thread does: the handler frees the stream while
        // the sync procedure that sent the message is still inside the library's thread.
        while (MsgWaitForMultipleObjects(1, &target.returned_event, FALSE, INFINITE,
                                         QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    EXPECT_EQ(target.answered, 1);
    EXPECT_EQ(target.free_in_handler, 1);
    EXPECT_STREQ(BASS_ChannelGetTags(s, BASS_TAG_META), nullptr);
    EXPECT_TRUE(BASS_Free());
}

} // namespace
