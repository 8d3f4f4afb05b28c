// The keys, mouse buttons and joystick buttons the game reads, and where the menu pointer starts.
#pragma once

// Key codes of the polled input (Windows virtual-key numbers). The keypad's Enter has no number of
// its own there: it arrives as Return.
constexpr int key_return = 13;
constexpr int key_escape = 27;
constexpr int key_space = 32;
constexpr int key_left = 37;
constexpr int key_up = 38;
constexpr int key_right = 39;
constexpr int key_down = 40;
constexpr int key_left_control = 162;

// Mouse buttons of the polled input: 1 left, 2 right.
constexpr int mouse_left = 1;

// Joystick buttons: 0 fires and clicks in the menus, 2 pauses and resumes. Players 1 and 2 read
// ports 0 and 1.
constexpr int joy_fire = 0;
constexpr int joy_pause = 2;
constexpr int port_player1 = 0;
constexpr int port_player2 = 1;

// Pad mappings beside the sounds, for pads the system does not know; read when present.
inline constexpr const char* controller_mappings_path = "Data\\gamecontrollerdb.txt";

// Where the menu pointer is put whenever a menu appears.
constexpr int pointer_home_x = 320;
constexpr int pointer_home_y = 220;
