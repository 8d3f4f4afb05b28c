// The mixer's output device over SDL audio: 44100 Hz, 16-bit signed, stereo, pulled in blocks of 512 frames.
#include "platform/mixer.h"

#include <SDL.h>

namespace {

constexpr int BLOCK_FRAMES = 512;

class SdlAudioDevice final : public TMixerDevice {
public:
    ~SdlAudioDevice() override { Close(); }

    bool Open() override {
        // SDL picks no fallback of its own when there is no sound card: a failure here leaves the
        // caller to run silently on the Null driver.
        // The engine handles SIGINT and SIGTERM itself, on every back-end.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        _subsystem = true;

        // Latency from MixerPlay to the speaker, by construction. SDL pulls a block of 512 frames
        // (512 / 44100 s = 11.6 ms) whenever the output has room for one, so a block mixed at time t
        // starts playing once the block ahead of it has played out: by t + 11.6 ms. The mixer puts a
        // voice started at time s at offset (s + 20 - t) ms into that block, so the voice is heard at
        // s + 20 ms + at most 11.6 ms = 31.6 ms, within the 40 ms budget. (The wave-output device this
        // stands in for kept 6 to 11 blocks ahead.)
        SDL_AudioSpec wanted{};
        wanted.freq = MIXER_RATE;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = 2;
        wanted.samples = BLOCK_FRAMES;
        wanted.callback = &SdlAudioDevice::Pull;
        SDL_AudioSpec obtained{};
        // No allowed changes: SDL converts if the hardware wants another format, so the callback always
        // receives 16-bit stereo at 44100 Hz.
        _device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (_device == 0) {
            Close();
            return false;
        }
        SDL_PauseAudioDevice(_device, 0);
        return true;
    }

    // SDL_CloseAudioDevice waits for a running callback, so no block is mixed after this returns.
    void Close() override {
        if (_device != 0) SDL_CloseAudioDevice(_device);
        _device = 0;
        if (_subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        _subsystem = false;
    }

private:
    // On SDL's audio thread. `bytes` is a whole number of 4-byte frames.
    static void SDLCALL Pull(void*, Uint8* stream, int bytes) {
        MixerMixBlock(reinterpret_cast<int16_t*>(stream), bytes / 2);
    }

    SDL_AudioDeviceID _device = 0;
    bool _subsystem = false;
};

} // namespace

// Mode 0 stands for the wave output; mode 1 (a device with its own mixing thread) has no counterpart here.
std::unique_ptr<TMixerDevice> CreateSdlAudioDevice(int mode) {
    if (mode != 0) return nullptr;
    return std::make_unique<SdlAudioDevice>();
}
