// The title and in-game music: an up-tempo chip-tune loop in A minor, 24 bars at 150 beats per minute.
#include "tools/assetgen/sounds.h"

#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

// Frame arithmetic here stays far below INT_MAX (a 38 s loop is 1.7 M frames), and the integer
// halves of a step are meant to truncate.
// NOLINTBEGIN(bugprone-misplaced-widening-cast, bugprone-integer-division)
using namespace synth;

namespace {

constexpr int kStepsPerBar = 16;
constexpr int kBars = 24;
constexpr int kSteps = kStepsPerBar * kBars;
// 150 bpm: a sixteenth note lasts 0.1 s, exactly 4410 samples, so the loop is a whole number of samples.
constexpr int kStepFrames = 4410;
constexpr int kLoopFrames = kSteps * kStepFrames; // 38.4 s

// Chords by bar: the root's MIDI note in the bass octave and whether the third is minor.
struct Chord {
    int root;
    bool minor;
};
const Chord kA{45, true}, kF{41, false}, kC{48, false}, kG{43, false}, kE{40, false}, kEm{40, true},
    kDm{38, true};
const Chord kChords[kBars] = {kA, kF, kC,  kG,                   // intro
                              kA, kF, kC,  kG, kA,  kF,  kG, kE, // theme
                              kF, kG, kEm, kA, kDm, kEm, kF, kE, // bridge
                              kA, kF, kG,  kE};                  // theme again, back to the top

// Melody, sixteen steps per bar: a note name starts a note, "-" holds it, "." is a rest.
const char* const kTheme[8] = {
    "A4 . C5 . E5 . A5 - G5 - E5 . C5 . D5 E5", "F5 - - . E5 . C5 . A4 - - . C5 . F5 .",
    "G5 - - . E5 . G5 . C6 - - . B5 . G5 .",    "D5 - - - G5 - - . B4 . D5 . G5 . F5 .",
    "E5 . A4 . C5 . E5 . A5 . G5 . E5 . C5 .",  "D5 . F5 . A5 - G5 . F5 . E5 . D5 . C5 .",
    "B4 - D5 - G5 - - . F5 . E5 . D5 . B4 .",   "G#4 - B4 - E5 - - - G#5 - - - B5 - - .",
};
const char* const kBridge[8] = {
    "C6 - - . A5 . F5 . C6 . D6 . C6 . A5 .",  "B5 - - . G5 . D5 . B5 . C6 . B5 . G5 .",
    "E5 . G5 . B5 - - . E6 - - . D6 . B5 .",   "C6 - - - A5 - - - E5 . A5 . C6 . E6 .",
    "D6 - - . F5 . A5 . D6 . F6 . E6 . D6 .",  "E6 - - . B5 . G5 . E5 . G5 . B5 . E6 .",
    "F6 - E6 - C6 - A5 - C6 - A5 - F5 - A5 -", "G#5 - - - B5 - - - E6 - - - - - - .",
};

int parse_note(const std::string& name) {
    static const int offsets[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int semitone = offsets[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') {
        ++semitone;
        ++i;
    }
    const int octave = name[i] - '0';
    return 12 * (octave + 1) + semitone;
}

float note_hz(float midi) {
    return 440.0f * std::pow(2.0f, (midi - 69.0f) / 12.0f);
}

struct Note {
    int step, length, midi;
};

// Reads the melody into notes; a malformed bar is a mistake in this file and stops the generator.
std::vector<Note> melody() {
    std::vector<Note> notes;
    auto add_bar = [&](int bar, const char* text) {
        std::istringstream in(text);
        std::string tok;
        int step = 0;
        while (in >> tok) {
            if (tok == "-") {
                if (!notes.empty()) ++notes.back().length;
            } else if (tok != ".") {
                notes.push_back({bar * kStepsPerBar + step, 1, parse_note(tok)});
            }
            ++step;
        }
        if (step != kStepsPerBar) {
            std::fprintf(stderr, "assetgen: melody bar %d has %d steps\n", bar, step);
            std::abort();
        }
    };
    for (int i = 0; i < 8; ++i) add_bar(4 + i, kTheme[i]);
    for (int i = 0; i < 8; ++i) add_bar(12 + i, kBridge[i]);
    const int reprise[4] = {0, 1, 6, 7};
    for (int i = 0; i < 4; ++i) add_bar(20 + i, kTheme[reprise[i]]);
    return notes;
}

// A stereo mix bus twice the loop long: the song is played twice and the second pass kept, so the
// notes and echoes that ring over the end are already present at the start and the loop joins cleanly.
struct Bus {
    Buffer left, right;
    Bus()
        : left(2 * kLoopFrames, 0.0f)
        , right(2 * kLoopFrames, 0.0f) {}
    void add(size_t at, float v, float pan) {
        if (at >= left.size()) return;
        left[at] += v * (1.0f - pan);
        right[at] += v * pan;
    }
};

void lead(Bus& bus, const std::vector<Note>& notes) {
    for (int pass = 0; pass < 2; ++pass)
        for (const Note& n : notes) {
            Osc osc, vib;
            const size_t start = static_cast<size_t>(pass * kLoopFrames + n.step * kStepFrames);
            const float held = n.length * kStepFrames / kRate - 0.02f;
            const size_t count = static_cast<size_t>(frames(held + 0.08f));
            for (size_t k = 0; k < count; ++k) {
                const float t = static_cast<float>(k) / kRate;
                // Vibrato comes in once the note has sounded a while, as a player would do it.
                const float depth = 0.25f * std::clamp((t - 0.12f) / 0.18f, 0.0f, 1.0f);
                const float hz = note_hz(static_cast<float>(n.midi) + depth * vib.sine(5.5f));
                const float release = t > held ? decay(t - held, 0.02f) : 1.0f;
                const float env = attack(t, 0.003f) * (0.7f + 0.3f * decay(t, 0.06f)) * release;
                bus.add(start + k, osc.pulse(hz, 0.25f) * env * 0.16f, 0.42f);
            }
        }
}

void arpeggio(Bus& bus) {
    // Chord tones cycled every 32nd note (2205 samples), the chip-tune way of playing a chord on one voice.
    for (int pass = 0; pass < 2; ++pass)
        for (int step = 0; step < kSteps; ++step) {
            const Chord& ch = kChords[step / kStepsPerBar];
            const int bar = step / kStepsPerBar;
            const int tones[4] = {ch.root + 24, ch.root + 24 + (ch.minor ? 3 : 4), ch.root + 31,
                                  ch.root + 36};
            const float level = bar < 4 ? 0.075f : 0.05f;
            for (int half = 0; half < 2; ++half) {
                const int midi = tones[(step * 2 + half) % 4];
                Osc osc;
                const size_t start =
                    static_cast<size_t>(pass * kLoopFrames + step * kStepFrames + half * kStepFrames / 2);
                for (int k = 0; k < kStepFrames / 2; ++k) {
                    const float t = static_cast<float>(k) / kRate;
                    const float env = attack(t, 0.002f) * decay(t, 0.04f) *
                                      (k > kStepFrames / 2 - 60 ? (kStepFrames / 2 - k) / 60.0f : 1.0f);
                    bus.add(start + static_cast<size_t>(k),
                            osc.pulse(note_hz(static_cast<float>(midi)), 0.125f) * env * level, 0.68f);
                }
            }
        }
}

void bass(Bus& bus) {
    // Octave-jumping eighth notes on the chord root.
    for (int pass = 0; pass < 2; ++pass)
        for (int step = 0; step < kSteps; step += 2) {
            const Chord& ch = kChords[step / kStepsPerBar];
            const int midi = ch.root - 12 + ((step / 2) % 2 ? 12 : 0);
            Osc osc;
            const size_t start = static_cast<size_t>(pass * kLoopFrames + step * kStepFrames);
            const int len = 2 * kStepFrames;
            for (int k = 0; k < len; ++k) {
                const float t = static_cast<float>(k) / kRate;
                const float gate =
                    k < len * 3 / 4 ? 1.0f : decay(static_cast<float>(k - len * 3 / 4) / kRate, 0.01f);
                bus.add(start + static_cast<size_t>(k),
                        osc.chip_triangle(note_hz(static_cast<float>(midi))) * gate * attack(t, 0.002f) *
                            0.3f,
                        0.5f);
            }
        }
}

void drums(Bus& bus) {
    for (int pass = 0; pass < 2; ++pass)
        for (int step = 0; step < kSteps; ++step) {
            const int bar = step / kStepsPerBar, s = step % kStepsPerBar;
            const bool intro = bar < 2;
            const bool fill = bar % 4 == 3 && s >= 12;
            const bool kick =
                s == 0 || s == 8 || (s == 10 && bar % 2 == 1) || (s == 6 && bar >= 12 && bar < 20);
            const bool snare = !intro && (s == 4 || s == 12 || (fill && s > 12));
            const bool open_hat = s == 14 && !fill;
            const bool hat = (s % 2 == 0) || (bar >= 12 && bar < 20);
            const size_t start = static_cast<size_t>(pass * kLoopFrames + step * kStepFrames);
            // Each hit gets its own noise seed, the same in both passes, so the loop repeats exactly.
            Noise noise(1000u + static_cast<uint32_t>(step) * 7u);
            if (kick) {
                Osc osc;
                for (int k = 0; k < frames(0.16f); ++k) {
                    const float t = static_cast<float>(k) / kRate;
                    bus.add(start + static_cast<size_t>(k),
                            osc.sine(45.0f + 110.0f * decay(t, 0.03f)) * decay(t, 0.07f) * 0.55f, 0.5f);
                }
            }
            if (snare) {
                Osc osc;
                Biquad hp;
                hp.highpass(1200.0f, 0.7f);
                const float level = fill && s != 12 ? 0.22f + 0.04f * static_cast<float>(s - 12) : 0.3f;
                for (int k = 0; k < frames(0.16f); ++k) {
                    const float t = static_cast<float>(k) / kRate;
                    const float v =
                        hp.run(noise.next()) * decay(t, 0.05f) + osc.sine(185.0f) * decay(t, 0.03f) * 0.6f;
                    bus.add(start + static_cast<size_t>(k), v * level, 0.5f);
                }
            }
            if (hat || open_hat) {
                Biquad hp;
                hp.highpass(7000.0f, 0.8f);
                const float ring = open_hat ? 0.07f : 0.012f;
                const float level = open_hat ? 0.1f : (s % 4 == 2 ? 0.09f : 0.06f);
                for (int k = 0; k < frames(open_hat ? 0.25f : 0.05f); ++k) {
                    const float t = static_cast<float>(k) / kRate;
                    bus.add(start + static_cast<size_t>(k), hp.run(noise.next()) * decay(t, ring) * level,
                            0.6f);
                }
            }
        }
}

} // namespace

SoundFile make_music() {
    Bus bus;
    lead(bus, melody());
    arpeggio(bus);
    bass(bus);
    drums(bus);
    // Ping-pong echo of a dotted eighth (0.3 s): left feeds right and back.
    const size_t d = static_cast<size_t>(3 * kStepFrames);
    Buffer el(bus.left.size(), 0.0f), er(bus.right.size(), 0.0f);
    for (size_t i = 0; i < bus.left.size(); ++i) {
        const float from_l = i >= d ? el[i - d] : 0.0f, from_r = i >= d ? er[i - d] : 0.0f;
        el[i] = bus.left[i] * 0.5f + from_r * 0.35f;
        er[i] = bus.right[i] * 0.5f + from_l * 0.35f;
        bus.left[i] += from_r * 0.22f;
        bus.right[i] += from_l * 0.22f;
    }
    SoundFile out{"data/blastem.ogg", 2, 0.25f, {}};
    out.samples.resize(static_cast<size_t>(2 * kLoopFrames));
    for (size_t i = 0; i < static_cast<size_t>(kLoopFrames); ++i) {
        out.samples[2 * i] = bus.left[kLoopFrames + i];
        out.samples[2 * i + 1] = bus.right[kLoopFrames + i];
    }
    const float k = db(kMusicLoudnessLufs - loudness(out.samples, 2));
    for (float& s : out.samples) s *= k;
    return out;
}
// NOLINTEND(bugprone-misplaced-widening-cast, bugprone-integer-division)
