// The joystick back-end over SDL2's joystick API, with virtual devices on SDL's virtual joysticks.
#pragma once

#include "platform/joystick_driver.h"

#include <cstdint>
#include <memory>
#include <string>

// Pads SDL maps as game controllers (its built-in mappings, SDL_GAMECONTROLLERCONFIG, and the mapping
// file `extra_mappings` when it exists) read in the layout of sdl_game_controller.h; every other
// device, and the virtual devices, raw. A driver without devices when SDL's joystick subsystem does
// not start.
std::unique_ptr<TJoystickDriver> CreateSDLJoystickDriver(const std::string& extra_mappings = {});

// SDL's hat bits for one of the eight directions in hundredths of a degree (0, 4500, ... 31500), or
// centred for -1.
uint8_t SDLHatBits(int hundredths);
