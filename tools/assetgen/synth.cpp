// Oscillators, filters and effects for the synthesised sounds.
#include "tools/assetgen/synth.h"

#include <algorithm>

namespace synth {

namespace {

// polyBLEP residual: rounds off the step of a naive saw or pulse around phase t (dt = phase step).
float poly_blep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

} // namespace

float Osc::step(float hz) {
    const float p = phase_;
    phase_ += hz / kRate;
    phase_ -= std::floor(phase_);
    return p;
}

float Osc::sine(float hz) {
    return std::sin(2.0f * kPi * step(hz));
}

float Osc::saw(float hz) {
    const float dt = hz / kRate;
    const float p = step(hz);
    return 2.0f * p - 1.0f - poly_blep(p, dt);
}

float Osc::pulse(float hz, float duty) {
    const float dt = hz / kRate;
    const float p = step(hz);
    float q = p + (1.0f - duty);
    q -= std::floor(q);
    float v = p < duty ? 1.0f : -1.0f;
    v += poly_blep(p, dt);
    v -= poly_blep(q, dt);
    return v;
}

float Osc::chip_triangle(float hz) {
    const float p = step(hz);
    const float tri = p < 0.5f ? 4.0f * p - 1.0f : 3.0f - 4.0f * p;
    return std::round(tri * 7.5f) / 7.5f;
}

float Noise::next() {
    // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

void Biquad::set(float b0, float b1, float b2, float a0, float a1, float a2) {
    b0_ = b0 / a0;
    b1_ = b1 / a0;
    b2_ = b2 / a0;
    a1_ = a1 / a0;
    a2_ = a2 / a0;
}

void Biquad::lowpass(float hz, float q) {
    hz = std::clamp(hz, 10.0f, kRate * 0.45f);
    const float w = 2.0f * kPi * hz / kRate, cw = std::cos(w), alpha = std::sin(w) / (2.0f * q);
    set((1.0f - cw) * 0.5f, 1.0f - cw, (1.0f - cw) * 0.5f, 1.0f + alpha, -2.0f * cw, 1.0f - alpha);
}

void Biquad::highpass(float hz, float q) {
    hz = std::clamp(hz, 10.0f, kRate * 0.45f);
    const float w = 2.0f * kPi * hz / kRate, cw = std::cos(w), alpha = std::sin(w) / (2.0f * q);
    set((1.0f + cw) * 0.5f, -(1.0f + cw), (1.0f + cw) * 0.5f, 1.0f + alpha, -2.0f * cw, 1.0f - alpha);
}

void Biquad::bandpass(float hz, float q) {
    hz = std::clamp(hz, 10.0f, kRate * 0.45f);
    const float w = 2.0f * kPi * hz / kRate, cw = std::cos(w), alpha = std::sin(w) / (2.0f * q);
    set(alpha, 0.0f, -alpha, 1.0f + alpha, -2.0f * cw, 1.0f - alpha);
}

float Biquad::run(float x) {
    const float y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
}

void echo(Buffer& b, float delay, float feedback, float wet) {
    const size_t d = static_cast<size_t>(frames(delay));
    Buffer line(b.size(), 0.0f);
    for (size_t i = 0; i < b.size(); ++i) {
        const float back = i >= d ? line[i - d] : 0.0f;
        line[i] = b[i] + back * feedback;
        b[i] += back * wet;
    }
}

void reverb(Buffer& b, float size, float wet) {
    // Comb lengths in samples at 44.1 kHz, mutually prime so their echoes do not line up.
    const int combs[4] = {1557, 1617, 1491, 1422};
    const int allpasses[2] = {225, 556};
    Buffer out(b.size(), 0.0f);
    for (int len : combs) {
        const size_t n = static_cast<size_t>(len * size);
        Buffer line(n, 0.0f);
        float damp = 0.0f;
        for (size_t i = 0; i < b.size(); ++i) {
            const float y = line[i % n];
            damp = y * 0.6f + damp * 0.4f;
            line[i % n] = b[i] + damp * 0.78f;
            out[i] += y * 0.25f;
        }
    }
    for (int len : allpasses) {
        const size_t n = static_cast<size_t>(len);
        Buffer line(n, 0.0f);
        for (size_t i = 0; i < out.size(); ++i) {
            const float buffered = line[i % n];
            const float y = -out[i] + buffered;
            line[i % n] = out[i] + buffered * 0.5f;
            out[i] = y;
        }
    }
    for (size_t i = 0; i < b.size(); ++i) b[i] += out[i] * wet;
}

void saturate(Buffer& b, float drive) {
    for (float& s : b) s = std::tanh(s * drive);
}

void normalise(Buffer& b, float peak_db) {
    float peak = 0.0f;
    for (float s : b) peak = std::max(peak, std::fabs(s));
    if (peak <= 0.0f) return;
    const float k = db(peak_db) / peak;
    for (float& s : b) s *= k;
}

void fade(Buffer& b, float in, float out) {
    const size_t n_in = std::min(b.size(), static_cast<size_t>(frames(in)));
    const size_t n_out = std::min(b.size(), static_cast<size_t>(frames(out)));
    for (size_t i = 0; i < n_in; ++i) b[i] *= static_cast<float>(i) / static_cast<float>(n_in);
    for (size_t i = 0; i < n_out; ++i)
        b[b.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(n_out);
}

} // namespace synth
