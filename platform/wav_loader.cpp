// The RIFF WAVE sample loader: 8-bit unsigned and 16-bit signed PCM, mono or stereo.
#include "platform/audio_sample.h"
#include "platform/stream.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Every size in the file is checked against the bytes the stream really holds before it is used, so a
// corrupt header can neither make us allocate a huge buffer nor seek or read beyond the data.
class TAudioSampleLoaderWAV final : public TAudioSampleLoader {
public:
    TAudioSamplePtr LoadAudioSample(TStream& stream) override {
        const int64_t end = stream.Size();
        char riff[4], wave[4];
        if (Remaining(stream, end) < 12) return nullptr;
        stream.ReadBytes(riff, 4);
        stream.ReadInt(); // the RIFF size, often wrong in the wild: the chunks are walked instead
        stream.ReadBytes(wave, 4);
        if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(wave, "WAVE", 4) != 0) return nullptr;

        int channels = 0, bits = 0;
        int64_t rate = 0;
        while (Remaining(stream, end) >= 8) {
            char id[4];
            stream.ReadBytes(id, 4);
            const int64_t size = static_cast<uint32_t>(stream.ReadInt());
            const int64_t available = Remaining(stream, end);
            if (std::memcmp(id, "fmt ", 4) == 0) {
                if (size < 16 || size > available) return nullptr;
                uint16_t tag = stream.ReadShort();
                channels = stream.ReadShort();
                rate = static_cast<uint32_t>(stream.ReadInt());
                stream.ReadInt();   // bytes per second: derived, not trusted
                stream.ReadShort(); // block alignment: likewise
                bits = stream.ReadShort();
                int64_t used = 16;
                if (tag == WAVE_FORMAT_EXTENSIBLE && size >= 40) {
                    stream.SkipBytes(8);      // extension size, valid bits, channel mask
                    tag = stream.ReadShort(); // the sub-format GUID starts with the plain tag
                    used = 26;
                }
                if (tag != WAVE_FORMAT_PCM) return nullptr;
                if (!Skip(stream, end, size - used + (size & 1))) return nullptr;
            } else if (std::memcmp(id, "data", 4) == 0) {
                return ReadData(stream, channels, bits, rate, size < available ? size : available);
            } else if (!Skip(stream, end, size + (size & 1))) {
                return nullptr;
            }
        }
        return nullptr;
    }

private:
    static int64_t Remaining(TStream& stream, int64_t end) {
        const int64_t pos = stream.Pos();
        return pos < 0 || pos > end ? 0 : end - pos;
    }

    static bool Skip(TStream& stream, int64_t end, int64_t count) {
        const int64_t target = stream.Pos() + count;
        if (count < 0 || target > end) return false;
        return stream.Seek(static_cast<int>(target)) == target;
    }

    // A data chunk longer than the file keeps the frames that are there.
    static TAudioSamplePtr ReadData(TStream& stream, int channels, int bits, int64_t rate, int64_t bytes) {
        if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate <= 0 || rate > INT32_MAX) {
            return nullptr;
        }
        const int frame_bytes = channels * bits / 8;
        const int64_t frames = bytes / frame_bytes;
        const int format = bits == 8 ? (channels == 1 ? SF_MONO8 : SF_STEREO8)
                                     : (channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
        TAudioSamplePtr sample =
            TAudioSample::Create(static_cast<int>(frames), static_cast<int>(rate), format);
        if (!sample) return nullptr;
        if (sample->capacity > 0) stream.ReadBytes(sample->samples, sample->capacity);
        return sample;
    }
};

} // namespace

void RegisterAudioSampleLoaderWAV() {
    static TAudioSampleLoaderWAV loader;
}
