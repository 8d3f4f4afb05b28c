// The game's images and font, made once at start-up from the embedded files.
#pragma once

#include "render/draw2d.h"
#include "render/image.h"

#include <optional>

extern TImagePtr img_space, img_background, img_pointer, img_pause, img_moon, img_surface, img_title,
    img_logo, img_wheel, img_player, img_particle, img_tank, img_lazer, img_border;
extern TImageFontPtr game_font;

// Where the world shows through the background overlay: the rectangle of the picture holding every
// pixel of img_background that is not opaque. Outside it the overlay, drawn over the world, covers
// everything. None until the overlay has loaded.
struct picture_rect {
    int x, y, w, h;
};
extern std::optional<picture_rect> overlay_window;

// The empty images of the right sizes, made before loading so that every image global is valid from
// the first frame on; the centred ones get their handle at the centre.
void create_image_placeholders();

// Loads the font (and makes it current) and the images, and starts loading the music and the ten
// sound effects (game/sound.h). Returns false, after one line on standard error, when an embedded
// picture or the font cannot be decoded: that is a broken build, not a missing file. A sound that
// cannot be loaded only stays silent.
bool load_resources();

// Makes the next texture the title's first frame would otherwise make: the drawable frames of an
// image that has none under the current graphics, then the font's glyphs of every printable
// character. False when there is nothing left to make. The intro calls it once a frame, while it has
// time to spare, so that the frame after the intro comes in time.
bool prepare_next_texture();
