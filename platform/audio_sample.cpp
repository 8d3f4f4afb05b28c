// TAudioSample: creation, copies, format conversions, and the loader chain behind LoadAudioSample.
#include "platform/audio_sample.h"

#include "platform/stream.h"

#include <climits>
#include <cstring>

namespace {

constexpr int BYTES_PER_FRAME[AUDIO_SAMPLE_FORMAT_COUNT] = {0, 1, 2, 2, 2, 4, 4};
constexpr int CHANNELS[AUDIO_SAMPLE_FORMAT_COUNT] = {0, 1, 1, 1, 2, 2, 2};

TAudioSampleLoader* loader_head = nullptr;

bool ValidFormat(int format) {
    return format >= SF_MONO8 && format <= SF_STEREO16BE;
}

// Unsigned 8-bit b becomes 257 b - 32768, so 0, 128 and 255 map to -32768, 128 and 32767.
int32_t From8(uint8_t value) {
    return 257 * value - 32768;
}

uint8_t To8(int32_t value) {
    return static_cast<uint8_t>((value + 32768) / 257);
}

int32_t ReadLE16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

int32_t ReadBE16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] << 8 | p[1]);
}

void WriteLE16(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void WriteBE16(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

// One frame of any format as the stereo 16-bit pair of the hub format 6.
void ReadFrame(const uint8_t* p, int format, int32_t& left, int32_t& right) {
    switch (format) {
    case SF_MONO8: left = right = From8(p[0]); break;
    case SF_MONO16LE: left = right = ReadLE16(p); break;
    case SF_MONO16BE: left = right = ReadBE16(p); break;
    case SF_STEREO8:
        left = From8(p[0]);
        right = From8(p[1]);
        break;
    case SF_STEREO16LE:
        left = ReadLE16(p);
        right = ReadLE16(p + 2);
        break;
    default:
        left = ReadBE16(p);
        right = ReadBE16(p + 2);
        break;
    }
}

void WriteFrame(uint8_t* p, int format, int32_t left, int32_t right) {
    const int32_t mono = (left + right) / 2; // halved towards zero
    switch (format) {
    case SF_MONO8: p[0] = To8(mono); break;
    case SF_MONO16LE: WriteLE16(p, mono); break;
    case SF_MONO16BE: WriteBE16(p, mono); break;
    case SF_STEREO8:
        p[0] = To8(left);
        p[1] = To8(right);
        break;
    case SF_STEREO16LE:
        WriteLE16(p, left);
        WriteLE16(p + 2, right);
        break;
    default:
        WriteBE16(p, left);
        WriteBE16(p + 2, right);
        break;
    }
}

// The position is taken once so that each loader starts from the same byte, whatever the loaders
// before it consumed.
TAudioSamplePtr LoadFromStream(const std::shared_ptr<TStream>& stream) {
    if (!stream) return nullptr;
    const int start = stream->Pos();
    if (start < 0) {
        stream->Close();
        throw TStreamException("Stream is not seekable");
    }
    TAudioSamplePtr sample;
    for (TAudioSampleLoader* loader = loader_head; loader && !sample; loader = loader->_succ) {
        try {
            stream->Seek(start);
            sample = loader->LoadAudioSample(*stream);
        } catch (const TStreamException&) {
            sample = nullptr;
        }
    }
    stream->Close();
    return sample;
}

} // namespace

int AudioSampleBytesPerFrame(int format) {
    return format >= 0 && format < AUDIO_SAMPLE_FORMAT_COUNT ? BYTES_PER_FRAME[format] : 0;
}

int AudioSampleChannels(int format) {
    return format >= 0 && format < AUDIO_SAMPLE_FORMAT_COUNT ? CHANNELS[format] : 0;
}

TAudioSample::~TAudioSample() {
    if (capacity >= 0) delete[] samples;
}

TAudioSamplePtr TAudioSample::Create(int length, int hertz, int format) {
    if (length < 0 || format < 0 || format >= AUDIO_SAMPLE_FORMAT_COUNT) return nullptr;
    const int64_t bytes = static_cast<int64_t>(length) * AudioSampleBytesPerFrame(format);
    if (bytes > INT_MAX) return nullptr;
    TAudioSamplePtr sample(new TAudioSample);
    sample->samples = new uint8_t[static_cast<size_t>(bytes)];
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    sample->capacity = static_cast<int>(bytes);
    return sample;
}

TAudioSamplePtr TAudioSample::CreateStatic(uint8_t* samples, int length, int hertz, int format) {
    TAudioSamplePtr sample(new TAudioSample);
    sample->samples = samples;
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    sample->capacity = -1;
    return sample;
}

TAudioSamplePtr TAudioSample::Copy() const {
    TAudioSamplePtr copy = Create(length, hertz, format);
    if (copy && copy->capacity > 0) std::memcpy(copy->samples, samples, static_cast<size_t>(copy->capacity));
    return copy;
}

TAudioSamplePtr TAudioSample::Convert(int to_format) const {
    if (to_format == format && ValidFormat(format)) return Copy();
    if (!ValidFormat(format) || !ValidFormat(to_format)) throw TAudioSampleFormatException();
    TAudioSamplePtr result = Create(length, hertz, to_format);
    if (!result) return nullptr;
    const int from_step = BytesPerFrame();
    const int to_step = result->BytesPerFrame();
    const uint8_t* src = samples;
    uint8_t* dst = result->samples;
    for (int i = 0; i < length; ++i, src += from_step, dst += to_step) {
        int32_t left, right;
        ReadFrame(src, format, left, right);
        WriteFrame(dst, to_format, left, right);
    }
    return result;
}

TAudioSampleLoader::TAudioSampleLoader()
    : _succ(loader_head) {
    loader_head = this;
}

TAudioSampleLoader::~TAudioSampleLoader() {
    for (TAudioSampleLoader** link = &loader_head; *link; link = &(*link)->_succ) {
        if (*link == this) {
            *link = _succ;
            break;
        }
    }
}

TAudioSampleLoader* AudioSampleLoaders() {
    return loader_head;
}

void InitAudioSampleLoaders() {
    static bool done = false;
    if (done) return;
    done = true;
    RegisterAudioSampleLoaderOGG();
    RegisterAudioSampleLoaderWAV();
}

TAudioSamplePtr LoadAudioSample(const std::string& location) {
    return LoadFromStream(OpenStream(location, 1, 0));
}

TAudioSamplePtr LoadAudioSample(const std::shared_ptr<TStream>& stream) {
    return LoadFromStream(OpenStream(stream, 1, 0));
}
