// The null output device: a thread that pulls mixed blocks at the output's own pace and drops them.
#include "backends/null/null_audio_device.h"

#include "platform/mixer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kBlockFrames = 512;
constexpr int kChannels = 2;

class TNullAudioDevice final : public TMixerDevice {
public:
    ~TNullAudioDevice() override { Close(); }

    bool Open() override {
        if (thread_.joinable()) return true;
        stop_ = false;
        thread_ = std::thread([this] { Run(); });
        return true;
    }

    // Joins the thread, so no block is mixed after this returns.
    void Close() override {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Run() {
        using clock = std::chrono::steady_clock;
        // Block periods are counted from the start, so sleeping late never makes the output drift.
        const auto period = std::chrono::duration<double>(static_cast<double>(kBlockFrames) / MIXER_RATE);
        std::vector<int16_t> block(static_cast<size_t>(kBlockFrames * kChannels));
        const auto start = clock::now();
        for (int64_t blocks = 0;; ++blocks) {
            MixerMixBlock(block.data(), static_cast<int>(block.size()));
            const auto due =
                start + std::chrono::duration_cast<clock::duration>(period * static_cast<double>(blocks + 1));
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, due, [this] { return stop_; })) return;
        }
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

} // namespace

std::unique_ptr<TMixerDevice> CreateNullAudioDevice(int mode) {
    if (mode != 0) return nullptr;
    return std::make_unique<TNullAudioDevice>();
}
