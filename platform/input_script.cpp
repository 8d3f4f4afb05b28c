// Parser and writer of recorded-input scripts; every fault names its line.
#include "platform/input_script.h"

#include "platform/printable_text.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr const char* kAxisNames = "xyzruv";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A word of the input inside a message, quoted and escaped.
std::string quoted(std::string_view word) {
    return "'" + EscapeForMessage(word) + "'";
}

std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

template <typename T> bool parse_int(std::string_view text, T lo, T hi, T& out) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return false;
    out = value;
    return true;
}

// Parses the words after the frame number into `ev`; returns the problem, or empty on success.
std::string parse_event(const std::vector<std::string_view>& w, TScriptEvent& ev) {
    const std::string_view name = w[1];
    const size_t argc = w.size() - 2;
    auto want = [&](size_t n) -> std::string {
        return argc == n ? "" : quoted(name) + " takes " + std::to_string(n) + " argument(s)";
    };
    auto updown = [&](std::string_view word, TScriptEventKind down, TScriptEventKind up) -> bool {
        if (word == "down")
            ev.kind = down;
        else if (word == "up")
            ev.kind = up;
        else
            return false;
        return true;
    };
    std::string problem;
    if (name == "key") {
        if (!(problem = want(2)).empty()) return problem;
        if (!parse_int(w[2], 1, 255, ev.a)) return "key code must be 1..255";
        if (!updown(w[3], TScriptEventKind::KeyDown, TScriptEventKind::KeyUp)) return "expected down or up";
    } else if (name == "char") {
        if (!(problem = want(1)).empty()) return problem;
        if (!parse_int(w[2], 1, 0x10FFFF, ev.a)) return "character code must be 1..1114111";
        ev.kind = TScriptEventKind::KeyChar;
    } else if (name == "mouse") {
        if (!(problem = want(2)).empty()) return problem;
        if (!parse_int(w[2], -32768, 32767, ev.a) || !parse_int(w[3], -32768, 32767, ev.b))
            return "mouse position must be two whole numbers";
        ev.kind = TScriptEventKind::MouseMove;
    } else if (name == "button") {
        if (!(problem = want(2)).empty()) return problem;
        if (!parse_int(w[2], 1, 3, ev.a)) return "mouse button must be 1, 2 or 3";
        if (!updown(w[3], TScriptEventKind::MouseDown, TScriptEventKind::MouseUp))
            return "expected down or up";
    } else if (name == "wheel") {
        if (!(problem = want(1)).empty()) return problem;
        if (!parse_int(w[2], -32768, 32767, ev.a)) return "wheel steps must be a whole number";
        ev.kind = TScriptEventKind::MouseWheel;
    } else if (name == "suspend" || name == "resume" || name == "close") {
        if (!(problem = want(0)).empty()) return problem;
        ev.kind = name == "suspend"  ? TScriptEventKind::Suspend
                  : name == "resume" ? TScriptEventKind::Resume
                                     : TScriptEventKind::Close;
    } else if (name == "joy") {
        if (argc < 2) return "'joy' needs a port and an action";
        if (!parse_int(w[2], 0, kScriptJoystickPorts - 1, ev.a)) return "joystick port must be 0..15";
        const std::string_view action = w[3];
        if (action == "attach" || action == "detach") {
            if (argc != 2) return "'joy PORT " + std::string(action) + "' takes no more arguments";
            ev.kind = action == "attach" ? TScriptEventKind::JoyAttach : TScriptEventKind::JoyDetach;
        } else if (action == "axis") {
            if (argc != 4) return "'joy PORT axis' takes an axis name and a value";
            const std::string_view axes(kAxisNames);
            if (w[4].size() != 1 || axes.find(w[4][0]) == std::string_view::npos)
                return "joystick axis must be x, y, z, r, u or v";
            ev.b = static_cast<int>(axes.find(w[4][0]));
            if (!parse_int(w[5], -32768, 32767, ev.c)) return "joystick axis value must be -32768..32767";
            ev.kind = TScriptEventKind::JoyAxis;
        } else if (action == "button") {
            if (argc != 4) return "'joy PORT button' takes a button and down or up";
            if (!parse_int(w[4], 0, 31, ev.b)) return "joystick button must be 0..31";
            if (!updown(w[5], TScriptEventKind::JoyButtonDown, TScriptEventKind::JoyButtonUp))
                return "expected down or up";
        } else if (action == "hat") {
            if (argc != 3) return "'joy PORT hat' takes one value";
            if (!parse_int(w[4], -1, 35999, ev.b)) return "joystick hat must be -1 (centred) or 0..35999";
            ev.kind = TScriptEventKind::JoyHat;
        } else {
            return "unknown joystick action " + quoted(action);
        }
    } else {
        return "unknown event " + quoted(name);
    }
    return "";
}

} // namespace

std::optional<TInputScript> ParseInputScript(std::string_view text, const std::string& name,
                                             std::string& error) {
    TInputScript script;
    // Some editors start a UTF-8 text with a byte-order mark.
    if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        text.remove_prefix(kUtf8ByteOrderMark.size());
    int line_number = 0;
    bool any_item = false;
    int64_t last_frame = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const auto words = split_words(line);
        if (words.empty()) continue;
        auto fail = [&](const std::string& problem) {
            error = EscapeForMessage(name, std::string::npos);
            error += ':' + std::to_string(line_number) + ": " + problem;
            return std::nullopt;
        };
        if (words[0] == "seed") {
            if (any_item) return fail("'seed' must be the first item");
            uint32_t seed = 0;
            if (words.size() != 2 || !parse_int(words[1], 0u, UINT32_MAX, seed))
                return fail("'seed' takes one whole number from 0 to 4294967295");
            script.seed = seed;
            any_item = true;
            continue;
        }
        any_item = true;
        TScriptEvent ev;
        if (!parse_int(words[0], int64_t{0}, INT64_MAX, ev.frame))
            return fail("expected a frame number, found " + quoted(words[0]));
        if (words.size() < 2) return fail("missing event after the frame number");
        if (ev.frame < last_frame)
            return fail("frame " + std::to_string(ev.frame) + " comes after frame " +
                        std::to_string(last_frame) + "; lines must be in frame order");
        if (std::string problem = parse_event(words, ev); !problem.empty()) return fail(problem);
        last_frame = ev.frame;
        script.events.push_back(ev);
    }
    return script;
}

std::optional<TInputScript> LoadInputScript(const std::string& path, std::string& error) {
    auto fail = [&](const std::string& problem) {
        error = EscapeForMessage(path, std::string::npos) + ": " + problem;
        return std::nullopt;
    };
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return fail(std::string("cannot open the file: ") + std::strerror(errno));
    struct stat st {};
    if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(file);
        return fail("is a directory, not a file");
    }
    // Read in pieces up to one byte past the cap: a device or a pipe gives no size to check first.
    std::string text;
    char piece[65536];
    size_t got = 0;
    while (text.size() <= kMaxScriptFileBytes && (got = std::fread(piece, 1, sizeof piece, file)) > 0)
        text.append(piece, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return fail("cannot read the file");
    if (text.size() > kMaxScriptFileBytes)
        return fail("larger than " + std::to_string(kMaxScriptFileBytes >> 20) + " MiB; not a recording");
    return ParseInputScript(text, path, error);
}

std::string FormatScriptEvent(const TScriptEvent& e) {
    std::string f = std::to_string(e.frame) + " ";
    auto n = [](int v) { return std::to_string(v); };
    switch (e.kind) {
    case TScriptEventKind::KeyDown: return f + "key " + n(e.a) + " down";
    case TScriptEventKind::KeyUp: return f + "key " + n(e.a) + " up";
    case TScriptEventKind::KeyChar: return f + "char " + n(e.a);
    case TScriptEventKind::MouseMove: return f + "mouse " + n(e.a) + " " + n(e.b);
    case TScriptEventKind::MouseDown: return f + "button " + n(e.a) + " down";
    case TScriptEventKind::MouseUp: return f + "button " + n(e.a) + " up";
    case TScriptEventKind::MouseWheel: return f + "wheel " + n(e.a);
    case TScriptEventKind::Suspend: return f + "suspend";
    case TScriptEventKind::Resume: return f + "resume";
    case TScriptEventKind::Close: return f + "close";
    case TScriptEventKind::JoyAttach: return f + "joy " + n(e.a) + " attach";
    case TScriptEventKind::JoyDetach: return f + "joy " + n(e.a) + " detach";
    case TScriptEventKind::JoyAxis: return f + "joy " + n(e.a) + " axis " + kAxisNames[e.b] + " " + n(e.c);
    case TScriptEventKind::JoyButtonDown: return f + "joy " + n(e.a) + " button " + n(e.b) + " down";
    case TScriptEventKind::JoyButtonUp: return f + "joy " + n(e.a) + " button " + n(e.b) + " up";
    case TScriptEventKind::JoyHat: return f + "joy " + n(e.a) + " hat " + n(e.b);
    }
    return f + "close";
}
