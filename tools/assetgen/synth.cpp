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

void Biquad::highshelf(float hz, float q, float gain_db) {
    hz = std::clamp(hz, 10.0f, kRate * 0.45f);
    const float a = std::pow(10.0f, gain_db / 40.0f);
    const float w = 2.0f * kPi * hz / kRate, cw = std::cos(w), alpha = std::sin(w) / (2.0f * q);
    const float two_sqrt_a_alpha = 2.0f * std::sqrt(a) * alpha;
    set(a * ((a + 1.0f) + (a - 1.0f) * cw + two_sqrt_a_alpha), -2.0f * a * ((a - 1.0f) + (a + 1.0f) * cw),
        a * ((a + 1.0f) + (a - 1.0f) * cw - two_sqrt_a_alpha),
        (a + 1.0f) - (a - 1.0f) * cw + two_sqrt_a_alpha, 2.0f * ((a - 1.0f) - (a + 1.0f) * cw),
        (a + 1.0f) - (a - 1.0f) * cw - two_sqrt_a_alpha);
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

float loudness(const Buffer& b, int channels) {
    const size_t ch = static_cast<size_t>(channels);
    const size_t n = b.size() / ch;
    if (n == 0) return -100.0f;
    // The ear's weighting: a shelf of +4 dB above 1.5 kHz, then a high-pass at 38 Hz.
    std::vector<double> power(n, 0.0);
    for (size_t c = 0; c < ch; ++c) {
        Biquad shelf, rumble;
        shelf.highshelf(1500.0f, 0.7071f, 4.0f);
        rumble.highpass(38.0f, 0.5f);
        for (size_t i = 0; i < n; ++i) {
            const float y = rumble.run(shelf.run(b[i * ch + c]));
            power[i] += static_cast<double>(y) * y;
        }
    }
    // Windows of 100 ms, about the time the ear takes to sum a short sound, every 10 ms.
    const size_t window = std::min(n, static_cast<size_t>(frames(0.1f)));
    const size_t hop = static_cast<size_t>(frames(0.01f));
    std::vector<double> total(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) total[i + 1] = total[i] + power[i];
    double loudest = 0.0;
    for (size_t start = 0; start + window <= n; start += hop)
        loudest = std::max(loudest, (total[start + window] - total[start]) / static_cast<double>(window));
    // -0.691 dB takes back what the weighting adds at 1 kHz.
    return loudest > 0.0 ? static_cast<float>(-0.691 + 10.0 * std::log10(loudest)) : -100.0f;
}

namespace {

// Rides the gain down wherever a peak of b would pass ceiling_db.
void limit(Buffer& b, float ceiling_db) {
    // The gain each sample needs to stay under the ceiling; then, for each sample, the smallest of
    // those over the look-ahead after it, averaged over the look-ahead before it: a ramp that is fully
    // down when the peak arrives, whatever the depth of the dip.
    const float ceiling = db(ceiling_db);
    const size_t n = b.size();
    const size_t lookahead = static_cast<size_t>(frames(0.003f));
    std::vector<float> needed(n);
    for (size_t i = 0; i < n; ++i) {
        const float a = std::fabs(b[i]);
        needed[i] = a > ceiling ? ceiling / a : 1.0f;
    }
    std::vector<float> ahead(n);
    for (size_t i = 0; i < n; ++i) {
        float g = 1.0f;
        for (size_t k = i; k < std::min(n, i + lookahead + 1); ++k) g = std::min(g, needed[k]);
        ahead[i] = g;
    }
    // Climbs back with a 40 ms time constant; a rise never lifts the gain above the ramp.
    const float rise = 1.0f - std::exp(-1.0f / (0.04f * kRate));
    // Before the first sample the ramp holds the first sample's gain, which is already low enough
    // for every peak within the first look-ahead.
    const float before = n > 0 ? ahead[0] : 1.0f;
    float sum = before * static_cast<float>(lookahead + 1);
    float g = before;
    for (size_t i = 0; i < n; ++i) {
        sum += ahead[i] - (i >= lookahead + 1 ? ahead[i - lookahead - 1] : before);
        const float ramp = sum / static_cast<float>(lookahead + 1);
        g = std::min(ramp, g + (1.0f - g) * rise);
        b[i] *= g;
    }
}

} // namespace

void level(Buffer& b, float loudness_lufs, float ceiling_db) {
    if (loudness(b) <= -100.0f) return;
    // Limiting takes loudness away, so the gain in front of the limiter is found by rounds of
    // correction; loudness grows with that gain, and eight rounds land within a tenth of a dB.
    const Buffer source = b;
    float gain_db = 0.0f;
    for (int round = 0; round < 8; ++round) {
        b = source;
        const float k = db(gain_db);
        for (float& s : b) s *= k;
        limit(b, ceiling_db);
        gain_db += loudness_lufs - loudness(b);
    }
    b = source;
    const float k = db(gain_db);
    for (float& s : b) s *= k;
    limit(b, ceiling_db);
}

void fade(Buffer& b, float in, float out) {
    const size_t n_in = std::min(b.size(), static_cast<size_t>(frames(in)));
    const size_t n_out = std::min(b.size(), static_cast<size_t>(frames(out)));
    for (size_t i = 0; i < n_in; ++i) b[i] *= static_cast<float>(i) / static_cast<float>(n_in);
    for (size_t i = 0; i < n_out; ++i)
        b[b.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(n_out);
}

} // namespace synth
