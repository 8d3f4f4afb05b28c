// Joysticks by direct polling: the port table, per-port last values and button-hit counting, over the
// device back-end of joystick_driver.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Start-up of the joystick service: empty tables over the installed back-end (joystick_driver.h),
// or over no devices at all while none is installed. Idempotent; the queries below call it
// themselves when it has not run.
void InitJoysticks();

// Rebuilds the port table from the devices that answer a read, in the system's order (at most 256),
// and returns their number. Until the first call every port reads the system's first device; after
// it, ports at or beyond the count have no device.
int CountJoysticks();
std::string JoyName(int port);

// Every query below reads the port's device afresh first. A device that is absent or fails keeps the
// port's last values (all zero if never read). Ports are 0..15.
bool IsJoyButtonDown(int button, int port);  // button 0..31
int JoyButtonHitCount(int button, int port); // button 0..15; presses counted since the last call
float GetJoyX(int port);
float GetJoyY(int port);
float GetJoyZ(int port);
float GetJoyR(int port);
float GetJoyU(int port);
float GetJoyV(int port);
float GetJoyHat(int port); // fraction of a full turn clockwise from up, 0 .. 1; -1.0 when centred

// For recording: one change on a port as seen by successive reads.
struct JoystickChange {
    enum Kind { Attach, Detach, Axis, Button, Hat };
    Kind kind = Attach;
    int index = 0; // Axis: 0..5 for x, y, z, r, u, v; Button: 0..31; otherwise 0
    int value = 0; // Axis: raw -32768 .. 32767 (position - 32768); Button: 1 down, 0 up;
                   // Hat: hundredths of a degree, or -1 when centred
};
using JoystickObserver = std::function<void(int port, const JoystickChange& change)>;

// Installs (or, with an empty function, removes) the observer. It keeps its own copy of what it has
// been told per port, starting from "detached" for every port, and is called with the differences:
// - by every port read: Detach when the port has no device or the read fails and the observer last
//   saw it attached; otherwise Attach when it last saw it detached, then each axis, button (0..31)
//   and hat that differs, in that order;
// - by CountJoysticks, for every port: the same comparison against the probe of the port's new
//   device, so that the count itself can be reproduced.
// After Attach, the observer's copy is the state of a fresh virtual device (axes raw 0, no button,
// hat centred), so only values that differ from it follow. Axes the device does not report and a
// missing hat produce no changes.
void SetJoystickObserver(JoystickObserver observer);
