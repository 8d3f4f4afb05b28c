// The frame harness: presented-frame counting, record/replay, trace, screenshots, timedemo figures.
#include "game/harness.h"

#include "game/trace_state.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/input_replay.h"
#include "platform/printable_text.h"
#include "platform/process_time.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/png_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace {

// An output file of the harness (the recording or the trace). Every write and the close are
// checked: the first failure is reported in one line naming the file, the file is dropped, and the
// game plays on; the process then ends with exit_output_failed after the normal shut-down.
struct output_file {
    explicit output_file(const char* kind)
        : what(kind) {}

    const char* what;
    std::string path;
    FILE* file = nullptr;

    explicit operator bool() const { return file != nullptr; }

    void write_line(const std::string& line) {
        if (file && (std::fputs(line.c_str(), file) == EOF || std::fputc('\n', file) == EOF)) fail();
    }
    void flush() {
        if (file && std::fflush(file) != 0) fail();
    }
    void close() {
        if (!file) return;
        int error = std::fflush(file) == 0 ? 0 : errno;
        if (std::fclose(file) != 0 && error == 0) error = errno;
        file = nullptr;
        if (error != 0) report(error);
    }

private:
    void fail() {
        const int error = errno;
        std::fclose(file);
        file = nullptr;
        report(error);
    }
    void report(int error);
};

struct harness_state {
    game_options options;
    std::optional<TInputScript> script;
    uint32_t seed = 0;
    output_file record{"recording"};
    output_file trace{"trace"};
    bool output_failed = false; // a write to an output file or a screenshot failed
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

void output_file::report(int error) {
    std::fprintf(stderr, "brakkovane3d: cannot write the %s %s: %s\n", what,
                 EscapeForMessage(path, std::string::npos).c_str(), std::strerror(error));
    h.output_failed = true;
}

bool open_output(output_file& out, const std::string& path, std::string& error) {
    out.path = path;
    out.file = std::fopen(path.c_str(), "w");
    if (!out.file)
        error =
            EscapeForMessage(path, std::string::npos) + ": cannot create the file: " + std::strerror(errno);
    return out.file != nullptr;
}

// The files the options name; two options naming one file are refused before any is opened, since
// writing one would destroy the other (a trace written over the recording it replays).
bool files_are_distinct(const game_options& options, std::string& error) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> named; // option, path
    if (!options.timedemo_path.empty())
        named.emplace_back("--timedemo", options.timedemo_path);
    else if (!options.replay_path.empty())
        named.emplace_back("--replay", options.replay_path);
    if (!options.record_path.empty()) named.emplace_back("--record", options.record_path);
    if (!options.trace_path.empty()) named.emplace_back("--trace", options.trace_path);
    for (const screenshot_request& shot : options.screenshots) named.emplace_back("--screenshot", shot.path);
    auto same_file = [](const std::string& a, const std::string& b) {
        std::error_code ec;
        if (fs::equivalent(a, b, ec)) return true;
        // Files not made yet: the same place spelled twice ("out.txt" and "./out.txt").
        const fs::path ca = fs::weakly_canonical(a, ec), cb = fs::weakly_canonical(b, ec);
        return !ec && ca == cb;
    };
    for (size_t i = 0; i < named.size(); ++i)
        for (size_t j = i + 1; j < named.size(); ++j)
            if (same_file(named[i].second, named[j].second)) {
                error = named[i].first + " and " + named[j].first + " both name " +
                        EscapeForMessage(named[j].second, std::string::npos) + "; give each its own file";
                return false;
            }
    return true;
}

void save_screenshot(const std::string& path) {
    TPixmapPtr picture = GrabPixmap(0, 0, 640, 480);
    if (!picture || !SavePixmapPNG(picture, path)) {
        std::fprintf(stderr, "brakkovane3d: cannot save the screenshot %s\n",
                     EscapeForMessage(path, std::string::npos).c_str());
        h.output_failed = true;
    }
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
    if (!files_are_distinct(options, error)) return false;
    if (!options.replay_path.empty()) {
        h.script = LoadInputScript(options.replay_path, error);
        if (!h.script) return false;
    }
    if (!options.record_path.empty() && !open_output(h.record, options.record_path, error)) return false;
    if (!options.trace_path.empty() && !open_output(h.trace, options.trace_path, error)) return false;

    if (options.seed)
        h.seed = *options.seed;
    else if (h.script && h.script->seed)
        h.seed = *h.script->seed;
    else
        h.seed = GetTickMillis();
    h.record.write_line("seed " + std::to_string(h.seed));
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
        h.scripted->SetRecordSink([](const TScriptEvent& e) { h.record.write_line(FormatScriptEvent(e)); });
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
        h.trace.write_line(format_trace_line(snapshot));
    }
    h.sounds.clear();
    if (frame == h.options.frames) {
        // As if the window's close button had been pressed: the next pump brings the request.
        if (h.scripted)
            h.scripted->Inject(TScriptEventKind::Close);
        else
            TEvent::Create(EVENT_APPTERMINATE).Emit();
    }
    h.record.flush();
}

int64_t frames_presented() {
    return h.frames;
}

void harness_note_sound(const std::string& name) {
    if (h.trace) h.sounds.push_back(name);
}

bool harness_end() {
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
    h.record.close();
    h.trace.close();
    if (h.scripted) {
        SetSystemDriver(h.scripted->Device());
        h.scripted.reset();
    }
    return !h.output_failed;
}
