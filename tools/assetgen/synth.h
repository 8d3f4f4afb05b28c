// Sound synthesis building blocks: oscillators, filters, envelopes, effects and level tools.
#pragma once

#include <cstdint>
#include <vector>

namespace synth {

constexpr float kPi = 3.14159265358979f;
constexpr float kRate = 44100.0f;

using Buffer = std::vector<float>;

inline int frames(float seconds) {
    return static_cast<int>(seconds * kRate + 0.5f); // NOLINT(bugprone-incorrect-roundings): never negative
}
inline float db(float decibels);

// Phase accumulator oscillators; the pulse and saw are band-limited (polyBLEP) so high notes stay clean.
class Osc {
public:
    // Advances by one sample at frequency hz and returns the phase before the step, in [0, 1).
    float step(float hz);
    float sine(float hz);
    float saw(float hz);
    float pulse(float hz, float duty);
    // Triangle quantised to 16 levels, the rough chip-tune bass.
    float chip_triangle(float hz);
    void reset(float phase = 0.0f) { phase_ = phase; }

private:
    float phase_ = 0.0f;
};

// White noise from a fixed seed.
class Noise {
public:
    explicit Noise(uint32_t seed)
        : state_(seed ? seed : 1u) {}
    float next();

private:
    uint32_t state_;
};

// Second-order filter (RBJ cookbook); set it before each block or each sample for sweeps.
class Biquad {
public:
    void lowpass(float hz, float q);
    void highpass(float hz, float q);
    void bandpass(float hz, float q);
    // Boosts (gain_db > 0) or cuts everything above hz by gain_db.
    void highshelf(float hz, float q, float gain_db);
    float run(float x);

private:
    void set(float b0, float b1, float b2, float a0, float a1, float a2);
    float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    float x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Exponential decay reaching 1/e after `seconds`.
inline float decay(float t, float seconds);
// Attack ramp of `seconds`, then 1.
inline float attack(float t, float seconds) {
    return t >= seconds ? 1.0f : t / seconds;
}

// Adds a feedback echo: delay in seconds, feedback and wet level 0..1. Mono.
void echo(Buffer& b, float delay, float feedback, float wet);
// Small room reverb (parallel combs into all-passes). Mono.
void reverb(Buffer& b, float size, float wet);
// Soft clipping that keeps peaks below 1.
void saturate(Buffer& b, float drive);
// Scales so that the largest magnitude equals peak_db (dBFS).
void normalise(Buffer& b, float peak_db);
// How loud a sound is heard at its loudest: the mean square of the signal, weighted by the ear's
// curve (low bass counts less, presence more), over the loudest 100 ms window, in LUFS (a full-scale
// 1 kHz sine is about -3). Sounds shorter than a window count as one window of their own length.
// Interleaved stereo when `channels` is 2 (the channels' powers add).
float loudness(const Buffer& b, int channels = 1);
// Scales a mono sound to the loudness target (LUFS), then rides the gain down wherever a peak would
// pass ceiling_db (dBFS): a look-ahead limiter that dips over a few milliseconds and recovers over
// tens, so that loud sounds keep their body and still leave headroom for the mix.
void level(Buffer& b, float loudness_lufs, float ceiling_db);
// Linear fades at both ends, in seconds, against clicks.
void fade(Buffer& b, float in, float out);

} // namespace synth

#include <cmath>

inline float synth::db(float decibels) {
    return std::pow(10.0f, decibels / 20.0f);
}
inline float synth::decay(float t, float seconds) {
    return std::exp(-t / seconds);
}
