// SDL2 in place of the window-message pump: device events become TEvents, timers post to the main thread.
#include "backends/sdl/sdl_system.h"

#include "platform/event.h"
#include "platform/system.h"
#include "platform/system_driver.h"

#include <SDL.h>

#include <array>
#include <cstdio>

namespace {

TSDLPointerMap* g_pointer_map = nullptr;
TSDLFullScreenToggle g_full_screen_toggle = nullptr;

// Written once, before any timer runs; read by SDL's timer thread.
uint32_t g_tick_event_type = 0;

constexpr int kWaitTimeoutMs = 5;

// SDL scancodes to Windows virtual-key numbers.
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> kKeyTable = [] {
    std::array<uint8_t, SDL_NUM_SCANCODES> t{};
    for (int i = 0; i < 26; ++i) t[SDL_SCANCODE_A + i] = static_cast<uint8_t>('A' + i);
    for (int i = 0; i < 9; ++i) t[SDL_SCANCODE_1 + i] = static_cast<uint8_t>('1' + i);
    t[SDL_SCANCODE_0] = '0';
    t[SDL_SCANCODE_RETURN] = 13;
    t[SDL_SCANCODE_ESCAPE] = 27;
    t[SDL_SCANCODE_BACKSPACE] = 8;
    t[SDL_SCANCODE_TAB] = 9;
    t[SDL_SCANCODE_SPACE] = 32;
    t[SDL_SCANCODE_MINUS] = 189;
    t[SDL_SCANCODE_EQUALS] = 187;
    t[SDL_SCANCODE_LEFTBRACKET] = 219;
    t[SDL_SCANCODE_RIGHTBRACKET] = 221;
    t[SDL_SCANCODE_BACKSLASH] = 220;
    t[SDL_SCANCODE_NONUSHASH] = 220;
    t[SDL_SCANCODE_SEMICOLON] = 186;
    t[SDL_SCANCODE_APOSTROPHE] = 222;
    t[SDL_SCANCODE_GRAVE] = 192;
    t[SDL_SCANCODE_COMMA] = 188;
    t[SDL_SCANCODE_PERIOD] = 190;
    t[SDL_SCANCODE_SLASH] = 191;
    t[SDL_SCANCODE_NONUSBACKSLASH] = 226;
    t[SDL_SCANCODE_CAPSLOCK] = 20;
    for (int i = 0; i < 12; ++i) t[SDL_SCANCODE_F1 + i] = static_cast<uint8_t>(112 + i);
    for (int i = 0; i < 12; ++i) t[SDL_SCANCODE_F13 + i] = static_cast<uint8_t>(124 + i);
    t[SDL_SCANCODE_PRINTSCREEN] = 44;
    t[SDL_SCANCODE_SCROLLLOCK] = 145;
    t[SDL_SCANCODE_PAUSE] = 19;
    t[SDL_SCANCODE_INSERT] = 45;
    t[SDL_SCANCODE_HOME] = 36;
    t[SDL_SCANCODE_PAGEUP] = 33;
    t[SDL_SCANCODE_DELETE] = 46;
    t[SDL_SCANCODE_END] = 35;
    t[SDL_SCANCODE_PAGEDOWN] = 34;
    t[SDL_SCANCODE_LEFT] = 37;
    t[SDL_SCANCODE_UP] = 38;
    t[SDL_SCANCODE_RIGHT] = 39;
    t[SDL_SCANCODE_DOWN] = 40;
    t[SDL_SCANCODE_NUMLOCKCLEAR] = 144;
    t[SDL_SCANCODE_KP_DIVIDE] = 111;
    t[SDL_SCANCODE_KP_MULTIPLY] = 106;
    t[SDL_SCANCODE_KP_MINUS] = 109;
    t[SDL_SCANCODE_KP_PLUS] = 107;
    t[SDL_SCANCODE_KP_ENTER] = 13;
    for (int i = 0; i < 9; ++i) t[SDL_SCANCODE_KP_1 + i] = static_cast<uint8_t>(97 + i);
    t[SDL_SCANCODE_KP_0] = 96;
    t[SDL_SCANCODE_KP_PERIOD] = 110;
    t[SDL_SCANCODE_APPLICATION] = 93;
    t[SDL_SCANCODE_LCTRL] = 162;
    t[SDL_SCANCODE_LSHIFT] = 160;
    t[SDL_SCANCODE_LALT] = 164;
    t[SDL_SCANCODE_LGUI] = 91;
    t[SDL_SCANCODE_RCTRL] = 163;
    t[SDL_SCANCODE_RSHIFT] = 161;
    t[SDL_SCANCODE_RALT] = 165;
    t[SDL_SCANCODE_RGUI] = 92;
    t[SDL_SCANCODE_MUTE] = 173;
    t[SDL_SCANCODE_VOLUMEDOWN] = 174;
    t[SDL_SCANCODE_VOLUMEUP] = 175;
    t[SDL_SCANCODE_AUDIONEXT] = 176;
    t[SDL_SCANCODE_AUDIOPREV] = 177;
    t[SDL_SCANCODE_AUDIOSTOP] = 178;
    t[SDL_SCANCODE_AUDIOPLAY] = 179;
    t[SDL_SCANCODE_SLEEP] = 95;
    return t;
}();

// The character a key sends besides its key event; text input carries every other character.
int ControlCharacter(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
    }
}

// Decodes one UTF-8 sequence at text[i], advancing i; malformed bytes decode as themselves.
int NextCodePoint(const char* text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    int code = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : extra == 1 ? lead & 0x1F : lead;
    size_t k = i + 1;
    for (; extra > 0; --extra, ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        code = (code << 6) | (byte(k) & 0x3F);
    }
    i = k;
    return code;
}

// Button held during a move: right wins over middle over left.
int HeldButton(uint32_t state) {
    if (state & SDL_BUTTON_RMASK) return 2;
    if (state & SDL_BUTTON_MMASK) return 4;
    if (state & SDL_BUTTON_LMASK) return 1;
    return 0;
}

int ButtonNumber(uint8_t sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
    }
}

int ModifierMask(uint16_t mod) {
    int mask = 0;
    if (mod & KMOD_SHIFT) mask |= MODIFIER_SHIFT;
    if (mod & KMOD_CTRL) mask |= MODIFIER_CONTROL;
    if (mod & KMOD_ALT) mask |= MODIFIER_ALT;
    if (mod & KMOD_GUI) mask |= MODIFIER_SYSTEM;
    return mask;
}

// Events of windows the game does not show (the hidden window that holds the shared context). The
// game's own window is never one of them, even while minimised: X11 unmaps a minimised window and SDL
// then flags it hidden, but its minimise, focus and close events must still reach the game.
bool FromHiddenWindow(uint32_t window_id) {
    if (SDL_Window* game = g_pointer_map ? g_pointer_map->Window() : nullptr)
        return SDL_GetWindowID(game) != window_id;
    SDL_Window* window = SDL_GetWindowFromID(window_id);
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN);
}

uint32_t PostTick(uint32_t interval, void* param) {
    SDL_Event event{};
    event.type = g_tick_event_type;
    event.user.code = static_cast<int>(reinterpret_cast<intptr_t>(param));
    SDL_PushEvent(&event);
    return interval;
}

} // namespace

void SetSDLPointerMap(TSDLPointerMap* map) {
    g_pointer_map = map;
}

void SetSDLFullScreenToggle(TSDLFullScreenToggle toggle) {
    g_full_screen_toggle = toggle;
}

int SDLScancodeToKey(int scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return kKeyTable[scancode];
}

TSDLSystemDriver::TSDLSystemDriver() {
    // The engine handles SIGINT and SIGTERM itself, on every back-end.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
        std::fprintf(stderr, "SDL events could not start: %s\n", SDL_GetError());
    if (g_tick_event_type == 0) g_tick_event_type = SDL_RegisterEvents(1);
    tick_event_type_ = g_tick_event_type;
}

TSDLSystemDriver::~TSDLSystemDriver() {
    for (auto& [handle, entry] : timers_) SDL_RemoveTimer(entry.sdl_timer);
    SDL_QuitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER);
}

void TSDLSystemDriver::Poll() {
    close_emitted_ = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) Translate(event);
}

void TSDLSystemDriver::Wait() {
    close_emitted_ = false;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, kWaitTimeoutMs)) Translate(event);
    while (SDL_PollEvent(&event)) Translate(event);
}

int TSDLSystemDriver::Modifiers() const {
    return ModifierMask(static_cast<uint16_t>(SDL_GetModState()));
}

void TSDLSystemDriver::PointerInPicture(int wx, int wy, int* px, int* py) const {
    if (g_pointer_map) {
        g_pointer_map->WindowToPicture(wx, wy, px, py);
    } else {
        *px = wx;
        *py = wy;
    }
}

void TSDLSystemDriver::SetActive(bool focused, bool minimized) {
    const bool was_active = focused_ && !minimized_;
    focused_ = focused;
    minimized_ = minimized;
    const bool active = focused_ && !minimized_;
    if (active != was_active) TEvent::Create(active ? EVENT_APPRESUME : EVENT_APPSUSPEND).Emit();
}

bool TSDLSystemDriver::TakeWindowKey(const SDL_KeyboardEvent& key) {
    const int scancode = key.keysym.scancode;
    if (key.type == SDL_KEYDOWN && !key.repeat) {
        const bool enter = scancode == SDL_SCANCODE_RETURN || scancode == SDL_SCANCODE_KP_ENTER;
        if (scancode != SDL_SCANCODE_F11 && !(enter && (key.keysym.mod & KMOD_ALT))) {
            // A key whose release never came (focus lost meanwhile) is the game's again.
            window_keys_down_.erase(scancode);
            return false;
        }
        window_keys_down_.insert(scancode);
        if (g_full_screen_toggle) g_full_screen_toggle();
        return true;
    }
    if (!window_keys_down_.contains(scancode)) return false;
    if (key.type == SDL_KEYUP) window_keys_down_.erase(scancode);
    return true;
}

void TSDLSystemDriver::Translate(const SDL_Event& event) {
    if (event.type == tick_event_type_ && tick_event_type_ != 0) {
        auto found = timers_.find(event.user.code);
        if (found != timers_.end()) found->second.func(found->second.a, found->second.b);
        return;
    }
    switch (event.type) {
    case SDL_QUIT:
        if (!close_emitted_) TEvent::Create(EVENT_APPTERMINATE).Emit();
        close_emitted_ = true;
        break;
    case SDL_WINDOWEVENT: {
        if (FromHiddenWindow(event.window.windowID)) break;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (!close_emitted_) TEvent::Create(EVENT_APPTERMINATE).Emit();
            close_emitted_ = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST: SetActive(false, minimized_); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: SetActive(true, minimized_); break;
        case SDL_WINDOWEVENT_MINIMIZED: SetActive(focused_, true); break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: SetActive(focused_, false); break;
        case SDL_WINDOWEVENT_ENTER:
        case SDL_WINDOWEVENT_LEAVE: {
            int wx = 0, wy = 0, px = 0, py = 0;
            SDL_GetMouseState(&wx, &wy);
            PointerInPicture(wx, wy, &px, &py);
            const int id = event.window.event == SDL_WINDOWEVENT_ENTER ? EVENT_MOUSEENTER : EVENT_MOUSELEAVE;
            TEvent::Create(id, nullptr, 0, Modifiers(), px, py).Emit();
            break;
        }
        default: break;
        }
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (TakeWindowKey(event.key)) break;
        const int key = SDLScancodeToKey(event.key.keysym.scancode);
        if (key == 0) break;
        const int mods = ModifierMask(event.key.keysym.mod);
        if (event.type == SDL_KEYUP) {
            TEvent::Create(EVENT_KEYUP, nullptr, key, mods).Emit();
            break;
        }
        TEvent::Create(event.key.repeat ? EVENT_KEYREPEAT : EVENT_KEYDOWN, nullptr, key, mods).Emit();
        if (const int character = ControlCharacter(event.key.keysym.scancode))
            TEvent::Create(EVENT_KEYCHAR, nullptr, character, mods).Emit();
        break;
    }
    case SDL_TEXTINPUT: {
        const int mods = Modifiers();
        for (size_t i = 0; event.text.text[i] != '\0';) {
            const int character = NextCodePoint(event.text.text, i);
            TEvent::Create(EVENT_KEYCHAR, nullptr, character, mods).Emit();
        }
        break;
    }
    case SDL_MOUSEMOTION: {
        const bool echo = warp_pending_ && event.motion.x == warp_x_ && event.motion.y == warp_y_;
        warp_pending_ = false;
        if (echo) break; // MoveMouse already reported this position
        int px = 0, py = 0;
        PointerInPicture(event.motion.x, event.motion.y, &px, &py);
        TEvent::Create(EVENT_MOUSEMOVE, nullptr, HeldButton(event.motion.state), Modifiers(), px, py).Emit();
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int button = ButtonNumber(event.button.button);
        if (button == 0) break;
        int px = 0, py = 0;
        PointerInPicture(event.button.x, event.button.y, &px, &py);
        const int id = event.type == SDL_MOUSEBUTTONDOWN ? EVENT_MOUSEDOWN : EVENT_MOUSEUP;
        TEvent::Create(id, nullptr, button, Modifiers(), px, py).Emit();
        break;
    }
    case SDL_MOUSEWHEEL: {
        const int steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        int wx = 0, wy = 0, px = 0, py = 0;
        SDL_GetMouseState(&wx, &wy);
        PointerInPicture(wx, wy, &px, &py);
        TEvent::Create(EVENT_MOUSEWHEEL, nullptr, steps, Modifiers(), px, py).Emit();
        break;
    }
    default: break;
    }
}

void TSDLSystemDriver::MoveMouse(int x, int y) {
    SDL_Window* window = g_pointer_map ? g_pointer_map->Window() : nullptr;
    if (window) {
        int wx = x, wy = y;
        g_pointer_map->PictureToWindow(x, y, &wx, &wy);
        SDL_WarpMouseInWindow(window, wx, wy);
        // A warp may or may not come back as a motion event (not without focus, nor always under a
        // virtual X server); the move is reported here, once, and a later echo is dropped.
        warp_pending_ = true;
        warp_x_ = wx;
        warp_y_ = wy;
    }
    TEvent::Create(EVENT_MOUSEMOVE, nullptr, HeldButton(SDL_GetMouseState(nullptr, nullptr)), Modifiers(), x,
                   y)
        .Emit();
}

void TSDLSystemDriver::SetMouseVisible(bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

namespace {

int ShowBox(const std::string& text, bool serious, const SDL_MessageBoxButtonData* buttons, int count) {
    const std::string& title = AppTitle();
    SDL_MessageBoxData box{};
    box.flags = serious ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    box.window = g_pointer_map ? g_pointer_map->Window() : nullptr;
    box.title = title.c_str();
    box.message = text.c_str();
    box.numbuttons = count;
    box.buttons = buttons;
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return -1;
    }
    return chosen;
}

} // namespace

void TSDLSystemDriver::Notify(const std::string& text, bool serious) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"}};
    ShowBox(text, serious, buttons, 1);
}

int TSDLSystemDriver::Confirm(const std::string& text, bool serious) {
    const SDL_MessageBoxButtonData buttons[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"},
                                                {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "Cancel"}};
    return ShowBox(text, serious, buttons, 2) == 1 ? 1 : 0;
}

int TSDLSystemDriver::Proceed(const std::string& text, bool serious) {
    const SDL_MessageBoxButtonData buttons[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
                                                {0, 0, "No"},
                                                {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, -1, "Cancel"}};
    const int chosen = ShowBox(text, serious, buttons, 3);
    return chosen == 1 || chosen == 0 ? chosen : -1;
}

// No file or folder dialogs exist here; both answer as a cancelled dialog would.
std::string TSDLSystemDriver::RequestFile(const std::string&, const std::string&, bool, const std::string&) {
    return {};
}

std::string TSDLSystemDriver::RequestDir(const std::string&, const std::string&) {
    return {};
}

void TSDLSystemDriver::OpenURL(const std::string& url) {
    SDL_OpenURL(url.c_str());
}

int TSDLSystemDriver::StartTimer(int period_ms, TMainThreadFunc func, intptr_t a, intptr_t b) {
    const int handle = ++last_timer_handle_;
    // The timer's handle travels as SDL's callback parameter.
    void* param = reinterpret_cast<void*>(static_cast<intptr_t>(handle)); // NOLINT(performance-no-int-to-ptr)
    const SDL_TimerID sdl_timer = SDL_AddTimer(static_cast<uint32_t>(period_ms), PostTick, param);
    if (sdl_timer == 0) return 0;
    timers_[handle] = TTimerEntry{func, a, b, sdl_timer};
    return handle;
}

void TSDLSystemDriver::StopTimer(int handle) {
    auto found = timers_.find(handle);
    if (found == timers_.end()) return;
    SDL_RemoveTimer(found->second.sdl_timer);
    timers_.erase(found);
}

TSDLSystemDriver* SDLSystemDriver() {
    // Never destroyed: hooks and exit handlers may still pump while the program ends.
    static TSDLSystemDriver* driver = new TSDLSystemDriver;
    return driver;
}
