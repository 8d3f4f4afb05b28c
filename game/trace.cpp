// Formats trace lines; the field order is fixed so that two runs compare byte for byte.
#include "game/trace.h"

#include <charconv>

namespace {

void put_float(std::string& out, float v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec; // 32 characters always hold a float
    out.append(buf, end);
}

void put_int(std::string& out, int64_t v) {
    out += std::to_string(v);
}

void put_string(std::string& out, const std::string& s) {
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

void put_player(std::string& out, const trace_player& p) {
    out += "{\"x\":";
    put_float(out, p.x);
    out += ",\"y\":";
    put_float(out, p.y);
    for (auto [name, value] : {std::pair{"score", p.score},
                               {"lives", p.lives},
                               {"state", p.state},
                               {"shoot", p.shoot},
                               {"fctr", p.fctr},
                               {"ftmr", p.ftmr}}) {
        out += ",\"";
        out += name;
        out += "\":";
        put_int(out, value);
    }
    out += '}';
}

void put_tank(std::string& out, const trace_tank& t) {
    out += "{\"x\":";
    put_float(out, t.x);
    out += ",\"y\":";
    put_float(out, t.y);
    for (auto [name, value] :
         {std::pair{"state", t.state}, {"fctr", t.fctr}, {"ftmr", t.ftmr}, {"shoot", t.shoot}}) {
        out += ",\"";
        out += name;
        out += "\":";
        put_int(out, value);
    }
    out += ",\"whlrot\":";
    put_float(out, t.whlrot);
    out += '}';
}

} // namespace

std::string format_trace_line(const trace_snapshot& s) {
    std::string out;
    out.reserve(640);
    auto field = [&](const char* name) {
        if (out.size() > 1) out += ',';
        out += '"';
        out += name;
        out += "\":";
    };
    out += '{';
    field("f"), put_int(out, s.frame);
    field("state"), put_int(out, s.state);
    field("phase"), put_int(out, s.phase);
    field("stage"), put_int(out, s.stage);
    field("quit"), put_int(out, s.quit);
    field("hiscore"), put_int(out, s.hiscore);
    field("tank_speed"), put_float(out, s.tank_speed);
    field("tank_vx"), put_float(out, s.tank_vx);
    field("versus"), put_int(out, s.versus);
    field("mode_3d"), put_int(out, s.mode_3d);
    field("eye_offset"), put_int(out, s.eye_offset);
    field("retro_fx"), put_int(out, s.retro_fx);
    field("sound_level"), put_int(out, s.sound_level);
    field("music_level"), put_int(out, s.music_level);
    field("gameover_timer"), put_int(out, s.gameover_timer);
    field("joysticks"), put_int(out, s.joysticks);
    field("mouse");
    out += '[';
    put_int(out, s.mouse_x);
    out += ',';
    put_int(out, s.mouse_y);
    out += ']';
    field("p1"), put_player(out, s.p1);
    field("p2"), put_player(out, s.p2);
    field("tanks");
    out += '[';
    for (size_t i = 0; i < s.tanks.size(); ++i) {
        if (i) out += ',';
        put_tank(out, s.tanks[i]);
    }
    out += ']';
    field("counts");
    out += "{\"lazer\":";
    put_int(out, s.lazer_count);
    out += ",\"ltrail\":";
    put_int(out, s.ltrail_count);
    out += ",\"explode\":";
    put_int(out, s.explode_count);
    out += ",\"particle\":";
    put_int(out, s.particle_count);
    out += '}';
    field("sounds");
    out += '[';
    for (size_t i = 0; i < s.sounds.size(); ++i) {
        if (i) out += ',';
        put_string(out, s.sounds[i]);
    }
    out += ']';
    field("music"), put_int(out, s.music);
    out += '}';
    return out;
}
