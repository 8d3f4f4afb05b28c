// Entry point: the command line, the back-ends, then start-up, the main loop and shut-down.
#include "backends/install.h"
#include "game/controls.h"
#include "game/flow.h"
#include "game/harness.h"
#include "game/options.h"
#include "platform/filesystem.h"
#include "platform/termination_signals.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    parse_result parsed = parse_options(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "brakkovane3d: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(options_help_text(), stdout);
        return 0;
    }
    std::string error;
    // Before any back-end starts: a signal during start-up then also ends in the normal shut-down,
    // at the intro's first check for a close request.
    InstallTerminationSignalHandlers();
    // The one choice of back-ends; everything after this runs on whatever was installed.
    TBackendChoice backends;
    backends.video = parsed.options.video;
    backends.renderer = parsed.options.renderer;
    backends.controller_mappings = ResolvePathCase(controller_mappings_path);
    if (!InstallBackends(backends, error)) {
        std::fprintf(stderr, "brakkovane3d: %s\n", error.c_str());
        return 2;
    }
    if (!harness_begin(parsed.options, error)) {
        std::fprintf(stderr, "brakkovane3d: %s\n", error.c_str());
        return 2;
    }
    return run_game(parsed.options);
}
