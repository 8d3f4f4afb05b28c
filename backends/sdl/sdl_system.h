// The SDL system driver: device input, pointer, message boxes and timers over SDL2.
#pragma once

#include "platform/system_driver.h"

#include <cstdint>
#include <map>
#include <set>

struct SDL_Window;
struct SDL_KeyboardEvent;
union SDL_Event;

// How the game window's pixels relate to the game picture's, for the pointer. The drawing back-end
// that opens the windows provides one and the back-end installer registers it; without one,
// coordinates pass through unchanged.
class TSDLPointerMap {
public:
    virtual ~TSDLPointerMap() = default;
    // The window the game draws into, or null.
    virtual SDL_Window* Window() = 0;
    virtual void WindowToPicture(int wx, int wy, int* px, int* py) = 0;
    virtual void PictureToWindow(int px, int py, int* wx, int* wy) = 0;
};

void SetSDLPointerMap(TSDLPointerMap* map);

// Switches the game window between full screen and a window. The drawing back-end that opens the
// windows provides it and the back-end installer registers it. Alt+Return (either Enter) and F11 call
// it; those keys belong to the window and never become events, with or without one registered.
using TSDLFullScreenToggle = void (*)();
void SetSDLFullScreenToggle(TSDLFullScreenToggle toggle);

// The Windows virtual-key number for an SDL scancode, 0 for a key the game cannot see. Shift, Control
// and Alt give their left/right numbers 160..165.
int SDLScancodeToKey(int scancode);

// Pumps SDL's queue into TEvents (source null): window close or quit -> AppTerminate, losing focus or
// being minimised -> AppSuspend, getting both back -> AppResume, keys (KeyDown, KeyRepeat, KeyUp,
// KeyChar), mouse moves, buttons and wheel in picture pixels. Also delivers its timers' ticks.
class TSDLSystemDriver : public TSystemDriver {
public:
    TSDLSystemDriver();
    ~TSDLSystemDriver() override;

    void Poll() override;
    void Wait() override;
    void MoveMouse(int x, int y) override;
    void SetMouseVisible(bool visible) override;
    void Notify(const std::string& text, bool serious) override;
    int Confirm(const std::string& text, bool serious) override;
    int Proceed(const std::string& text, bool serious) override;
    std::string RequestFile(const std::string& title, const std::string& filter, bool save,
                            const std::string& initial_path) override;
    std::string RequestDir(const std::string& title, const std::string& initial_path) override;
    void OpenURL(const std::string& url) override;
    int StartTimer(int period_ms, TMainThreadFunc func, intptr_t a, intptr_t b) override;
    void StopTimer(int handle) override;

protected:
    // Emits the TEvents for one SDL event. A wrapping driver may call it for events it keeps.
    virtual void Translate(const SDL_Event& event);

private:
    struct TTimerEntry {
        TMainThreadFunc func;
        intptr_t a;
        intptr_t b;
        int sdl_timer;
    };

    void SetActive(bool focused, bool minimized);
    // True for the keys of the full-screen switch, which it handles: the chord's press, its repeats
    // and its release.
    bool TakeWindowKey(const SDL_KeyboardEvent& key);
    int Modifiers() const;
    void PointerInPicture(int wx, int wy, int* px, int* py) const;

    bool focused_ = true;
    bool minimized_ = false;
    bool close_emitted_ = false; // a window close already became AppTerminate in this pump
    bool warp_pending_ = false;  // the next motion event may be the echo of MoveMouse
    int warp_x_ = 0;
    int warp_y_ = 0;
    uint32_t tick_event_type_ = 0;
    int last_timer_handle_ = 0;
    std::map<int, TTimerEntry> timers_;
    std::set<int> window_keys_down_; // scancodes pressed for the full-screen switch
};

// The one SDL driver, made on first use.
TSDLSystemDriver* SDLSystemDriver();
