// The mixer's arithmetic, timing and voice bookkeeping, block by block through a manual device.
#include "platform/mixer.h"
#include "platform/mixer_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

uint32_t fake_now = 0;
uint32_t FakeClock() {
    return fake_now;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_now = 1000;
        MixerSetClock(&FakeClock);
        MixerSetDeviceFactory(&CreateManualMixerDevice);
        ASSERT_EQ(MixerOpen(0), 0);
    }

    void TearDown() override {
        for (MixerSample* sample : samples_) MixerReleaseSample(sample);
        MixerClose();
        MixerSetClock(nullptr);
    }

    MixerSample* Mono16(const std::vector<int16_t>& frames, bool loop = false, int rate = MIXER_RATE) {
        return Keep(MixerCreateSample(static_cast<int>(frames.size()), 16, 1, rate, frames.data(),
                                      loop ? MIXER_SAMPLE_LOOP : 0));
    }

    MixerSample* Keep(MixerSample* sample) {
        EXPECT_NE(sample, nullptr);
        samples_.push_back(sample);
        return sample;
    }

    // Interleaved output of the next `frames` frames.
    static std::vector<int16_t> Mix(int frames) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 12345);
        MixerMixBlock(out.data(), frames * 2);
        return out;
    }

    // Plays with the start delay already elapsed, so the voice sounds from the next block's first frame.
    static uint32_t PlayNow(MixerSample* sample, uint32_t handle = 0) {
        const uint32_t played = MixerPlay(sample, 0, handle);
        fake_now += MIXER_START_DELAY_MS;
        return played;
    }

    std::vector<MixerSample*> samples_;
};

std::vector<int16_t> Ramp(int count, int first, int step) {
    std::vector<int16_t> frames;
    for (int i = 0; i < count; ++i) frames.push_back(static_cast<int16_t>(first + i * step));
    return frames;
}

int FirstNonZero(const std::vector<int16_t>& out, int side) {
    for (size_t i = side; i < out.size(); i += 2) {
        if (out[i] != 0) return static_cast<int>(i / 2);
    }
    return -1;
}

TEST_F(MixerTest, SilenceWithoutVoices) {
    for (int16_t value : Mix(512)) ASSERT_EQ(value, 0);
}

TEST_F(MixerTest, LoneVoiceAtFullVolumeIsExact) {
    const std::vector<int16_t> frames = Ramp(400, -20000, 97);
    PlayNow(Mono16(frames));
    const std::vector<int16_t> out = Mix(400);
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(out[2 * i], frames[i]) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], frames[i]) << "frame " << i;
    }
}

TEST_F(MixerTest, HalfVolumeHalvesEveryValueFromTheFirstFrame) {
    const std::vector<int16_t> frames = Ramp(1000, -30001, 61);
    const uint32_t handle = MixerPlay(Mono16(frames), 1, 0);
    MixerSetVolume(handle, 0.5f);
    MixerSetPaused(handle, 0);
    fake_now += MIXER_START_DELAY_MS;
    const std::vector<int16_t> out = Mix(1000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NEAR(out[2 * i], frames[i] / 2.0, 1.0) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], out[2 * i]);
    }
}

TEST_F(MixerTest, TwoFullScaleVoicesInPhaseClip) {
    MixerSample* high = Mono16(std::vector<int16_t>(600, 32767));
    MixerSample* low = Mono16(std::vector<int16_t>(600, -32768));
    MixerPlay(high, 0, 0);
    PlayNow(high);
    std::vector<int16_t> out = Mix(512);
    for (int16_t value : out) ASSERT_EQ(value, 32767);

    MixerPlay(low, 0, 0);
    PlayNow(low);
    Mix(88); // the loud pair ends
    out = Mix(512);
    for (int16_t value : out) ASSERT_EQ(value, -32768);
}

TEST_F(MixerTest, PanAndDepthGains) {
    MixerSample* sample = Mono16(std::vector<int16_t>(2000, 8000));
    const uint32_t left = MixerPlay(sample, 1, 0);
    MixerSetPan(left, -1.0f);
    MixerSetPaused(left, 0);
    fake_now += MIXER_START_DELAY_MS;
    std::vector<int16_t> out = Mix(256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(out[2 * i], 8000);
        ASSERT_EQ(out[2 * i + 1], 0);
    }

    MixerSetPan(left, 0.5f); // the left side keeps half, the right stays whole
    out = Mix(256);
    EXPECT_EQ(out[510], 8000 / 2 + 0);
    EXPECT_EQ(out[511], 8000);

    MixerSetPan(left, 0.0f);
    MixerSetDepth(left, -0.25f); // behind the listener: the right side is inverted
    out = Mix(256);
    EXPECT_EQ(out[0], 8000);
    EXPECT_EQ(out[1], -8000);
}

TEST_F(MixerTest, VoicesOfOneFrameKeepTheirTimingBehindTheStartDelay) {
    MixerSample* sample = Mono16(std::vector<int16_t>(5000, 1000));
    const uint32_t at_once = MixerPlay(sample, 1, 0);
    MixerSetPan(at_once, -1.0f);
    MixerSetPaused(at_once, 0);
    const uint32_t resumed_later = MixerPlay(sample, 1, 0);
    MixerSetPan(resumed_later, 1.0f);

    std::vector<int16_t> out = Mix(512); // drained at the cue: 20 ms = 882 frames still to wait
    fake_now += 10;
    MixerSetPaused(resumed_later, 0);
    const std::vector<int16_t> second = Mix(512);
    out.insert(out.end(), second.begin(), second.end());

    const int delay_frames = MIXER_START_DELAY_MS * MIXER_RATE / 1000;
    EXPECT_EQ(FirstNonZero(out, 0), delay_frames);
    EXPECT_EQ(FirstNonZero(out, 1), delay_frames);
}

TEST_F(MixerTest, StartDelayShrinksByTheTimeBeforeTheBlock) {
    MixerPlay(Mono16(std::vector<int16_t>(5000, 1000)), 0, 0);
    fake_now += 15; // the mixer drains the voice 15 ms after it was started: 5 ms remain
    const std::vector<int16_t> out = Mix(512);
    EXPECT_EQ(FirstNonZero(out, 0), 5 * MIXER_RATE / 1000);
}

TEST_F(MixerTest, HeldOneShotFinishesAndKeepsItsSettings) {
    const std::vector<int16_t> frames = Ramp(300, 100, 50);
    MixerSample* sample = Mono16(frames);
    const uint32_t handle = MixerAllocHandle();
    ASSERT_NE(handle, 0u);
    MixerSetVolume(handle, 0.5f);
    EXPECT_EQ(MixerStatus(handle), 0u) << "a fresh handle's voice is not playing";

    EXPECT_EQ(PlayNow(sample, handle), handle);
    EXPECT_EQ(MixerStatus(handle), MIXER_PLAYING_ONCE);
    std::vector<int16_t> out = Mix(512);
    EXPECT_EQ(out[0], frames[0] / 2);
    EXPECT_EQ(out[2 * 299], frames[299] / 2);
    EXPECT_EQ(out[2 * 300], 0) << "nothing after the last frame";
    EXPECT_EQ(MixerStatus(handle), MIXER_FINISHED);
    EXPECT_EQ(MixerPosition(handle), 300);
    EXPECT_EQ(MixerActiveVoiceCount(), 1) << "the finished voice stays with its handle";

    // Playing again on the handle keeps the half volume and retires the finished voice.
    EXPECT_EQ(PlayNow(sample, handle), handle);
    out = Mix(64);
    EXPECT_EQ(out[2 * 10], frames[10] / 2);
    EXPECT_EQ(MixerActiveVoiceCount(), 1);
    MixerFreeHandle(handle);
    Mix(512);
    EXPECT_EQ(MixerActiveVoiceCount(), 0) << "a freed handle's voice ends and recycles itself";
}

TEST_F(MixerTest, AutoFreeVoicesRecycleAtOnce) {
    MixerSample* sample = Mono16(Ramp(100, 1, 1));
    for (int round = 0; round < 50; ++round) {
        const uint32_t handle = PlayNow(sample);
        ASSERT_NE(handle, 0u);
        Mix(128);
        ASSERT_EQ(MixerStatus(handle), 0u) << "round " << round;
        ASSERT_EQ(MixerActiveVoiceCount(), 0);
        MixerFreeHandle(handle);
    }
    EXPECT_LE(MixerAllocatedVoiceCount(), 2) << "voices come back through the free ring";
}

TEST_F(MixerTest, HandleOfARecycledVoiceReadsNotPlayingAndReplays) {
    const std::vector<int16_t> frames = Ramp(100, 10, 10);
    MixerSample* sample = Mono16(frames);
    const uint32_t handle = PlayNow(sample);
    MixerSetVolume(handle, 0.5f);
    Mix(128);
    MixerReclaim();
    EXPECT_EQ(MixerStatus(handle), 0u);
    EXPECT_EQ(PlayNow(sample, handle), handle);
    const std::vector<int16_t> out = Mix(16);
    EXPECT_EQ(out[2 * 5], frames[5] / 2) << "the handle kept its volume";
}

TEST_F(MixerTest, StaleHandlesAreIgnored) {
    MixerSample* sample = Mono16(std::vector<int16_t>(1000, 4000), true);
    const uint32_t old_handle = PlayNow(sample);
    MixerStop(old_handle);
    EXPECT_EQ(MixerStatus(old_handle), 0u);
    MixerFreeHandle(old_handle); // a second free must not put the slot on the free list twice

    const uint32_t first = MixerAllocHandle();
    const uint32_t second = MixerAllocHandle();
    EXPECT_NE(first, second);
    EXPECT_NE(first, old_handle);
    EXPECT_EQ(first & (MIXER_HANDLE_SLOTS - 1), old_handle & (MIXER_HANDLE_SLOTS - 1)) << "slot reused";

    EXPECT_EQ(PlayNow(sample, first), first);
    MixerSetVolume(old_handle, 0.0f);
    MixerSetPaused(old_handle, 1);
    MixerStop(old_handle);
    EXPECT_EQ(MixerStatus(old_handle), 0u);
    EXPECT_EQ(MixerStatus(first), MIXER_PLAYING_LOOP);
    const std::vector<int16_t> out = Mix(64);
    EXPECT_EQ(out[0], 4000);
    EXPECT_EQ(out[127], 4000);

    MixerClose();
    ASSERT_EQ(MixerOpen(0), 0);
    EXPECT_EQ(MixerStatus(first), 0u);
    EXPECT_NE(MixerAllocHandle(), first) << "serials survive a reopen";
}

TEST_F(MixerTest, HandlesRunOut) {
    std::vector<uint32_t> handles;
    for (uint32_t handle = MixerAllocHandle(); handle != 0; handle = MixerAllocHandle())
        handles.push_back(handle);
    EXPECT_EQ(handles.size(), size_t(MIXER_HANDLE_SLOTS - 1));
    MixerSample* sample = Mono16(std::vector<int16_t>(10, 1));
    EXPECT_EQ(MixerPlay(sample, 1, 0), 0u) << "no handle, nothing starts";
    Mix(64);
    EXPECT_EQ(MixerActiveVoiceCount(), 0);
    MixerFreeHandle(handles.back());
    EXPECT_NE(MixerPlay(sample, 1, 0), 0u);
}

TEST_F(MixerTest, LoopingWrapsAndReportsPlaying) {
    const std::vector<int16_t> frames = Ramp(100, -5000, 100);
    const uint32_t handle = PlayNow(Mono16(frames, true));
    const std::vector<int16_t> out = Mix(350);
    for (int i = 0; i < 350; ++i) ASSERT_EQ(out[2 * i], frames[i % 100]) << "frame " << i;
    EXPECT_EQ(MixerStatus(handle), MIXER_PLAYING_LOOP);
    EXPECT_EQ(MixerPosition(handle), 350);
}

TEST_F(MixerTest, PausedVoiceHoldsItsPlace) {
    const std::vector<int16_t> frames = Ramp(1000, 0, 20);
    const uint32_t handle = PlayNow(Mono16(frames));
    Mix(100);
    MixerSetPaused(handle, 1);
    for (int16_t value : Mix(200)) ASSERT_EQ(value, 0);
    EXPECT_EQ(MixerStatus(handle), MIXER_PLAYING_ONCE | MIXER_PAUSED);
    MixerSetPaused(handle, 0);
    const std::vector<int16_t> out = Mix(10);
    EXPECT_EQ(out[0], frames[100]);
}

TEST_F(MixerTest, RateSteps) {
    const std::vector<int16_t> frames = Ramp(2000, -10001, 7);
    const uint32_t half = MixerPlay(Mono16(frames), 1, 0);
    MixerSetRate(half, 0.5f);
    MixerSetPaused(half, 0);
    fake_now += MIXER_START_DELAY_MS;
    std::vector<int16_t> out = Mix(200);
    for (int i = 0; i < 200; ++i) {
        // Odd frames fall halfway between two sample frames: floor of the midpoint.
        const int a = frames[i / 2], b = frames[i / 2 + 1];
        const int expected = i % 2 == 0 ? a : a + ((b - a) * 0x8000 >> 16);
        ASSERT_EQ(out[2 * i], expected) << "frame " << i;
    }
    MixerStop(half);

    const uint32_t twice = MixerPlay(Mono16(frames), 1, 0);
    MixerSetRate(twice, 2.0f);
    MixerSetPaused(twice, 0);
    fake_now += MIXER_START_DELAY_MS;
    out = Mix(200);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(out[2 * i], frames[2 * i]) << "frame " << i;
    MixerStop(twice);

    // A sample at half the output rate plays at half speed without any rate change.
    PlayNow(Mono16(frames, false, MIXER_RATE / 2));
    out = Mix(4);
    EXPECT_EQ(out[4], frames[1]);
    EXPECT_EQ(out[2], frames[0] + ((frames[1] - frames[0]) * 0x8000 >> 16));
}

TEST_F(MixerTest, VolumeAndRateRampAcrossOneBlock) {
    MixerSample* sample = Mono16(std::vector<int16_t>(100000, 16000));
    const uint32_t handle = PlayNow(sample);
    Mix(512);
    MixerSetVolume(handle, 0.0f);
    MixerSetRate(handle, 2.0f);
    const int before = MixerPosition(handle);
    const std::vector<int16_t> out = Mix(512);
    EXPECT_GT(out[0], 15900);
    EXPECT_LT(out[2 * 511], 100);
    for (int i = 1; i < 512; ++i) ASSERT_LE(out[2 * i], out[2 * i - 2]) << "frame " << i;
    // The step rises from 1 to 2 sample frames per output frame: about 1.5 x 512 frames.
    EXPECT_NEAR(MixerPosition(handle) - before, 768, 2);
    for (int16_t value : Mix(512)) ASSERT_EQ(value, 0);
    EXPECT_NEAR(MixerPosition(handle) - before, 768 + 1024, 2) << "a silent voice still advances";
}

TEST_F(MixerTest, EightBitAndStereoSamples) {
    const uint8_t bytes[] = {0, 128, 255, 64, 200};
    PlayNow(Keep(MixerCreateSample(5, 8, 1, MIXER_RATE, bytes, 0)));
    std::vector<int16_t> out = Mix(8);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(out[2 * i], bytes[i] * 256 - 32768);
        ASSERT_EQ(out[2 * i + 1], out[2 * i]);
    }

    const int16_t stereo[] = {1000, -1000, 2000, -2000, 3000, -3000};
    PlayNow(Keep(MixerCreateSample(3, 16, 2, MIXER_RATE, stereo, 0)));
    out = Mix(4);
    for (int i = 0; i < 6; ++i) ASSERT_EQ(out[i], stereo[i]);
    EXPECT_EQ(out[6], 0);

    const uint8_t stereo8[] = {255, 0, 128, 192};
    PlayNow(Keep(MixerCreateSample(2, 8, 2, MIXER_RATE, stereo8, 0)));
    out = Mix(2);
    EXPECT_EQ(out[0], 32512);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 16384);
}

TEST_F(MixerTest, LoopInterpolatesIntoItsFirstFrame) {
    const int16_t frames[] = {0, 1000, 2000, 3000};
    const uint32_t handle =
        MixerPlay(Keep(MixerCreateSample(4, 16, 1, MIXER_RATE, frames, MIXER_SAMPLE_LOOP)), 1, 0);
    MixerSetRate(handle, 0.5f);
    MixerSetPaused(handle, 0);
    fake_now += MIXER_START_DELAY_MS;
    const std::vector<int16_t> out = Mix(10);
    EXPECT_EQ(out[2 * 7], 1500) << "halfway from the last frame back to the first";
    EXPECT_EQ(out[2 * 8], 0);
}

TEST_F(MixerTest, BadSamplesAndClosedMixer) {
    const int16_t frame = 0;
    EXPECT_EQ(MixerCreateSample(1, 12, 1, MIXER_RATE, &frame, 0), nullptr);
    EXPECT_EQ(MixerCreateSample(1, 16, 3, MIXER_RATE, &frame, 0), nullptr);
    EXPECT_EQ(MixerCreateSample(-1, 16, 1, MIXER_RATE, &frame, 0), nullptr);
    MixerSample* empty = Keep(MixerCreateSample(0, 16, 1, MIXER_RATE, nullptr, 0));
    EXPECT_EQ(MixerPlay(empty, 0, 0), 0u);

    MixerSample* sample = Mono16({1, 2, 3});
    MixerClose();
    EXPECT_EQ(MixerPlay(sample, 0, 0), 0u);
    EXPECT_EQ(MixerAllocHandle(), 0u);
    MixerSetDeviceFactory([](int) { return std::unique_ptr<TMixerDevice>(); });
    EXPECT_EQ(MixerOpen(0), -1);
    MixerSetDeviceFactory(&CreateManualMixerDevice);
    ASSERT_EQ(MixerOpen(0), 0);
    EXPECT_EQ(MixerOpen(0), -1) << "already open";
}

} // namespace
