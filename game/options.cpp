// Parses the command line into game_options; any fault becomes one message naming the option.
#include "game/options.h"

#include "platform/printable_text.h"

#include <charconv>

namespace {

// Whole decimal number in [lo, hi]; the whole text must be the number.
template <typename T> std::optional<T> parse_number(const std::string& text, T lo, T hi) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

} // namespace

const char* options_help_text() {
    return "usage: brakkovane3d [options]\n"
           "  --video NAME        sdl (default) or null: no window, no display or sound card\n"
           "                      needed; the picture is still drawn (screenshots work)\n"
           "  --renderer NAME     gl1 (OpenGL 1.x) or gles2 (OpenGL ES 2.0); default: gl1\n"
           "                      where a compatibility context opens, else gles2\n"
           "  --windowed          open a 640x480 window instead of full screen\n"
           "  --scale N           window size factor with --windowed (1-8, default 1)\n"
           "  --seed N            seed the random generator with N instead of the clock\n"
           "  --frames N          close the game after the N-th presented frame\n"
           "  --unpaced           present frames as fast as possible (no 60 Hz pacing)\n"
           "  --record FILE       record the player's input to FILE\n"
           "  --replay FILE       replay recorded input from FILE instead of the devices\n"
           "  --trace FILE        write one JSON line of game state per presented frame\n"
           "  --screenshot N:FILE save the picture of frame N as a PNG (repeatable)\n"
           "  --timedemo FILE     replay FILE unpaced and print frame-time statistics\n"
           "  --startup-time      print how long start-up took to the first presented frame\n"
           "  --data-dir DIR      read the sounds from DIR and keep the saved files there\n"
           "  --help              show this text\n"
           "\n"
           "The sounds come from the working directory's data folder when it has one (a\n"
           "checkout, a portable folder), which then also keeps the high score\n"
           "(hiscore.dat) and the 3D settings (anaglyph3d.dat). Otherwise they come from\n"
           "the installed data, and the two files are kept in $XDG_DATA_HOME/brakkovane3d\n"
           "(by default ~/.local/share/brakkovane3d).\n";
}

parse_result parse_options(const std::vector<std::string>& args) {
    parse_result result;
    game_options& o = result.options;
    auto fail = [&](const std::string& message) {
        result.error = message;
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--windowed") {
            o.windowed = true;
        } else if (arg == "--unpaced") {
            o.unpaced = true;
        } else if (arg == "--startup-time") {
            o.startup_time = true;
        } else if (arg == "--scale") {
            const std::string* v = value();
            auto n = v ? parse_number<int>(*v, 1, 8) : std::nullopt;
            if (!n) return fail("--scale needs a whole number from 1 to 8");
            o.scale = *n;
        } else if (arg == "--seed") {
            const std::string* v = value();
            auto n = v ? parse_number<uint32_t>(*v, 0, UINT32_MAX) : std::nullopt;
            if (!n) return fail("--seed needs a whole number from 0 to 4294967295");
            o.seed = *n;
        } else if (arg == "--frames") {
            const std::string* v = value();
            auto n = v ? parse_number<int64_t>(*v, 1, INT64_MAX) : std::nullopt;
            if (!n) return fail("--frames needs a whole number of at least 1");
            o.frames = *n;
        } else if (arg == "--video") {
            const std::string* v = value();
            if (!v || v->empty()) return fail("--video needs a back-end name (sdl or null)");
            o.video = *v;
        } else if (arg == "--data-dir") {
            const std::string* v = value();
            if (!v || v->empty()) return fail("--data-dir needs a folder name");
            o.data_dir = *v;
        } else if (arg == "--renderer") {
            const std::string* v = value();
            if (!v || v->empty()) return fail("--renderer needs a renderer name (gl1 or gles2)");
            o.renderer = *v;
        } else if (arg == "--record" || arg == "--replay" || arg == "--trace" || arg == "--timedemo") {
            const std::string* v = value();
            if (!v || v->empty()) return fail(arg + " needs a file name");
            (arg == "--record"   ? o.record_path
             : arg == "--replay" ? o.replay_path
             : arg == "--trace"  ? o.trace_path
                                 : o.timedemo_path) = *v;
        } else if (arg == "--screenshot") {
            const std::string* v = value();
            size_t colon = v ? v->find(':') : std::string::npos;
            auto n = colon != std::string::npos ? parse_number<int64_t>(v->substr(0, colon), 1, INT64_MAX)
                                                : std::nullopt;
            if (!n || colon + 1 >= v->size()) return fail("--screenshot needs FRAME:FILE, e.g. 120:shot.png");
            o.screenshots.push_back({*n, v->substr(colon + 1)});
        } else {
            return fail("unknown option " + EscapeForMessage(arg) + " (see --help)");
        }
    }
    if (!o.record_path.empty() && (!o.replay_path.empty() || !o.timedemo_path.empty()))
        return fail("--record cannot be combined with --replay or --timedemo");
    if (!o.replay_path.empty() && !o.timedemo_path.empty())
        return fail("--replay and --timedemo both name an input file; give one");
    if (!o.timedemo_path.empty()) {
        o.replay_path = o.timedemo_path;
        o.unpaced = true;
    }
    return result;
}
