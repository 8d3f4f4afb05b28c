// Sounds loaded off the calling thread: the file is read and decoded through the sample loader chain
// on a worker thread, and whoever collects the load makes the sound on the current audio driver.
#pragma once

#include "platform/audio.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

// One sound being loaded. The worker fills in the decoded sample (or the exception the loader chain
// raised); the game thread collects it.
class TAsyncSoundLoad {
public:
    TAsyncSoundLoad(std::string location, int flags)
        : location_(std::move(location))
        , flags_(flags) {}
    TAsyncSoundLoad(const TAsyncSoundLoad&) = delete;
    TAsyncSoundLoad& operator=(const TAsyncSoundLoad&) = delete;

    // Whether the decode has finished, so that Collect returns without waiting.
    bool Done() const;
    // Waits for the decode and hands over its sample, as LoadAudioSample would have returned it:
    // null when the location cannot be opened or no loader takes it; what the loader chain raised is
    // raised here. Once: the sample is handed over, not kept.
    TAudioSamplePtr WaitForSample();
    // WaitForSample, then the sound made on the current audio driver, as SoundLoad would have made
    // it (null also when the driver makes no sound of the sample). Call from the thread that plays.
    TSoundPtr Collect();

    // The worker's side: decodes, then wakes the collector.
    void Decode();

private:
    const std::string location_;
    const int flags_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    TAudioSamplePtr sample_;
    std::exception_ptr error_;
};
using TAsyncSoundLoadPtr = std::shared_ptr<TAsyncSoundLoad>;

// Starts loading the sound at `location` with SoundLoad's flags. Loads run on one worker thread,
// started on the first request, one at a time in the order they were asked for. The worker stops
// with the program; a load it had not begun by then is never decoded, so collect every load first.
TAsyncSoundLoadPtr SoundLoadAsync(const std::string& location, int flags);
