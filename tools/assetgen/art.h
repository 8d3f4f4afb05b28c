// The picture makers of the asset generator: each draws one kind of art into a float canvas.
#pragma once

#include "tools/assetgen/canvas.h"

// Where a sprite's shapes land on a canvas: canvas pixel = sprite pixel * scale + offset. The sheet
// draws sprites 1:1; the desktop icons draw the same shapes larger.
struct Placement {
    float scale = 1.0f;
    Vec offset{};
};

// Sprites (sprites.cpp); each draws one frame into a canvas of the frame's size.
void draw_player(Canvas& c, int frame, int player,
                 Placement at = {});  // player 0 green, 1 red; frames 0..4 of rim lights
void draw_tank(Canvas& c, int frame); // frames 0..4: the cannon charging
void draw_wheel(Canvas& c);
void draw_lazer(Canvas& c, int kind);    // 0 green, 1 red, 2 pink
void draw_particle(Canvas& c, int kind); // 0 yellow, 1 red, 2 blue, 3 green, 4 magenta
Canvas make_pointer();

// Ground and sky (terrain.cpp).
void draw_surface_tile(Canvas& c, int frame);
Canvas make_moonscape_sheet();
Canvas make_star_field();

// Playfield frame (frame_art.cpp).
Canvas make_border_sheet();
Canvas make_overlay();

// Lettering art (logos.cpp).
void draw_title(Canvas& c);
void draw_game_logo(Canvas& c);
Canvas make_maker_logo();

// The assembled sprite sheet (sprite_sheet.cpp).
Canvas make_sprite_sheet();

// The desktop icon at size x size pixels, straight alpha (icon.cpp).
Canvas make_icon(int size);
