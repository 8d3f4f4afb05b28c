// The nine synthesised sound effects. Each is built from oscillators, noise and filters, then levelled.
#include "tools/assetgen/sounds.h"

#include "tools/assetgen/synth.h"

#include <cmath>

using namespace synth;

namespace {

Buffer explode() {
    const float len = 2.2f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc boom;
    Noise noise(101u), crackle(202u);
    Biquad body, grit;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        // Sub-bass drop: the weight of the blast.
        const float boom_hz = 28.0f + 80.0f * decay(t, 0.18f);
        const float low = boom.sine(boom_hz) * decay(t, 0.5f) * 0.9f;
        // Roaring noise whose brightness falls away.
        body.lowpass(180.0f + 5200.0f * decay(t, 0.22f), 0.9f);
        const float roar = body.run(noise.next()) * attack(t, 0.004f) * decay(t, 0.6f) * 1.4f;
        // Debris crackle: sparse clicks that thin out.
        const float density = 0.02f * decay(t, 0.5f);
        const float c = crackle.next();
        const float click = std::fabs(c) < density ? (c > 0.0f ? 1.0f : -1.0f) : 0.0f;
        grit.bandpass(2400.0f, 1.2f);
        b[i] = low + roar + grit.run(click) * 0.6f;
    }
    saturate(b, 1.6f);
    reverb(b, 1.0f, 0.25f);
    fade(b, 0.0f, 0.3f);
    level_effect(b);
    return b;
}

Buffer lazer() {
    const float len = 0.36f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc main, sub, wobble;
    Biquad tone;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        // Fast downward sweep: the classic zap, with a little vibrato for life.
        const float hz = (170.0f + 2300.0f * decay(t, 0.07f)) * (1.0f + 0.03f * wobble.sine(38.0f));
        const float v = main.pulse(hz, 0.3f) * 0.6f + sub.saw(hz * 0.5f) * 0.4f;
        tone.lowpass(1800.0f + 6000.0f * decay(t, 0.1f), 1.4f);
        b[i] = tone.run(v) * attack(t, 0.002f) * decay(t, 0.11f);
    }
    echo(b, 0.045f, 0.25f, 0.3f);
    fade(b, 0.0f, 0.05f);
    level_effect(b);
    return b;
}

Buffer small_explosion() {
    const float len = 0.5f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc thump;
    Noise noise(303u);
    Biquad body;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        body.lowpass(500.0f + 6000.0f * decay(t, 0.05f), 1.0f);
        const float pop = body.run(noise.next()) * decay(t, 0.1f) * attack(t, 0.002f);
        const float low = thump.sine(55.0f + 130.0f * decay(t, 0.04f)) * decay(t, 0.08f) * 0.8f;
        b[i] = pop * 1.3f + low;
    }
    saturate(b, 1.4f);
    fade(b, 0.0f, 0.1f);
    level_effect(b);
    return b;
}

Buffer tank_hit() {
    const float len = 1.0f;
    Buffer b(static_cast<size_t>(frames(len)));
    // Inharmonic partials of a struck steel plate, each with its own ring time.
    const float hz[6] = {412.0f, 1093.0f, 1587.0f, 2314.0f, 3177.0f, 4206.0f};
    const float amp[6] = {1.0f, 0.75f, 0.6f, 0.45f, 0.3f, 0.22f};
    const float ring[6] = {0.35f, 0.28f, 0.22f, 0.15f, 0.1f, 0.07f};
    Osc partials[6], body;
    Noise noise(404u);
    Biquad click;
    click.highpass(2500.0f, 0.7f);
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        float v = 0.0f;
        for (int k = 0; k < 6; ++k)
            v += partials[k].sine(hz[k] * (1.0f + 0.002f * std::sin(t * 30.0f))) * amp[k] * decay(t, ring[k]);
        v *= 0.35f;
        v += click.run(noise.next()) * decay(t, 0.006f) * 0.8f;
        v += body.sine(95.0f) * decay(t, 0.06f) * 0.6f;
        b[i] = v * attack(t, 0.001f);
    }
    reverb(b, 0.7f, 0.15f);
    fade(b, 0.0f, 0.15f);
    level_effect(b);
    return b;
}

Buffer ufo_hit() {
    const float len = 0.6f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc carrier, modulator, tremolo;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        // A falling FM "bzzow" with a fast tremolo: the shot glancing off armour.
        const float hz = 140.0f + 760.0f * decay(t, 0.16f);
        const float index = 4.0f * decay(t, 0.2f) + 0.6f;
        const float m = modulator.sine(hz * 1.414f) * index;
        const float v = std::sin(2.0f * kPi * carrier.step(hz) + m);
        const float trem = 0.65f + 0.35f * tremolo.sine(26.0f);
        b[i] = v * trem * attack(t, 0.003f) * decay(t, 0.2f);
    }
    fade(b, 0.0f, 0.08f);
    level_effect(b);
    return b;
}

Buffer warp() {
    const float len = 1.3f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc a, c, d, lfo;
    Noise noise(505u);
    Biquad tone, whoosh;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        const float x = t / len;
        // Exponential rise over four and a half octaves, with a fifth above and a slight detune.
        const float hz = 110.0f * std::pow(2.0f, 4.5f * x * x * (3.0f - 2.0f * x));
        float v = a.saw(hz) * 0.5f + c.saw(hz * 1.498f) * 0.3f + d.saw(hz * 1.007f) * 0.3f;
        tone.lowpass(hz * 4.0f, 2.0f);
        v = tone.run(v);
        whoosh.bandpass(hz * 2.0f, 2.5f);
        v += whoosh.run(noise.next()) * 0.5f;
        const float shimmer = 0.75f + 0.25f * lfo.sine(7.0f + 16.0f * x);
        const float env = attack(t, 0.08f) * (x > 0.8f ? (1.0f - x) / 0.2f : 1.0f);
        b[i] = v * shimmer * env;
    }
    echo(b, 0.07f, 0.35f, 0.3f);
    fade(b, 0.0f, 0.02f);
    level_effect(b);
    return b;
}

Buffer blast() {
    const float len = 1.7f;
    Buffer b(static_cast<size_t>(frames(len)));
    // The tanks slam down: a heavy boom, a distorted power chord and a metal clank.
    Osc boom, chord[3];
    const float chord_hz[3] = {55.0f, 82.4f, 110.0f};
    Osc clank[4];
    const float clank_hz[4] = {231.0f, 617.0f, 1012.0f, 1530.0f};
    Noise noise(606u);
    Biquad tone, hiss;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        float v = boom.sine(32.0f + 70.0f * decay(t, 0.1f)) * decay(t, 0.45f) * 1.0f;
        float pc = 0.0f;
        for (int k = 0; k < 3; ++k) pc += chord[k].saw(chord_hz[k] * (1.0f + 0.004f * static_cast<float>(k)));
        tone.lowpass(300.0f + 2500.0f * decay(t, 0.3f), 1.1f);
        v += std::tanh(tone.run(pc) * 2.5f) * decay(t, 0.55f) * 0.5f;
        float metal = 0.0f;
        for (int k = 0; k < 4; ++k)
            metal += clank[k].sine(clank_hz[k]) * decay(t, 0.25f / static_cast<float>(k + 1));
        v += metal * 0.18f;
        hiss.lowpass(3000.0f * decay(t, 0.2f) + 200.0f, 0.8f);
        v += hiss.run(noise.next()) * decay(t, 0.25f) * 0.7f;
        b[i] = v * attack(t, 0.002f);
    }
    saturate(b, 1.3f);
    reverb(b, 1.1f, 0.22f);
    fade(b, 0.0f, 0.3f);
    level_effect(b);
    return b;
}

float note_hz(int midi) {
    return 440.0f * std::pow(2.0f, static_cast<float>(midi - 69) / 12.0f);
}

Buffer title() {
    const float len = 2.6f;
    Buffer b(static_cast<size_t>(frames(len)));
    // A rising arpeggio into a held chord: E5 A5 C6 E6, then A major over a bass A.
    struct Note {
        float start, length;
        int midi;
        float level;
    };
    const Note notes[] = {
        {0.00f, 0.12f, 76, 0.8f}, {0.10f, 0.12f, 81, 0.8f},  {0.20f, 0.12f, 84, 0.8f},
        {0.30f, 0.12f, 88, 0.8f}, {0.42f, 0.10f, 86, 0.7f},  {0.52f, 0.10f, 84, 0.7f},
        {0.62f, 1.70f, 81, 0.7f}, {0.62f, 1.70f, 85, 0.55f}, {0.62f, 1.70f, 88, 0.55f},
        {0.62f, 1.80f, 45, 1.0f},
    };
    for (const Note& n : notes) {
        Osc osc, vib;
        const size_t start = static_cast<size_t>(frames(n.start));
        const size_t count = static_cast<size_t>(frames(n.length + 0.3f));
        for (size_t k = 0; k < count && start + k < b.size(); ++k) {
            const float t = static_cast<float>(k) / kRate;
            const float release = t > n.length ? decay(t - n.length, 0.06f) : 1.0f;
            const float hz = note_hz(n.midi) * (1.0f + (t > 0.2f ? 0.006f * vib.sine(6.0f) : 0.0f));
            const float v = n.midi < 60 ? osc.chip_triangle(hz) : osc.pulse(hz, 0.25f);
            const float env = attack(t, 0.004f) * (0.65f + 0.35f * decay(t, 0.08f)) * release;
            b[start + k] += v * env * n.level * 0.3f;
        }
    }
    // A soft cymbal on the chord.
    Noise noise(707u);
    Biquad hat;
    hat.highpass(6000.0f, 0.7f);
    const size_t crash = static_cast<size_t>(frames(0.62f));
    for (size_t k = 0; crash + k < b.size(); ++k)
        b[crash + k] += hat.run(noise.next()) * decay(static_cast<float>(k) / kRate, 0.35f) * 0.25f;
    echo(b, 0.15f, 0.3f, 0.25f);
    fade(b, 0.0f, 0.25f);
    level_effect(b);
    return b;
}

Buffer thud() {
    const float len = 0.35f;
    Buffer b(static_cast<size_t>(frames(len)));
    Osc body;
    Noise noise(808u);
    Biquad soft;
    soft.lowpass(700.0f, 0.7f);
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        const float low = body.sine(45.0f + 90.0f * decay(t, 0.03f)) * decay(t, 0.08f);
        const float knock = soft.run(noise.next()) * decay(t, 0.012f) * 1.5f;
        b[i] = (low + knock) * attack(t, 0.001f);
    }
    fade(b, 0.0f, 0.05f);
    level_effect(b);
    return b;
}

SoundFile mono(const char* file, Buffer samples) {
    return {file, 1, 0.5f, std::move(samples)};
}

} // namespace

void level_effect(std::vector<float>& samples) {
    level(samples, kEffectLoudnessLufs, kEffectCeilingDb);
}

std::vector<SoundFile> make_effects() {
    std::vector<SoundFile> out;
    out.push_back(mono("data/explode.ogg", explode()));
    out.push_back(mono("data/lazer.ogg", lazer()));
    out.push_back(mono("data/smexpl.ogg", small_explosion()));
    out.push_back(mono("data/tankhit.ogg", tank_hit()));
    out.push_back(mono("data/ufohit.ogg", ufo_hit()));
    out.push_back(mono("data/warp.ogg", warp()));
    out.push_back(mono("data/blast.ogg", blast()));
    out.push_back(mono("data/title.ogg", title()));
    out.push_back(mono("data/thud.ogg", thud()));
    return out;
}
