// Shots and trails: drawing, hits on tanks and players, lives, scoring and leaving the playfield.
#include "game/lazer.h"

#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "game/tank.h"
#include "render/collision.h"
#include "render/draw2d.h"

object_list<lazer_tag> lazer_list;
object_list<ltrail_tag> ltrail_list;

namespace {

// Effect colours: frames of img_particle.
constexpr int colour_player1 = 3, colour_player2 = 1, colour_tank = 2, colour_tank_shot = 4;

// The box a shot may fly in, pixels; the bottom is the ground.
constexpr float box_left = 169.0f, box_right = 469.0f, box_top = 30.0f, box_ground = 390.0f;

void small_burst(float x, float y, int colour) {
    explode_tag::set(x, y, 20.0f, 40, colour);
    particle_tag::set(x, y, 0.5f, colour, 20);
}

void tank_wreck(const tank_tag& tank) {
    explode_tag::set(tank.x, tank.y, 60.0f, 160, colour_tank);
    particle_tag::set(tank.x, tank.y, 1.0f, colour_tank, 50);
}

// The sprites burst around the craft, the debris flies from where the shot struck.
void craft_wreck(const player_tag& craft, float shot_x, float shot_y, int colour) {
    explode_tag::set(craft.x, craft.y, 50.0f, 160, colour);
    particle_tag::set(shot_x, shot_y, 1.0f, colour, 50);
}

void destroy_craft(player_tag& craft, float shot_x, float shot_y, int colour) {
    craft.lives = 0;
    craft.state = 0;
    play_sound(snd_explode);
    craft_wreck(craft, shot_x, shot_y, colour);
}

} // namespace

void lazer_tag::fire(float x, float y, float x_step, float y_step, int id, int frame) {
    lazer_tag& shot = lazer_list.append();
    shot.frame = frame;
    shot.x = x;
    shot.y = y;
    shot.xst = x_step;
    shot.yst = y_step;
    shot.id = id;
    if (id == 0) player1.shoot = 1;
    if (id == 1) player2.shoot = 1;
    // Tanks keep to one shot in flight as the players do; their update fires only while this is 0.
    if (id >= 2 && id <= 4) tanks[id - 2].shoot = 1;
    if (id == 0 || id == 1) play_sound(snd_lazer);
}

void lazer_tag::update() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_LIGHT, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(img_lazer, x, y, frame, static_cast<float>(eye_offset), 0.0f, 2);
    ltrail_tag::set(x, y, frame, id);

    // Taking the shot out of its list does not end this update: the later steps still run on its
    // position, as the object stays valid until the list walk is over.
    if (id == 0 || id == 1) {
        player_tag& shooter = id == 0 ? player1 : player2;
        const int colour = id == 0 ? colour_player1 : colour_player2;
        for (tank_tag& tank : tanks) {
            if (tank.state != 1) continue;
            if (!ImagesCollide(img_lazer, static_cast<int>(x), static_cast<int>(y), 0, img_tank,
                               static_cast<int>(tank.x), static_cast<int>(tank.y), 0))
                continue;
            if (tank.x - 8.0f < x && x < tank.x + 8.0f) {
                tank.state = 0;
                // Flying low is safer, so a kill from low down is worth less.
                shooter.score += shooter.y <= 150.0f ? stage * 25 : stage * 5;
                small_burst(x, y, colour);
                play_sound(snd_explode);
                tank_wreck(tank);
            } else {
                small_burst(x, y, colour);
                play_sound(snd_smexpl);
                play_sound(snd_ufohit);
            }
            lazer_list.remove(*this);
            shooter.shoot = 0;
        }
    }

    if (id >= 2) {
        auto test_craft = [this](player_tag& craft, int colour) {
            if (!ImagesCollide(img_lazer, static_cast<int>(x), static_cast<int>(y), 0, img_player,
                               static_cast<int>(craft.x), static_cast<int>(craft.y), 0))
                return;
            if (craft.x - 2.0f <= x && x < craft.x + 2.0f) {
                // A hit on the craft's middle takes every life at once.
                destroy_craft(craft, x, y, colour);
            } else {
                craft.lives -= 1;
                small_burst(x, y, colour_tank_shot);
                if (craft.lives <= 0) {
                    destroy_craft(craft, x, y, colour);
                } else {
                    play_sound(snd_smexpl);
                    play_sound(snd_tankhit);
                    particle_tag::set(x, y, 0.5f, colour, 20);
                }
            }
            tanks[id - 2].shoot = 0;
            lazer_list.remove(*this);
        };
        if (player1.state == 1) test_craft(player1, colour_player1);
        if (versus != 0 && player2.state == 1) test_craft(player2, colour_player2);
    }

    x += xst;
    y += yst;

    if (y < box_top || y > box_ground || x < box_left || x > box_right) {
        if (id == 0) {
            player1.shoot = 0;
            small_burst(x, y, colour_player1);
        } else if (id == 1) {
            player2.shoot = 0;
            small_burst(x, y, colour_player2);
        } else {
            tanks[id - 2].shoot = 0;
        }
        if (y > box_ground) play_sound(snd_thud);
        if (id >= 2) small_burst(x, y, colour_tank_shot);
        lazer_list.remove(*this);
    }
}

void lazer_tag::update_all() {
    lazer_list.walk([](lazer_tag& shot) { shot.update(); });
}

void lazer_tag::destroy_all() {
    lazer_list.clear();
}

void ltrail_tag::set(float x, float y, int frame, int id) {
    ltrail_tag& copy = ltrail_list.append();
    copy.x = x;
    copy.y = y;
    copy.frame = frame;
    copy.id = id;
    copy.al = 1.0f;
}

void ltrail_tag::update() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_LIGHT, al, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(img_lazer, x, y, frame, static_cast<float>(eye_offset), 0.0f, 2);
    al -= 0.02f;
    if (!(al > 0.0f)) ltrail_list.remove(*this);
    // A player's trail never shows above the craft that fired it, even when the craft moves down.
    if (id == 0 && y < player1.y) ltrail_list.remove(*this);
    if (id == 1 && y < player2.y) ltrail_list.remove(*this);
}

void ltrail_tag::update_all() {
    ltrail_list.walk([](ltrail_tag& copy) { copy.update(); });
}

void ltrail_tag::destroy_all() {
    ltrail_list.clear();
}
