// The software mixer: voices, the channel handle table, the lock-free voice rings and the fixed-point
// block mixing.
#include "platform/mixer.h"

#include "platform/mixer_device.h"

#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>
#include <vector>

static_assert(std::endian::native == std::endian::little, "sample data is read as little-endian words");

namespace {

// One playing (or idle) voice.
//
// Ownership: a voice is either game-side (in the spare list, or idle in a handle slot) or in the mixer
// (start ring, active list, free ring). `in_mixer`, `handle` and `sample` are game-thread fields that
// the game sets before the voice enters the start ring and reads again only after it comes back
// through the free ring. `next`, `position` and `start_delay` belong to the mixing thread while the
// voice is in the mixer. The atomics are the only fields both threads touch at the same time.
struct MixerVoice {
    std::atomic<uint32_t> status{0};
    std::atomic<uint32_t> auto_free{0};
    // Targets are set by the game at any time; the current values are the mixer's, read by the game
    // only to hand them on to a voice that replaces this one.
    std::atomic<int32_t> target_rate{0x10000}; // 16.16
    std::atomic<int32_t> rate{0x10000};
    std::atomic<int32_t> target_volume{4096}; // 4.12, within 16 bits
    std::atomic<int32_t> volume{4096};
    std::atomic<int32_t> target_pan{0}; // 4.12, -4096 full left .. 4096 full right
    std::atomic<int32_t> pan{0};
    std::atomic<int32_t> target_depth{0}; // 4.12
    std::atomic<int32_t> depth{0};
    std::atomic<uint64_t> frames_played{0}; // sample frames, 32.32

    MixerSample* sample = nullptr;
    uint32_t start_ms = 0;
    uint32_t handle = 0;
    bool in_mixer = false;

    MixerVoice* next = nullptr;
    uint64_t position = 0; // sample frames, 32.32
    int start_delay = 0;   // output frames still to wait
    bool sounded = false;  // has mixed at least one frame

    void ResetSettings() {
        for (auto* value : {&target_rate, &rate}) value->store(0x10000, std::memory_order_relaxed);
        for (auto* value : {&target_volume, &volume}) value->store(4096, std::memory_order_relaxed);
        for (auto* value : {&target_pan, &pan, &target_depth, &depth})
            value->store(0, std::memory_order_relaxed);
    }

    void CopySettings(const MixerVoice& from) {
        auto copy = [](std::atomic<int32_t>& to, const std::atomic<int32_t>& value) {
            to.store(value.load(std::memory_order_relaxed), std::memory_order_relaxed);
        };
        copy(target_rate, from.target_rate);
        copy(rate, from.rate);
        copy(target_volume, from.target_volume);
        copy(volume, from.volume);
        copy(target_pan, from.target_pan);
        copy(pan, from.pan);
        copy(target_depth, from.target_depth);
        copy(depth, from.depth);
    }
};

// Single writer, single reader. The writer publishes the slot with a release store of the write
// index; the reader acquires it, so everything the writer did to the voice before the push is seen.
// One slot stays empty to tell full from empty: 4095 voices fit.
class VoiceRing {
public:
    bool Push(MixerVoice* voice) {
        const uint32_t w = _write.load(std::memory_order_relaxed);
        const uint32_t next = (w + 1) % MIXER_RING_SIZE;
        if (next == _read.load(std::memory_order_acquire)) return false;
        _slots[w] = voice;
        _write.store(next, std::memory_order_release);
        return true;
    }

    MixerVoice* Pop() {
        const uint32_t r = _read.load(std::memory_order_relaxed);
        if (r == _write.load(std::memory_order_acquire)) return nullptr;
        MixerVoice* voice = _slots[r];
        _read.store((r + 1) % MIXER_RING_SIZE, std::memory_order_release);
        return voice;
    }

    // Only while no other thread uses the ring.
    void Reset() {
        _read.store(0, std::memory_order_relaxed);
        _write.store(0, std::memory_order_relaxed);
    }

private:
    MixerVoice* _slots[MIXER_RING_SIZE] = {};
    std::atomic<uint32_t> _read{0};
    std::atomic<uint32_t> _write{0};
};

// A handle is serial | slot: the slot index in the low 12 bits, the slot's serial (a multiple of 4096)
// above. The serial grows each time the slot is handed out, so an old handle never reaches a later
// voice; `in_use` makes a freed handle stale at once, so a second free cannot corrupt the free list.
struct HandleSlot {
    uint32_t serial = 0;
    uint32_t next_free = 0;
    bool in_use = false;
    MixerVoice* voice = nullptr;
};

constexpr uint32_t SLOT_MASK = MIXER_HANDLE_SLOTS - 1;

struct MixerState {
    // Game thread.
    TMixerDeviceFactory factory = nullptr;
    TMixerClock clock = &GetTickMillis;
    std::unique_ptr<TMixerDevice> device;
    bool open = false;
    HandleSlot slots[MIXER_HANDLE_SLOTS]; // slots[0].next_free heads the free list
    std::vector<MixerVoice*> spare;
    std::vector<std::unique_ptr<MixerVoice>> voices;

    VoiceRing start_ring; // game -> mixer
    VoiceRing free_ring;  // mixer -> game

    // Mixing thread.
    MixerVoice* active = nullptr;
    int32_t accumulator[MIXER_MAX_BLOCK_VALUES] = {};
    std::atomic<int> active_count{0};
};

// Never destroyed: a device thread may still pull a block while the program's statics are torn down.
MixerState& State() {
    static MixerState* state = new MixerState;
    return *state;
}

HandleSlot* ValidSlot(uint32_t handle) {
    MixerState& st = State();
    const uint32_t index = handle & SLOT_MASK;
    if (!st.open || index == 0) return nullptr;
    HandleSlot& slot = st.slots[index];
    if (!slot.in_use || slot.serial != (handle & ~SLOT_MASK)) return nullptr;
    return &slot;
}

void RetainSample(MixerSample* sample) {
    ++sample->refs;
}

void ReleaseSample(MixerSample* sample) {
    assert(sample->refs > 0 && "mixer sample released more often than retained");
    if (--sample->refs > 0) return;
    if (sample->owns_data) delete[] sample->data;
    delete sample;
}

MixerVoice* TakeVoice() {
    MixerState& st = State();
    if (!st.spare.empty()) {
        MixerVoice* voice = st.spare.back();
        st.spare.pop_back();
        return voice;
    }
    st.voices.push_back(std::make_unique<MixerVoice>());
    return st.voices.back().get();
}

// Detaches a slot's voice. A voice still in the mixer is left to end by itself and recycle itself
// (finished at once when `finish` is set); an idle one goes straight back to the spare list.
void ReleaseSlotVoice(MixerVoice* voice, bool finish) {
    voice->handle = 0;
    if (!voice->in_mixer) {
        State().spare.push_back(voice);
        return;
    }
    voice->auto_free.store(1, std::memory_order_relaxed);
    const uint32_t status = voice->status.load(std::memory_order_relaxed);
    if (status != 0 && (finish || (status & MIXER_PAUSED))) {
        voice->status.store(MIXER_FINISHED, std::memory_order_release);
    }
}

// The slot's voice, made on first touch: default settings, not playing, owned by the slot.
MixerVoice* SlotVoice(HandleSlot& slot, uint32_t handle) {
    if (!slot.voice) {
        MixerVoice* voice = TakeVoice();
        voice->ResetSettings();
        voice->status.store(0, std::memory_order_relaxed);
        voice->auto_free.store(0, std::memory_order_relaxed);
        voice->frames_played.store(0, std::memory_order_relaxed);
        voice->handle = handle;
        slot.voice = voice;
    }
    return slot.voice;
}

MixerVoice* TouchVoice(uint32_t handle) {
    HandleSlot* slot = ValidSlot(handle);
    return slot ? SlotVoice(*slot, handle) : nullptr;
}

void FreeSlot(uint32_t handle, bool stop) {
    HandleSlot* slot = ValidSlot(handle);
    if (!slot) return;
    if (slot->voice) ReleaseSlotVoice(slot->voice, stop);
    MixerState& st = State();
    slot->voice = nullptr;
    slot->in_use = false;
    slot->next_free = st.slots[0].next_free;
    st.slots[0].next_free = handle & SLOT_MASK;
}

int16_t Fixed412(float value) {
    return static_cast<int16_t>(std::clamp(value * 4096.0f, -32768.0f, 32767.0f));
}

// ---------------------------------------------------------------------------------------------
// Mixing thread.

// Sample frames advanced per output frame, 32.32: rate (16.16) x sample rate / output rate.
uint64_t StepFor(int32_t rate, int sample_rate) {
    if (rate <= 0) return 0;
    return static_cast<uint64_t>(
        (static_cast<unsigned __int128>(static_cast<uint32_t>(rate)) * static_cast<uint32_t>(sample_rate)
         << 16) /
        MIXER_RATE);
}

// left = v, or v x (4096 - p) / 4096 for p > 0; right mirrors it.
int32_t PanFactor(int32_t pan, bool right) {
    if (right) return pan >= 0 ? 4096 : 4096 + pan;
    return pan <= 0 ? 4096 : 4096 - pan;
}

struct VoiceMix {
    uint64_t position;
    uint64_t end; // length, 32.32
    uint64_t step;
    int64_t step_delta; // per output frame, ramps only
    int32_t volume;     // 4.12 with 8 more fraction bits, ramps only
    int32_t volume_delta;
    int32_t left_gain, right_gain;     // constant volume
    int32_t left_factor, right_factor; // pan factors, 4.12
    bool invert_right;
    bool loop;
    bool finished;
    uint64_t advanced; // sample frames, 32.32
};

template <int Bits, int Channels>
inline void ReadFrame(const uint8_t* data, uint32_t index, uint32_t frac, int32_t& left, int32_t& right) {
    if constexpr (Bits == 16) {
        const int16_t* words = reinterpret_cast<const int16_t*>(data) + index * Channels;
        const int32_t a = words[0];
        const int32_t b = words[Channels];
        left = a + static_cast<int32_t>((static_cast<int64_t>(b - a) * frac) >> 16);
        if constexpr (Channels == 2) {
            const int32_t c = words[1];
            const int32_t d = words[3];
            right = c + static_cast<int32_t>((static_cast<int64_t>(d - c) * frac) >> 16);
        } else {
            right = left;
        }
    } else {
        // Unsigned bytes centred on 128, scaled to the 16-bit range before interpolating.
        const uint8_t* bytes = data + index * Channels;
        const int32_t a = bytes[0] * 256 - 32768;
        const int32_t b = bytes[Channels] * 256 - 32768;
        left = a + static_cast<int32_t>((static_cast<int64_t>(b - a) * frac) >> 16);
        if constexpr (Channels == 2) {
            const int32_t c = bytes[1] * 256 - 32768;
            const int32_t d = bytes[3] * 256 - 32768;
            right = c + static_cast<int32_t>((static_cast<int64_t>(d - c) * frac) >> 16);
        } else {
            right = left;
        }
    }
}

// Adds `frames` output frames of one voice to the accumulator (8 fraction bits dropped per product:
// a 16-bit value at volume 4096 adds 16 x its value, which the output shift of 4 removes).
template <int Bits, int Channels, bool Ramp>
void MixSpan(const uint8_t* data, int32_t* acc, int frames, VoiceMix& m) {
    uint64_t position = m.position;
    uint64_t step = m.step;
    uint64_t advanced = 0;
    int32_t volume = m.volume;
    for (int i = 0; i < frames; ++i) {
        int32_t left, right;
        ReadFrame<Bits, Channels>(data, static_cast<uint32_t>(position >> 32),
                                  static_cast<uint32_t>(position >> 16) & 0xFFFF, left, right);
        int32_t left_gain = m.left_gain, right_gain = m.right_gain;
        if constexpr (Ramp) {
            const int32_t v = volume >> 8;
            left_gain = v * m.left_factor / 4096;
            right_gain = v * m.right_factor / 4096;
            if (m.invert_right) right_gain = -right_gain;
            volume += m.volume_delta;
        }
        acc[2 * i] += (left * left_gain) >> 8;
        acc[2 * i + 1] += (right * right_gain) >> 8;
        position += step;
        advanced += step;
        if constexpr (Ramp) step += m.step_delta;
        if (position >= m.end) [[unlikely]] {
            if (!m.loop) {
                m.finished = true;
                break;
            }
            position = position >= 2 * m.end ? position % m.end : position - m.end;
        }
    }
    m.position = position;
    m.advanced = advanced;
}

// Silent voice (volume 0, no ramp): the position still moves as if it were heard.
void AdvanceSilently(int frames, VoiceMix& m) {
    if (m.step == 0) return;
    const uint64_t remaining = m.end - m.position;
    if (!m.loop) {
        const uint64_t until_end = (remaining + m.step - 1) / m.step; // frames until the end is reached
        if (until_end <= static_cast<uint64_t>(frames)) {
            m.advanced = until_end * m.step;
            m.position += m.advanced;
            m.finished = true;
            return;
        }
    }
    m.advanced = static_cast<uint64_t>(frames) * m.step;
    m.position = (m.position + m.advanced) % m.end;
}

enum class MixResult { Keep, Finished, Released };

MixResult MixVoice(MixerVoice& voice, int32_t* acc, int frames) {
    const uint32_t status = voice.status.load(std::memory_order_acquire);
    if (status == 0) return MixResult::Released;
    if (status & MIXER_FINISHED) return MixResult::Finished;
    if (status & MIXER_PAUSED) {
        // The start delay runs on while paused: a voice cued and resumed a moment later still sounds
        // 20 ms after its cue, in step with the voices started with it.
        voice.start_delay = std::max(0, voice.start_delay - frames);
        return MixResult::Keep;
    }
    if (voice.start_delay > 0) {
        if (voice.start_delay >= frames) {
            voice.start_delay -= frames;
            return MixResult::Keep;
        }
        acc += 2 * voice.start_delay;
        frames -= voice.start_delay;
        voice.start_delay = 0;
    }

    const MixerSample& sample = *voice.sample;
    const int32_t target_rate = voice.target_rate.load(std::memory_order_relaxed);
    const int32_t target_volume = voice.target_volume.load(std::memory_order_relaxed);
    // Ramps smooth changes to a sounding voice; one that has not sounded yet starts at its targets, so a
    // sound cued and set to half volume does not begin at full volume.
    const int32_t current_rate = voice.sounded ? voice.rate.load(std::memory_order_relaxed) : target_rate;
    const int32_t current_volume =
        voice.sounded ? voice.volume.load(std::memory_order_relaxed) : target_volume;
    voice.sounded = true;
    const int32_t pan = voice.target_pan.load(std::memory_order_relaxed);
    const int32_t depth = voice.target_depth.load(std::memory_order_relaxed);
    voice.rate.store(target_rate, std::memory_order_relaxed);
    voice.volume.store(target_volume, std::memory_order_relaxed);
    voice.pan.store(pan, std::memory_order_relaxed);
    voice.depth.store(depth, std::memory_order_relaxed);

    VoiceMix m{};
    m.position = voice.position;
    m.end = static_cast<uint64_t>(sample.length) << 32;
    m.loop = (status & MIXER_PLAYING_LOOP) != 0;
    m.left_factor = PanFactor(pan, false);
    m.right_factor = PanFactor(pan, true);
    m.invert_right = depth < 0;
    const uint64_t target_step = StepFor(target_rate, sample.rate);

    const bool ramp = current_rate != target_rate || current_volume != target_volume;
    if (ramp) {
        // Volume and step move linearly from the current to the target value across the block.
        m.step = StepFor(current_rate, sample.rate);
        m.step_delta = (static_cast<int64_t>(target_step) - static_cast<int64_t>(m.step)) / frames;
        m.volume = current_volume * 256;
        m.volume_delta = (target_volume - current_volume) * 256 / frames;
    } else {
        m.step = target_step;
        m.left_gain = target_volume * m.left_factor / 4096;
        m.right_gain = target_volume * m.right_factor / 4096;
        if (m.invert_right) m.right_gain = -m.right_gain;
    }

    if (!ramp && target_volume == 0) {
        AdvanceSilently(frames, m);
    } else {
        const uint8_t* data = sample.data;
        const int kind = (sample.bits == 16 ? 0 : 4) + (sample.channels == 2 ? 0 : 2) + (ramp ? 1 : 0);
        switch (kind) {
        case 0: MixSpan<16, 2, false>(data, acc, frames, m); break;
        case 1: MixSpan<16, 2, true>(data, acc, frames, m); break;
        case 2: MixSpan<16, 1, false>(data, acc, frames, m); break;
        case 3: MixSpan<16, 1, true>(data, acc, frames, m); break;
        case 4: MixSpan<8, 2, false>(data, acc, frames, m); break;
        case 5: MixSpan<8, 2, true>(data, acc, frames, m); break;
        case 6: MixSpan<8, 1, false>(data, acc, frames, m); break;
        default: MixSpan<8, 1, true>(data, acc, frames, m); break;
        }
    }
    voice.position = m.position;
    voice.frames_played.fetch_add(m.advanced, std::memory_order_relaxed);
    return m.finished ? MixResult::Finished : MixResult::Keep;
}

// Hands a voice back to the game thread. With the free ring full it stays in the active list as
// released and is offered again next block.
bool Recycle(MixerVoice* voice) {
    voice->status.store(0, std::memory_order_relaxed);
    return State().free_ring.Push(voice);
}

void MixPiece(int16_t* out, int values) {
    MixerState& st = State();
    const int frames = values / 2;

    const uint32_t now = st.clock();
    while (MixerVoice* voice = st.start_ring.Pop()) {
        // Sounds started within one game frame keep their relative timing behind a fixed latency.
        const int32_t wait_ms = std::clamp(static_cast<int32_t>(voice->start_ms + MIXER_START_DELAY_MS - now),
                                           0, MIXER_START_DELAY_MS);
        voice->start_delay = wait_ms * MIXER_RATE / 1000;
        voice->sounded = false;
        voice->next = st.active;
        st.active = voice;
    }

    int count = 0;
    for (MixerVoice** link = &st.active; *link;) {
        MixerVoice* voice = *link;
        MixResult result = MixVoice(*voice, st.accumulator, frames);
        if (result == MixResult::Finished) {
            if (voice->auto_free.load(std::memory_order_relaxed)) {
                result = MixResult::Released;
            } else {
                voice->status.store(MIXER_FINISHED, std::memory_order_release);
            }
        }
        if (result == MixResult::Released) {
            // Unlinked before the push: once in the free ring the voice is the game thread's.
            MixerVoice* next = voice->next;
            if (Recycle(voice)) {
                *link = next;
                continue;
            }
        }
        link = &voice->next;
        ++count;
    }
    st.active_count.store(count, std::memory_order_relaxed);

    // 20-bit sums back to 16 bits, saturating.
    for (int i = 0; i < values; ++i) {
        const int32_t value = st.accumulator[i];
        out[i] = value > 524271 ? 32767 : value < -524288 ? -32768 : static_cast<int16_t>(value >> 4);
        st.accumulator[i] = 0;
    }
}

class ManualMixerDevice final : public TMixerDevice {
public:
    bool Open() override { return true; }
    void Close() override {}
};

} // namespace

void MixerSetDeviceFactory(TMixerDeviceFactory factory) {
    State().factory = factory;
}

std::unique_ptr<TMixerDevice> CreateManualMixerDevice(int) {
    return std::make_unique<ManualMixerDevice>();
}

void MixerSetClock(TMixerClock clock) {
    State().clock = clock ? clock : &GetTickMillis;
}

int MixerOpen(int mode) {
    MixerState& st = State();
    if (st.open || !st.factory) return -1;
    st.device = st.factory(mode);
    if (!st.device) return -1;

    // Everything the mixing thread reads is ready before the device starts pulling.
    st.start_ring.Reset();
    st.free_ring.Reset();
    st.active = nullptr;
    std::fill(std::begin(st.accumulator), std::end(st.accumulator), 0);
    for (uint32_t i = 0; i < MIXER_HANDLE_SLOTS; ++i) {
        st.slots[i].in_use = false;
        st.slots[i].voice = nullptr;
        st.slots[i].next_free = i + 1 < MIXER_HANDLE_SLOTS ? i + 1 : 0;
    }
    st.open = true;
    if (!st.device->Open()) {
        st.open = false;
        st.device.reset();
        return -1;
    }
    return 0;
}

void MixerClose() {
    MixerState& st = State();
    if (!st.open) return;
    st.device->Close();
    st.device.reset();
    st.open = false;
    // The mixing thread has stopped: every voice is the game's now, wherever it was.
    for (const auto& voice : st.voices) {
        if (voice->in_mixer && voice->sample) ReleaseSample(voice->sample);
        voice->sample = nullptr;
    }
    st.voices.clear();
    st.spare.clear();
    st.active = nullptr;
    st.active_count.store(0, std::memory_order_relaxed);
    for (HandleSlot& slot : st.slots) {
        slot.in_use = false;
        slot.voice = nullptr;
    }
}

bool MixerIsOpen() {
    return State().open;
}

MixerSample* MixerCreateSample(int length, int bits, int channels, int rate, const void* data,
                               uint32_t flags) {
    if (length < 0 || (bits != 8 && bits != 16) || (channels != 1 && channels != 2) || rate < 0)
        return nullptr;
    if (!data && length > 0) return nullptr;
    auto* sample = new MixerSample;
    sample->rate = rate;
    sample->channels = channels;
    sample->bits = bits;
    sample->length = length;
    sample->bytes_per_frame = channels * bits / 8;
    sample->loop = (flags & MIXER_SAMPLE_LOOP) != 0;
    if (flags & MIXER_SAMPLE_STATIC) {
        sample->data = static_cast<const uint8_t*>(data);
        return sample;
    }
    const size_t frame_bytes = static_cast<size_t>(sample->bytes_per_frame);
    const size_t bytes = static_cast<size_t>(length) * frame_bytes;
    auto* buffer = new uint8_t[bytes + frame_bytes];
    if (length > 0) {
        std::memcpy(buffer, data, bytes);
        // The guard frame lets the interpolation read one frame past the end: the loop's first frame,
        // or the last frame again.
        std::memcpy(buffer + bytes, buffer + (sample->loop ? 0 : bytes - frame_bytes), frame_bytes);
    } else {
        std::memset(buffer, sample->bits == 8 ? 128 : 0, frame_bytes);
    }
    sample->data = buffer;
    sample->owns_data = true;
    return sample;
}

void MixerReleaseSample(MixerSample* sample) {
    if (!sample) return;
    MixerReclaim();
    ReleaseSample(sample);
}

void MixerReclaim() {
    MixerState& st = State();
    if (!st.open) return;
    while (MixerVoice* voice = st.free_ring.Pop()) {
        voice->in_mixer = false;
        if (voice->sample) ReleaseSample(voice->sample);
        voice->sample = nullptr;
        voice->status.store(0, std::memory_order_relaxed);
        // A voice that freed itself while its handle is still held stays with that handle, idle, so
        // the handle keeps its settings and reads as not playing.
        HandleSlot* slot = ValidSlot(voice->handle);
        if (slot && slot->voice == voice) continue;
        voice->handle = 0;
        st.spare.push_back(voice);
    }
}

uint32_t MixerPlay(MixerSample* sample, int paused, uint32_t handle) {
    MixerState& st = State();
    if (!st.open || !sample || sample->length <= 0) return handle;
    MixerReclaim();

    HandleSlot* slot = ValidSlot(handle);
    MixerVoice* previous = slot ? slot->voice : nullptr;
    // A stale handle counts as none: the voice gets a handle of its own.
    const bool own_handle = slot == nullptr;
    uint32_t play_handle = handle;
    if (own_handle) {
        play_handle = MixerAllocHandle();
        if (play_handle == 0) return 0;
        slot = ValidSlot(play_handle);
    }

    MixerVoice* voice = TakeVoice();
    if (previous) {
        voice->CopySettings(*previous);
    } else {
        voice->ResetSettings();
    }
    RetainSample(sample);
    voice->sample = sample;
    voice->status.store((sample->loop ? MIXER_PLAYING_LOOP : MIXER_PLAYING_ONCE) |
                            (paused ? MIXER_PAUSED : 0),
                        std::memory_order_relaxed);
    voice->auto_free.store(own_handle ? 1 : 0, std::memory_order_relaxed);
    voice->frames_played.store(0, std::memory_order_relaxed);
    voice->position = 0;
    voice->start_ms = st.clock();
    voice->handle = play_handle;
    voice->next = nullptr;
    if (!st.start_ring.Push(voice)) {
        ReleaseSample(sample);
        voice->sample = nullptr;
        voice->handle = 0;
        st.spare.push_back(voice);
        if (own_handle) FreeSlot(play_handle, false);
        return handle;
    }
    voice->in_mixer = true;

    if (previous) ReleaseSlotVoice(previous, true);
    slot->voice = voice;
    return play_handle;
}

uint32_t MixerAllocHandle() {
    MixerState& st = State();
    if (!st.open) return 0;
    const uint32_t index = st.slots[0].next_free;
    if (index == 0) return 0;
    HandleSlot& slot = st.slots[index];
    st.slots[0].next_free = slot.next_free;
    slot.serial += MIXER_HANDLE_SLOTS;
    slot.in_use = true;
    slot.voice = nullptr;
    return slot.serial | index;
}

void MixerFreeHandle(uint32_t handle) {
    FreeSlot(handle, false);
}

void MixerStop(uint32_t handle) {
    FreeSlot(handle, true);
}

void MixerSetPaused(uint32_t handle, int paused) {
    if (MixerVoice* voice = TouchVoice(handle)) {
        if (paused) {
            voice->status.fetch_or(MIXER_PAUSED, std::memory_order_release);
        } else {
            voice->status.fetch_and(~static_cast<uint32_t>(MIXER_PAUSED), std::memory_order_release);
        }
    }
}

void MixerSetVolume(uint32_t handle, float volume) {
    if (MixerVoice* voice = TouchVoice(handle))
        voice->target_volume.store(Fixed412(volume), std::memory_order_relaxed);
}

void MixerSetPan(uint32_t handle, float pan) {
    if (MixerVoice* voice = TouchVoice(handle)) {
        voice->target_pan.store(Fixed412(std::clamp(pan, -1.0f, 1.0f)), std::memory_order_relaxed);
    }
}

void MixerSetDepth(uint32_t handle, float depth) {
    if (MixerVoice* voice = TouchVoice(handle))
        voice->target_depth.store(Fixed412(depth), std::memory_order_relaxed);
}

void MixerSetRate(uint32_t handle, float rate) {
    if (MixerVoice* voice = TouchVoice(handle)) {
        // 16.16; the largest rate keeps the 32-bit value positive.
        const float fixed = std::clamp(rate * 65536.0f, 0.0f, 2147483520.0f);
        voice->target_rate.store(static_cast<int32_t>(fixed), std::memory_order_relaxed);
    }
}

uint32_t MixerStatus(uint32_t handle) {
    HandleSlot* slot = ValidSlot(handle);
    if (!slot || !slot->voice) return 0;
    return slot->voice->status.load(std::memory_order_acquire);
}

int MixerPosition(uint32_t handle) {
    HandleSlot* slot = ValidSlot(handle);
    if (!slot || !slot->voice) return 0;
    const uint64_t frames = slot->voice->frames_played.load(std::memory_order_relaxed) >> 32;
    return static_cast<int>(std::min<uint64_t>(frames, INT32_MAX));
}

void MixerMixBlock(int16_t* out, int values) {
    assert(values % 2 == 0 && "mixer blocks hold whole stereo frames");
    while (values > 0) {
        const int piece = std::min(values, MIXER_MAX_BLOCK_VALUES);
        MixPiece(out, piece);
        out += piece;
        values -= piece;
    }
}

int MixerActiveVoiceCount() {
    return State().active_count.load(std::memory_order_relaxed);
}

int MixerAllocatedVoiceCount() {
    return static_cast<int>(State().voices.size());
}
