// The fixed port layout of mapped game controllers, and extra mapping files.
#include "backends/sdl/sdl_game_controller.h"

#include <SDL.h>

#include <cstdio>
#include <filesystem>

namespace {

constexpr int kRawMin = -32768;
constexpr int kRawMax = 32767;
constexpr int kPositionOffset = 32768; // raw value + offset = device position 0 .. 65535
constexpr int kPositionMax = 65535;

// Where each pad button lands on the port.
struct ButtonRoute {
    SDL_GameControllerButton button;
    int port_button;
};
constexpr ButtonRoute kButtonRoutes[] = {
    {SDL_CONTROLLER_BUTTON_A, kPadButtonSouth},
    {SDL_CONTROLLER_BUTTON_B, kPadButtonEast},
    {SDL_CONTROLLER_BUTTON_X, kPadButtonWest},
    {SDL_CONTROLLER_BUTTON_Y, kPadButtonNorth},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 4},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 5},
    {SDL_CONTROLLER_BUTTON_BACK, 6},
    {SDL_CONTROLLER_BUTTON_START, kPadButtonStart},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, 8},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 9},
    {SDL_CONTROLLER_BUTTON_GUIDE, 10},
    // The game pauses on button 2; Start is where players look for pause.
    {SDL_CONTROLLER_BUTTON_START, kPadButtonWest},
};

// The d-pad along one axis: -1 or +1 when exactly one of its two directions is held, else 0.
int DpadDirection(SDL_GameController* pad, SDL_GameControllerButton minus, SDL_GameControllerButton plus) {
    return (SDL_GameControllerGetButton(pad, plus) != 0) - (SDL_GameControllerGetButton(pad, minus) != 0);
}

// An end of the axis while the d-pad points along it, else the stick.
int DpadOrStick(int direction, int stick) {
    return direction < 0 ? kRawMin : direction > 0 ? kRawMax : SnapStickAxis(stick);
}

// Hundredths of a degree clockwise from up for a d-pad direction; centred when it points nowhere.
uint32_t DpadHat(int dx, int dy) {
    // Indexed by (dy + 1) * 3 + (dx + 1): up-left, up, up-right, left, none, right, down-left, ...
    static constexpr uint32_t kHundredths[9] = {31500, 0,     4500,  27000, TJoystickPosition::kHatCentred,
                                                9000,  22500, 18000, 13500};
    return kHundredths[(dy + 1) * 3 + (dx + 1)];
}

void SetAxis(TJoystickPosition& out, int axis, int raw) {
    out.axis_valid |= 1u << axis;
    out.axis_pos[axis] = static_cast<uint32_t>(raw + kPositionOffset);
    out.axis_min[axis] = 0;
    out.axis_max[axis] = kPositionMax;
}

} // namespace

int SnapStickAxis(int raw) {
    // Beyond 3/4 of the travel on its own side: 32767 * 3 / 4 above centre, 32768 * 3 / 4 below.
    if (raw * 4 > kRawMax * 3) return kRawMax;
    if (raw * 4 < kRawMin * 3) return kRawMin;
    return raw;
}

bool ReadGameController(SDL_GameController* pad, TJoystickPosition& out) {
    if (!pad || !SDL_GameControllerGetAttached(pad)) return false;
    out = TJoystickPosition{};
    for (const ButtonRoute& route : kButtonRoutes) {
        if (SDL_GameControllerGetButton(pad, route.button)) out.buttons |= 1u << route.port_button;
    }
    const auto axis = [pad](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(pad, a); };
    const int dx = DpadDirection(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    const int dy = DpadDirection(pad, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    SetAxis(out, 0, DpadOrStick(dx, axis(SDL_CONTROLLER_AXIS_LEFTX)));
    SetAxis(out, 1, DpadOrStick(dy, axis(SDL_CONTROLLER_AXIS_LEFTY)));
    SetAxis(out, 2, axis(SDL_CONTROLLER_AXIS_RIGHTX));
    SetAxis(out, 3, axis(SDL_CONTROLLER_AXIS_RIGHTY));
    SetAxis(out, 4, axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    SetAxis(out, 5, axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    out.hat_valid = true;
    out.hat = DpadHat(dx, dy);
    return true;
}

void AddControllerMappingsFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec)) return;
    if (SDL_GameControllerAddMappingsFromFile(path.c_str()) < 0)
        std::fprintf(stderr, "game controllers: cannot read the mappings in %s: %s\n", path.c_str(),
                     SDL_GetError());
}
