// Debris particles and explosion sprites.
#include "game/effects.h"

#include "game/globals.h"
#include "game/resources.h"
#include "game/stereo_draw.h"
#include "platform/random.h"
#include "render/draw2d.h"

object_list<particle_tag> particle_list;
object_list<explode_tag> explode_list;

void particle_tag::set(float x, float y, float scale, int frame, int count) {
    for (int n = 1; n <= count; ++n) {
        particle_tag& p = particle_list.append();
        p.sc = scale;
        p.frame = frame;
        p.x = x;
        p.y = y;
        p.xstp = static_cast<float>(RandomRange(-4.5, 4.5));
        p.ystp = static_cast<float>(RandomRange(-1.5, -4.5)); // always upwards
    }
}

void particle_tag::update() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_LIGHT, 1.0f, 0.0f, sc, sc);
    // Over the top border the particle is hidden but keeps flying.
    if (y > 30.0f) draw3d.i3d(img_particle, x, y, frame, static_cast<float>(eye_offset), 0.0f, 2);
    x += xstp;
    y += ystp;
    ystp += 0.1f;
    // Drag towards zero; near zero the velocity flips sign by 0.02 each frame rather than stopping.
    if (xstp > 0.0f)
        xstp -= 0.02f;
    else
        xstp += 0.02f;
    if (x < 175.0f || x > 475.0f || y > 460.0f) particle_list.remove(*this);
}

void particle_tag::update_all() {
    particle_list.walk([](particle_tag& p) { p.update(); });
}

void particle_tag::destroy_all() {
    particle_list.clear();
}

void explode_tag::set(float x, float y, float spread, int count, int frame) {
    for (int n = 1; n <= count; ++n) {
        explode_tag& e = explode_list.append();
        e.frame = frame;
        e.al = static_cast<float>(RandomRange(0.5, 1.0));
        e.sc = static_cast<float>(RandomRange(1.0, 2.0));
        // The position sums are formed in double precision and only then stored.
        e.x = static_cast<float>(static_cast<double>(x) - static_cast<double>(spread) / 2.0 +
                                 RandomRange(static_cast<double>(spread), 0.0));
        e.y = static_cast<float>(static_cast<double>(y) - static_cast<double>(spread) / 2.0 +
                                 RandomRange(static_cast<double>(spread), 0.0));
        e.alst = static_cast<float>(RandomRange(-0.02, -0.04));
    }
}

void explode_tag::update() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_LIGHT, al, 0.0f, sc, sc);
    draw3d.i3d(img_particle, x, y, frame, static_cast<float>(eye_offset), 0.0f, 2);
    al += alst;
    sc -= 0.02f;
    if (!(al > 0.0f)) explode_list.remove(*this);
}

void explode_tag::update_all() {
    explode_list.walk([](explode_tag& e) { e.update(); });
}

void explode_tag::destroy_all() {
    explode_list.clear();
}
