// Software joysticks for replays and tests: devices the joystick queries read like real ones.
#pragma once

// Attaches a device with 6 axes (raw 0, so the queries read just above 0.0), 32 buttons (up) and one
// hat (centred). Returns its handle, or -1 when it cannot be made. Like a real device, it is given a
// port by the next CountJoysticks, after the devices attached before it.
int JoyVirtualAttach();
// Unplugs the device; false for an unknown handle.
bool JoyVirtualDetach(int handle);
// Raw axis value -32768 .. 32767 for axis 0..5 (x, y, z, r, u, v).
bool JoyVirtualSetAxis(int handle, int axis, int value);
bool JoyVirtualSetButton(int handle, int button, bool down); // button 0..31
// Hundredths of a degree clockwise from up, snapped to the nearest of the eight directions; -1 or any
// value above 36000 centres the hat.
bool JoyVirtualSetHat(int handle, int hundredths);
// Each returns false, changing nothing, for an unknown handle or an out-of-range argument; the new
// values are seen by the next query.

// While on, the joystick queries see only virtual devices, so a real pad on the machine cannot
// disturb a replay. Takes effect at the next CountJoysticks.
void SetJoystickVirtualOnly(bool on);
