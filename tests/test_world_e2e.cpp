// End-to-end: the logo intro, the world on screen in flat and 3D mode, the title's versus line, and a
// reproducible stage of play, through the real game binary under the test display.
#include "game/embedded_assets.h"
#include "render/pixmap.h"
#include "render/pixmap_loader.h"
#include "tests/game_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The 3D settings file: eye offset, then mode, little-endian 32-bit integers.
void write_3d_settings(const temp_dir& dir, int32_t eye, int32_t mode) {
    std::ofstream out(dir / "data/anaglyph3d.dat", std::ios::binary);
    for (int32_t v : {eye, mode})
        for (int byte = 0; byte < 4; ++byte)
            out.put(static_cast<char>((static_cast<uint32_t>(v) >> (8 * byte)) & 0xFF));
}

// An integer field of a trace line; the first occurrence is the top-level one.
int field(const std::string& line, const std::string& name) {
    const size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -999 : std::atoi(line.c_str() + at + name.size() + 3);
}

std::string sounds_of(const std::string& line) {
    const size_t at = line.find("\"sounds\":[");
    return at == std::string::npos ? "?" : line.substr(at + 10, line.find(']', at) - at - 10);
}

// The frame (from 1) of the first title-menu line, or 0.
int first_title_frame(const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (field(lines[i], "state") == 4) return static_cast<int>(i + 1);
    return 0;
}

// Runs the game in `dir` with a trace. Without a replay of its own the run replays an empty
// recording, so that only scripted input reaches the game: a window of another test on the same
// display taking the focus would otherwise suspend it.
std::vector<std::string> run_traced(const temp_dir& dir, std::vector<std::string> args) {
    std::vector<std::string> all = {"--windowed", "--unpaced", "--trace", dir / "trace.jsonl"};
    if (std::find(args.begin(), args.end(), "--replay") == args.end()) {
        write_file(dir / "no_input.txt", "");
        all.insert(all.end(), {"--replay", dir / "no_input.txt"});
    }
    all.insert(all.end(), args.begin(), args.end());
    process_result r = run_game_process(dir.path, all, {}, 120);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return read_lines(dir / "trace.jsonl");
}

struct Rgb {
    int r = 0, g = 0, b = 0;
};

TPixmapPtr load_picture(const std::string& url) {
    static bool ready = false;
    if (!ready) {
        register_embedded_assets();
        InitPixmapLoaders();
        ready = true;
    }
    TPixmapPtr p = LoadPixmap(url);
    return p ? ConvertPixmap(p, PF_RGBA8888) : nullptr;
}

Rgb pixel(const TPixmapPtr& p, int x, int y) {
    const uint8_t* px = p->PixelPtr(x, y);
    return {px[0], px[1], px[2]};
}

} // namespace

TEST(WorldEndToEnd, IntroLengthFlatAndIn3D) {
    struct intro_case {
        int mode, eye;
        int title_frame;
    };
    // Flat: 225 frames of hold, then 100 of fading; 3D: 250 of growth, then 100 of fading.
    for (const intro_case c : {intro_case{0, 0, 327}, intro_case{1, 6, 352}, intro_case{4, 20, 352}}) {
        temp_dir dir(true);
        if (c.mode) write_3d_settings(dir, c.eye, c.mode);
        std::vector<std::string> lines = run_traced(dir, {"--seed", "5", "--frames", "360"});
        ASSERT_EQ(lines.size(), 360u);
        EXPECT_EQ(first_title_frame(lines), c.title_frame) << "mode " << c.mode;
        const std::string& title = lines[c.title_frame - 1];
        EXPECT_EQ(sounds_of(title), "\"title\"") << title;
        EXPECT_EQ(field(title, "music"), 1) << title;
        EXPECT_EQ(field(lines[c.title_frame - 2], "music"), 0) << "the music starts with the title";
        for (int i = 0; i < c.title_frame - 1; ++i) ASSERT_EQ(sounds_of(lines[i]), "") << "frame " << i + 1;
    }
}

TEST(WorldEndToEnd, IntroSkipsOnEscapeSpaceClickOrJoystickButton) {
    const std::vector<std::string> presses = {
        "10 key 27 down\n11 key 27 up\n",
        "10 key 32 down\n11 key 32 up\n",
        "10 button 1 down\n11 button 1 up\n",
        "0 joy 0 attach\n10 joy 0 button 0 down\n11 joy 0 button 0 up\n",
    };
    for (const std::string& press : presses) {
        temp_dir dir(true);
        write_file(dir / "input.txt", "seed 1\n" + press);
        std::vector<std::string> lines = run_traced(dir, {"--replay", dir / "input.txt", "--frames", "40"});
        ASSERT_EQ(lines.size(), 40u) << press << " must not also quit the game";
        EXPECT_EQ(first_title_frame(lines), 11) << press;
        EXPECT_EQ(field(lines.back(), "state"), 4) << press << " must not act on the title menu";
        EXPECT_EQ(field(lines.back(), "quit"), 0) << press;
    }
}

TEST(WorldEndToEnd, WindowCloseDuringTheIntroQuitsAfterOneTitleFrame) {
    temp_dir dir(true);
    write_file(dir / "input.txt", "seed 1\n20 close\n");
    std::vector<std::string> lines = run_traced(dir, {"--replay", dir / "input.txt"});
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(field(lines[19], "state"), 0);
    EXPECT_EQ(field(lines[20], "state"), 4);
    EXPECT_EQ(field(lines[20], "quit"), 1);
}

// Flat, the logo stands at full size from the first frame, blended by its own alpha over black.
TEST(WorldEndToEnd, FlatIntroShowsTheLogoWhole) {
    temp_dir dir(true);
    run_traced(dir, {"--frames", "2", "--screenshot", "1:" + dir / "intro.png"});
    TPixmapPtr shot = load_picture(dir / "intro.png");
    TPixmapPtr logo = load_picture("incbin::graphx\\ovlogo.png");
    ASSERT_NE(shot, nullptr);
    ASSERT_NE(logo, nullptr);
    ASSERT_EQ(logo->width, 420);
    ASSERT_EQ(logo->height, 236);
    // Centred on (320, 215).
    const int left = 320 - 210, top = 215 - 118;
    int bad = 0, lit = 0;
    for (int y = 0; y < logo->height; ++y)
        for (int x = 0; x < logo->width; ++x) {
            const uint8_t* l = logo->PixelPtr(x, y);
            const Rgb s = pixel(shot, left + x, top + y);
            const int channels[3] = {s.r, s.g, s.b};
            for (int c = 0; c < 3; ++c) {
                const int expected = (l[c] * l[3] + 127) / 255;
                if (std::abs(channels[c] - expected) > 2 && ++bad <= 3)
                    ADD_FAILURE() << "logo pixel (" << x << ", " << y << ") channel " << c << ": "
                                  << channels[c] << ", expected " << expected;
            }
            lit += s.r + s.g + s.b > 0;
        }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(pixel(shot, left - 2, top - 2).r + pixel(shot, left + 422, top + 238).g, 0)
        << "nothing outside";
}

// In 3D the logo starts at a tenth of its size, behind the screen: the left-eye (red) copy lies right
// of the centre and the right-eye (green) copy left of it.
TEST(WorldEndToEnd, AnaglyphIntroStartsSmallAndBehindTheScreen) {
    temp_dir dir(true);
    write_3d_settings(dir, 6, 1);
    run_traced(dir, {"--frames", "2", "--screenshot", "1:" + dir / "intro.png"});
    TPixmapPtr shot = load_picture(dir / "intro.png");
    ASSERT_NE(shot, nullptr);
    int x0 = 640, x1 = -1, y0 = 480, y1 = -1;
    double red_x = 0, green_x = 0;
    int reds = 0, greens = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const Rgb p = pixel(shot, x, y);
            if (p.r + p.g + p.b == 0) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            if (p.r > 2 * p.g) red_x += x, ++reds;
            if (p.g > 2 * p.r) green_x += x, ++greens;
        }
    ASSERT_GT(reds, 0);
    ASSERT_GT(greens, 0);
    EXPECT_LE(y1 - y0 + 1, 26) << "a tenth of 236 rows";
    EXPECT_LE(x1 - x0 + 1, 42 + 8 + 2) << "a tenth of 420 columns, plus the two eye offsets";
    EXPECT_GT(red_x / reds, 321.0);
    EXPECT_LT(green_x / greens, 319.0);
}

// The title screen in 3D mode 1 with eye offset 0 and the flat one: the border is drawn through the
// stereo drawer (its pieces turn into the sum of both tints, twice), the overlay beside it stays flat.
TEST(WorldEndToEnd, TitleBorderTurnsAnaglyphWhileTheOverlayStaysFlat) {
    temp_dir flat_dir(true), stereo_dir(true);
    write_3d_settings(stereo_dir, 0, 1);
    run_traced(flat_dir, {"--seed", "2", "--frames", "400", "--screenshot", "400:" + flat_dir / "t.png"});
    run_traced(stereo_dir, {"--seed", "2", "--frames", "400", "--screenshot", "400:" + stereo_dir / "t.png"});
    TPixmapPtr flat = load_picture(flat_dir / "t.png");
    TPixmapPtr stereo = load_picture(stereo_dir / "t.png");
    TPixmapPtr background = load_picture("incbin::graphx\\Brakkovane_bg.png");
    ASSERT_TRUE(flat && stereo && background);
    int border_pixels = 0, overlay_pixels = 0;
    // The left edge pieces, 10 pixels wide and centred on x 165, from y 25 to 455.
    for (int y = 40; y < 440; ++y)
        for (int x = 150; x < 180; ++x) {
            const Rgb f = pixel(flat, x, y), s = pixel(stereo, x, y);
            const Rgb bg = pixel(background, x, y);
            const bool on_border = x >= 160 && x < 170;
            const bool bg_opaque = bg.r + bg.g + bg.b > 0;
            const bool border_texel = f.r != bg.r || f.g != bg.g || f.b != bg.b;
            if (on_border && bg_opaque && border_texel) {
                // Flat, the masked piece replaces the overlay: f is the piece's colour c. In 3D it adds
                // 2 (c L + c R) per channel to the overlay beneath.
                const int expected[3] = {std::min(255, bg.r + 2 * (f.r * 140 / 255 + f.r * 4 / 255)),
                                         std::min(255, bg.g + 2 * (f.g * 4 / 255 + f.g * 100 / 255)),
                                         std::min(255, bg.b + 2 * (f.b * 40 / 255 + f.b * 20 / 255))};
                const int actual[3] = {s.r, s.g, s.b};
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(actual[c], expected[c], 4)
                        << "border pixel (" << x << ", " << y << ") channel " << c;
                ++border_pixels;
            }
            if (!on_border && x < 158 && bg.r + bg.g + bg.b > 0) {
                EXPECT_TRUE(s.r == f.r && s.g == f.g && s.b == f.b)
                    << "overlay pixel (" << x << ", " << y << ")";
                ++overlay_pixels;
            }
        }
    EXPECT_GT(border_pixels, 100);
    EXPECT_GT(overlay_pixels, 100);
}

// A seed and an input recording reproduce a stage of play exactly: positions, random draws (tank
// wheels, bursts) and sounds at the same frames.
TEST(WorldEndToEnd, SeedAndInputReproduceAStageOfPlay) {
    std::string input = "seed 3\n340 button 1 down\n341 button 1 up\n";
    for (int f = 460; f < 820; f += 72)
        input += std::to_string(f) + " key 37 down\n" + std::to_string(f + 25) + " key 37 up\n" +
                 std::to_string(f + 26) + " key 162 down\n" + std::to_string(f + 70) + " key 162 up\n";
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < 2; ++run) {
        temp_dir dir(true);
        write_file(dir / "input.txt", input);
        runs.push_back(run_traced(dir, {"--replay", dir / "input.txt", "--frames", "900"}));
    }
    ASSERT_EQ(runs[0].size(), 900u);
    ASSERT_EQ(runs[0].size(), runs[1].size());
    for (size_t i = 0; i < runs[0].size(); ++i)
        ASSERT_EQ(runs[0][i], runs[1][i]) << "first difference at frame " << i + 1;

    int shots = 0, bursts = 0;
    for (const std::string& line : runs[0]) {
        shots += sounds_of(line).find("lazer") != std::string::npos;
        bursts += field(line, "particle") > 0;
    }
    EXPECT_GT(shots, 3) << "the player fired";
    EXPECT_GT(bursts, 10) << "shots burst on the ground or on the tanks";
}

namespace {

// Where the menu's text of one colour lies in the band of rows around a menu line, with a count of
// its pixels; the moonscape behind the menu has neither colour.
struct text_extent {
    int count = 0, x0 = 640, x1 = -1;
};

text_extent coloured_text(const TPixmapPtr& shot, int line_y, bool red) {
    text_extent e;
    for (int y = line_y - 8; y <= line_y + 8; ++y)
        for (int x = 0; x < 640; ++x) {
            const Rgb p = pixel(shot, x, y);
            // Smoothed glyph edges blend into the bluish ground: what counts is the hue.
            const bool yellow_ink = p.r > 100 && p.g > 100 && p.b + 40 < std::min(p.r, p.g);
            const bool red_ink = p.r > 100 && 2 * p.g < p.r && 2 * p.b < p.r;
            if (red ? !red_ink : !yellow_ink) continue;
            ++e.count;
            e.x0 = std::min(e.x0, x);
            e.x1 = std::max(e.x1, x);
        }
    return e;
}

} // namespace

// The versus line shows the value it had when the frame began: in the frame in which the second
// joystick goes away the line turns red but still reads "On"; "Off" follows a frame later.
TEST(WorldEndToEnd, VersusLineReadsOnInRedInTheFrameItsJoystickGoes) {
    temp_dir dir(true);
    // Two joysticks, the intro skipped, versus switched on, the pointer parked off the items, and
    // joystick 1 detached after frame 20 (so frame 21 is the first to count one joystick).
    write_file(dir / "input.txt", "seed 1\n0 joy 0 attach\n0 joy 1 attach\n5 key 32 down\n6 key 32 up\n"
                                  "10 mouse 320 300\n10 button 1 down\n11 button 1 up\n12 mouse 600 420\n"
                                  "20 joy 1 detach\n");
    std::vector<std::string> args = {"--replay", dir / "input.txt", "--frames", "22"};
    for (int f = 20; f <= 22; ++f)
        args.push_back("--screenshot"),
            args.push_back(std::to_string(f) + ":" + dir / ("f" + std::to_string(f) + ".png"));
    const std::vector<std::string> lines = run_traced(dir, args);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(field(lines[19], "versus"), 1);
    EXPECT_EQ(field(lines[19], "joysticks"), 2);
    EXPECT_EQ(field(lines[20], "versus"), 0) << "forced off in the frame that counts one joystick";

    const int versus_y = 300;
    TPixmapPtr before = load_picture(dir / "f20.png"), gone = load_picture(dir / "f21.png"),
               after = load_picture(dir / "f22.png");
    ASSERT_TRUE(before && gone && after);
    const text_extent on_yellow = coloured_text(before, versus_y, false);
    const text_extent on_red = coloured_text(gone, versus_y, true);
    const text_extent off_red = coloured_text(after, versus_y, true);
    ASSERT_GT(on_yellow.count, 100);
    EXPECT_EQ(coloured_text(before, versus_y, true).count, 0);
    EXPECT_EQ(coloured_text(gone, versus_y, false).count, 0) << "the line turns red at once";
    // The line is centred, so the longer "Off" reaches further both ways than "On".
    EXPECT_EQ(on_red.x0, on_yellow.x0) << "frame 21 must still read \"On\"";
    EXPECT_EQ(on_red.x1, on_yellow.x1) << "frame 21 must still read \"On\"";
    EXPECT_LT(off_red.x0, on_red.x0) << "frame 22 reads \"Off\"";
    EXPECT_GT(off_red.x1, on_red.x1) << "frame 22 reads \"Off\"";
}
