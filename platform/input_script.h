// Recorded input as text: parsing and writing the lines of a record/replay file.
//
// One item a line, '#' starts a comment. An optional first item `seed N`; every other line is
// `F EVENT ARGS`, in non-decreasing order of F, where F counts the frames presented before the
// event is delivered. Events: key CODE down|up, char CODE, mouse X Y, button B down|up,
// wheel STEPS, suspend, resume, close, joy PORT attach|detach, joy PORT axis x|y|z|r|u|v VALUE,
// joy PORT button B down|up, joy PORT hat VALUE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TScriptEventKind {
    KeyDown,
    KeyUp,
    KeyChar,
    MouseMove,
    MouseDown,
    MouseUp,
    MouseWheel,
    Suspend,
    Resume,
    Close,
    JoyAttach,
    JoyDetach,
    JoyAxis,
    JoyButtonDown,
    JoyButtonUp,
    JoyHat,
};

// One scripted event. The meaning of a, b and c follows the kind:
// key/char code in a; mouse x, y in a, b; button in a; wheel steps in a;
// joystick port in a, then axis index (0..5 for x,y,z,r,u,v) in b and raw value -32768..32767 in c,
// or button in b, or hat in hundredths of a degree (-1 centred) in b.
struct TScriptEvent {
    int64_t frame = 0;
    TScriptEventKind kind = TScriptEventKind::Close;
    int a = 0, b = 0, c = 0;
    bool operator==(const TScriptEvent&) const = default;
};

// Joystick ports a script names: 0..15, as many as the joystick layer reads.
inline constexpr int kScriptJoystickPorts = 16;

// The largest script file read. A recording writes one short line (about 20 bytes) per change of
// input: even a stick whose noise moves two axes every frame writes 2 x 27 bytes 60 times a second,
// 3.2 kB/s, so this is over five hours of that, and days of keyboard play. Anything larger is not a
// recording, and is refused before it fills the memory.
inline constexpr size_t kMaxScriptFileBytes = size_t{64} << 20;

struct TInputScript {
    std::optional<uint32_t> seed;
    std::vector<TScriptEvent> events;
};

// Parses a whole script; a UTF-8 byte-order mark at its start is skipped. On a fault, returns
// nullopt and sets `error` to "NAME:LINE: problem", with the bytes it quotes escaped.
std::optional<TInputScript> ParseInputScript(std::string_view text, const std::string& name,
                                             std::string& error);

// Reads and parses a file of at most kMaxScriptFileBytes; a file that cannot be opened or read, a
// directory, or a larger file is an error naming it.
std::optional<TInputScript> LoadInputScript(const std::string& path, std::string& error);

// The line (without newline) that ParseInputScript reads back as `event`.
std::string FormatScriptEvent(const TScriptEvent& event);
