// The joystick back-end contract: listing, reading and (for replays and tests) simulating devices.
#pragma once

#include <cstdint>
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

    // Software devices for replays and tests, behind virtual_joystick.h, which checks every argument
    // before it calls these. A virtual device lists and reads like a real one: 6 axes (raw 0 when
    // attached), 32 buttons, one hat. Back-ends without them refuse (-1, false).
    virtual int AttachVirtual() { return -1; }
    virtual bool DetachVirtual(int) { return false; }
    // axis 0..5, raw -32768..32767.
    virtual bool SetVirtualAxis(int, int, int) { return false; }
    // button 0..31.
    virtual bool SetVirtualButton(int, int, bool) { return false; }
    // Hundredths of a degree, one of the eight directions (0, 4500, ... 31500), or -1 for centred.
    virtual bool SetVirtualHat(int, int) { return false; }
    // While on, Devices and Read see only the virtual devices.
    virtual void SetVirtualOnly(bool) {}
};

// Installs `driver` and empties every table as a fresh start-up would (port table not yet counted).
// Null leaves no devices.
void SetJoystickDriver(std::unique_ptr<TJoystickDriver> driver);
