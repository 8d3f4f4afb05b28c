// Shared by the end-to-end games: a replay script built event by event, the per-frame trace read
// back by key path, and one replayed run of the real binary.
#pragma once

#include "tests/game_process.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace game_replay {

// A replay script built event by event in any order: frames count presented frames, as the harness
// reads them; events of one frame keep the order they were added in.
class replay {
public:
    replay& key(int frame, int code) {
        return line(frame, "key " + std::to_string(code) + " down")
            .line(frame + 1, "key " + std::to_string(code) + " up");
    }
    replay& hold(int frame, int code, int frames) {
        return line(frame, "key " + std::to_string(code) + " down")
            .line(frame + frames, "key " + std::to_string(code) + " up");
    }
    replay& click(int frame, int x, int y) {
        return line(frame, "mouse " + std::to_string(x) + " " + std::to_string(y))
            .line(frame, "button 1 down")
            .line(frame + 1, "button 1 up");
    }
    replay& joy_attach(int frame, int port) { return line(frame, "joy " + std::to_string(port) + " attach"); }
    replay& joy_button(int frame, int port, int button) {
        const std::string b = "joy " + std::to_string(port) + " button " + std::to_string(button);
        return line(frame, b + " down").line(frame + 1, b + " up");
    }
    replay& joy_axis(int frame, int port, char axis, int value) {
        return line(frame, "joy " + std::to_string(port) + " axis " + axis + " " + std::to_string(value));
    }
    replay& close(int frame) { return line(frame, "close"); }
    // Space in frame 5 skips the maker's logo: the title runs from frame 6 on.
    replay& skip_intro() { return key(5, 32); }
    replay& line(int frame, const std::string& event) {
        events_.emplace_back(frame, event);
        return *this;
    }
    std::string text() const {
        std::vector<std::pair<int, std::string>> sorted = events_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text = "seed 1\n";
        for (const auto& [frame, event] : sorted) text += std::to_string(frame) + " " + event + "\n";
        return text;
    }

private:
    std::vector<std::pair<int, std::string>> events_;
};

// One trace line, read by key path ("p1.lives", "tanks.1.x").
struct frame_state {
    std::string line;

    double num(const std::string& path) const {
        size_t at = 0;
        std::string rest = path;
        while (true) {
            const size_t dot = rest.find('.');
            const std::string part = rest.substr(0, dot);
            if (!part.empty() && std::isdigit(static_cast<unsigned char>(part[0]))) {
                // The n-th element of the array the previous key names: an object or a number.
                const int n = std::stoi(part);
                if (line.compare(at, 2, "[{") == 0) {
                    for (int k = 0; k <= n; ++k) at = line.find('{', at + 1);
                } else {
                    ++at;
                    for (int k = 0; k < n; ++k) at = line.find(',', at) + 1;
                }
            } else {
                at = line.find("\"" + part + "\":", at);
                if (at == std::string::npos) return NAN;
                at += part.size() + 3;
            }
            if (dot == std::string::npos) break;
            rest = rest.substr(dot + 1);
        }
        return std::strtod(line.c_str() + at, nullptr);
    }
    int i(const std::string& path) const { return static_cast<int>(num(path)); }
    bool sound(const std::string& name) const {
        const size_t from = line.find("\"sounds\":[");
        const size_t to = line.find(']', from);
        return line.substr(from, to - from).find("\"" + name + "\"") != std::string::npos;
    }
};

struct game_run {
    process_result result;
    std::vector<frame_state> frames; // frames[f - 1] is frame f
    const frame_state& at(int f) const { return frames.at(static_cast<size_t>(f - 1)); }
    // The first frame at or after `from` for which pred holds, or 0.
    template <class P> int find(int from, P pred) const {
        for (int f = from; f <= static_cast<int>(frames.size()); ++f)
            if (pred(at(f))) return f;
        return 0;
    }
};

enum class pace { unpaced, real_time };

// The back-ends a replayed game runs on: the null devices (the rules, no display needed) or the
// player's SDL window with OpenGL and a sound output.
enum class devices { null, sdl };

// Real time runs at the display's 60 Hz, so that sounds start as far apart as they do for a player.
inline game_run play(const temp_dir& dir, const replay& input, std::vector<std::string> extra = {},
                     pace speed = pace::unpaced, const std::vector<std::string>& env = {},
                     devices on = devices::null) {
    std::ofstream(dir / "input.txt") << input.text();
    std::vector<std::string> args = {"--video",          on == devices::null ? "null" : "sdl",
                                     "--windowed",       "--replay",
                                     dir / "input.txt",  "--trace",
                                     dir / "trace.jsonl"};
    if (speed == pace::unpaced) args.push_back("--unpaced");
    args.insert(args.end(), extra.begin(), extra.end());
    game_run run;
    run.result = run_game_process(dir.path, args, env, 240);
    for (std::string& l : read_lines(dir / "trace.jsonl")) run.frames.push_back({std::move(l)});
    return run;
}

inline constexpr int key_return = 13, key_escape = 27, key_space = 32, key_left = 37, key_up = 38,
                     key_right = 39, key_down = 40, key_fire = 162;

// Menu item rows under the pointer at x 320.
inline int item_y(int item) {
    return 220 + 20 * item;
}

// Player 1 flies from the middle to three posts in turn, over the left, right and middle tank, and
// fires for 150 frames at each, from frame `from` until `until`; returns the frame after the last burst.
inline int fire_from_three_posts(replay& in, int from, int until) {
    int f = from, x = 320, post = 0;
    const int posts[] = {230, 410, 320};
    while (f < until) {
        const int target = posts[post++ % 3];
        const int steps = std::abs(target - x) / 2;
        in.hold(f, target < x ? key_left : key_right, steps);
        f += steps + 1;
        x = target;
        in.hold(f, key_fire, 150);
        f += 151;
    }
    return f;
}

} // namespace game_replay
