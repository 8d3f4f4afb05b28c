// The logo intro, played once after loading.
#pragma once

// The maker's logo zooming and fading in the middle of the screen (moved by y_offset pixels), until it
// has faded, Escape, Space, the left mouse button or joystick button 0 skips it, or the window is
// closed (then quit_game is 1).
void show_logo(int y_offset);
