// The polled-input hook and the tables it fills.
#include "platform/polled_input.h"

#include "platform/event.h"
#include "platform/system.h"

#include <array>
#include <cassert>
#include <cstdint>

namespace {

constexpr int kKeys = 256;
constexpr int kButtons = 4;
constexpr int kCharQueue = 256;

struct TPolledState {
    std::array<int, kKeys> key_down{};
    std::array<int, kKeys> key_hits{};
    std::array<int, kCharQueue> chars{};
    uint32_t char_put = 0; // both only grow; slot = counter mod 256
    uint32_t char_take = 0;
    std::array<int, kButtons> mouse_down{};
    std::array<int, kButtons> mouse_hits{};
    int mouse_x = 0;
    int mouse_y = 0;
    int mouse_wheel = 0;
    int suspended = 0;
    int terminate = 0;
    const void* source = nullptr;
    bool enabled = false;
};

TPolledState g_state;

bool ValidKey(int key) {
    return key >= 0 && key < kKeys;
}
bool ValidButton(int button) {
    return button >= 0 && button < kButtons;
}

void ResetKeys() {
    g_state.char_put = g_state.char_take = 0;
    g_state.key_down.fill(0);
    g_state.key_hits.fill(0);
}

void ResetMouse() {
    g_state.mouse_down.fill(0);
    g_state.mouse_hits.fill(0);
    g_state.mouse_wheel = 0;
}

void Press(std::array<int, kKeys>& down, std::array<int, kKeys>& hits, int code) {
    if (code < 0 || code >= kKeys) return;
    if (down[code]) return; // held keys are counted once, however many repeats arrive
    down[code] = 1;
    ++hits[code];
}

void* PolledInputHook(int, void* data, void*) {
    if (!data) return data;
    const TEvent& event = *static_cast<const TEvent*>(data);
    if (g_state.source && event.source != g_state.source) return data;
    switch (event.id) {
    case EVENT_APPSUSPEND:
        ClearKeys();
        ClearMouse();
        g_state.suspended = 1;
        break;
    case EVENT_APPRESUME:
        ClearKeys();
        ClearMouse();
        g_state.suspended = 0;
        break;
    case EVENT_APPTERMINATE: g_state.terminate = 1; break;
    case EVENT_KEYDOWN: Press(g_state.key_down, g_state.key_hits, event.data); break;
    case EVENT_KEYUP:
        if (ValidKey(event.data)) g_state.key_down[event.data] = 0;
        break;
    case EVENT_KEYCHAR:
        if (g_state.char_put - g_state.char_take < kCharQueue) {
            g_state.chars[g_state.char_put % kCharQueue] = event.data;
            ++g_state.char_put;
        }
        break;
    case EVENT_MOUSEDOWN:
        if (ValidButton(event.data) && event.data != 0 && !g_state.mouse_down[event.data]) {
            g_state.mouse_down[event.data] = 1;
            ++g_state.mouse_hits[event.data];
        }
        break;
    case EVENT_MOUSEUP:
        if (ValidButton(event.data)) g_state.mouse_down[event.data] = 0;
        break;
    case EVENT_MOUSEMOVE:
        g_state.mouse_x = event.x;
        g_state.mouse_y = event.y;
        break;
    case EVENT_MOUSEWHEEL: g_state.mouse_wheel += event.data; break;
    default: break;
    }
    return data;
}

} // namespace

void EnablePolledInput(const void* source) {
    if (g_state.enabled) return;
    g_state.source = source;
    ClearKeys();
    ClearMouse();
    InsertHook(EventEmitHookId, PolledInputHook, nullptr, 0);
    g_state.enabled = true;
}

void DisablePolledInput() {
    DeleteHook(EventEmitHookId, PolledInputHook, nullptr);
    g_state.enabled = false;
    ClearKeys();
    ClearMouse();
    g_state.source = nullptr;
}

int IsAppSuspended() {
    PollSystemEvents();
    return g_state.suspended;
}

int TakeAppTerminate() {
    PollSystemEvents();
    const int terminate = g_state.terminate;
    g_state.terminate = 0;
    return terminate;
}

int IsAppTerminatePending() {
    PollSystemEvents();
    return g_state.terminate;
}

int KeyHitCount(int key) {
    assert(ValidKey(key) && "key code outside 0..255");
    PollSystemEvents();
    const int hits = g_state.key_hits[key];
    g_state.key_hits[key] = 0;
    return hits;
}

int IsKeyDown(int key) {
    assert(ValidKey(key) && "key code outside 0..255");
    PollSystemEvents();
    return g_state.key_down[key];
}

int NextKeyChar() {
    PollSystemEvents();
    if (g_state.char_take == g_state.char_put) return 0;
    return g_state.chars[g_state.char_take++ % kCharQueue];
}

void ClearKeys() {
    PollSystemEvents();
    ResetKeys();
}

int GetMouseX() {
    PollSystemEvents();
    return g_state.mouse_x;
}

int GetMouseY() {
    PollSystemEvents();
    return g_state.mouse_y;
}

int GetMouseWheel() {
    PollSystemEvents();
    return g_state.mouse_wheel;
}

void ClearMouse() {
    PollSystemEvents();
    ResetMouse();
}

int MouseHitCount(int button) {
    assert(ValidButton(button) && "mouse button outside 0..3");
    PollSystemEvents();
    const int hits = g_state.mouse_hits[button];
    g_state.mouse_hits[button] = 0;
    return hits;
}

int IsMouseDown(int button) {
    assert(ValidButton(button) && "mouse button outside 0..3");
    PollSystemEvents();
    return g_state.mouse_down[button];
}

int WaitKeyHit() {
    ClearKeys();
    for (;;) {
        WaitSystemEvent();
        for (int key = 1; key < kKeys; ++key) {
            if (g_state.key_hits[key]) {
                g_state.key_hits[key] = 0;
                return key;
            }
        }
    }
}

int WaitKeyChar() {
    ClearKeys();
    for (;;) {
        WaitSystemEvent();
        if (g_state.char_take != g_state.char_put) return g_state.chars[g_state.char_take++ % kCharQueue];
    }
}

int WaitMouseHit() {
    ClearMouse();
    for (;;) {
        WaitSystemEvent();
        for (int button = 1; button < kButtons; ++button) {
            if (g_state.mouse_hits[button]) {
                g_state.mouse_hits[button] = 0;
                return button;
            }
        }
    }
}
