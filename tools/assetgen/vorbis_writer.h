// Encodes float PCM to an Ogg Vorbis file with a fixed stream serial, so reruns are byte-identical.
#pragma once

#include <string>
#include <vector>

// samples: interleaved frames in [-1, 1]; channels 1 or 2; quality is libvorbisenc's VBR quality
// (-0.1 .. 1.0). The file keeps the exact number of frames. Returns false when it cannot be written.
bool write_ogg_vorbis(const std::string& path, const std::vector<float>& samples, int channels, int rate,
                      float quality);
