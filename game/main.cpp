// Entry point: the command line, then start-up, the main loop and shut-down.
#include "game/flow.h"
#include "game/harness.h"
#include "game/options.h"

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
    if (!harness_begin(parsed.options, error)) {
        std::fprintf(stderr, "brakkovane3d: %s\n", error.c_str());
        return 2;
    }
    return run_game(parsed.options);
}
