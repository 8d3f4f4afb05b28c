// The enemy tanks.
#include "game/tank.h"

#include "game/globals.h"
#include "game/lazer.h"
#include "game/resources.h"
#include "game/stereo_draw.h"
#include "platform/random.h"
#include "render/draw2d.h"

std::array<tank_tag, 3> tanks;

namespace {

// The range of the group: it turns when a tank in play reaches either edge.
constexpr float range_left = 200.0f, range_right = 440.0f;

// Frames between animation steps: a step comes when ftmr reaches this, and ftmr restarts at 0..9.
constexpr int animation_frames = 60;

} // namespace

void tank_tag::init(int create) {
    for (int i = 0; i < 3; ++i) {
        tank_tag& tank = tanks[i];
        if (create != 0) tank = tank_tag{};
        tank.x = static_cast<float>(560 + 90 * i);
        tank.y = 370.0f;
        tank.ftmr = 0;
        tank.fctr = static_cast<int>(RandomRange(4.0, 0.0));
        tank.shoot = 0;
        tank.state = 1;
        tank.whlrot = static_cast<float>(RandomRange(360.0, 0.0));
    }
}

void tank_tag::update(int index) {
    if (state == 0) return;
    const float eye = static_cast<float>(eye_offset);
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(img_tank, x, y, fctr, eye, 0.0f, 2);
    draw3d.sip(BLEND_MASK, 1.0f, whlrot, 1.0f, 1.0f);
    for (float wheel_x : {x - 20.0f, x, x + 20.0f}) {
        // Each wheel bounces on its own: a fresh 0..5 pixel drop every frame.
        const int bounce = static_cast<int>(RandomRange(6.0, 0.0));
        draw3d.i3d(img_wheel, wheel_x, y + 12.0f + static_cast<float>(bounce), 0, eye, 0.0f, 2);
    }

    if (stage_phase != 1) return;
    x += tank_vx;
    whlrot += tank_vx * 4.0f;
    ftmr += 1;
    if (ftmr >= animation_frames) {
        ftmr = static_cast<int>(RandomRange(10.0, 0.0));
        fctr += 1;
        if (fctr > 4) {
            fctr = 0;
            if (shoot == 0) lazer_tag::fire(x, y - 20.0f, 0.0f, -6.0f, index + 2, 2);
        }
    }
}

void tank_tag::update_all() {
    for (int i = 0; i < 3; ++i) tanks[i].update(i);
    // A later tank wins; the new velocity applies from the next frame.
    for (const tank_tag& tank : tanks) {
        if (tank.state != 1) continue;
        if (tank.x <= range_left) tank_vx = tank_speed;
        if (tank.x >= range_right) tank_vx = -tank_speed;
    }
}
