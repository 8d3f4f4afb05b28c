// The mixer's output device over SDL audio.
#pragma once

#include "platform/mixer_device.h"

// Mode 0 opens SDL's default output (SDL_AUDIODRIVER chooses the driver); there is no mode-1 device.
std::unique_ptr<TMixerDevice> CreateSdlAudioDevice(int mode);
