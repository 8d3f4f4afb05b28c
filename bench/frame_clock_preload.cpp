// Preloaded into the game by scripts/bench-compare: notes the clocks at every presented frame, so two
// builds are timed alike from outside, without a line of the game's code knowing it.
//
// Each return from SDL_GL_SwapWindow appends one line to the file named by BRAKKOVANE3D_FRAME_CLOCK,
// written when the process ends: "swap_index monotonic_ns process_cpu_ns thread_cpu_ns" (the thread
// being the one that presents, the game's main thread). Nothing is written per frame, so the figures
// do not pay for their own keeping.
#include <SDL.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr const char* kOutputVariable = "BRAKKOVANE3D_FRAME_CLOCK";
// Enough for an hour at 60 frames a second without a reallocation in the middle of a frame.
constexpr size_t kReservedSwaps = 60 * 60 * 60;

struct swap_clocks {
    int64_t monotonic_ns, process_cpu_ns, thread_cpu_ns;
};

int64_t ReadClock(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::vector<swap_clocks>& Swaps() {
    static std::vector<swap_clocks>* swaps = [] {
        auto* v = new std::vector<swap_clocks>;
        v->reserve(kReservedSwaps);
        return v;
    }();
    return *swaps;
}

__attribute__((destructor)) void WriteSwaps() {
    const char* path = std::getenv(kOutputVariable);
    if (!path) return;
    FILE* out = std::fopen(path, "w");
    if (!out) return;
    const std::vector<swap_clocks>& swaps = Swaps();
    for (size_t i = 0; i < swaps.size(); ++i)
        std::fprintf(out, "%zu %lld %lld %lld\n", i, static_cast<long long>(swaps[i].monotonic_ns),
                     static_cast<long long>(swaps[i].process_cpu_ns),
                     static_cast<long long>(swaps[i].thread_cpu_ns));
    std::fclose(out);
}

} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using swap_function = void (*)(SDL_Window*);
    static const auto next = reinterpret_cast<swap_function>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (!next) std::abort(); // preloaded into a program that does not link SDL
    next(window);
    Swaps().push_back({ReadClock(CLOCK_MONOTONIC), ReadClock(CLOCK_PROCESS_CPUTIME_ID),
                       ReadClock(CLOCK_THREAD_CPUTIME_ID)});
}
