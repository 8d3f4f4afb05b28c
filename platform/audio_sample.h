// TAudioSample, the PCM buffer that sounds are made from, its format conversions and the sample loader chain.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

class TStream;
class TAudioSample;
using TAudioSamplePtr = std::shared_ptr<TAudioSample>;

// Sample formats. Stereo frames hold left then right; 8-bit data is unsigned, centred on 128.
enum AudioSampleFormat : int {
    SF_MONO8 = 1,
    SF_MONO16LE = 2,
    SF_MONO16BE = 3,
    SF_STEREO8 = 4,
    SF_STEREO16LE = 5,
    SF_STEREO16BE = 6,
};
constexpr int AUDIO_SAMPLE_FORMAT_COUNT = 7;

// Bytes per frame and channels of a format; 0 for format 0 and for values outside the table.
int AudioSampleBytesPerFrame(int format);
int AudioSampleChannels(int format);

// Raised by Convert for a format outside 1..6: "Unimplemented sample format conversion".
class TAudioSampleFormatException : public std::runtime_error {
public:
    TAudioSampleFormatException()
        : std::runtime_error("Unimplemented sample format conversion") {}
};

class TAudioSample {
public:
    uint8_t* samples = nullptr; // the PCM frames
    int length = 0;             // frames
    int hertz = 0;              // frames per second
    int format = 0;
    int capacity = 0; // bytes the sample allocated itself; -1 when the buffer is someone else's

    ~TAudioSample();
    TAudioSample(const TAudioSample&) = delete;
    TAudioSample& operator=(const TAudioSample&) = delete;

    // A new, uninitialised buffer of length x bytes-per-frame bytes. Null when that size does not fit
    // the 32-bit capacity, or for a negative length or a format outside 0..6.
    static TAudioSamplePtr Create(int length, int hertz, int format);
    // Over the caller's buffer, which must hold length frames and outlive the sample.
    static TAudioSamplePtr CreateStatic(uint8_t* samples, int length, int hertz, int format);

    TAudioSamplePtr Copy() const;
    // Every frame passes through stereo 16-bit big-endian (format 6) unless the formats are equal.
    // Raises TAudioSampleFormatException for a source or target outside 1..6.
    TAudioSamplePtr Convert(int to_format) const;

    int BytesPerFrame() const { return AudioSampleBytesPerFrame(format); }
    int Channels() const { return AudioSampleChannels(format); }

private:
    TAudioSample() = default;
};

// One link of the loader chain. Constructing a loader puts it at the head, so the loader registered
// last is tried first; destroying it unlinks it.
class TAudioSampleLoader {
public:
    TAudioSampleLoader();
    virtual ~TAudioSampleLoader();
    TAudioSampleLoader(const TAudioSampleLoader&) = delete;
    TAudioSampleLoader& operator=(const TAudioSampleLoader&) = delete;

    // Reads from the stream's current position; null when the data is not this loader's format or
    // cannot be decoded. Never closes the stream.
    virtual TAudioSamplePtr LoadAudioSample(TStream& stream) = 0;

    TAudioSampleLoader* _succ = nullptr;
};

// The newest loader; follow _succ for the older ones.
TAudioSampleLoader* AudioSampleLoaders();

// The engine's start-up step for sample loading: registers the Ogg Vorbis loader and then the RIFF
// WAVE loader, once, so that WAVE is tried first. Later calls do nothing.
void InitAudioSampleLoaders();
// Each registers one loader (called by InitAudioSampleLoaders; a program may pick its own set).
void RegisterAudioSampleLoaderOGG();
void RegisterAudioSampleLoaderWAV();

// Opens the location for reading and offers it to each loader in turn; null when it cannot be opened
// or no loader accepts it. A stream error inside a loader counts as a refusal. Raises
// TStreamException("Stream is not seekable") for a stream that cannot seek.
TAudioSamplePtr LoadAudioSample(const std::string& location);
TAudioSamplePtr LoadAudioSample(const std::shared_ptr<TStream>& stream);
// A location that already is a sample is the result itself.
inline TAudioSamplePtr LoadAudioSample(const TAudioSamplePtr& sample) {
    return sample;
}
