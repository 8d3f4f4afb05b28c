// libFuzzer entry point for the sample loader chain (RIFF WAVE, Ogg Vorbis): any bytes give a sample or
// null, never a crash.
#include "platform/audio_sample.h"
#include "platform/stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InitAudioSampleLoaders();
    std::vector<uint8_t> bytes(data, data + size);
    std::shared_ptr<TStream> stream = TRamStream::Create(bytes.data(), int(bytes.size()), 1, 0);
    TAudioSamplePtr sample = LoadAudioSample(stream);
    if (!sample) return 0;
    if (sample->length < 0 || sample->hertz <= 0 ||
        sample->capacity < sample->length * sample->BytesPerFrame())
        std::abort();
    // Converting reads every frame, so the sanitizers see a buffer smaller than the sample claims.
    TAudioSamplePtr stereo = sample->Convert(SF_STEREO16LE);
    if (!stereo || stereo->length != sample->length) std::abort();
    return 0;
}
