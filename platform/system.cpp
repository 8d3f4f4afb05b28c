// The current system driver, the null driver and the module functions over them.
#include "platform/system.h"

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/termination_signals.h"

#include <cstdio>

int TSystemDriver::StartTimer(int, TMainThreadFunc, intptr_t, intptr_t) {
    return 0;
}
void TSystemDriver::StopTimer(int) {}
void TSystemDriver::RequestTerminate() {
    TEvent::Create(EVENT_APPTERMINATE).Emit();
}

namespace {

class TNullSystemDriver final : public TSystemDriver {
public:
    void Poll() override {}
    void Wait() override { SleepMillis(1); }
    void MoveMouse(int x, int y) override { TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y).Emit(); }
    void SetMouseVisible(bool) override {}
    void Notify(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    int Confirm(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return 0;
    }
    int Proceed(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return 0;
    }
    std::string RequestFile(const std::string&, const std::string&, bool, const std::string&) override {
        return {};
    }
    std::string RequestDir(const std::string&, const std::string&) override { return {}; }
    void OpenURL(const std::string&) override {}
};

TNullSystemDriver g_null_driver;
TSystemDriver* g_driver = &g_null_driver;
bool g_pumping = false;
std::string g_app_title;

// Marks a pump as running for its lifetime, so nested polls from hooks return at once.
class TPumpGuard {
public:
    TPumpGuard() { g_pumping = true; }
    ~TPumpGuard() { g_pumping = false; }
    TPumpGuard(const TPumpGuard&) = delete;
    TPumpGuard& operator=(const TPumpGuard&) = delete;
};

} // namespace

TSystemDriver* NullSystemDriver() {
    return &g_null_driver;
}

void SetSystemDriver(TSystemDriver* driver) {
    g_driver = driver ? driver : &g_null_driver;
}

TSystemDriver* CurrentSystemDriver() {
    return g_driver;
}

void PollSystemEvents() {
    if (g_pumping) return;
    TPumpGuard guard;
    g_driver->Poll();
    if (TakeTerminationSignal()) g_driver->RequestTerminate();
}

void WaitSystemEvent() {
    if (g_pumping) return;
    TPumpGuard guard;
    g_driver->Wait();
    if (TakeTerminationSignal()) g_driver->RequestTerminate();
}

void SetMousePosition(int x, int y) {
    g_driver->MoveMouse(x, y);
}
void ShowPointer() {
    g_driver->SetMouseVisible(true);
}
void HidePointer() {
    g_driver->SetMouseVisible(false);
}
void ShowNotice(const std::string& text, bool serious) {
    g_driver->Notify(text, serious);
}

void SetAppTitle(const std::string& title) {
    g_app_title = title;
}
const std::string& AppTitle() {
    return g_app_title;
}
