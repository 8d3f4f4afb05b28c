// The three scrolling background layers: star field, moonscape and the surface the tanks drive on.
#pragma once

#include <array>

class space_tag {
public:
    float x = 0.0f, y = 0.0f; // top-left corner on screen, pixels

    static void init();
    // Draws the tile, then moves it left by speed / 3 pixels, wrapping to the right edge.
    void scroll(float speed);
};

class moonscape_tag {
public:
    float x = 0.0f, y = 0.0f;
    int frame = 0;

    static void init();
    // Draws the tile, then moves it left by speed / 2 pixels.
    void scroll(float speed);
};

class surface_tag {
public:
    float x = 0.0f, y = 0.0f;
    int frame = 0;

    static void init();
    // Draws the tile, then moves it left by speed pixels.
    void scroll(float speed);
    // Draws and scrolls every tile, back to front: stars, moonscape, surface. Called once per frame.
    static void scroll_all(float speed);
};

extern std::array<space_tag, 2> space_layers;
extern std::array<moonscape_tag, 2> moon_layers;
extern std::array<surface_tag, 3> surface_layers;
