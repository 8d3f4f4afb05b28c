// The game's sound effects and music, synthesised sample by sample.
#pragma once

#include <string>
#include <vector>

constexpr int kSampleRate = 44100;

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
