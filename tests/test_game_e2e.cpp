// End-to-end: the real game binary under the test display, driven by its command line and replays.
#include "render/pixmap.h"
#include "render/pixmap_loader.h"
#include "tests/game_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

// Width and height from a PNG's IHDR chunk, or {0, 0} when the file is not a PNG.
std::pair<uint32_t, uint32_t> png_size(const std::string& path) {
    std::string bytes = read_file(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    return {be32(16), be32(20)};
}

} // namespace

TEST(GameEndToEnd, RunsTheRequestedFramesTracesEachAndSavesTheScreenshot) {
    temp_dir dir(true);
    process_result r =
        run_game_process(dir.path, {"--windowed", "--unpaced", "--seed", "7", "--frames", "120", "--trace",
                                    dir / "trace.jsonl", "--screenshot", "120:" + dir / "shot.png"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    std::vector<std::string> lines = read_lines(dir / "trace.jsonl");
    // Frame 120 is still in the logo intro: the close ends the intro, and the title state draws
    // one frame before the loop sees the quit.
    ASSERT_EQ(lines.size(), 121u);
    for (size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].rfind("{\"f\":" + std::to_string(i + 1) + ",", 0), 0u) << lines[i];
    EXPECT_NE(lines[119].find("\"quit\":0"), std::string::npos) << lines[119];
    EXPECT_NE(lines[120].find("\"state\":4,\"phase\":0,\"stage\":0,\"quit\":1"), std::string::npos)
        << lines[120];
    EXPECT_EQ(png_size(dir / "shot.png"), (std::pair<uint32_t, uint32_t>{640, 480}));
}

// One start-up line at the first frame. Full screen waits on the vertical-blank probe, which the
// figures leave out and name; a window does not probe.
TEST(GameEndToEnd, StartupTimeIsReportedAtTheFirstFrameWithoutTheProbe) {
    for (const bool windowed : {true, false}) {
        temp_dir dir(true);
        std::vector<std::string> args{"--frames", "1", "--startup-time"};
        if (windowed) args.insert(args.begin(), "--windowed");
        process_result r = run_game_process(dir.path, args);
        ASSERT_EQ(r.exit_code, 0) << r.output;
        const size_t at = r.output.find("startup: ");
        ASSERT_NE(at, std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("startup:", at + 1), std::string::npos) << "reported twice";
        double from_start = -1, from_main = -1, probe = -1;
        int tail = 0;
        ASSERT_EQ(std::sscanf(r.output.c_str() + at,
                              "startup: first frame %lf ms after the process started, %lf ms after main "
                              "(vertical-blank probe of %lf ms not counted)%n",
                              &from_start, &from_main, &probe, &tail),
                  3)
            << r.output;
        EXPECT_GT(tail, 0) << "the line does not end as it should: " << r.output;
        EXPECT_GT(from_main, 0.0);
        // The process's age counts in 10 ms ticks and includes the time before main.
        EXPECT_GE(from_start + 10.0, from_main) << r.output;
        if (windowed) {
            EXPECT_EQ(probe, 0.0);
        } else {
            EXPECT_GT(probe, 0.0) << "full screen was expected to probe for vertical-blank sync";
        }
    }
}

TEST(GameEndToEnd, ReplayedInputReachesTheGameAtItsFrame) {
    temp_dir dir(true);
    write_file(dir / "input.txt", "seed 99\n"
                                  "10 mouse 100 200\n"
                                  "30 mouse 5 6\n"
                                  "40 close\n");
    process_result r = run_game_process(
        dir.path, {"--windowed", "--unpaced", "--replay", dir / "input.txt", "--trace", dir / "trace.jsonl"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    std::vector<std::string> lines = read_lines(dir / "trace.jsonl");
    // An event of frame F arrives after F frames were shown, so frame F + 1 is the first to see it.
    ASSERT_EQ(lines.size(), 41u) << "the close after frame 40 ends the intro; one title frame follows";
    EXPECT_EQ(lines[9].find("\"mouse\":[100,200]"), std::string::npos) << lines[9];
    EXPECT_NE(lines[10].find("\"mouse\":[100,200]"), std::string::npos) << lines[10];
    EXPECT_NE(lines[30].find("\"mouse\":[5,6]"), std::string::npos) << lines[30];
}

TEST(GameEndToEnd, SpaceSkipsTheIntroAndEscapeAtTheTitleQuits) {
    temp_dir dir(true);
    write_file(dir / "input.txt", "5 key 32 down\n5 key 32 up\n20 key 27 down\n20 key 27 up\n");
    process_result r = run_game_process(dir.path, {"--windowed", "--unpaced", "--replay", dir / "input.txt",
                                                   "--trace", dir / "trace.jsonl", "--frames", "500"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    std::vector<std::string> lines = read_lines(dir / "trace.jsonl");
    ASSERT_EQ(lines.size(), 20u) << "Escape after frame 20 ends the loop with that frame";
    EXPECT_NE(lines[5].find("\"state\":4"), std::string::npos) << lines[5];
}

TEST(GameEndToEnd, RecordedSessionReplaysToAnIdenticalTrace) {
    temp_dir dir(true);
    // The recording's own input: the frame limit's close, and pointer moves the game makes itself.
    process_result first =
        run_game_process(dir.path, {"--windowed", "--unpaced", "--frames", "90", "--record", dir / "rec.txt",
                                    "--trace", dir / "a.jsonl"});
    ASSERT_EQ(first.exit_code, 0) << first.output;
    process_result second = run_game_process(
        dir.path, {"--windowed", "--unpaced", "--replay", dir / "rec.txt", "--trace", dir / "b.jsonl"});
    ASSERT_EQ(second.exit_code, 0) << second.output;
    std::vector<std::string> a = read_lines(dir / "a.jsonl"), b = read_lines(dir / "b.jsonl");
    ASSERT_EQ(a.size(), 91u);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << "first difference at frame " << i + 1;
    EXPECT_EQ(read_lines(dir / "rec.txt").front().rfind("seed ", 0), 0u);
}

TEST(GameEndToEnd, FrameLimitClosesAheadOfALongerReplay) {
    temp_dir dir(true);
    write_file(dir / "input.txt", "5 key 32 down\n5 key 32 up\n900 mouse 1 1\n");
    process_result r = run_game_process(dir.path, {"--windowed", "--unpaced", "--replay", dir / "input.txt",
                                                   "--trace", dir / "trace.jsonl", "--frames", "100"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(read_lines(dir / "trace.jsonl").size(), 100u);
}

// Real device input: X events sent by xdotool to the paced game while it records, whenever they
// happen to arrive; the unpaced replay must reproduce every frame of the recorded run.
TEST(GameEndToEnd, SessionRecordedFromRealInputReplaysToAnIdenticalTrace) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
    temp_dir dir(true);
    std::string driver = "sleep 1; w=$(xdotool search --sync --name 'Brakkovane 3D' | head -1); "
                         "xdotool mousemove --window $w 100 100; sleep 0.3; xdotool key space; sleep 0.4; "
                         "xdotool mousemove --window $w 330 225; sleep 0.2; xdotool click 1; sleep 1.2; "
                         "xdotool keydown Left; sleep 0.4; xdotool keyup Left; xdotool key Control_L";
    std::thread input([&] { (void)std::system(("(" + driver + ") >/dev/null 2>&1").c_str()); });
    process_result first =
        run_game_process(dir.path, {"--windowed", "--seed", "3", "--frames", "360", "--record",
                                    dir / "rec.txt", "--trace", dir / "a.jsonl"});
    input.join();
    ASSERT_EQ(first.exit_code, 0) << first.output;
    std::vector<std::string> recording = read_lines(dir / "rec.txt");
    ASSERT_GT(recording.size(), 5u) << "the devices' input was recorded";
    process_result second = run_game_process(
        dir.path, {"--windowed", "--unpaced", "--replay", dir / "rec.txt", "--trace", dir / "b.jsonl"});
    ASSERT_EQ(second.exit_code, 0) << second.output;
    std::vector<std::string> a = read_lines(dir / "a.jsonl"), b = read_lines(dir / "b.jsonl");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << "first difference at frame " << i + 1;
}

TEST(GameEndToEnd, BadCommandLinesAndScriptsExitWithCode2BeforeAnyWindow) {
    temp_dir dir;
    process_result r = run_game_process(dir.path, {"--frames", "zero"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.output, "brakkovane3d: --frames needs a whole number of at least 1\n");

    write_file(dir / "bad.txt", "seed 1\n0 key 27 down\n3 kee 27 up\n");
    r = run_game_process(dir.path, {"--replay", dir / "bad.txt"}, {"DISPLAY=:4242"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.output, "brakkovane3d: " + dir / "bad.txt" + ":3: unknown event 'kee'\n");

    r = run_game_process(dir.path, {"--video", "vga"}, {"DISPLAY=:4242"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.output, "brakkovane3d: --video vga is not a video back-end (choose sdl, null)\n");
}

TEST(GameEndToEnd, NoDisplayIsOneLineAndExitCode1) {
    temp_dir dir;
    process_result r = run_game_process(dir.path, {"--windowed"}, {"DISPLAY=:4242"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.output.rfind("brakkovane3d: cannot open the display: ", 0), 0u) << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

TEST(GameEndToEnd, HelpListsTheOptions) {
    temp_dir dir;
    process_result r = run_game_process(dir.path, {"--help"});
    EXPECT_EQ(r.exit_code, 0);
    for (const char* option : {"--video", "--windowed", "--scale", "--seed", "--frames", "--unpaced",
                               "--record", "--replay", "--trace", "--screenshot"})
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
}

// The null back-end plays the same game as GL: the heavy demo (3D, retro lines, versus with two
// joysticks) gives the same trace line for line, and it needs no display at all.
TEST(GameEndToEnd, ARecordedGameTracesAlikeOnGlAndOnTheNullBackEnd) {
    const std::string demo = std::string(SOURCE_DIR) + "/bench/demos/heavy.txt";
    temp_dir gl_dir(true), null_dir(true);
    // Both windowed: a full-screen start puts the pointer in the middle, a window leaves it at 0, 0.
    const std::vector<std::string> common = {"--windowed", "--unpaced", "--replay", demo, "--frames", "2400"};
    std::vector<std::string> gl_args = common, null_args = common;
    gl_args.insert(gl_args.end(), {"--trace", gl_dir / "trace.jsonl"});
    null_args.insert(null_args.end(), {"--video", "null", "--trace", null_dir / "trace.jsonl"});
    process_result gl = run_game_process(gl_dir.path, gl_args, {}, 300);
    process_result null = run_game_process(null_dir.path, null_args, {"DISPLAY=", "WAYLAND_DISPLAY="}, 300);
    ASSERT_EQ(gl.exit_code, 0) << gl.output;
    ASSERT_EQ(null.exit_code, 0) << null.output;

    const std::vector<std::string> gl_lines = read_lines(gl_dir / "trace.jsonl");
    const std::vector<std::string> null_lines = read_lines(null_dir / "trace.jsonl");
    ASSERT_EQ(gl_lines.size(), 2400u);
    ASSERT_EQ(null_lines.size(), gl_lines.size());
    for (size_t i = 0; i < gl_lines.size(); ++i)
        ASSERT_EQ(null_lines[i], gl_lines[i]) << "first difference at frame " << i + 1;
    // The stretch compared holds play, not only menus: the objects and collisions were exercised.
    const size_t played =
        static_cast<size_t>(std::count_if(gl_lines.begin(), gl_lines.end(), [](const std::string& l) {
            return l.find("\"state\":2,") != std::string::npos;
        }));
    EXPECT_GT(played, 1000u);
}

// The same recorded stretch on both GL renderers (3D mode, tinted eyes added to the picture): the
// traces and the screenshots are identical, pixel for pixel.
TEST(GameEndToEnd, ARecordedGamePlaysAlikeOnBothRenderers) {
    const std::string demo = std::string(SOURCE_DIR) + "/bench/demos/heavy.txt";
    const std::vector<int> shots = {100, 400, 590};
    temp_dir gl1_dir(true), gles2_dir(true);
    auto run = [&](const temp_dir& dir, const char* renderer) {
        std::vector<std::string> args = {
            "--renderer", renderer,   "--windowed", "--unpaced", "--replay",
            demo,         "--frames", "600",        "--trace",   dir / "trace.jsonl"};
        for (int frame : shots)
            args.insert(args.end(), {"--screenshot",
                                     std::to_string(frame) + ":" + dir / (std::to_string(frame) + ".png")});
        return run_game_process(dir.path, args, {}, 300);
    };
    process_result gl1 = run(gl1_dir, "gl1");
    process_result gles2 = run(gles2_dir, "gles2");
    ASSERT_EQ(gl1.exit_code, 0) << gl1.output;
    ASSERT_EQ(gles2.exit_code, 0) << gles2.output;
    const std::vector<std::string> gl1_lines = read_lines(gl1_dir / "trace.jsonl");
    const std::vector<std::string> gles2_lines = read_lines(gles2_dir / "trace.jsonl");
    ASSERT_EQ(gl1_lines.size(), 600u);
    ASSERT_EQ(gles2_lines.size(), gl1_lines.size());
    for (size_t i = 0; i < gl1_lines.size(); ++i)
        ASSERT_EQ(gles2_lines[i], gl1_lines[i]) << "first difference at frame " << i + 1;
    InitPixmapLoaders();
    for (int frame : shots) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        TPixmapPtr a = LoadPixmap(gl1_dir / (std::to_string(frame) + ".png"));
        TPixmapPtr b = LoadPixmap(gles2_dir / (std::to_string(frame) + ".png"));
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->width, b->width);
        ASSERT_EQ(a->height, b->height);
        a = a->Convert(PF_RGBA8888);
        b = b->Convert(PF_RGBA8888);
        int differing = 0, largest = 0, first_x = -1, first_y = -1;
        for (int y = 0; y < a->height; ++y) {
            for (int x = 0; x < a->width; ++x) {
                const uint8_t* pa = a->PixelPtr(x, y);
                const uint8_t* pb = b->PixelPtr(x, y);
                int d = 0;
                for (int c = 0; c < 4; ++c) d = std::max(d, std::abs(pa[c] - pb[c]));
                if (d == 0) continue;
                if (differing++ == 0) first_x = x, first_y = y;
                largest = std::max(largest, d);
            }
        }
        EXPECT_EQ(differing, 0) << "by at most " << largest << ", the first at (" << first_x << ", "
                                << first_y << ")";
    }
}

// A whole recorded game on the null back-end with no display: it plays to its end (the demo closes
// the window in its fifth stage, frame 3670), draws pictures and saves its files.
TEST(GameEndToEnd, TheNullBackEndPlaysAWholeGameWithoutADisplay) {
    const std::string demo = std::string(SOURCE_DIR) + "/bench/demos/typical.txt";
    temp_dir dir(true);
    process_result r = run_game_process(dir.path,
                                        {"--video", "null", "--unpaced", "--replay", demo, "--trace",
                                         dir / "trace.jsonl", "--screenshot", "1500:" + dir / "play.png"},
                                        {"DISPLAY=", "WAYLAND_DISPLAY="}, 300);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output, "") << "no warning: every sound loads, nothing is missing";
    const std::vector<std::string> lines = read_lines(dir / "trace.jsonl");
    ASSERT_EQ(lines.size(), 3670u);
    EXPECT_NE(lines.back().find("\"state\":2,\"phase\":1,\"stage\":5,"), std::string::npos) << lines.back();
    EXPECT_EQ(png_size(dir / "play.png"), (std::pair<uint32_t, uint32_t>{640, 480}));
    EXPECT_EQ(read_file(dir / "data/hiscore.dat").size(), 4u);
    EXPECT_EQ(read_file(dir / "data/anaglyph3d.dat").size(), 8u);
}

// The benchmark demos as timedemos, each from its own settings: the line carries the GL driver's draw
// calls and texture binds per frame, which depend only on what is drawn, and they stay within what a
// frame of each may cost.
TEST(GameEndToEnd, TimedemoCountsDrawCallsAndTextureBindsWithinTheirLimits) {
    struct demo_limits {
        const char* name;
        double max_draws, max_binds;
    };
    // The typical demo has no limit of its own on binds; each bind is followed by a draw.
    const demo_limits demos[] = {{"typical", 40.0, 40.0}, {"heavy", 150.0, 20.0}};
    for (const demo_limits& demo : demos) {
        SCOPED_TRACE(demo.name);
        temp_dir dir(true);
        const std::string script = std::string(SOURCE_DIR) + "/bench/demos/" + demo.name + ".txt";
        process_result r = run_game_process(dir.path, {"--windowed", "--timedemo", script}, {}, 600);
        ASSERT_EQ(r.exit_code, 0) << r.output;
        const size_t at = r.output.find("timedemo: ");
        ASSERT_NE(at, std::string::npos) << r.output;
        long long frames = 0;
        double seconds = 0, fps = 0, p50 = 0, p99 = 0, max = 0, draws = -1, binds = -1;
        ASSERT_EQ(std::sscanf(r.output.c_str() + at,
                              "timedemo: %lld frames, %lf s, %lf fps, frame ms p50 %lf p99 %lf max %lf, "
                              "draws/frame %lf, binds/frame %lf",
                              &frames, &seconds, &fps, &p50, &p99, &max, &draws, &binds),
                  8)
            << r.output.substr(at);
        EXPECT_GT(frames, 3000);
        // Every frame draws the picture; a texture is bound at least for the overlay.
        EXPECT_GE(draws, 1.0);
        EXPECT_GE(binds, 1.0);
        EXPECT_LE(draws, demo.max_draws);
        EXPECT_LE(binds, demo.max_binds);
    }
}
