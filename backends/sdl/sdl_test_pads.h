// Test-only: SDL virtual joysticks that SDL maps as game controllers, and a system driver that plays
// a script on them, so that tests can play the real binary with pads.
#pragma once

#include "backends/sdl/sdl_system.h"
#include "platform/input_script.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _SDL_Joystick SDL_Joystick;

// Names a pad script for the SDL back-ends (see InstallBackends). Meant for tests only; players have
// no use for it.
inline constexpr const char* kTestPadsVariable = "BRAKKOVANE3D_TEST_PADS";

// A test pad's raw layout, which its mapping turns into a game controller. It is deliberately unlike
// the port layout, so a mapped read cannot pass for a raw one: buttons 3 south, 2 east, 1 west,
// 0 north, 4 and 5 the shoulders, 8 back, 9 start, 10 and 11 the sticks, 12 guide; axes 0 and 1 the
// left stick, 2 and 3 the right stick, 4 and 5 the triggers; hat 0 the d-pad.
enum : int {
    kTestPadNorth = 0,
    kTestPadWest = 1,
    kTestPadEast = 2,
    kTestPadSouth = 3,
    kTestPadStart = 9,
};

// Attaches a test pad and adds its mapping; returns it opened (for SDL_JoystickSetVirtual*), or null.
// It lists and counts like any device, after those attached before it.
SDL_Joystick* AttachTestPad();
void DetachTestPad(SDL_Joystick* pad);

// The SDL system driver, with the joy events of a script moving test pads: ports in attach order, raw
// values as the pad would send them (`joy 0 button 3 down` presses south). An event of frame F
// happens at the first pump after F frames were presented (PacedFlipCount); where the game waits for input
// inside a frame, the next event happens, as a player's later input would.
class TTestPadDriver : public TSDLSystemDriver {
public:
    // `script` must hold joy events only.
    explicit TTestPadDriver(TInputScript script);
    ~TTestPadDriver() override;
    TTestPadDriver(const TTestPadDriver&) = delete;
    TTestPadDriver& operator=(const TTestPadDriver&) = delete;

    void Poll() override;
    void Wait() override;

private:
    void ApplyDue();
    void Apply(const TScriptEvent& event);

    TInputScript script_;
    size_t next_ = 0;
    std::vector<SDL_Joystick*> pads_; // by port
};

// The driver for the script file named by kTestPadsVariable, made by the first call that can read it
// and never destroyed, like the SDL driver it stands in for (later calls give it again); null with
// `error` set when the file cannot be read or holds anything but joy events.
TTestPadDriver* TestPadDriverFromFile(const std::string& path, std::string& error);
