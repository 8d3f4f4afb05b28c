// The display-less system driver.
#include "backends/null/null_system.h"

#include "platform/clock.h"
#include "platform/event.h"

#include <cstdio>

void TNullSystemDriver::Poll() {}

void TNullSystemDriver::Wait() {
    SleepMillis(1);
}

void TNullSystemDriver::MoveMouse(int x, int y) {
    TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y).Emit();
}

void TNullSystemDriver::SetMouseVisible(bool) {}

void TNullSystemDriver::Notify(const std::string& text, bool) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

int TNullSystemDriver::Confirm(const std::string& text, bool) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 0;
}

int TNullSystemDriver::Proceed(const std::string& text, bool) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 0;
}

std::string TNullSystemDriver::RequestFile(const std::string&, const std::string&, bool, const std::string&) {
    return {};
}

std::string TNullSystemDriver::RequestDir(const std::string&, const std::string&) {
    return {};
}

void TNullSystemDriver::OpenURL(const std::string&) {}

TNullSystemDriver* NullSystemDriver() {
    static TNullSystemDriver driver;
    return &driver;
}
