// The players' craft: drawing and animation, the collision of the two craft, controls, and the wait
// for released buttons.
#pragma once

class player_tag {
public:
    int score = 0;
    int lives = 0;            // 6 at a new game; out of the game at 0
    int state = 0;            // 1 in play, 0 out
    int fctr = 0;             // animation frame 0..4
    int ftmr = 0;             // frames towards the next animation frame, 0..4
    float x = 0.0f, y = 0.0f; // centre of the craft, pixels
    int shoot = 0;            // 1 while this player's shot is in flight
    int shotx = 0, shoty = 0; // unused
    int dthctr = 0;           // unused

    // Starts a new game (full != 0) or the next stage; defined with the stage flow.
    static void reset(int full);
    // Called on player1: animates, draws both craft and pushes them apart when they touch.
    void update();
    // Called on player1: moves both craft or fires from them, from the keyboard and the joysticks.
    void get_inputs();
    // Waits until the mouse and joystick buttons are released and their pending presses consumed.
    void flush_inputs();
};

extern player_tag player1, player2;
