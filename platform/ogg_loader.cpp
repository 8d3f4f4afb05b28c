// The Ogg Vorbis sample loader: libvorbisfile decodes a whole stream to 16-bit PCM through callbacks over
// TStream.
#include "platform/audio_sample.h"
#include "platform/stream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The decoder is C code: an exception must not unwind through it. A callback that meets a stream
// error records it here and reports a read error instead; the loader then gives null, as the chain
// does for a stream error raised directly.
struct OggSource {
    TStream* stream;
    bool failed = false;
};

size_t ReadCallback(void* buffer, size_t size, size_t count, void* data) {
    auto* source = static_cast<OggSource*>(data);
    if (size == 0 || count == 0) return 0;
    const size_t wanted = count > INT_MAX / size ? INT_MAX / size * size : size * count;
    try {
        const int read = source->stream->Read(buffer, static_cast<int>(wanted));
        return read > 0 ? static_cast<size_t>(read) / size : 0;
    } catch (...) {
        source->failed = true;
        errno = EIO;
        return 0;
    }
}

int SeekCallback(void* data, ogg_int64_t offset, int whence) {
    auto* source = static_cast<OggSource*>(data);
    try {
        TStream& stream = *source->stream;
        ogg_int64_t target = offset;
        if (whence == SEEK_CUR) target += stream.Pos();
        if (whence == SEEK_END) target += stream.Size();
        if (target < 0 || target > INT_MAX) return -1;
        return stream.Seek(static_cast<int>(target)) == target ? 0 : -1;
    } catch (...) {
        source->failed = true;
        return -1;
    }
}

// The chain closes the stream, not the decoder.
int CloseCallback(void*) {
    return 0;
}

long TellCallback(void* data) {
    try {
        return static_cast<OggSource*>(data)->stream->Pos();
    } catch (...) {
        static_cast<OggSource*>(data)->failed = true;
        return -1;
    }
}

// Which decoded channels become left and right, by channel count, in the Vorbis channel order
// (3 and more channels put the centre second).
void StereoPair(int channels, int& left, int& right) {
    if (channels <= 1) {
        left = right = 0;
    } else if (channels == 2 || channels == 4) {
        left = 0;
        right = 1;
    } else {
        left = 0;
        right = 2;
    }
}

class OggVorbisFile {
public:
    OggVorbisFile() { std::memset(&_file, 0, sizeof _file); }
    ~OggVorbisFile() {
        if (_open) ov_clear(&_file);
    }
    bool Open(OggSource& source) {
        const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
        _open = ov_open_callbacks(&source, &_file, nullptr, 0, callbacks) == 0;
        return _open;
    }
    OggVorbis_File* operator->() { return &_file; }
    OggVorbis_File* get() { return &_file; }

private:
    OggVorbis_File _file;
    bool _open = false;
};

// The longest sound the loader decodes, and the highest rate it accepts. Together they bound the
// buffer a stream can make the loader fill (30 min x 192,000 frames x 4 bytes = 1.3 GB at worst;
// 30 min at 44,100 Hz stereo = 318 MB), whatever its pages claim: the game's music runs a few minutes.
constexpr int kMaxSeconds = 30 * 60;
constexpr long kMaxRate = 192000;

// Decoded words are kept in blocks of this many (64 kB, below the size from which the C library maps
// a block of its own): loading a long sound then frees no large mapped blocks, which would raise
// that size for the rest of the run and let the heap keep far more than the game holds.
constexpr size_t kBlockWords = 32768;

// Words appended block by block; the memory grows with what arrives.
class TWordBlocks {
public:
    void Append(int16_t word) {
        if (_blocks.empty() || _blocks.back().size() == kBlockWords) {
            _blocks.emplace_back();
            _blocks.back().reserve(kBlockWords);
        }
        _blocks.back().push_back(word);
    }
    void CopyTo(int16_t* out) const {
        for (const std::vector<int16_t>& block : _blocks) out = std::copy(block.begin(), block.end(), out);
    }

private:
    std::vector<std::vector<int16_t>> _blocks;
};

// The frames are decoded into memory that grows with what actually decodes, never sized up front
// from the length the last page announces: a small file may announce hours.
TAudioSamplePtr Decode(OggVorbisFile& file, OggSource& source) {
    const vorbis_info* info = ov_info(file.get(), -1);
    const ogg_int64_t total = ov_pcm_total(file.get(), -1);
    // No frames at all is what a file cut short before its first whole audio page looks like.
    if (!info || info->channels < 1 || info->rate <= 0 || info->rate > kMaxRate || total <= 0) return nullptr;
    const int channels = info->channels == 1 ? 1 : 2;
    const int rate = static_cast<int>(info->rate);
    // Longer than the cap, or more frames x channels x 2 bytes than the sample's 32-bit capacity.
    if (total > ogg_int64_t{kMaxSeconds} * rate || total > INT_MAX / (2 * channels)) return nullptr;
    const int frames = static_cast<int>(total);

    // Decoded words arrive interleaved by the current link's channel count; only the left and right
    // ones are kept.
    std::vector<int16_t> chunk(4096);
    TWordBlocks pcm;
    int filled = 0;
    while (filled < frames) {
        int link = 0;
        const long bytes = ov_read(file.get(), reinterpret_cast<char*>(chunk.data()),
                                   static_cast<int>(chunk.size() * sizeof(int16_t)), 0, 2, 1, &link);
        if (bytes < 0 || source.failed) return nullptr;
        if (bytes == 0) break;
        const vorbis_info* link_info = ov_info(file.get(), link);
        if (!link_info || link_info->channels < 1) return nullptr;
        const int link_channels = link_info->channels;
        int left, right;
        StereoPair(link_channels, left, right);
        const int got = static_cast<int>(bytes / (2 * link_channels));
        const int take = got < frames - filled ? got : frames - filled;
        for (int i = 0; i < take; ++i) {
            const int16_t* in = chunk.data() + static_cast<size_t>(i) * link_channels;
            pcm.Append(in[left]);
            if (channels == 2) pcm.Append(in[right]);
        }
        filled += take;
    }
    // Fewer frames than the stream announced means its pages contradict each other.
    if (filled < frames) return nullptr;
    TAudioSamplePtr sample = TAudioSample::Create(frames, rate, channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
    if (!sample) return nullptr;
    pcm.CopyTo(reinterpret_cast<int16_t*>(sample->samples));
    return sample;
}

class TAudioSampleLoaderOGG final : public TAudioSampleLoader {
public:
    TAudioSamplePtr LoadAudioSample(TStream& stream) override {
        OggSource source{&stream};
        OggVorbisFile file;
        if (!file.Open(source) || source.failed) return nullptr;
        try {
            return Decode(file, source);
        } catch (const std::bad_alloc&) {
            // Memory for the frames ran out: a failed load, not the end of the program.
            return nullptr;
        }
    }
};

} // namespace

void RegisterAudioSampleLoaderOGG() {
    static TAudioSampleLoaderOGG loader;
}
