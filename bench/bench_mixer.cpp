// Mixing cost per voice-frame: looping mono 16-bit voices mixed block by block through a manual device.
#include "platform/mixer.h"
#include "platform/mixer_device.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int BLOCK_FRAMES = 512;

// Arguments: voice count, and 1 to change every voice's volume and rate before each block so that
// every block ramps both.
void BM_MixBlock(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    const bool ramps = state.range(1) != 0;

    MixerSetDeviceFactory(&CreateManualMixerDevice);
    if (MixerOpen(0) != 0) {
        state.SkipWithError("mixer did not open");
        return;
    }
    // A rate other than the output's keeps the interpolation doing real work.
    std::vector<int16_t> frames(32000);
    for (size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int16_t>(12000 * std::sin(i * 0.05));
    MixerSample* sample =
        MixerCreateSample(static_cast<int>(frames.size()), 16, 1, 32000, frames.data(), MIXER_SAMPLE_LOOP);
    std::vector<uint32_t> handles;
    for (int v = 0; v < voices; ++v) {
        const uint32_t handle = MixerPlay(sample, 0, 0);
        MixerSetPan(handle, (v % 5 - 2) * 0.4f);
        MixerSetVolume(handle, 0.5f);
        handles.push_back(handle);
    }
    std::vector<int16_t> out(BLOCK_FRAMES * 2);
    for (int i = 0; i < 4; ++i) MixerMixBlock(out.data(), BLOCK_FRAMES * 2); // past the start delay

    int64_t block = 0;
    for (auto _ : state) {
        if (ramps) {
            const bool odd = (block++ & 1) != 0;
            for (uint32_t handle : handles) {
                MixerSetVolume(handle, odd ? 0.4f : 0.6f);
                MixerSetRate(handle, odd ? 0.97f : 1.03f);
            }
        }
        MixerMixBlock(out.data(), BLOCK_FRAMES * 2);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["voice_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * voices * BLOCK_FRAMES,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);

    for (uint32_t handle : handles) MixerStop(handle);
    MixerClose();
    MixerReleaseSample(sample);
}

BENCHMARK(BM_MixBlock)->ArgNames({"voices", "ramps"})->ArgsProduct({{1, 16, 64}, {0, 1}});

} // namespace

BENCHMARK_MAIN();
