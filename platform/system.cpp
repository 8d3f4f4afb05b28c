// The current system driver and the module functions over it.
#include "platform/system.h"

#include "platform/event.h"
#include "platform/system_driver.h"
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

TSystemDriver* g_driver = nullptr;
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

void SetSystemDriver(TSystemDriver* driver) {
    g_driver = driver;
}

TSystemDriver* CurrentSystemDriver() {
    return g_driver;
}

namespace {

// A termination signal that arrived since the last pump becomes the close request: through the
// driver, which may record it, or directly while there is none.
void DeliverTerminationSignal() {
    if (!TakeTerminationSignal()) return;
    if (g_driver)
        g_driver->RequestTerminate();
    else
        TEvent::Create(EVENT_APPTERMINATE).Emit();
}

} // namespace

void PollSystemEvents() {
    if (g_pumping) return;
    TPumpGuard guard;
    if (g_driver) g_driver->Poll();
    DeliverTerminationSignal();
}

void WaitSystemEvent() {
    if (g_pumping) return;
    TPumpGuard guard;
    if (g_driver) g_driver->Wait();
    DeliverTerminationSignal();
}

void SetMousePosition(int x, int y) {
    if (g_driver)
        g_driver->MoveMouse(x, y);
    else
        TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y).Emit();
}
void ShowPointer() {
    if (g_driver) g_driver->SetMouseVisible(true);
}
void HidePointer() {
    if (g_driver) g_driver->SetMouseVisible(false);
}
void ShowNotice(const std::string& text, bool serious) {
    if (g_driver)
        g_driver->Notify(text, serious);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void SetAppTitle(const std::string& title) {
    g_app_title = title;
}
const std::string& AppTitle() {
    return g_app_title;
}
