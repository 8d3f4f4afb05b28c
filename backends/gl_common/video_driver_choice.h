// Which SDL video drivers the GL back-ends may use, from the displays the environment announces.
#pragma once

#include <string>

// The SDL_HINT_VIDEODRIVER list: only drivers that show a picture to a player (left to itself, SDL
// falls back to its offscreen driver when no display answers, and the game would run invisibly instead
// of saying so). Wayland is tried only where a compositor is announced and X11 only where a display
// is, so that their failures print nothing; with neither announced (a text console) the kernel's mode
// setting is the one driver. Null or empty arguments count as not announced.
std::string VideoDriverChoice(const char* x11_display, const char* wayland_display);
