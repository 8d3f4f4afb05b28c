// The mixer's output device over SDL audio: 44100 Hz, 16-bit signed, stereo, pulled in blocks of 512 frames.
#include "backends/sdl/sdl_audio_device.h"

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

        // Latency from MixerPlay to the speaker. The mixer puts a voice started at time s (whole
        // milliseconds) at s + 20 ms of the mixed stream, (s + 20 - t) ms into the block mixed at t or
        // the one after; measured, 19 to 22 ms. The rest is how long a mixed block waits in the output
        // before it plays, which the back-end decides: SDL grants the 512 frames asked for (11.6 ms a
        // block) and pulls one when the output has room for it. Through a sound server on a
        // timer-driven output that wait measured 3 to 9 ms, so 23 to 29 ms in all plus the card's own
        // buffer; an output that keeps two blocks queued, as SDL's ALSA back-end asks, adds up to
        // 23.2 ms: up to 43 ms. (The wave-output device this stands in for kept 6 to 11 blocks ahead.)
        // SDL's disk driver is no clock: it sleeps a whole 11 ms per 11.6 ms block (SDL_DISKAUDIODELAY),
        // so its file runs about 4% ahead of real time and onsets read from file positions drift by
        // some 40 ms per second of the run.
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
