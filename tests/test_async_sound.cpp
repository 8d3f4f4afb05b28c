// Sounds loaded on the worker thread: the game's files decode to exactly the samples a load on the
// calling thread gives, in whatever order they are collected; broken and missing files come back
// null; what the loader chain raises reaches the collector; and a load finishes with no one waiting.
#include "platform/async_sound_load.h"
#include "platform/audio_sample.h"
#include "platform/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> GameSoundFiles() {
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(SOURCE_DIR "/data"))
        if (entry.path().extension() == ".ogg") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool SameSample(const TAudioSamplePtr& a, const TAudioSamplePtr& b) {
    return a && b && a->format == b->format && a->hertz == b->hertz && a->length == b->length &&
           std::memcmp(a->samples, b->samples, static_cast<size_t>(a->length * a->BytesPerFrame())) == 0;
}

// "unseekable::anything" opens as a stream that reads nothing and cannot seek.
class TUnseekableFactory : public TStreamFactory {
    class TPipe : public TStream {
    public:
        int Read(void*, int) override { return 0; }
    };

public:
    std::shared_ptr<TStream> CreateStream(const std::string&, const std::string& protocol, const std::string&,
                                          int, int) override {
        return protocol == "unseekable" ? std::make_shared<TPipe>() : nullptr;
    }
};

class TScratchDir {
public:
    TScratchDir() {
        char pattern[] = "/tmp/test_async_sound_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TScratchDir() { fs::remove_all(path); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
        return (path / name).string();
    }
    fs::path path;
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(AsyncSoundLoad, GameFilesDecodeAsOnTheCallingThreadInAnyOrderOfCollection) {
    const std::vector<std::string> paths = GameSoundFiles();
    ASSERT_GE(paths.size(), 11u);
    std::vector<TAsyncSoundLoadPtr> loads;
    for (const std::string& path : paths) loads.push_back(SoundLoadAsync(path, 0));
    // Last asked, first collected: each waits for its own decode, however far the worker is.
    for (size_t i = loads.size(); i-- > 0;) {
        SCOPED_TRACE(paths[i]);
        const TAudioSamplePtr sample = loads[i]->WaitForSample();
        EXPECT_TRUE(loads[i]->Done());
        EXPECT_TRUE(SameSample(sample, LoadAudioSample(paths[i])));
    }
}

TEST(AsyncSoundLoad, BrokenAndMissingFilesComeBackNull) {
    TScratchDir dir;
    const std::string ogg = ReadBytes(SOURCE_DIR "/data/lazer.ogg");
    ASSERT_GT(ogg.size(), 1000u);
    fs::create_directory(dir.path / "folder.ogg");
    const std::vector<std::string> locations = {
        (dir.path / "missing.ogg").string(),
        dir.Write("empty.ogg", ""),
        dir.Write("headers_only.ogg", ogg.substr(0, 200)),
        dir.Write("noise.ogg", "OggS" + std::string(4000, '\x5a')),
        (dir.path / "folder.ogg").string(),
    };
    std::vector<TAsyncSoundLoadPtr> loads;
    for (const std::string& location : locations) loads.push_back(SoundLoadAsync(location, 0));
    for (size_t i = 0; i < loads.size(); ++i) {
        EXPECT_EQ(loads[i]->WaitForSample(), nullptr) << locations[i];
        EXPECT_EQ(LoadAudioSample(locations[i]), nullptr) << locations[i] << " on the calling thread";
    }
    // Collected into a sound, a failed load is no sound, as SoundLoad gives none.
    EXPECT_EQ(SoundLoadAsync((dir.path / "missing.ogg").string(), SOUND_LOOP)->Collect(), nullptr);
}

TEST(AsyncSoundLoad, WhatTheLoaderChainRaisesReachesTheCollector) {
    TUnseekableFactory factory;
    TAsyncSoundLoadPtr load = SoundLoadAsync("unseekable::music.ogg", 0);
    try {
        load->Collect();
        FAIL() << "no exception";
    } catch (const TStreamException& e) {
        EXPECT_STREQ(e.what(), "Stream is not seekable");
    }
    // The worker goes on with the next load.
    EXPECT_NE(SoundLoadAsync(SOURCE_DIR "/data/thud.ogg", 0)->WaitForSample(), nullptr);
}

TEST(AsyncSoundLoad, ALoadFinishesWithNoOneWaiting) {
    TAsyncSoundLoadPtr load = SoundLoadAsync(SOURCE_DIR "/data/blastem.ogg", SOUND_LOOP);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!load->Done() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(load->Done()) << "the worker did not decode on its own";
    EXPECT_NE(load->WaitForSample(), nullptr);
}
