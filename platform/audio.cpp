// The audio model: driver registry and selection, the Null driver's silent objects, the mixing
// driver's sounds and channels, and the game-facing Sound and Channel operations.
#include "platform/audio.h"

#include "platform/mixer.h"

namespace {

TAudioDriver* driver_head = nullptr;
TAudioDriver* null_driver = nullptr;
TAudioDriver* current_driver = nullptr;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

TAudioDriver* FindDriver(const std::string& name) {
    const std::string wanted = Lower(name);
    for (TAudioDriver* driver = driver_head; driver; driver = driver->_succ) {
        if (Lower(driver->Name()) == wanted) return driver;
    }
    return nullptr;
}

TChannelPtr ChannelOrNew(const TChannelPtr& channel) {
    return channel ? channel : std::make_shared<TChannel>();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Base classes: the Null driver.

TChannelPtr TSound::Play(const TChannelPtr& channel) {
    return ChannelOrNew(channel);
}

TChannelPtr TSound::Cue(const TChannelPtr& channel) {
    return ChannelOrNew(channel);
}

TSoundPtr TSound::Load(const std::string& location, int flags) {
    InitAudioSampleLoaders();
    return Load(LoadAudioSample(location), flags);
}

TSoundPtr TSound::Load(const std::shared_ptr<TStream>& stream, int flags) {
    InitAudioSampleLoaders();
    return Load(LoadAudioSample(stream), flags);
}

TSoundPtr TSound::Load(const TAudioSamplePtr& sample, int flags) {
    if (!sample) return nullptr;
    return CurrentAudioDriver()->CreateSound(sample, flags);
}

TAudioDriver::TAudioDriver()
    : _succ(driver_head) {
    driver_head = this;
}

TAudioDriver::~TAudioDriver() {
    for (TAudioDriver** link = &driver_head; *link; link = &(*link)->_succ) {
        if (*link == this) {
            *link = _succ;
            break;
        }
    }
    if (current_driver == this) current_driver = nullptr;
}

TSoundPtr TAudioDriver::CreateSound(const TAudioSamplePtr&, int) {
    return std::make_shared<TSound>();
}

TChannelPtr TAudioDriver::AllocChannel() {
    return std::make_shared<TChannel>();
}

// ---------------------------------------------------------------------------------------------
// The mixing driver.

TMixerAudioDriver* TMixerAudioDriver::Create(const std::string& name, int mode) {
    auto* driver = new TMixerAudioDriver; // registered for the rest of the program
    driver->_name = name;
    driver->_mode = mode;
    return driver;
}

int TMixerAudioDriver::Startup() {
    if (_mode >= 0) return MixerOpen(_mode) == 0 ? 1 : 0;
    return MixerOpen(0) == 0 || MixerOpen(1) == 0 ? 1 : 0;
}

void TMixerAudioDriver::Shutdown() {
    MixerClose();
}

TSoundPtr TMixerAudioDriver::CreateSound(const TAudioSamplePtr& sample, int flags) {
    if (!sample) return nullptr;
    TAudioSamplePtr source = sample;
    if (source->format == SF_MONO16BE) source = source->Convert(SF_MONO16LE);
    if (source->format == SF_STEREO16BE) source = source->Convert(SF_STEREO16LE);
    if (!source) return nullptr;
    const int channels = source->Channels();
    if (channels == 0) return nullptr;
    MixerSample* mixer_sample =
        MixerCreateSample(source->length, source->BytesPerFrame() * 8 / channels, channels, source->hertz,
                          source->samples, (flags & SOUND_LOOP) ? MIXER_SAMPLE_LOOP : 0);
    if (!mixer_sample) return nullptr;
    return TMixerSound::CreateWithSound(mixer_sample, source);
}

TChannelPtr TMixerAudioDriver::AllocChannel() {
    const uint32_t handle = MixerAllocHandle();
    return handle ? TMixerChannel::CreateWithChannel(handle) : nullptr;
}

// The mixer copies the frames, so the audio sample need not be kept.
TSoundPtr TMixerSound::CreateWithSound(MixerSample* mixer_sound, const TAudioSamplePtr&) {
    auto sound = std::make_shared<TMixerSound>();
    sound->mixer_sound = mixer_sound;
    return sound;
}

TMixerSound::~TMixerSound() {
    MixerReleaseSample(mixer_sound);
}

TChannelPtr TMixerSound::Play(const TChannelPtr& channel) {
    return Start(channel, 0);
}

TChannelPtr TMixerSound::Cue(const TChannelPtr& channel) {
    return Start(channel, 1);
}

TChannelPtr TMixerSound::Start(const TChannelPtr& channel, int paused) {
    uint32_t handle = 0;
    if (channel) {
        const auto mixer_channel = std::dynamic_pointer_cast<TMixerChannel>(channel);
        if (!mixer_channel) return nullptr;
        handle = mixer_channel->mixer_channel;
    }
    const uint32_t played = MixerPlay(mixer_sound, paused, handle);
    if (played == 0) return nullptr;
    if (channel && played == handle) return channel;
    return TMixerChannel::CreateWithChannel(played);
}

TChannelPtr TMixerChannel::CreateWithChannel(uint32_t handle) {
    auto channel = std::make_shared<TMixerChannel>();
    channel->mixer_channel = handle;
    return channel;
}

TMixerChannel::~TMixerChannel() {
    if (mixer_channel) MixerFreeHandle(mixer_channel);
}

void TMixerChannel::Stop() {
    if (mixer_channel) MixerStop(mixer_channel);
    mixer_channel = 0;
}

void TMixerChannel::SetPaused(int paused) {
    MixerSetPaused(mixer_channel, paused);
}

void TMixerChannel::SetVolume(float volume) {
    MixerSetVolume(mixer_channel, volume);
}

void TMixerChannel::SetPan(float pan) {
    MixerSetPan(mixer_channel, pan);
}

void TMixerChannel::SetDepth(float depth) {
    MixerSetDepth(mixer_channel, depth);
}

void TMixerChannel::SetRate(float rate) {
    MixerSetRate(mixer_channel, rate);
}

int TMixerChannel::Playing() {
    const uint32_t status = MixerStatus(mixer_channel);
    return status != 0 && !(status & MIXER_FINISHED) && !(status & MIXER_PAUSED) ? 1 : 0;
}

int TMixerChannel::Position() {
    return MixerPosition(mixer_channel);
}

// ---------------------------------------------------------------------------------------------
// Registry and selection.

void InitAudioDrivers() {
    static bool done = false;
    if (done) return;
    done = true;
    null_driver = new TAudioDriver; // registered for the rest of the program
    // The mixing driver plays through whatever output device the back-end installed (mixer_device.h).
    // A mode-1 device does not exist on this platform, so its own name is not registered; "Mixer"
    // tries it after mode 0 all the same.
    TMixerAudioDriver::Create("Mixer Multimedia", 0);
    TMixerAudioDriver::Create("Mixer", -1);
}

TAudioDriver* CurrentAudioDriver() {
    if (!current_driver) {
        if (!SetAudioDriver("Mixer")) SetAudioDriver("Null");
    }
    return current_driver;
}

void ShutdownAudio() {
    if (current_driver) current_driver->Shutdown();
    current_driver = nullptr;
}

int SetAudioDriver(const std::string& name) {
    InitAudioDrivers();
    if (current_driver) current_driver->Shutdown();
    current_driver = null_driver;
    TAudioDriver* driver = FindDriver(name);
    if (!driver || !driver->Startup()) return 0;
    current_driver = driver;
    return 1;
}

int AudioDriverExists(const std::string& name) {
    InitAudioDrivers();
    return FindDriver(name) ? 1 : 0;
}

std::vector<std::string> AudioDriverNames() {
    InitAudioDrivers();
    std::vector<std::string> names;
    for (TAudioDriver* driver = driver_head; driver && names.size() < 100; driver = driver->_succ) {
        names.push_back(driver->Name());
    }
    return names;
}

// ---------------------------------------------------------------------------------------------
// Game-facing operations.

TSoundPtr SoundLoad(const std::string& location, int flags) {
    return TSound::Load(location, flags);
}

TSoundPtr SoundLoad(const std::shared_ptr<TStream>& stream, int flags) {
    return TSound::Load(stream, flags);
}

TSoundPtr SoundLoad(const TAudioSamplePtr& sample, int flags) {
    return TSound::Load(sample, flags);
}

TChannelPtr SoundCue(const TSoundPtr& sound, const TChannelPtr& channel) {
    return sound ? sound->Cue(channel) : nullptr;
}

TChannelPtr SoundPlay(const TSoundPtr& sound, const TChannelPtr& channel) {
    return sound ? sound->Play(channel) : nullptr;
}

TChannelPtr AudioAllocChannel() {
    return CurrentAudioDriver()->AllocChannel();
}

void ChannelStop(const TChannelPtr& channel) {
    if (channel) channel->Stop();
}

void ChannelPause(const TChannelPtr& channel) {
    if (channel) channel->SetPaused(1);
}

void ChannelResume(const TChannelPtr& channel) {
    if (channel) channel->SetPaused(0);
}

void ChannelSetVolume(const TChannelPtr& channel, float volume) {
    if (channel) channel->SetVolume(volume);
}

void ChannelSetPan(const TChannelPtr& channel, float pan) {
    if (channel) channel->SetPan(pan);
}

void ChannelSetDepth(const TChannelPtr& channel, float depth) {
    if (channel) channel->SetDepth(depth);
}

void ChannelSetRate(const TChannelPtr& channel, float rate) {
    if (channel) channel->SetRate(rate);
}

int ChannelIsPlaying(const TChannelPtr& channel) {
    return channel ? channel->Playing() : 0;
}
