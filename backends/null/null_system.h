// The display-less system driver: no window, no input devices, notices on standard error.
#pragma once

#include "platform/system_driver.h"

// No input of its own and no pointer: MoveMouse still emits its MouseMove, so the polled pointer
// follows; Wait sleeps a millisecond; message boxes print to standard error and answer "no".
class TNullSystemDriver final : public TSystemDriver {
public:
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
};

TNullSystemDriver* NullSystemDriver();
