// Shots (lazer_tag) and the fading copies they leave behind (ltrail_tag).
#pragma once

#include "game/object_list.h"

// Owner ids of shots: 0 player1, 1 player2, 2..4 tanks[0..2].
class lazer_tag : public list_slot {
public:
    int frame = 0;                // frame of img_lazer: 0 green, 1 red, 2 pink
    float x = 0.0f, y = 0.0f;     // centre, pixels
    float xst = 0.0f, yst = 0.0f; // movement per frame, pixels
    int id = 0;                   // owner

    // Makes a shot; a player's shot marks the player as shooting and sounds.
    static void fire(float x, float y, float x_step, float y_step, int id, int frame);
    // Draws the shot, leaves a trail copy, tests its targets, moves it, and ends it at the playfield's edge.
    void update();
    static void update_all();
    // Ends every shot; the owners' shoot flags are left as they are.
    static void destroy_all();
};

class ltrail_tag : public list_slot {
public:
    float x = 0.0f, y = 0.0f;
    float al = 0.0f; // alpha, 1.0 when made, fading by 0.02 per frame
    int frame = 0;
    int id = 0; // owner of the shot that left it

    static void set(float x, float y, int frame, int id);
    // Draws the copy and fades it; a player's copy also goes once it is above the player's craft.
    void update();
    static void update_all();
    static void destroy_all();
};

extern object_list<lazer_tag> lazer_list;
extern object_list<ltrail_tag> ltrail_list;
