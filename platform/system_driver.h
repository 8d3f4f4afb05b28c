// The system driver contract: where events come from, the pointer, message boxes, and work posted
// to the main thread. One driver is current: the back-end's, or a replay harness's wrapped around it.
#pragma once

#include <cstdint>
#include <string>

// Work another thread asks to have done on the main thread, run during a pump (timer ticks).
using TMainThreadFunc = void (*)(intptr_t a, intptr_t b);

class TSystemDriver {
public:
    virtual ~TSystemDriver() = default;

    // Turns every waiting system message into emitted TEvents (and runs posted work).
    virtual void Poll() = 0;
    // Blocks until some input or message arrives (or a few milliseconds pass), then pumps.
    virtual void Wait() = 0;
    // Moves the pointer to (x, y) in the game picture's pixels. Like a real move it must emit a
    // MouseMove event at exactly (x, y) before it returns, so the polled pointer reads (x, y) at once.
    virtual void MoveMouse(int x, int y) = 0;
    virtual void SetMouseVisible(bool visible) = 0;
    // Message boxes, captioned with AppTitle().
    virtual void Notify(const std::string& text, bool serious) = 0;
    // 1 for OK, 0 otherwise.
    virtual int Confirm(const std::string& text, bool serious) = 0;
    // 1 yes, 0 no, -1 cancel.
    virtual int Proceed(const std::string& text, bool serious) = 0;
    // Empty string on cancel.
    virtual std::string RequestFile(const std::string& title, const std::string& filter, bool save,
                                    const std::string& initial_path) = 0;
    virtual std::string RequestDir(const std::string& title, const std::string& initial_path) = 0;
    virtual void OpenURL(const std::string& url) = 0;

    // A periodic system timer: every period_ms milliseconds, on whatever thread the system uses, the
    // driver arranges for func(a, b) to run on the main thread during a later Poll or Wait. Returns a
    // handle (non-zero), or 0 when the driver has no timers. After StopTimer no further call is made.
    virtual int StartTimer(int period_ms, TMainThreadFunc func, intptr_t a, intptr_t b);
    virtual void StopTimer(int handle);

    // A termination signal arrived: deliver the close request as a window close would. The default
    // emits AppTerminate; a driver that keeps a record of its input (a recording) also records it.
    virtual void RequestTerminate();
};

// Replaces the current driver; null leaves none. The caller keeps ownership. With no driver, pumps
// do nothing, SetMousePosition moves the polled pointer directly and notices go to standard error.
void SetSystemDriver(TSystemDriver* driver);
TSystemDriver* CurrentSystemDriver();
