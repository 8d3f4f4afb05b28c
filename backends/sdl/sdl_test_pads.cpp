// Test-only mapped virtual pads, and the system driver that moves them from a script.
#include "backends/sdl/sdl_test_pads.h"

#include "backends/sdl/sdl_joystick.h"
#include "render/graphics.h"

#include <SDL.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr const char* kTestPadName = "Brakkovane Test Pad";
// A made-up USB vendor and product: SDL matches a mapping to a device without them only by a GUID
// built from its name, without the name's checksum.
constexpr Uint16 kTestPadVendor = 0x0B3D;
constexpr Uint16 kTestPadProduct = 0x0001;
// SDL's mapping of the raw layout described in the header, after "GUID,name,".
constexpr const char* kTestPadMapping =
    "a:b3,b:b2,x:b1,y:b0,leftshoulder:b4,rightshoulder:b5,back:b8,start:b9,leftstick:b10,rightstick:b11,"
    "guide:b12,dpup:h0.1,dpright:h0.2,dpdown:h0.4,dpleft:h0.8,leftx:a0,lefty:a1,rightx:a2,righty:a3,"
    "lefttrigger:a4,righttrigger:a5,";
constexpr int kTestPadAxes = 6;
constexpr int kTestPadButtons = 16;

bool IsJoyEvent(TScriptEventKind kind) {
    switch (kind) {
    case TScriptEventKind::JoyAttach:
    case TScriptEventKind::JoyDetach:
    case TScriptEventKind::JoyAxis:
    case TScriptEventKind::JoyButtonDown:
    case TScriptEventKind::JoyButtonUp:
    case TScriptEventKind::JoyHat: return true;
    default: return false;
    }
}

} // namespace

SDL_Joystick* AttachTestPad() {
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER) && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return nullptr;
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN; // recognised through the mapping below, not by its type
    desc.naxes = kTestPadAxes;
    desc.nbuttons = kTestPadButtons;
    desc.nhats = 1;
    desc.name = kTestPadName;
    desc.vendor_id = kTestPadVendor;
    desc.product_id = kTestPadProduct;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return nullptr;
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    const std::string mapping = std::string(guid) + "," + kTestPadName + "," + kTestPadMapping;
    SDL_Joystick* pad =
        SDL_GameControllerAddMapping(mapping.c_str()) >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (!pad) SDL_JoystickDetachVirtual(index);
    return pad;
}

void DetachTestPad(SDL_Joystick* pad) {
    if (!pad) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    SDL_JoystickClose(pad);
}

TTestPadDriver::TTestPadDriver(TInputScript script)
    : script_(std::move(script)) {}

TTestPadDriver::~TTestPadDriver() {
    for (SDL_Joystick* pad : pads_) DetachTestPad(pad);
}

void TTestPadDriver::Poll() {
    TSDLSystemDriver::Poll();
    ApplyDue();
}

void TTestPadDriver::Wait() {
    TSDLSystemDriver::Wait();
    if (next_ < script_.events.size() && script_.events[next_].frame > PacedFlipCount()) {
        Apply(script_.events[next_++]);
    } else {
        ApplyDue();
    }
}

void TTestPadDriver::ApplyDue() {
    while (next_ < script_.events.size() && script_.events[next_].frame <= PacedFlipCount())
        Apply(script_.events[next_++]);
}

void TTestPadDriver::Apply(const TScriptEvent& e) {
    if (e.kind == TScriptEventKind::JoyAttach) {
        SDL_Joystick* pad = AttachTestPad();
        if (!pad) std::fprintf(stderr, "test pads: cannot attach a pad: %s\n", SDL_GetError());
        pads_.push_back(pad);
        return;
    }
    if (e.a < 0 || e.a >= static_cast<int>(pads_.size()) || !pads_[e.a]) return;
    SDL_Joystick* pad = pads_[e.a];
    switch (e.kind) {
    case TScriptEventKind::JoyDetach:
        DetachTestPad(pad);
        pads_.erase(pads_.begin() + e.a);
        break;
    case TScriptEventKind::JoyAxis: SDL_JoystickSetVirtualAxis(pad, e.b, static_cast<Sint16>(e.c)); break;
    case TScriptEventKind::JoyButtonDown: SDL_JoystickSetVirtualButton(pad, e.b, SDL_PRESSED); break;
    case TScriptEventKind::JoyButtonUp: SDL_JoystickSetVirtualButton(pad, e.b, SDL_RELEASED); break;
    case TScriptEventKind::JoyHat: SDL_JoystickSetVirtualHat(pad, 0, SDLHatBits(e.b)); break;
    default: break;
    }
}

TTestPadDriver* TestPadDriverFromFile(const std::string& path, std::string& error) {
    // Never destroyed: hooks and exit handlers may still pump while the program ends.
    static TTestPadDriver* driver = nullptr;
    if (driver) return driver;
    std::optional<TInputScript> script = LoadInputScript(path, error);
    if (!script) return nullptr;
    for (const TScriptEvent& e : script->events) {
        if (!IsJoyEvent(e.kind)) {
            error = path + ": a test pad script holds joy events only, not \"" + FormatScriptEvent(e) + "\"";
            return nullptr;
        }
    }
    driver = new TTestPadDriver(std::move(*script));
    return driver;
}
