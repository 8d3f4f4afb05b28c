// The worker thread that decodes sounds in the order they were asked for, and the collection of each
// decoded sample into a sound on the game thread.
#include "platform/async_sound_load.h"

#include <deque>
#include <thread>

namespace {

// One thread, one queue: decoding is the heavy part, and one core beside the game's is what it may
// take. Decodes are independent, so their order only decides which sound is ready first.
class TSoundLoadWorker {
public:
    TSoundLoadWorker()
        : thread_([this] { Run(); }) {}
    TSoundLoadWorker(const TSoundLoadWorker&) = delete;
    TSoundLoadWorker& operator=(const TSoundLoadWorker&) = delete;

    // Lets the decode under way finish and drops the ones not begun.
    ~TSoundLoadWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void Add(const TAsyncSoundLoadPtr& load) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(load);
        }
        wake_.notify_one();
    }

private:
    void Run() {
        for (;;) {
            TAsyncSoundLoadPtr load;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                load = std::move(queue_.front());
                queue_.pop_front();
            }
            load->Decode();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TAsyncSoundLoadPtr> queue_;
    bool stopping_ = false;
    std::thread thread_; // last, so it starts once the members it uses exist
};

TSoundLoadWorker& Worker() {
    static TSoundLoadWorker worker;
    return worker;
}

} // namespace

bool TAsyncSoundLoad::Done() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

void TAsyncSoundLoad::Decode() {
    TAudioSamplePtr sample;
    std::exception_ptr error;
    try {
        sample = LoadAudioSample(location_);
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sample_ = std::move(sample);
        error_ = error;
        done_ = true;
    }
    finished_.notify_all();
}

TAudioSamplePtr TAsyncSoundLoad::WaitForSample() {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
    if (error_) std::rethrow_exception(error_);
    return std::move(sample_);
}

TSoundPtr TAsyncSoundLoad::Collect() {
    return TSound::Load(WaitForSample(), flags_);
}

TAsyncSoundLoadPtr SoundLoadAsync(const std::string& location, int flags) {
    // The loader chain is set up here, on the caller's thread, before the worker walks it.
    InitAudioSampleLoaders();
    auto load = std::make_shared<TAsyncSoundLoad>(location, flags);
    Worker().Add(load);
    return load;
}
