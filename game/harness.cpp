// The frame harness: presented-frame counting, record/replay, trace, screenshots, timedemo figures.
#include "game/harness.h"

#include "game/trace_state.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/input_replay.h"
#include "platform/process_time.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/png_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

struct harness_state {
    game_options options;
    std::optional<TInputScript> script;
    uint32_t seed = 0;
    FILE* record = nullptr;
    FILE* trace = nullptr;
    std::unique_ptr<TScriptedSystemDriver> scripted;
    int64_t frames = 0;
    std::vector<std::string> sounds; // effects started since the last trace line
    std::vector<double> frame_ms;    // timedemo: time from one flip to the next
    // timedemo: the back-end's draw counts at the first and at the latest flip, so that the figures
    // per frame cover exactly the frames that frame_ms times.
    TDrawCounts first_counts, last_counts;
    std::chrono::steady_clock::time_point last_flip;
    bool timing = false;
    std::chrono::steady_clock::time_point main_start; // when harness_begin ran, first thing in main
};

harness_state h;

FILE* open_output(const std::string& path, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) error = path + ": cannot create the file";
    return f;
}

void save_screenshot(const std::string& path) {
    TPixmapPtr picture = GrabPixmap(0, 0, 640, 480);
    if (!picture || !SavePixmapPNG(picture, path))
        std::fprintf(stderr, "brakkovane3d: cannot save the screenshot %s\n", path.c_str());
}

// The start-up time up to the first presented frame. The vertical-blank probe is left out: it waits
// up to a second on displays that do not keep sync, whatever the game does.
void report_startup() {
    const auto probe_ms = static_cast<double>(GraphicsProbeMillis());
    const double from_main =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - h.main_start).count() -
        probe_ms;
    const std::optional<double> age = ProcessAgeMillis();
    std::printf("startup: first frame %.0f ms after the process started, %.1f ms after main "
                "(vertical-blank probe of %.0f ms not counted)\n",
                age ? *age - probe_ms : from_main, from_main, probe_ms);
    std::fflush(stdout);
}

} // namespace

bool harness_begin(const game_options& options, std::string& error) {
    h.main_start = std::chrono::steady_clock::now();
    h.options = options;
    if (!options.replay_path.empty()) {
        h.script = LoadInputScript(options.replay_path, error);
        if (!h.script) return false;
    }
    if (!options.record_path.empty() && !(h.record = open_output(options.record_path, error))) return false;
    if (!options.trace_path.empty() && !(h.trace = open_output(options.trace_path, error))) return false;

    if (options.seed)
        h.seed = *options.seed;
    else if (h.script && h.script->seed)
        h.seed = *h.script->seed;
    else
        h.seed = GetTickMillis();
    if (h.record) std::fprintf(h.record, "seed %u\n", h.seed);
    return true;
}

uint32_t harness_seed() {
    return h.seed;
}

void harness_install_input() {
    if (h.script) {
        h.scripted = std::make_unique<TScriptedSystemDriver>(
            CurrentSystemDriver(), TScriptedSystemDriver::Mode::Replay, std::move(*h.script));
    } else if (h.record) {
        h.scripted = std::make_unique<TScriptedSystemDriver>(CurrentSystemDriver(),
                                                             TScriptedSystemDriver::Mode::Record);
        h.scripted->SetRecordSink(
            [](const TScriptEvent& e) { std::fprintf(h.record, "%s\n", FormatScriptEvent(e).c_str()); });
    }
    if (h.scripted) SetSystemDriver(h.scripted.get());
}

void flip_frame() {
    const int64_t frame = h.frames + 1;
    for (const screenshot_request& shot : h.options.screenshots)
        if (shot.frame == frame) save_screenshot(shot.path);

    Flip(-1);
    h.frames = frame;
    if (frame == 1 && h.options.startup_time) report_startup();

    if (!h.options.timedemo_path.empty()) {
        auto now = std::chrono::steady_clock::now();
        if (h.timing)
            h.frame_ms.push_back(std::chrono::duration<double, std::milli>(now - h.last_flip).count());
        else
            h.first_counts = GetDrawCounts();
        h.last_counts = GetDrawCounts();
        h.last_flip = now;
        h.timing = true;
    }
    if (h.scripted) h.scripted->FramePresented();
    if (h.trace) {
        trace_snapshot snapshot = collect_trace_snapshot(frame);
        snapshot.sounds.swap(h.sounds);
        std::fprintf(h.trace, "%s\n", format_trace_line(snapshot).c_str());
    }
    h.sounds.clear();
    if (frame == h.options.frames) {
        // As if the window's close button had been pressed: the next pump brings the request.
        if (h.scripted)
            h.scripted->Inject(TScriptEventKind::Close);
        else
            TEvent::Create(EVENT_APPTERMINATE).Emit();
    }
    if (h.record) std::fflush(h.record);
}

int64_t frames_presented() {
    return h.frames;
}

void harness_note_sound(const std::string& name) {
    if (h.trace) h.sounds.push_back(name);
}

void harness_end() {
    if (!h.options.timedemo_path.empty() && !h.frame_ms.empty()) {
        std::vector<double> sorted = h.frame_ms;
        std::sort(sorted.begin(), sorted.end());
        double total_ms = 0;
        for (double ms : sorted) total_ms += ms;
        auto percentile = [&](double p) {
            return sorted[static_cast<size_t>(p * static_cast<double>(sorted.size() - 1))];
        };
        const auto frames = static_cast<double>(sorted.size());
        const auto per_frame = [&](uint64_t last, uint64_t first) {
            return static_cast<double>(last - first) / frames;
        };
        std::printf("timedemo: %lld frames, %.2f s, %.1f fps, frame ms p50 %.2f p99 %.2f max %.2f, "
                    "draws/frame %.1f, binds/frame %.1f\n",
                    static_cast<long long>(h.frames), total_ms / 1000.0, 1000.0 * frames / total_ms,
                    percentile(0.5), percentile(0.99), sorted.back(),
                    per_frame(h.last_counts.draw_calls, h.first_counts.draw_calls),
                    per_frame(h.last_counts.texture_binds, h.first_counts.texture_binds));
    }
    if (h.record) std::fclose(h.record), h.record = nullptr;
    if (h.trace) std::fclose(h.trace), h.trace = nullptr;
    if (h.scripted) {
        SetSystemDriver(h.scripted->Device());
        h.scripted.reset();
    }
}
