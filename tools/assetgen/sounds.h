// The game's sound effects and music, synthesised sample by sample.
#pragma once

#include <string>
#include <vector>

constexpr int kSampleRate = 44100;

// The mixer adds its voices and saturates the sum at full scale, and in a busy moment up to five
// effects overlap over the music. Every effect is made equally loud at its loudest (LUFS, see
// synth::loudness) with its peaks held under a ceiling (dBFS), so that such a pile-up stays under full
// scale; the music sits a few units of loudness under the effects, so they still cut through it.
constexpr float kEffectLoudnessLufs = -21.0f;
constexpr float kEffectCeilingDb = -10.0f;
constexpr float kMusicLoudnessLufs = -25.0f;

// Levels a finished mono effect to the loudness and ceiling above.
void level_effect(std::vector<float>& samples);

struct SoundFile {
    std::string file; // path below the output root, e.g. "data/explode.ogg"
    int channels = 1;
    float quality = 0.4f;       // libvorbisenc VBR quality
    std::vector<float> samples; // interleaved, in [-1, 1]
};

// The nine synthesised effects (every effect except the voice).
std::vector<SoundFile> make_effects();
// The voice "Let's go!": the speech recording given as a WAV file, put through the arcade vocoder.
// Returns false when the WAV cannot be read.
bool make_voice(const std::string& wav_path, SoundFile& out);
// The looping music.
SoundFile make_music();
