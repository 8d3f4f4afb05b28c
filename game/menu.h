// The title screen and the pause menu: eight pointer-driven items over the playfield.
#pragma once

#include <string>

// The credit line under the menu.
extern const char* const credit_text;

// The menu item under pointer y: (y - 210) / 20 truncated for y above 200, else -1; 8 and more
// (y 370 and below the last item) select nothing either, as no item has that index.
int menu_item_at(int y);

// The text of item i (label and value) in the current game_state.
std::string menu_item_text(int i);

// One frame of the menu (game_state 4 title, 3 paused): draws it with the pointer and acts on a click
// (the left button, joystick button 0 of port 0, or Return).
void run_menu();

// Lets joystick port 0 push the pointer 2 pixels per frame along each axis held at an end.
void joystick_pointer();

// Up and Down arrows put the pointer on the centre of the previous or next item (x 320, y of the
// item's row), never beyond the first or last item; a pointer off the items goes to the nearest.
void keyboard_pointer();
