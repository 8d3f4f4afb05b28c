// The joystick back-end over SDL2's joystick API, and virtual devices on SDL's virtual joysticks.
#include "backends/sdl/sdl_joystick.h"

#include "backends/sdl/sdl_game_controller.h"
#include "platform/joystick_driver.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <string>

namespace {

// The mapping file the installer named, loaded again whenever SDL's joysticks start (SDL_Quit drops
// every mapping).
std::string& extra_mappings_file() {
    static std::string path;
    return path;
}

// Joysticks are polled, never delivered as events, and are read whether or not a window has focus,
// as the game reads them at every query. Safe to call again after SDL_Quit.
bool sdl_joysticks_ready() {
    static bool configured = false;
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // The engine handles SIGINT and SIGTERM itself, on every back-end.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // Face buttons by position: south is button 0 on every pad, whatever letter it carries.
        SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
        // Also reads SDL_GAMECONTROLLERCONFIG and SDL's built-in mappings.
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
        configured = false;
    }
    if (!configured) {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // Nobody may drain joystick events; without this they would pile up in SDL's queue.
        SDL_JoystickEventState(SDL_IGNORE);
        SDL_GameControllerEventState(SDL_IGNORE);
        AddControllerMappingsFile(extra_mappings_file());
        configured = true;
    }
    return true;
}

int device_index_of(SDL_JoystickID id) {
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    }
    return -1;
}

// Hundredths of a degree clockwise from up for SDL's hat bits; centred and impossible combinations
// (up with down, left with right) read as centred.
uint32_t hat_hundredths(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return TJoystickPosition::kHatCentred;
    }
}

// Virtual devices by handle (their SDL instance id), each held open for setting its values.
std::map<int, SDL_Joystick*>& virtual_devices() {
    static std::map<int, SDL_Joystick*> devices;
    return devices;
}

SDL_Joystick* virtual_device(int handle) {
    auto& devices = virtual_devices();
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) {
        devices.clear(); // SDL_Quit detached and closed them
        return nullptr;
    }
    auto it = devices.find(handle);
    return it == devices.end() ? nullptr : it->second;
}

class SDLJoystickDriver : public TJoystickDriver {
public:
    SDLJoystickDriver() { sdl_joysticks_ready(); }
    ~SDLJoystickDriver() override {
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return;
        for (auto& [id, dev] : open_) Close(dev);
    }

    void Refresh() override {
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) open_.clear(); // SDL_Quit closed them already
        if (!sdl_joysticks_ready()) return;
        // Polls the devices and detects hot-plug even when nobody pumps SDL's events.
        SDL_JoystickUpdate();
        for (auto it = open_.begin(); it != open_.end();) {
            if (SDL_JoystickGetAttached(it->second.joy)) {
                ++it;
            } else {
                Close(it->second);
                it = open_.erase(it);
            }
        }
    }

    std::vector<int> Devices() override {
        std::vector<int> ids;
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return ids;
        const int n = SDL_NumJoysticks();
        for (int i = 0; i < n; ++i) {
            const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            if (id >= 0 && visible(i)) ids.push_back(id);
        }
        return ids;
    }

    std::string Name(int device) override {
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return {};
        const int index = device_index_of(device);
        if (index < 0 || !visible(index)) return {};
        const char* name = SDL_JoystickNameForIndex(index);
        return name ? name : "";
    }

    bool Read(int device, TJoystickPosition& out) override {
        const OpenDevice* dev = open(device);
        if (!dev || !SDL_JoystickGetAttached(dev->joy)) return false;
        if (virtual_only_ && !dev->is_virtual) return false;
        if (dev->pad) return ReadGameController(dev->pad, out);
        SDL_Joystick* joy = dev->joy;
        out = TJoystickPosition{};
        const int buttons = std::min(SDL_JoystickNumButtons(joy), 32);
        for (int b = 0; b < buttons; ++b) {
            if (SDL_JoystickGetButton(joy, b)) out.buttons |= 1u << b;
        }
        const int axes = std::min(SDL_JoystickNumAxes(joy), TJoystickPosition::kAxes);
        for (int a = 0; a < axes; ++a) {
            out.axis_valid |= 1u << a;
            out.axis_pos[a] = static_cast<uint32_t>(SDL_JoystickGetAxis(joy, a) + 32768);
            out.axis_min[a] = 0;
            out.axis_max[a] = 65535;
        }
        if (SDL_JoystickNumHats(joy) > 0) {
            out.hat_valid = true;
            out.hat = hat_hundredths(SDL_JoystickGetHat(joy, 0));
        }
        return true;
    }

    int AttachVirtual() override {
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) virtual_devices().clear();
        if (!sdl_joysticks_ready()) return -1;
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
        desc.naxes = TJoystickPosition::kAxes;
        desc.nbuttons = 32;
        desc.nhats = 1;
        desc.name = "Virtual Joystick";
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0) return -1;
        SDL_Joystick* joy = SDL_JoystickOpen(index);
        if (!joy) {
            SDL_JoystickDetachVirtual(index);
            return -1;
        }
        const int handle = SDL_JoystickInstanceID(joy);
        virtual_devices()[handle] = joy;
        return handle;
    }

    bool DetachVirtual(int handle) override {
        SDL_Joystick* joy = virtual_device(handle);
        if (!joy) return false;
        const int index = device_index_of(handle);
        if (index >= 0) SDL_JoystickDetachVirtual(index);
        SDL_JoystickClose(joy);
        virtual_devices().erase(handle);
        return true;
    }

    bool SetVirtualAxis(int handle, int axis, int value) override {
        SDL_Joystick* joy = virtual_device(handle);
        return joy && SDL_JoystickSetVirtualAxis(joy, axis, static_cast<Sint16>(value)) == 0;
    }

    bool SetVirtualButton(int handle, int button, bool down) override {
        SDL_Joystick* joy = virtual_device(handle);
        return joy && SDL_JoystickSetVirtualButton(joy, button, down ? SDL_PRESSED : SDL_RELEASED) == 0;
    }

    bool SetVirtualHat(int handle, int hundredths) override {
        SDL_Joystick* joy = virtual_device(handle);
        return joy && SDL_JoystickSetVirtualHat(joy, 0, SDLHatBits(hundredths)) == 0;
    }

    void SetVirtualOnly(bool on) override { virtual_only_ = on; }

private:
    bool visible(int device_index) const { return !virtual_only_ || SDL_JoystickIsVirtual(device_index); }

    // A pad SDL maps as a game controller is read through the mapping (pad set, joy its joystick);
    // any other device, and the virtual devices of replays and tests, raw.
    struct OpenDevice {
        SDL_Joystick* joy;
        SDL_GameController* pad;
        bool is_virtual;
    };

    static void Close(const OpenDevice& dev) {
        if (dev.pad) {
            SDL_GameControllerClose(dev.pad);
        } else {
            SDL_JoystickClose(dev.joy);
        }
    }

    // Devices are opened on their first read and closed by Refresh once they are gone.
    const OpenDevice* open(int device) {
        if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return nullptr;
        auto it = open_.find(device);
        if (it != open_.end()) return &it->second;
        const int index = device_index_of(device);
        if (index < 0) return nullptr;
        // A replay's devices carry recorded port values, which must not be mapped a second time.
        const bool mapped = !virtual_devices().contains(device) && SDL_IsGameController(index);
        SDL_GameController* pad = mapped ? SDL_GameControllerOpen(index) : nullptr;
        SDL_Joystick* joy = pad ? SDL_GameControllerGetJoystick(pad) : SDL_JoystickOpen(index);
        if (!joy) return nullptr;
        // A freshly opened device holds no state until SDL has polled it once.
        SDL_JoystickUpdate();
        return &open_.emplace(device, OpenDevice{joy, pad, SDL_JoystickIsVirtual(index) == SDL_TRUE})
                    .first->second;
    }

    std::map<int, OpenDevice> open_;
    bool virtual_only_ = false;
};

} // namespace

uint8_t SDLHatBits(int hundredths) {
    static const Uint8 kDirections[8] = {SDL_HAT_UP,   SDL_HAT_RIGHTUP,  SDL_HAT_RIGHT, SDL_HAT_RIGHTDOWN,
                                         SDL_HAT_DOWN, SDL_HAT_LEFTDOWN, SDL_HAT_LEFT,  SDL_HAT_LEFTUP};
    return hundredths < 0 ? SDL_HAT_CENTERED : kDirections[(hundredths / 4500) % 8];
}

std::unique_ptr<TJoystickDriver> CreateSDLJoystickDriver(const std::string& extra_mappings) {
    extra_mappings_file() = extra_mappings;
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) AddControllerMappingsFile(extra_mappings);
    return std::make_unique<SDLJoystickDriver>();
}
