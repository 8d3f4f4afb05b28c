// The scrolling background layers.
#include "game/layers.h"

#include "game/globals.h"
#include "game/resources.h"
#include "game/stereo_draw.h"

std::array<space_tag, 2> space_layers;
std::array<moonscape_tag, 2> moon_layers;
std::array<surface_tag, 3> surface_layers;

namespace {

// Where a tile that has left the playfield on the left comes back in; the jump does not keep the
// distance to the neighbouring tile, so the spacing drifts by a few pixels.
constexpr float wrap_to_x = 469.0f;

// The star field and the moonscape lie behind the screen: their eye offsets are smaller than the
// play's, and they are drawn with one pass only, so they stay dimmer in 3D.
void scroll_tile(float& x, float y, const TImagePtr& image, int frame, float eye, int passes, float step,
                 float wrap_below) {
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(image, x, y, frame, eye, 0.0f, passes);
    x -= step;
    if (x < wrap_below) x = wrap_to_x;
}

} // namespace

void space_tag::init() {
    for (int i = 0; i < 2; ++i) {
        space_layers[i] = space_tag{};
        space_layers[i].y = 25.0f;
        space_layers[i].x = static_cast<float>(470 - 300 * i);
    }
}

void space_tag::scroll(float speed) {
    scroll_tile(x, y, img_space, 0, static_cast<float>(eye_offset - 8), 1, speed / 3.0f, -130.0f);
}

void moonscape_tag::init() {
    for (int i = 0; i < 2; ++i) {
        moon_layers[i] = moonscape_tag{};
        moon_layers[i].y = 160.0f;
        moon_layers[i].x = static_cast<float>(470 - 300 * i);
        moon_layers[i].frame = i;
    }
}

void moonscape_tag::scroll(float speed) {
    scroll_tile(x, y, img_moon, frame, static_cast<float>(eye_offset - 4), 1, speed / 2.0f, -120.0f);
}

void surface_tag::init() {
    static constexpr int frames[3] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        surface_layers[i] = surface_tag{};
        surface_layers[i].x = static_cast<float>(470 - 150 * i);
        surface_layers[i].y = 385.0f;
        surface_layers[i].frame = frames[i];
    }
}

void surface_tag::scroll(float speed) {
    scroll_tile(x, y, img_surface, frame, static_cast<float>(eye_offset), 2, speed, 20.0f);
}

void surface_tag::scroll_all(float speed) {
    for (space_tag& tile : space_layers) tile.scroll(speed);
    for (moonscape_tag& tile : moon_layers) tile.scroll(speed);
    for (surface_tag& tile : surface_layers) tile.scroll(speed);
}
