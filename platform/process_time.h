// How long the process has been running, as the operating system counts it.
#pragma once

#include <optional>

// Milliseconds since the kernel started this process, in its clock ticks (10 ms steps on most
// systems); unlike a clock read in main, this also counts the loading of the shared libraries.
// Empty when the system cannot say.
std::optional<double> ProcessAgeMillis();
