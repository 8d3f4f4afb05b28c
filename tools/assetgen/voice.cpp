// The announcer's "Let's go!": a speech recording turned into a robotic arcade voice with a vocoder.
#include "tools/assetgen/sounds.h"

#include "tools/assetgen/synth.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

using namespace synth;

namespace {

uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
uint16_t u16(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}

// Reads a 16-bit PCM WAV file (any rate, the first channel). The speech synthesiser may write an
// unknown data size (it streams), so the data chunk runs to the end of the file when its size is too big.
bool read_wav(const std::string& path, Buffer& out, int& rate) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0, bits = 0;
    rate = 0;
    size_t at = 12;
    while (at + 8 <= d.size()) {
        const uint32_t size = u32(d, at + 4);
        const size_t body = at + 8;
        if (std::memcmp(d.data() + at, "fmt ", 4) == 0 && body + 16 <= d.size()) {
            if (u16(d, body) != 1) return false; // PCM only
            channels = u16(d, body + 2);
            rate = static_cast<int>(u32(d, body + 4));
            bits = u16(d, body + 14);
        } else if (std::memcmp(d.data() + at, "data", 4) == 0) {
            if (channels < 1 || bits != 16 || rate <= 0) return false;
            const size_t end = size > d.size() - body ? d.size() : body + size;
            const size_t step = static_cast<size_t>(channels) * 2;
            for (size_t p = body; p + step <= end; p += step)
                out.push_back(static_cast<float>(static_cast<int16_t>(u16(d, p))) / 32768.0f);
            return !out.empty();
        }
        at = body + size + (size & 1u);
    }
    return false;
}

// Linear-interpolation resampling to the output rate; speech has little energy near the top anyway.
Buffer resample(const Buffer& in, int rate) {
    if (rate == static_cast<int>(kRate)) return in;
    const double ratio = static_cast<double>(rate) / kRate;
    const size_t n = static_cast<size_t>(static_cast<double>(in.size()) / ratio);
    Buffer out(n);
    for (size_t i = 0; i < n; ++i) {
        const double pos = static_cast<double>(i) * ratio;
        const size_t k = static_cast<size_t>(pos);
        const float f = static_cast<float>(pos - static_cast<double>(k));
        const float a = in[k], b = k + 1 < in.size() ? in[k + 1] : 0.0f;
        out[i] = a + (b - a) * f;
    }
    return out;
}

// Channel vocoder: the speech's band envelopes shape a buzzing carrier of fixed pitch.
Buffer vocode(const Buffer& speech) {
    constexpr int kBands = 18;
    Buffer out(speech.size(), 0.0f);
    Osc buzz, fifth;
    Noise hiss(909u);
    Buffer carrier(speech.size());
    for (size_t i = 0; i < speech.size(); ++i) {
        // Saw at 98 Hz with a fifth above for a metallic chord; a little noise keeps the consonants.
        carrier[i] = buzz.saw(98.0f) * 0.7f + fifth.saw(147.0f) * 0.35f + hiss.next() * 0.25f;
    }
    for (int band = 0; band < kBands; ++band) {
        const float hz = 120.0f * std::pow(7000.0f / 120.0f, static_cast<float>(band) / (kBands - 1));
        Biquad mod_a, mod_b, car_a, car_b;
        mod_a.bandpass(hz, 5.0f);
        mod_b.bandpass(hz, 5.0f);
        car_a.bandpass(hz, 5.0f);
        car_b.bandpass(hz, 5.0f);
        float env = 0.0f;
        const float smooth = 1.0f - std::exp(-1.0f / (0.008f * kRate)); // 8 ms envelope follower
        for (size_t i = 0; i < speech.size(); ++i) {
            const float m = mod_b.run(mod_a.run(speech[i]));
            env += (std::fabs(m) - env) * smooth;
            out[i] += car_b.run(car_a.run(carrier[i])) * env;
        }
    }
    return out;
}

} // namespace

bool make_voice(const std::string& wav_path, SoundFile& out) {
    Buffer raw;
    int rate = 0;
    if (!read_wav(wav_path, raw, rate)) return false;
    Buffer speech = resample(raw, rate);
    normalise(speech, -1.0f);
    // Trim the recording's silent lead-in and tail, then leave room for the echo to ring out.
    size_t first = 0, last = speech.size();
    while (first < last && std::fabs(speech[first]) < 0.01f) ++first;
    while (last > first && std::fabs(speech[last - 1]) < 0.01f) --last;
    if (first == last) return false;
    speech = Buffer(speech.begin() + static_cast<std::ptrdiff_t>(first),
                    speech.begin() + static_cast<std::ptrdiff_t>(last));
    speech.resize(speech.size() + static_cast<size_t>(frames(0.35f)), 0.0f);
    Buffer robot = vocode(speech);
    normalise(robot, -1.0f);
    // Mostly robot, with enough of the plain voice under it to stay easy to understand.
    Buffer mixdown(robot.size());
    for (size_t i = 0; i < robot.size(); ++i) mixdown[i] = robot[i] * 0.75f + speech[i] * 0.45f;
    saturate(mixdown, 1.5f);
    echo(mixdown, 0.09f, 0.3f, 0.28f);
    fade(mixdown, 0.005f, 0.05f);
    level_effect(mixdown);
    out = {"data/letsgo.ogg", 1, 0.5f, std::move(mixdown)};
    return true;
}
