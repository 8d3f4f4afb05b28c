// Sounds, channels and audio drivers: the game's audio model, the driver registry, the silent Null
// driver and the mixing driver over the software mixer.
#pragma once

// Everything here runs on the game thread; only the mixer's output device has a thread of its own.

#include "platform/audio_sample.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct MixerSample;
class TStream;
class TSound;
class TChannel;
using TSoundPtr = std::shared_ptr<TSound>;
using TChannelPtr = std::shared_ptr<TChannel>;

// Sample flags of SoundLoad and CreateSound.
constexpr int SOUND_LOOP = 1;

// A handle on one voice. The base class is the Null driver's channel: it does nothing and never plays.
class TChannel {
public:
    virtual ~TChannel() = default;
    virtual void Stop() {}
    virtual void SetPaused(int) {}
    virtual void SetVolume(float) {}
    virtual void SetPan(float) {}
    virtual void SetDepth(float) {}
    virtual void SetRate(float) {}
    virtual int Playing() { return 0; }
};

// A sound loaded on some driver. The base class is the Null driver's sound: playing or cueing it
// starts nothing and hands back the channel (a new silent one for null).
class TSound {
public:
    virtual ~TSound() = default;
    virtual TChannelPtr Play(const TChannelPtr& channel);
    virtual TChannelPtr Cue(const TChannelPtr& channel);

    // A sample from the location through the loader chain, made into a sound on the current driver.
    // Null when the location cannot be opened or no loader accepts it.
    static TSoundPtr Load(const std::string& location, int flags);
    static TSoundPtr Load(const std::shared_ptr<TStream>& stream, int flags);
    static TSoundPtr Load(const TAudioSamplePtr& sample, int flags);
};

// One registered driver. Constructing a driver links it at the head of the registry. The base class
// is the Null driver: it starts, and every sound and channel it makes is silent.
class TAudioDriver {
public:
    TAudioDriver();
    virtual ~TAudioDriver();
    TAudioDriver(const TAudioDriver&) = delete;
    TAudioDriver& operator=(const TAudioDriver&) = delete;

    virtual std::string Name() { return "Null"; }
    virtual int Startup() { return 1; } // 1 on success
    virtual void Shutdown() {}
    virtual TSoundPtr CreateSound(const TAudioSamplePtr& sample, int flags);
    virtual TChannelPtr AllocChannel();

    TAudioDriver* _succ = nullptr;
};

// The mixing driver: every sound plays through the software mixer and the platform's output device.
class TMixerAudioDriver : public TAudioDriver {
public:
    std::string _name;
    int _mode = 0; // 0 wave output, 1 the mode with its own mixing thread, -1 either (0 first)

    static TMixerAudioDriver* Create(const std::string& name, int mode);

    std::string Name() override { return _name; }
    int Startup() override;
    void Shutdown() override;
    // Big-endian samples are converted first; null for a sample without channels.
    TSoundPtr CreateSound(const TAudioSamplePtr& sample, int flags) override;
    // Null when every mixer handle is in use.
    TChannelPtr AllocChannel() override;
};

// Owns one reference on its mixer sample, dropped when the last reference to the sound goes.
class TMixerSound : public TSound {
public:
    MixerSample* mixer_sound = nullptr;

    static TSoundPtr CreateWithSound(MixerSample* mixer_sound, const TAudioSamplePtr& sample);
    ~TMixerSound() override;

    // The channel must be a mixer channel or null (any other kind gives null).
    TChannelPtr Play(const TChannelPtr& channel) override;
    TChannelPtr Cue(const TChannelPtr& channel) override;

private:
    TChannelPtr Start(const TChannelPtr& channel, int paused);
};

// Holds one mixer handle (0 = none). Releasing the last reference frees the handle; the voice, if any,
// plays on to its end.
class TMixerChannel : public TChannel {
public:
    uint32_t mixer_channel = 0;

    static TChannelPtr CreateWithChannel(uint32_t handle);
    ~TMixerChannel() override;

    // Stops the voice and gives up the handle: every later call on this channel does nothing.
    void Stop() override;
    void SetPaused(int paused) override;
    void SetVolume(float volume) override;
    void SetPan(float pan) override;
    void SetDepth(float depth) override;
    void SetRate(float rate) override;
    int Playing() override;
    int Position();
};

// The engine's start-up step for audio: registers the Null driver and the mixing driver's names
// ("Mixer Multimedia", then "Mixer"), once. Every operation below runs it if needed.
void InitAudioDrivers();
// The current driver; on first use "Mixer" is selected, or "Null" when no output device opens.
TAudioDriver* CurrentAudioDriver();
// Shuts the current driver down (the output device stops) and leaves none current; the next use
// selects again. For the end of the program.
void ShutdownAudio();

// Lower-cases the name, shuts the current driver down, makes "Null" current, then starts the named
// driver and makes it current. 1 on success; 0 (with "Null" current) for an unknown name or a driver
// that does not start.
int SetAudioDriver(const std::string& name);
// 1 if a registered driver has the name, compared without regard to ASCII case.
int AudioDriverExists(const std::string& name);
// The registered names in registry order (newest first), at most 100.
std::vector<std::string> AudioDriverNames();

// The game-facing operations. A null sound or channel makes each of them do nothing (and give null,
// or 0 for ChannelIsPlaying).
TSoundPtr SoundLoad(const std::string& location, int flags);
TSoundPtr SoundLoad(const std::shared_ptr<TStream>& stream, int flags);
TSoundPtr SoundLoad(const TAudioSamplePtr& sample, int flags);
// The sound prepared paused on the channel (a new one for null); returns the channel it is on.
TChannelPtr SoundCue(const TSoundPtr& sound, const TChannelPtr& channel = nullptr);
// The same, started at once.
TChannelPtr SoundPlay(const TSoundPtr& sound, const TChannelPtr& channel = nullptr);
TChannelPtr AudioAllocChannel();
void ChannelStop(const TChannelPtr& channel);
void ChannelPause(const TChannelPtr& channel);
void ChannelResume(const TChannelPtr& channel);
void ChannelSetVolume(const TChannelPtr& channel, float volume);
void ChannelSetPan(const TChannelPtr& channel, float pan);
void ChannelSetDepth(const TChannelPtr& channel, float depth);
void ChannelSetRate(const TChannelPtr& channel, float rate);
int ChannelIsPlaying(const TChannelPtr& channel);
