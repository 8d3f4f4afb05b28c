// Joysticks by direct polling: the port table, per-port last values, button-hit counting, and the device
// seam.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What one device read returns. Axes are in device positions (the SDL back-end reports 0 .. 65535 for
// its -32768 .. 32767, with minimum 0 and maximum 65535); only axes whose bit is set in axis_valid are
// stored by the read.
struct TJoystickPosition {
    static constexpr int kAxes = 6;                 // x, y, z, r, u, v
    static constexpr uint32_t kHatCentred = 0xFFFF; // any value above 36000 means centred

    uint32_t buttons = 0;    // bit n: button n held
    uint32_t axis_valid = 0; // bit n: axis n reported
    uint32_t axis_pos[kAxes] = {};
    uint32_t axis_min[kAxes] = {};
    uint32_t axis_max[kAxes] = {};
    bool hat_valid = false;
    uint32_t hat = kHatCentred; // hundredths of a degree clockwise from up (0, 9000 right, ...)
};

// The device seam. Device ids are the back-end's own and stay valid for as long as the device stays
// attached; a re-plugged device comes back under a new id.
class TJoystickDriver {
public:
    virtual ~TJoystickDriver() = default;
    // Called once at the start of every joystick query so that device state and hot-plug are current.
    virtual void Refresh() {}
    // The attached devices in the system's order.
    virtual std::vector<int> Devices() = 0;
    // Product name, or empty when the device is unknown.
    virtual std::string Name(int device) = 0;
    // False when the device is absent or does not answer; `out` is then unspecified.
    virtual bool Read(int device, TJoystickPosition& out) = 0;
};

// The SDL2 back-end (sdl_joystick.cpp); a driver without devices when SDL's joystick subsystem fails.
std::unique_ptr<TJoystickDriver> CreateSDLJoystickDriver();

// Start-up of the joystick service: installs the SDL back-end with empty tables. Idempotent; the
// queries below call it themselves when it has not run.
void InitJoysticks();
// Installs `driver` and empties every table as a fresh start-up would (port table not yet counted).
void SetJoystickDriver(std::unique_ptr<TJoystickDriver> driver);

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
