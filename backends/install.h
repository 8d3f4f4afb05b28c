// The one place that chooses the back-ends: the system driver, joysticks, audio output and drawing.
#pragma once

#include <string>

// What the command line chose. video: "sdl" (a window, input devices and sound through SDL) or "null"
// (no window, no X server, no sound card: software picture, silent output, only virtual joysticks).
struct TBackendChoice {
    std::string video = "sdl";
    // The drawing back-end of "sdl": "gl1" (OpenGL 1.x in a compatibility context), "gles2" (OpenGL ES
    // 2.0), or empty: gl1 where a compatibility context opens, else gles2. Ignored by "null".
    std::string renderer;
    // A file of pad mappings ("GUID,name,mapping" lines) for the back-ends that read pads; a missing
    // file is no error.
    std::string controller_mappings;
};

// Installs every back-end of the choice, in this order: system driver (events, pointer), joystick
// back-end, audio output device, drawing back-end. Called once by main() before the engine starts;
// nothing else installs a back-end. False, with `error` set, for a name it does not know.
bool InstallBackends(const TBackendChoice& choice, std::string& error);

// The names --video accepts, for help texts: "sdl, null".
const char* VideoBackendNames();
// The names --renderer accepts: "gl1, gles2".
const char* RendererNames();
