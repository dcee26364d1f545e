#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>
#include <type_traits>
#include <vector>

#include "audio_device.h"

namespace qzr::emulator {

namespace {

// Buffers queued at the device at once: one playing, the others filled and waiting, so that a
// late wake-up of the filling thread is heard as nothing.
constexpr std::size_t kBufferCount = 4;

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using EventHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Windows' waveOut device, fed by a thread of ours: the device signals an event whenever it is
// done with a buffer, and the thread fills every finished buffer and queues it again. Nothing
// runs in the driver's callback, so nothing there can deadlock with the driver.
class WaveOutDevice final : public AudioDevice {
public:
    WaveOutDevice(HWAVEOUT wave, EventHandle done, int bufferFrames, FrameRenderer& renderer)
        : wave_(wave), done_(std::move(done)), renderer_(renderer) {
        for (std::size_t i = 0; i < kBufferCount; ++i) {
            samples_[i].assign(static_cast<std::size_t>(bufferFrames) * 2, 0);
            headers_[i].lpData = reinterpret_cast<LPSTR>(samples_[i].data());
            headers_[i].dwBufferLength =
                static_cast<DWORD>(samples_[i].size() * sizeof(std::int16_t));
            prepared_[i] =
                waveOutPrepareHeader(wave_, &headers_[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
            // Not yet queued: the thread's first pass fills and queues it.
            headers_[i].dwFlags |= WHDR_DONE;
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~WaveOutDevice() override {
        stopping_.store(true);
        SetEvent(done_.get());
        thread_.join();
        waveOutReset(wave_);  // hands every queued buffer back
        for (std::size_t i = 0; i < kBufferCount; ++i) {
            if (prepared_[i]) waveOutUnprepareHeader(wave_, &headers_[i], sizeof(WAVEHDR));
        }
        waveOutClose(wave_);
    }
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;

private:
    void Run() {
        while (!stopping_.load()) {
            for (std::size_t i = 0; i < kBufferCount && !stopping_.load(); ++i) {
                if (!prepared_[i] || (headers_[i].dwFlags & WHDR_DONE) == 0) continue;
                headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                renderer_.Render(std::span<std::int16_t>(samples_[i]));
                waveOutWrite(wave_, &headers_[i], sizeof(WAVEHDR));
            }
            WaitForSingleObject(done_.get(), INFINITE);
        }
    }

    HWAVEOUT wave_;
    EventHandle done_;
    FrameRenderer& renderer_;
    std::array<std::vector<std::int16_t>, kBufferCount> samples_{};
    std::array<WAVEHDR, kBufferCount> headers_{};
    std::array<bool, kBufferCount> prepared_{};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioDevice> OpenAudioDevice(int rate, int bufferFrames, FrameRenderer& renderer) {
    EventHandle done{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    if (done == nullptr || rate <= 0 || bufferFrames <= 0) return nullptr;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HWAVEOUT wave = nullptr;
    // Where there is no device (or no driver) this fails, and the caller runs the silent clock.
    if (waveOutOpen(&wave, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done.get()), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        return nullptr;
    }
    return std::make_unique<WaveOutDevice>(wave, std::move(done), bufferFrames, renderer);
}

}  // namespace qzr::emulator
