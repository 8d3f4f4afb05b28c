// The audio output contract: the device that pulls the mixer's blocks, and how a back-end provides it.
#pragma once

#include <memory>

// An output device: after Open succeeds it calls MixerMixBlock from its own thread until Close
// returns. Close must not return while a call is in progress.
class TMixerDevice {
public:
    virtual ~TMixerDevice() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
};

// Makes the device for a MixerOpen mode (0 wave output, otherwise the mode with a mixing thread of
// its own); null when the platform has no such device. The back-end installs its factory at start-up;
// with none installed no device opens and the audio model falls back to its silent Null driver.
using TMixerDeviceFactory = std::unique_ptr<TMixerDevice> (*)(int mode);
void MixerSetDeviceFactory(TMixerDeviceFactory factory);

// A device that opens for any mode and never pulls: its owner calls MixerMixBlock itself (tests,
// benchmarks, offline rendering).
std::unique_ptr<TMixerDevice> CreateManualMixerDevice(int mode);
