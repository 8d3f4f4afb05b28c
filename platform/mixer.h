// The software mixer: sums voices into 44100 Hz 16-bit stereo blocks that an output device pulls.
#pragma once

// Pure C++: no output library appears here. An output device (mixer_device.h: a back-end's, or the
// manual device of tests and benchmarks) only calls MixerMixBlock on its own thread.
//
// Threads: every operation except MixerMixBlock belongs to the game thread. The two sides meet only
// in two single-writer, single-reader rings of voices and in single 32-bit atomic stores of target
// values and status flags; the mixing path takes no lock and allocates nothing.

#include <cstdint>
#include <memory>

constexpr int MIXER_RATE = 44100;            // output frames per second
constexpr int MIXER_HANDLE_SLOTS = 4096;     // slot 0 heads the free list, so 4095 usable handles
constexpr int MIXER_RING_SIZE = 4096;        // entries of the start ring and of the free ring
constexpr int MIXER_START_DELAY_MS = 20;     // every voice enters the mixed stream this long after MixerPlay
constexpr int MIXER_MAX_BLOCK_VALUES = 8192; // larger device blocks are mixed in pieces of this size

// Voice status flags, as MixerStatus reports them. 0 means released (or no voice).
constexpr uint32_t MIXER_FINISHED = 1;
constexpr uint32_t MIXER_PLAYING_ONCE = 2;
constexpr uint32_t MIXER_PLAYING_LOOP = 4;
constexpr uint32_t MIXER_STREAMING = 8;
constexpr uint32_t MIXER_PAUSED = 0x10;

// Flags of MixerCreateSample.
constexpr uint32_t MIXER_SAMPLE_LOOP = 1;
// Use the caller's buffer as it is, without a copy. The buffer must hold length + 1 frames (the last
// one the interpolation guard), 16-bit data 2-byte aligned, and outlive the sample.
constexpr uint32_t MIXER_SAMPLE_STATIC = 0x80000000u;

// A sample as the mixer plays it. Reference counted: one reference for its owner plus one for each
// voice that plays it. Counts change on the game thread only (see MixerReclaim).
struct MixerSample {
    int rate = 0;     // frames per second
    int channels = 0; // 1 or 2
    int bits = 0;     // 8 (unsigned) or 16 (signed, little-endian)
    int length = 0;   // frames, not counting the guard frame
    int bytes_per_frame = 0;
    bool loop = false;
    bool owns_data = false;
    const uint8_t* data = nullptr; // length + 1 frames
    int refs = 1;
};

// The millisecond clock that stamps starts and times the start delay; GetTickMillis by default.
using TMixerClock = uint32_t (*)();
void MixerSetClock(TMixerClock clock);

// Creates the device for the mode with the current factory and opens it; 0 on success, -1 when no
// device opens (or the mixer is already open).
int MixerOpen(int mode);
// Stops the device, recycles every voice, and empties the handle table. Handles given out before
// stay stale for ever after: slot serials survive a reopen.
void MixerClose();
bool MixerIsOpen();

// Null for a bad size, bit depth, channel count or rate. The mixer does not need to be open.
MixerSample* MixerCreateSample(int length, int bits, int channels, int rate, const void* data,
                               uint32_t flags);
// Drops the owner's reference; the sample is freed once no voice plays it either.
void MixerReleaseSample(MixerSample* sample);

// Starts a voice on the sample, paused or not. With a valid handle the voice replaces the handle's
// current one (which falls silent) and takes over its rate, volume, pan and depth; otherwise a new
// handle is popped and the voice frees itself when it ends. Returns the handle the voice plays on;
// the given handle unchanged when nothing can start (no device, null or empty sample, start ring
// full); 0 when a new handle was needed and none was left.
uint32_t MixerPlay(MixerSample* sample, int paused, uint32_t handle);
uint32_t MixerAllocHandle();
// The voice, if any, plays on to its end and then frees itself; a paused one ends at once, since no
// one can resume it any more.
void MixerFreeHandle(uint32_t handle);
void MixerStop(uint32_t handle);
void MixerSetPaused(uint32_t handle, int paused);
void MixerSetVolume(uint32_t handle, float volume); // 1.0 = unchanged; kept within 4.12 fixed point
void MixerSetPan(uint32_t handle, float pan);       // -1 full left .. 1 full right
void MixerSetDepth(uint32_t handle, float depth);   // only the sign matters: negative inverts the right side
void MixerSetRate(uint32_t handle, float rate);     // 1.0 = the sample's own rate; negative counts as 0
uint32_t MixerStatus(uint32_t handle);
// Sample frames played so far (in a looping voice this keeps growing past the length).
int MixerPosition(uint32_t handle);

// Takes back the voices that the mixing thread has recycled and drops their sample references.
// Game-side operations call it themselves; it is public for callers that want samples freed promptly.
void MixerReclaim();

// Mixes the next block: `values` interleaved 16-bit output values (left, right), an even count.
// Called by the device's thread, or by the owner of a manual device.
void MixerMixBlock(int16_t* out, int values);

// Counters for tests and diagnostics: voices in the mixing thread's active list as of its last block,
// and voices allocated so far (they are recycled, never freed while the mixer is open).
int MixerActiveVoiceCount();
int MixerAllocatedVoiceCount();
