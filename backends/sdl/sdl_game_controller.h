// Pads that SDL maps as game controllers, read into the one fixed port layout the game knows.
#pragma once

#include "platform/joystick_driver.h"

#include <string>

typedef struct _SDL_GameController SDL_GameController;

// The port layout of every mapped pad, whatever its make:
// - axes x, y: the left stick; pushed beyond 3/4 of its travel towards an end it reads exactly that end
//   (raw -32768 or 32767), as the game moves only at full deflection; the d-pad drives x and y to
//   exactly their ends and wins over the stick (opposite directions held together leave the stick);
// - axes z, r: the right stick, u, v: the left and right triggers, as SDL reports them;
// - buttons 0 south, 1 east, 2 west, 3 north (by position on the pad, not by printed label),
//   4 left shoulder, 5 right shoulder, 6 back, 7 start, 8 left stick, 9 right stick, 10 guide;
//   Start also holds button 2, the game's pause button;
// - the hat: the d-pad's direction.
enum : int {
    kPadButtonSouth = 0,
    kPadButtonEast = 1,
    kPadButtonWest = 2,
    kPadButtonNorth = 3,
    kPadButtonStart = 7,
};

// The stick value a port reports for SDL's raw -32768 .. 32767.
int SnapStickAxis(int raw);

// Reads the pad into `out` in the layout above; false when it has come unplugged.
bool ReadGameController(SDL_GameController* pad, TJoystickPosition& out);

// Adds the mappings of a mapping-database file (one "GUID,name,mapping" line per pad). A missing file
// is no error; a file that cannot be read is reported in one line on standard error.
void AddControllerMappingsFile(const std::string& path);
