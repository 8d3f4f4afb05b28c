// Shared by the benchmarks that draw: the game's own back-ends (SDL window, OpenGL 1.x), installed once.
#pragma once

#include "backends/install.h"

#include <cstdio>
#include <cstdlib>
#include <string>

inline void InstallWindowBackends() {
    static bool installed = false;
    if (installed) return;
    std::string error;
    if (!InstallBackends(TBackendChoice{}, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    installed = true;
}
