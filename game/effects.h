// Effect sprites: debris particles that burst up and fall, and explosion sprites that shrink and fade.
#pragma once

#include "game/object_list.h"

class particle_tag : public list_slot {
public:
    float x = 0.0f, y = 0.0f;       // centre, pixels
    float xstp = 0.0f, ystp = 0.0f; // velocity, pixels per frame
    float sc = 0.0f;                // drawing scale
    int frame = 0;                  // frame of img_particle: 1 red, 2 blue, 3 green, 4 magenta

    // count particles at (x, y), each with a random sideways and upward velocity.
    static void set(float x, float y, float scale, int frame, int count);
    // Draws the particle (not while it is above the playfield), then moves it under gravity and drag.
    void update();
    static void update_all();
    static void destroy_all();
};

class explode_tag : public list_slot {
public:
    float x = 0.0f, y = 0.0f;
    float sc = 0.0f;   // drawing scale, shrinking by 0.02 per frame
    float al = 0.0f;   // alpha
    float alst = 0.0f; // change of al per frame, negative
    int frame = 0;

    // count sprites scattered over the square of side `spread` centred on (x, y). Note the order:
    // count before frame, unlike particle_tag::set.
    static void set(float x, float y, float spread, int count, int frame);
    // Draws the sprite, then fades and shrinks it; it goes once its alpha is used up.
    void update();
    static void update_all();
    static void destroy_all();
};

extern object_list<particle_tag> particle_list;
extern object_list<explode_tag> explode_list;
