// The display-less machine's sound card: mixes in real time and lets the output fall silent.
#pragma once

#include "platform/mixer_device.h"

// Mode 0 opens a device whose thread pulls one block of the mixer every block period (512 frames at
// 44100 Hz) and drops it, so voices start, play out and loop as on a real output; other modes: null.
std::unique_ptr<TMixerDevice> CreateNullAudioDevice(int mode);
