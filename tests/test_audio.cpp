// Samples, their conversions and loaders (Ogg Vorbis made here with the encoder, RIFF WAVE), drivers and
// channels on SDL's dummy audio, the Null fallback, and one sound played through SDL's disk driver.
#include "backends/null/null_audio_device.h"
#include "backends/sdl/sdl_audio_device.h"
#include "platform/audio.h"
#include "platform/audio_sample.h"
#include "platform/mixer.h"
#include "platform/mixer_device.h"
#include "platform/stream.h"
#include "tests/address_space_growth.h"
#include "tests/ogg_pages.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------------------------
// Test data made on the spot.

// Interleaved 16-bit frames: a sine of `hz` on the left (and on the right when `right_hz` is 0), and
// a sine of `right_hz` on the right otherwise.
std::vector<int16_t> Sines(int frames, int channels, int rate, double hz, double right_hz = 0) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < frames; ++i) {
        pcm.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * i / rate)));
        if (channels == 2) {
            const double other = right_hz > 0 ? right_hz : hz;
            pcm.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * other * i / rate)));
        }
    }
    return pcm;
}

// Encodes interleaved 16-bit PCM as an Ogg Vorbis file in memory.
std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate) {
    vorbis_info info;
    vorbis_info_init(&info);
    EXPECT_EQ(vorbis_encode_init_vbr(&info, channels, rate, 0.4f), 0);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);

    std::vector<uint8_t> out;
    auto append = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) append(page);

    const int frames = static_cast<int>(pcm.size()) / channels;
    int done = 0;
    bool eos = false;
    while (!eos) {
        const int count = std::min(1024, frames - done);
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, count);
            for (int i = 0; i < count; ++i) {
                for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
            }
            vorbis_analysis_wrote(&dsp, count);
            done += count;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    append(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

void Put16(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, static_cast<int>(value & 0xFFFF));
    Put16(out, static_cast<int>(value >> 16));
}

void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

// A RIFF WAVE file; `data_size` overrides the data chunk's declared size when not 0.
std::vector<uint8_t> MakeWav(int channels, int bits, int rate, const std::vector<uint8_t>& data,
                             uint32_t data_size = 0, int tag = 1) {
    std::vector<uint8_t> out;
    PutId(out, "RIFF");
    Put32(out, static_cast<uint32_t>(36 + data.size()));
    PutId(out, "WAVE");
    PutId(out, "LIST"); // a chunk to skip, odd-sized with its pad byte
    Put32(out, 3);
    out.insert(out.end(), {'a', 'b', 'c', 0});
    PutId(out, "fmt ");
    Put32(out, 16);
    Put16(out, tag);
    Put16(out, channels);
    Put32(out, static_cast<uint32_t>(rate));
    Put32(out, static_cast<uint32_t>(rate * channels * bits / 8));
    Put16(out, channels * bits / 8);
    Put16(out, bits);
    PutId(out, "data");
    Put32(out, data_size ? data_size : static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

class TempDir {
public:
    TempDir() {
        std::string templ = (fs::temp_directory_path() / "brakkovane-audio-XXXXXX").string();
        path = mkdtemp(templ.data());
    }
    ~TempDir() { fs::remove_all(path); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const fs::path file = path / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

    fs::path path;
};

std::shared_ptr<TStream> MemoryStream(const std::vector<uint8_t>& bytes) {
    return TRamStream::CreateOwned(bytes, 1, 0);
}

const int16_t* Words(const TAudioSamplePtr& sample) {
    return reinterpret_cast<const int16_t*>(sample->samples);
}

double Rms(const TAudioSamplePtr& sample, int channel) {
    const int channels = sample->Channels();
    double sum = 0;
    for (int i = 0; i < sample->length; ++i) {
        const double v = Words(sample)[i * channels + channel];
        sum += v * v;
    }
    return std::sqrt(sum / sample->length);
}

// ---------------------------------------------------------------------------------------------
// TAudioSample.

TAudioSamplePtr SampleOf(int format, const std::vector<uint8_t>& bytes) {
    TAudioSamplePtr sample =
        TAudioSample::Create(static_cast<int>(bytes.size()) / AudioSampleBytesPerFrame(format), 8000, format);
    std::memcpy(sample->samples, bytes.data(), bytes.size());
    return sample;
}

std::vector<uint8_t> BytesOf(const TAudioSamplePtr& sample) {
    return {sample->samples, sample->samples + sample->capacity};
}

TEST(AudioSample, CreateCopyAndStatic) {
    TAudioSamplePtr sample = TAudioSample::Create(10, 22050, SF_STEREO16LE);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->capacity, 40);
    for (int i = 0; i < 40; ++i) sample->samples[i] = static_cast<uint8_t>(i * 3);
    TAudioSamplePtr copy = sample->Copy();
    EXPECT_NE(copy->samples, sample->samples);
    EXPECT_EQ(BytesOf(copy), BytesOf(sample));
    EXPECT_EQ(copy->hertz, 22050);

    uint8_t buffer[4] = {1, 2, 3, 4};
    TAudioSamplePtr over = TAudioSample::CreateStatic(buffer, 2, 8000, SF_MONO16LE);
    EXPECT_EQ(over->capacity, -1);
    EXPECT_EQ(over->samples, buffer);
    over.reset(); // must not free the caller's buffer

    EXPECT_EQ(TAudioSample::Create(0x40000000, 44100, SF_STEREO16LE), nullptr) << "4 GiB does not fit";
    EXPECT_EQ(TAudioSample::Create(-1, 44100, SF_MONO8), nullptr);
}

TEST(AudioSample, EightBitToSixteen) {
    TAudioSamplePtr wide = SampleOf(SF_MONO8, {128, 255, 0})->Convert(SF_STEREO16LE);
    ASSERT_EQ(wide->length, 3);
    const int16_t expected[] = {128, 128, 32767, 32767, -32768, -32768};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Words(wide)[i], expected[i]) << i;
    // And back: 257 b - 32768 returns to b.
    EXPECT_EQ(BytesOf(wide->Convert(SF_MONO8)), (std::vector<uint8_t>{128, 255, 0}));
}

TEST(AudioSample, ByteOrderAndDownmix) {
    // Stereo LE (1000, -3) and (-32768, 32767).
    TAudioSamplePtr stereo = SampleOf(SF_STEREO16LE, {0xE8, 0x03, 0xFD, 0xFF, 0x00, 0x80, 0xFF, 0x7F});
    EXPECT_EQ(BytesOf(stereo->Convert(SF_STEREO16BE)),
              (std::vector<uint8_t>{0x03, 0xE8, 0xFF, 0xFD, 0x80, 0x00, 0x7F, 0xFF}));
    // Mono is the mean halved towards zero: 997 / 2 = 498, -1 / 2 = 0.
    TAudioSamplePtr mono = stereo->Convert(SF_MONO16LE);
    EXPECT_EQ(Words(mono)[0], 498);
    EXPECT_EQ(Words(mono)[1], 0);
    EXPECT_EQ(BytesOf(stereo->Convert(SF_STEREO8)), (std::vector<uint8_t>{131, 127, 0, 255}));
    EXPECT_EQ(BytesOf(SampleOf(SF_MONO16BE, {0x12, 0x34})->Convert(SF_MONO16LE)),
              (std::vector<uint8_t>{0x34, 0x12}));
    EXPECT_EQ(BytesOf(stereo->Convert(SF_STEREO16LE)), BytesOf(stereo)) << "same format copies";
}

TEST(AudioSample, UnknownFormatsRaise) {
    TAudioSamplePtr sample = SampleOf(SF_MONO8, {1, 2});
    EXPECT_THROW(sample->Convert(7), TAudioSampleFormatException);
    EXPECT_THROW(sample->Convert(0), TAudioSampleFormatException);
    TAudioSamplePtr empty = TAudioSample::Create(4, 8000, 0);
    EXPECT_THROW(empty->Convert(SF_MONO8), TAudioSampleFormatException);
    try {
        sample->Convert(9);
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Unimplemented sample format conversion");
    }
}

// ---------------------------------------------------------------------------------------------
// The loader chain.

class SampleLoading : public ::testing::Test {
protected:
    void SetUp() override { InitAudioSampleLoaders(); }
    TempDir dir;
};

TEST_F(SampleLoading, MonoOggAtItsOwnRate) {
    const std::vector<int16_t> pcm = Sines(11025, 1, 22050, 441);
    const std::string path = dir.Write("tone.ogg", EncodeOgg(pcm, 1, 22050));
    TAudioSamplePtr sample = LoadAudioSample(path);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_MONO16LE);
    EXPECT_EQ(sample->hertz, 22050);
    EXPECT_EQ(sample->length, 11025);
    EXPECT_EQ(sample->capacity, 11025 * 2);
    EXPECT_NEAR(Rms(sample, 0), 12000 / std::sqrt(2.0), 600);
    // A lossy codec, but the waveform is the sine's: compare mid-file frames.
    for (int i = 5000; i < 5100; ++i) ASSERT_NEAR(Words(sample)[i], pcm[i], 1500) << "frame " << i;
}

TEST_F(SampleLoading, StereoOggKeepsItsSides) {
    const std::vector<int16_t> pcm = Sines(8000, 2, 44100, 300, 1200);
    TAudioSamplePtr sample = LoadAudioSample(MemoryStream(EncodeOgg(pcm, 2, 44100)));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_STEREO16LE);
    EXPECT_EQ(sample->hertz, 44100);
    EXPECT_EQ(sample->length, 8000);
    for (int i = 4000; i < 4050; ++i) {
        ASSERT_NEAR(Words(sample)[2 * i], pcm[2 * i], 1500) << "left " << i;
        ASSERT_NEAR(Words(sample)[2 * i + 1], pcm[2 * i + 1], 1500) << "right " << i;
    }
}

TEST_F(SampleLoading, SurroundOggKeepsFrontLeftAndRight) {
    // Three channels in the codec's order: left, centre, right.
    std::vector<int16_t> pcm;
    for (int i = 0; i < 6000; ++i) {
        pcm.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * 300 * i / 44100)));
        pcm.push_back(0);
        pcm.push_back(static_cast<int16_t>(-12000 * std::sin(2 * M_PI * 300 * i / 44100)));
    }
    TAudioSamplePtr sample = LoadAudioSample(MemoryStream(EncodeOgg(pcm, 3, 44100)));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_STEREO16LE);
    EXPECT_EQ(sample->length, 6000);
    EXPECT_GT(Rms(sample, 0), 7000);
    EXPECT_GT(Rms(sample, 1), 7000) << "right comes from the third channel, not the silent centre";
}

TEST_F(SampleLoading, WhatNoLoaderAcceptsIsNull) {
    std::vector<uint8_t> noise(5000);
    std::mt19937 random(7);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    EXPECT_EQ(LoadAudioSample(dir.Write("noise.ogg", noise)), nullptr);
    EXPECT_EQ(LoadAudioSample(dir.Write("empty.ogg", {})), nullptr);
    EXPECT_EQ(LoadAudioSample(dir.Write("text.wav", {'R', 'I', 'F', 'F', 'x'})), nullptr);
    EXPECT_EQ(LoadAudioSample((dir.path / "missing.ogg").string()), nullptr);
}

TEST_F(SampleLoading, CorruptOrTruncatedOggIsNull) {
    // Noise needs many bits, so its audio spans many pages.
    std::vector<int16_t> noise(3 * 44100);
    std::mt19937 random(11);
    for (int16_t& value : noise) value = static_cast<int16_t>(static_cast<int>(random() % 20000) - 10000);
    const std::vector<uint8_t> ogg = EncodeOgg(noise, 1, 44100);
    // Cut inside the headers, or before the first whole audio page: nothing to play.
    for (size_t cut : {size_t(30), size_t(200), size_t(3000), size_t(4200)}) {
        ASSERT_LT(cut, ogg.size());
        const std::vector<uint8_t> head(ogg.begin(), ogg.begin() + static_cast<long>(cut));
        EXPECT_EQ(LoadAudioSample(MemoryStream(head)), nullptr) << "cut at " << cut;
    }
    // Cut after some audio pages: the whole pages before the cut still decode, to a shorter sample.
    const std::vector<uint8_t> most(ogg.begin(), ogg.begin() + static_cast<long>(ogg.size() * 3 / 4));
    TAudioSamplePtr sample = LoadAudioSample(MemoryStream(most));
    ASSERT_NE(sample, nullptr);
    EXPECT_GT(sample->length, 0);
    EXPECT_LT(sample->length, 3 * 44100);

    // Damaged bytes in the middle of the audio: a page fails its checksum and leaves a hole.
    std::vector<uint8_t> damaged = ogg;
    for (size_t i = ogg.size() / 2; i < ogg.size() / 2 + 64; ++i) damaged[i] ^= 0x5A;
    EXPECT_EQ(LoadAudioSample(MemoryStream(damaged)), nullptr);
}

TEST_F(SampleLoading, AnOggThatClaimsMoreThanItHoldsIsNullWithoutReservingTheClaim) {
    // Noise needs many bits, so its audio spans several pages: the last one's claim is not also the
    // first one's, from which the decoder would take the start instead.
    std::vector<int16_t> noise(2 * 44100);
    std::mt19937 random(5);
    for (int16_t& value : noise) value = static_cast<int16_t>(static_cast<int>(random() % 20000) - 10000);
    const std::vector<uint8_t> ogg = EncodeOgg(noise, 1, 44100);
    auto claiming = [&](int64_t frames) {
        const std::string file = WithLastGranule(std::string(ogg.begin(), ogg.end()), frames);
        return std::vector<uint8_t>(file.begin(), file.end());
    };
    // 25 minutes at 44,100 Hz claim 132 MB; two seconds are there. The buffer grows only with what
    // decodes.
    const std::vector<uint8_t> lying = claiming(int64_t{25} * 60 * 44100);
    EXPECT_EQ(LoadAudioSample(MemoryStream(lying)), nullptr);
    const long growth_kb = PeakAddressSpaceGrowthKb([&] { (void)LoadAudioSample(MemoryStream(lying)); });
    ASSERT_GE(growth_kb, 0);
    EXPECT_LT(growth_kb, 64 * 1024) << "the loader reserved memory for the claimed length";
    // Over the 30-minute cap (here 536 million frames, 2 GB), refused outright.
    EXPECT_EQ(LoadAudioSample(MemoryStream(claiming(536870000))), nullptr);
    // The same file with its true length still loads whole.
    TAudioSamplePtr whole = LoadAudioSample(MemoryStream(claiming(2 * 44100)));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->length, 2 * 44100);
}

TEST_F(SampleLoading, WavePcmFormats) {
    const std::vector<uint8_t> stereo16 = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F};
    TAudioSamplePtr sample = LoadAudioSample(MemoryStream(MakeWav(2, 16, 32000, stereo16)));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_STEREO16LE);
    EXPECT_EQ(sample->hertz, 32000);
    EXPECT_EQ(sample->length, 2);
    EXPECT_EQ(BytesOf(sample), stereo16);

    sample = LoadAudioSample(dir.Write("bytes.wav", MakeWav(1, 8, 11025, {0, 128, 255})));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_MONO8);
    EXPECT_EQ(BytesOf(sample), (std::vector<uint8_t>{0, 128, 255}));

    sample = LoadAudioSample(MemoryStream(MakeWav(2, 8, 8000, {1, 2, 3, 4})));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_STEREO8);
}

TEST_F(SampleLoading, CorruptWaveHeaders) {
    // A data size far beyond the file keeps the frames that are there, with no huge allocation.
    TAudioSamplePtr sample =
        LoadAudioSample(MemoryStream(MakeWav(1, 16, 8000, {1, 0, 2, 0, 3}, 0xFFFFFFF0u)));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->length, 2);

    EXPECT_EQ(LoadAudioSample(MemoryStream(MakeWav(1, 16, 8000, {1, 0}, 0, 3))), nullptr) << "float data";
    EXPECT_EQ(LoadAudioSample(MemoryStream(MakeWav(3, 16, 8000, {1, 0}))), nullptr) << "three channels";
    EXPECT_EQ(LoadAudioSample(MemoryStream(MakeWav(1, 24, 8000, {1, 0, 0}))), nullptr) << "24-bit";
    EXPECT_EQ(LoadAudioSample(MemoryStream(MakeWav(1, 16, 0, {1, 0}))), nullptr) << "rate 0";

    std::vector<uint8_t> huge_chunk = MakeWav(1, 16, 8000, {1, 0});
    huge_chunk[16] = 0xF0; // the LIST chunk's size: 0xF0000003
    huge_chunk[19] = 0xF0;
    EXPECT_EQ(LoadAudioSample(MemoryStream(huge_chunk)), nullptr);

    std::vector<uint8_t> no_data = MakeWav(1, 16, 8000, {});
    no_data.resize(no_data.size() - 8); // no data chunk at all
    EXPECT_EQ(LoadAudioSample(MemoryStream(no_data)), nullptr);

    // Every prefix of a good file loads or is refused, without reading past the end.
    const std::vector<uint8_t> good = MakeWav(2, 16, 8000, std::vector<uint8_t>(64, 7));
    for (size_t cut = 0; cut < good.size(); ++cut) {
        const std::vector<uint8_t> head(good.begin(), good.begin() + static_cast<long>(cut));
        if (TAudioSamplePtr part = LoadAudioSample(MemoryStream(head))) {
            EXPECT_LE(part->capacity, 64);
        }
    }
}

// A stream that cannot seek: Pos is the base's -1.
class PipeStream : public TStream {
public:
    int Read(void*, int) override { return 0; }
};

TEST_F(SampleLoading, UnseekableStreamRaises) {
    try {
        LoadAudioSample(std::make_shared<PipeStream>());
        FAIL() << "no exception";
    } catch (const TStreamException& e) {
        EXPECT_STREQ(e.what(), "Stream is not seekable");
    }
}

// ---------------------------------------------------------------------------------------------
// Drivers and channels. SDL's dummy driver plays in real time without a sound card.

class Audio : public ::testing::Test {
protected:
    void SetUp() override {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        saved_driver_ = driver ? driver : "";
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ShutdownAudio();
        MixerSetDeviceFactory(&CreateSdlAudioDevice);
    }

    void TearDown() override {
        ShutdownAudio();
        if (saved_driver_.empty()) {
            unsetenv("SDL_AUDIODRIVER");
        } else {
            setenv("SDL_AUDIODRIVER", saved_driver_.c_str(), 1);
        }
    }

    static TAudioSamplePtr Tone(int frames, int first = 1000, int step = 3) {
        TAudioSamplePtr sample = TAudioSample::Create(frames, MIXER_RATE, SF_MONO16LE);
        auto* words = reinterpret_cast<int16_t*>(sample->samples);
        for (int i = 0; i < frames; ++i) words[i] = static_cast<int16_t>(first + i * step);
        return sample;
    }

    // Polls until the channel stops playing; false if it still plays after two seconds.
    static bool WaitUntilSilent(const TChannelPtr& channel) {
        for (int i = 0; i < 200 && ChannelIsPlaying(channel); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !ChannelIsPlaying(channel);
    }

    std::string saved_driver_;
};

TEST_F(Audio, RegistryNamesAndSelection) {
    EXPECT_EQ(AudioDriverNames(), (std::vector<std::string>{"Mixer", "Mixer Multimedia", "Null"}));
    EXPECT_EQ(AudioDriverExists("mIxEr"), 1);
    EXPECT_EQ(AudioDriverExists("MIXER MULTIMEDIA"), 1);
    EXPECT_EQ(AudioDriverExists("OpenAL"), 0);

    EXPECT_EQ(CurrentAudioDriver()->Name(), "Mixer") << "chosen on first use";
    EXPECT_EQ(SetAudioDriver("Mixer DirectSound"), 0);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
    EXPECT_FALSE(MixerIsOpen()) << "the previous driver was shut down";
    EXPECT_EQ(SetAudioDriver("MIXER multimedia"), 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Mixer Multimedia");
    EXPECT_TRUE(MixerIsOpen());
}

TEST_F(Audio, NoDeviceMeansTheSilentNullDriver) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
    EXPECT_EQ(SetAudioDriver("Mixer"), 0);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");

    TSoundPtr sound = SoundLoad(Tone(1000), SOUND_LOOP);
    ASSERT_NE(sound, nullptr);
    TChannelPtr channel = SoundCue(sound);
    ASSERT_NE(channel, nullptr);
    ChannelSetVolume(channel, 0.5f);
    ChannelResume(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_EQ(SoundPlay(sound, channel), channel);
    EXPECT_NE(AudioAllocChannel(), nullptr);
    ChannelStop(channel);
}

// The null back-end's output has no sound card but keeps time: a one-shot sound plays for its length
// and ends, a looping one goes on, exactly as through a real output.
TEST_F(Audio, TheNullOutputPlaysVoicesInRealTime) {
    MixerSetDeviceFactory(&CreateNullAudioDevice);
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr once = SoundLoad(Tone(MIXER_RATE / 10), 0); // 100 ms
    TSoundPtr loop = SoundLoad(Tone(441), SOUND_LOOP);
    TChannelPtr a = SoundPlay(once), b = SoundPlay(loop);
    EXPECT_EQ(ChannelIsPlaying(a), 1);
    EXPECT_EQ(ChannelIsPlaying(b), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(ChannelIsPlaying(a), 1) << "still within its 100 ms";
    EXPECT_TRUE(WaitUntilSilent(a)) << "the one-shot sound ends";
    EXPECT_EQ(ChannelIsPlaying(b), 1) << "the loop goes on";
    ChannelStop(b);
    EXPECT_EQ(SetAudioDriver("Mixer Multimedia"), 1) << "reopens after a shut-down";
}

TEST_F(Audio, MissingSoundIsNullAndHarmless) {
    EXPECT_EQ(SoundLoad("data/no-such-sound.ogg", 0), nullptr);
    TChannelPtr channel = SoundCue(nullptr);
    EXPECT_EQ(channel, nullptr);
    ChannelSetVolume(channel, 1.0f);
    ChannelResume(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_EQ(SoundPlay(nullptr, nullptr), nullptr);
}

TEST_F(Audio, LoopingSoundPlaysUntilStopped) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr sound = SoundLoad(Tone(441), SOUND_LOOP);
    ASSERT_NE(sound, nullptr);
    TChannelPtr channel = SoundCue(sound);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(ChannelIsPlaying(channel), 0) << "cued paused";
    ChannelSetVolume(channel, 0.5f);
    ChannelResume(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // ten times the sample's length
    EXPECT_EQ(ChannelIsPlaying(channel), 1);
    ChannelPause(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    ChannelResume(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 1);

    ChannelStop(channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    ChannelResume(channel); // every later call does nothing
    ChannelSetVolume(channel, 1.0f);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_EQ(std::dynamic_pointer_cast<TMixerChannel>(channel)->mixer_channel, 0u);
    TChannelPtr again = SoundPlay(sound, channel);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, channel) << "a stopped channel has no handle left to play on";
    ChannelStop(again);
}

TEST_F(Audio, OneShotOnAHeldChannel) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr sound = SoundLoad(Tone(441), 0); // 10 ms
    TChannelPtr held = AudioAllocChannel();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(ChannelIsPlaying(held), 0);
    EXPECT_EQ(SoundPlay(sound, held), held) << "plays on the channel it was given";
    EXPECT_EQ(ChannelIsPlaying(held), 1);
    EXPECT_TRUE(WaitUntilSilent(held));
    EXPECT_EQ(MixerStatus(std::dynamic_pointer_cast<TMixerChannel>(held)->mixer_channel), MIXER_FINISHED);
    EXPECT_EQ(SoundCue(sound, held), held);
    EXPECT_EQ(ChannelIsPlaying(held), 0);
    ChannelResume(held);
    EXPECT_EQ(ChannelIsPlaying(held), 1);
    EXPECT_TRUE(WaitUntilSilent(held));
}

TEST_F(Audio, ReleasedChannelLetsItsVoicePlayOn) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr sound = SoundLoad(Tone(4410), 0); // 100 ms
    SoundPlay(sound);                           // the channel is dropped at once, as play_sound does
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(MixerActiveVoiceCount(), 1);
    sound.reset(); // the voice keeps its own reference on the samples
    for (int i = 0; i < 200 && MixerActiveVoiceCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(MixerActiveVoiceCount(), 0) << "it ended by itself";
}

// The game thread starts, pauses, replays and stops voices while the device thread mixes them.
TEST_F(Audio, GameAndMixingThreadsShareVoices) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr short_sound = SoundLoad(Tone(200), 0);
    TSoundPtr loop_sound = SoundLoad(Tone(300), SOUND_LOOP);
    TChannelPtr held = AudioAllocChannel();
    std::vector<TChannelPtr> kept;
    std::mt19937 random(3);
    for (int i = 0; i < 3000; ++i) {
        switch (random() % 6) {
        case 0: SoundPlay(short_sound); break;
        case 1: kept.push_back(SoundCue(loop_sound)); break;
        case 2: SoundPlay(short_sound, held); break;
        case 3:
            if (!kept.empty()) ChannelResume(kept[random() % kept.size()]);
            break;
        case 4:
            if (!kept.empty()) {
                const size_t index = random() % kept.size();
                ChannelStop(kept[index]);
                kept.erase(kept.begin() + static_cast<long>(index));
            }
            break;
        default: ChannelSetVolume(held, static_cast<float>(random() % 100) / 100.0f); break;
        }
        if (i % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (const TChannelPtr& channel : kept) ChannelStop(channel);
    ChannelStop(held);
    for (int i = 0; i < 200 && MixerActiveVoiceCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(MixerActiveVoiceCount(), 0) << "every voice ended and was recycled";
}

TEST_F(Audio, ChannelsOfAnotherKindAreRefused) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TSoundPtr sound = SoundLoad(Tone(100), 0);
    EXPECT_EQ(SoundPlay(sound, std::make_shared<TChannel>()), nullptr);
}

TEST_F(Audio, BigEndianSamplesAreConvertedForTheMixer) {
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);
    TAudioSamplePtr sample = TAudioSample::Create(441, MIXER_RATE, SF_MONO16BE);
    std::memset(sample->samples, 0x10, static_cast<size_t>(sample->capacity));
    TSoundPtr sound = SoundLoad(sample, 0);
    ASSERT_NE(sound, nullptr);
    const auto* mixer_sample = std::dynamic_pointer_cast<TMixerSound>(sound)->mixer_sound;
    EXPECT_EQ(mixer_sample->bits, 16);
    EXPECT_EQ(mixer_sample->channels, 1);
    EXPECT_EQ(mixer_sample->length, 441);
    EXPECT_EQ(SoundLoad(TAudioSample::Create(4, MIXER_RATE, 0), 0), nullptr) << "no channels";
}

// The whole road: sound, channel, mixer, SDL device, and the bytes SDL's disk driver writes.
TEST_F(Audio, SoundReachesTheOutputFile) {
    TempDir dir;
    const std::string out = (dir.path / "out.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    ASSERT_EQ(SetAudioDriver("Mixer"), 1);

    // At full volume and the output rate the mixer reproduces the frames exactly, on both sides.
    const int frames = 3000;
    TAudioSamplePtr sample = Tone(frames, -15000, 10);
    TChannelPtr channel = SoundPlay(SoundLoad(sample, 0));
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(WaitUntilSilent(channel));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let SDL write the blocks out
    ShutdownAudio();
    unsetenv("SDL_DISKAUDIOFILE");

    std::ifstream file(out, std::ios::binary);
    std::vector<int16_t> written;
    int16_t value;
    while (file.read(reinterpret_cast<char*>(&value), 2)) written.push_back(value);
    std::vector<int16_t> expected;
    for (int i = 0; i < frames; ++i) {
        expected.push_back(Words(sample)[i]);
        expected.push_back(Words(sample)[i]);
    }
    const auto found = std::search(written.begin(), written.end(), expected.begin(), expected.end());
    ASSERT_NE(found, written.end()) << "sound not found in " << written.size() / 2 << " written frames";
    EXPECT_EQ((found - written.begin()) % 2, 0) << "left and right in their places";
    for (auto it = written.begin(); it != found; ++it) ASSERT_EQ(*it, 0) << "silence before the sound";
}

} // namespace
