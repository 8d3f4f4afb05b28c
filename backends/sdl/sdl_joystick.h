// The joystick back-end over SDL2's joystick API, with virtual devices on SDL's virtual joysticks.
#pragma once

#include "platform/joystick_driver.h"

#include <memory>

// A driver without devices when SDL's joystick subsystem does not start.
std::unique_ptr<TJoystickDriver> CreateSDLJoystickDriver();
