// The display-less joystick back-end: no hardware, only the software devices of replays and tests.
#pragma once

#include "platform/joystick_driver.h"

#include <memory>

// Virtual devices in attach order, read exactly as the SDL back-end reads its virtual joysticks, so
// a replay gives the same joystick values on either back-end.
std::unique_ptr<TJoystickDriver> CreateNullJoystickDriver();
