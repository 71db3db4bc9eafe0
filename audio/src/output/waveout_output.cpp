// The Windows device output: waveOut on the default device (the wave mapper), 16-bit
// stereo, four 20 ms buffers kept queued by one thread while a stream plays. With nothing
// to play the device runs dry and is closed, and the thread sleeps until the mixer's wake-up
// (a stream added) or the stop sets its event; the next play opens the device again. Closed,
// not paused: Wine's device keeps a polling thread of its own running once it has played,
// paused or not. When no device opens at start (a server, Wine without a sound server)
// open_platform_output returns null and the silent output takes over.
#include "output_device.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace audio {

namespace {

constexpr int buffer_count = 4;
constexpr int buffer_ms = 20;

class waveout_output final : public output_device {
  public:
    // Opens the device to check that there is one; check opened() before use.
    waveout_output(mixer &source, int rate)
        : source_(source), rate_(rate), frames_(static_cast<size_t>(rate) * buffer_ms / 1000) {
        for (int i = 0; i < buffer_count; ++i)
            samples_[i].assign(frames_ * mixer::channels, 0);
        event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!event_ || !open_device())
            return;
        opened_ = true;
        source_.set_wake(this, [this] { SetEvent(event_); });
        thread_ = std::thread([this] { run(); });
    }

    ~waveout_output() override {
        source_.clear_wake(this);
        stopping_ = true;
        if (event_)
            SetEvent(event_);
        if (thread_.joinable())
            thread_.join();
        close_device();
        if (event_)
            CloseHandle(event_);
    }

    bool opened() const { return opened_; }
    const char *name() const override { return "waveOut"; }

  private:
    // Output thread: refills every buffer the device has finished with, while a stream plays.
    void run() {
        std::vector<float> mix(frames_ * mixer::channels);
        while (!stopping_) {
            bool busy = false; // buffers queued, or a device to open again soon
            for (int i = 0; i < buffer_count && !stopping_; ++i) {
                if (device_ && !(headers_[i].dwFlags & WHDR_DONE)) {
                    busy = true;
                    continue;
                }
                // Checked for each buffer, so a freed stream stops the feed at once. An add
                // after the last check sets the (auto-reset) event: the wait returns at once.
                if (!source_.has_sources())
                    continue;
                busy = true;
                if (!device_ && !open_device())
                    break; // taken away meanwhile: try again shortly
                source_.render(mix.data(), frames_);
                for (size_t s = 0; s < mix.size(); ++s)
                    samples_[i][s] = static_cast<int16_t>(
                        std::lround(std::clamp(mix[s], -1.0f, 1.0f) * 32767.0f));
                headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR));
            }
            if (!busy)
                close_device();
            // The device sets the event as each buffer finishes; idle and closed, only a new
            // stream or the stop does.
            WaitForSingleObject(event_, busy ? 100 : INFINITE);
        }
    }

    // Opens the device and prepares the buffers, each marked done so that it is filled and
    // queued first thing. Output thread, or the constructor before it starts.
    bool open_device() {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = mixer::channels;
        format.nSamplesPerSec = static_cast<DWORD>(rate_);
        format.wBitsPerSample = 16;
        format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                        CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            device_ = nullptr;
            return false;
        }
        for (int i = 0; i < buffer_count; ++i) {
            headers_[i] = WAVEHDR{};
            headers_[i].lpData = reinterpret_cast<LPSTR>(samples_[i].data());
            headers_[i].dwBufferLength = static_cast<DWORD>(samples_[i].size() * sizeof(int16_t));
            if (waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                close_device();
                return false;
            }
            headers_[i].dwFlags |= WHDR_DONE;
        }
        return true;
    }

    void close_device() {
        if (!device_)
            return;
        waveOutReset(device_);
        for (auto &header : headers_)
            if (header.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
        waveOutClose(device_);
        device_ = nullptr;
    }

    mixer &source_;
    const int rate_;
    const size_t frames_;
    HANDLE event_ = nullptr;
    bool opened_ = false;       // a device opened at start
    HWAVEOUT device_ = nullptr; // open while a stream plays; output thread once it runs
    WAVEHDR headers_[buffer_count]{};
    std::vector<int16_t> samples_[buffer_count];
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace

std::unique_ptr<output_device> open_platform_output(mixer &source, int rate) {
    auto device = std::make_unique<waveout_output>(source, rate);
    if (!device->opened())
        return nullptr;
    return device;
}

} // namespace audio
