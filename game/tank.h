// The three enemy tanks: they drive as one group along the ground and shoot straight up.
#pragma once

#include <array>

class tank_tag {
public:
    int state = 0;            // 1 in play, 0 destroyed
    float x = 0.0f, y = 0.0f; // centre of the body, pixels
    float dir = 0.0f;         // unused
    float whlrot = 0.0f;      // wheel rotation, degrees, unbounded
    int fctr = 0;             // body animation frame 0..4; the shot leaves as it wraps from 4 to 0
    int ftmr = 0;             // frames counted towards the next animation frame
    int shtmr = 0;            // unused
    int shoot = 0;            // 1 while this tank's shot is in flight

    // Puts the three tanks at their entry places right of the playfield; with create set, makes them
    // anew first. Draws two random numbers per tank, tank 0 first.
    static void init(int create);
    // Draws the tank and its three bouncing wheels; while fighting also moves, animates and fires it.
    void update(int index);
    // Updates tanks 0, 1, 2, then turns the group round at the edges of its range.
    static void update_all();
};

extern std::array<tank_tag, 3> tanks;
