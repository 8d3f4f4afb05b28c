// The system services the game calls: pumping events, the pointer, notices and the application
// title, over the current system driver (system_driver.h).
#pragma once

#include <string>

// Pump the current driver. Each does nothing while a poll or wait is already running, so hooks may
// call them (directly or through a polled-input query) safely. Each pump also hands a termination
// signal that arrived since the last one to the driver's RequestTerminate.
void PollSystemEvents();
void WaitSystemEvent();

// Moves the pointer in the game picture's pixels; the polled pointer follows at once.
void SetMousePosition(int x, int y);
void ShowPointer();
void HidePointer();
void ShowNotice(const std::string& text, bool serious = false);

// The application title: caption of the game window and of message boxes.
void SetAppTitle(const std::string& title);
const std::string& AppTitle();
