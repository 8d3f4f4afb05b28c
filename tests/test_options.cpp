// The game's command line and trace lines: accepted forms, one-line faults, exact JSON.
#include "game/options.h"
#include "game/trace.h"

#include <gtest/gtest.h>

namespace {

parse_result parse(std::vector<std::string> args) {
    return parse_options(args);
}

} // namespace

TEST(Options, AcceptsEveryOption) {
    parse_result r = parse({"--windowed",
                            "--scale",
                            "3",
                            "--seed",
                            "4294967295",
                            "--frames",
                            "120",
                            "--unpaced",
                            "--trace",
                            "t.jsonl",
                            "--screenshot",
                            "1:a.png",
                            "--screenshot",
                            "120:dir/b:c.png",
                            "--record",
                            "r.txt",
                            "--startup-time",
                            "--video",
                            "null",
                            "--data-dir",
                            "portable/data",
                            "--renderer",
                            "gles2"});
    ASSERT_EQ(r.error, "");
    const game_options& o = r.options;
    EXPECT_EQ(o.video, "null");
    EXPECT_EQ(o.renderer, "gles2");
    EXPECT_TRUE(o.windowed);
    EXPECT_EQ(o.scale, 3);
    EXPECT_EQ(o.seed.value_or(0), 4294967295u);
    EXPECT_EQ(o.frames, 120);
    EXPECT_TRUE(o.unpaced);
    EXPECT_TRUE(o.startup_time);
    EXPECT_EQ(o.trace_path, "t.jsonl");
    EXPECT_EQ(o.record_path, "r.txt");
    ASSERT_EQ(o.screenshots.size(), 2u);
    EXPECT_EQ(o.screenshots[1].frame, 120);
    EXPECT_EQ(o.screenshots[1].path, "dir/b:c.png"); // only the first colon separates
    EXPECT_EQ(o.data_dir, "portable/data");
}

TEST(Options, DefaultsAreFullScreenPacedAndClockSeeded) {
    parse_result r = parse({});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.video, "sdl");
    EXPECT_EQ(r.options.renderer, "") << "no renderer named: the first that opens";
    EXPECT_FALSE(r.options.windowed);
    EXPECT_EQ(r.options.scale, 1);
    EXPECT_FALSE(r.options.seed.has_value());
    EXPECT_EQ(r.options.frames, 0);
    EXPECT_FALSE(r.options.unpaced);
    EXPECT_EQ(r.options.data_dir, "") << "the folders are chosen at start-up";
}

TEST(Options, TimedemoReplaysUnpaced) {
    parse_result r = parse({"--timedemo", "demo.txt"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.replay_path, "demo.txt");
    EXPECT_TRUE(r.options.unpaced);
}

TEST(Options, FaultsNameTheOption) {
    EXPECT_EQ(parse({"--scale", "0"}).error, "--scale needs a whole number from 1 to 8");
    EXPECT_EQ(parse({"--scale"}).error, "--scale needs a whole number from 1 to 8");
    EXPECT_EQ(parse({"--seed", "12x"}).error, "--seed needs a whole number from 0 to 4294967295");
    EXPECT_EQ(parse({"--seed", "-1"}).error, "--seed needs a whole number from 0 to 4294967295");
    EXPECT_EQ(parse({"--frames", "0"}).error, "--frames needs a whole number of at least 1");
    EXPECT_EQ(parse({"--trace"}).error, "--trace needs a file name");
    EXPECT_EQ(parse({"--video"}).error, "--video needs a back-end name (sdl or null)");
    EXPECT_EQ(parse({"--renderer"}).error, "--renderer needs a renderer name (gl1 or gles2)");
    EXPECT_EQ(parse({"--screenshot", "12"}).error, "--screenshot needs FRAME:FILE, e.g. 120:shot.png");
    EXPECT_EQ(parse({"--screenshot", "0:a.png"}).error, "--screenshot needs FRAME:FILE, e.g. 120:shot.png");
    EXPECT_EQ(parse({"--screenshot", "5:"}).error, "--screenshot needs FRAME:FILE, e.g. 120:shot.png");
    EXPECT_EQ(parse({"--data-dir"}).error, "--data-dir needs a folder name");
    EXPECT_EQ(parse({"--data-dir", ""}).error, "--data-dir needs a folder name");
    EXPECT_EQ(parse({"--fullscreen"}).error, "unknown option --fullscreen (see --help)");
    EXPECT_EQ(parse({"--record", "a", "--replay", "b"}).error,
              "--record cannot be combined with --replay or --timedemo");
}

TEST(Trace, LineHoldsEveryFieldInOrderWithShortestFloats) {
    trace_snapshot s;
    s.frame = 7;
    s.state = 2;
    s.tank_speed = 1.2f;
    s.tank_vx = -0.1f;
    s.mouse_x = 320;
    s.mouse_y = 220;
    s.p1.x = 320.5f;
    s.p1.lives = 3;
    s.tanks[2].whlrot = 1e-7f;
    s.sounds = {"lazer", "thud"};
    s.music = 1;
    EXPECT_EQ(
        format_trace_line(s),
        "{\"f\":7,\"state\":2,\"phase\":0,\"stage\":0,\"quit\":0,\"hiscore\":0,\"tank_speed\":1.2,"
        "\"tank_vx\":-0.1,\"versus\":0,\"mode_3d\":0,\"eye_offset\":0,\"retro_fx\":0,\"sound_level\":0,"
        "\"music_level\":0,\"gameover_timer\":0,\"joysticks\":0,\"mouse\":[320,220],"
        "\"p1\":{\"x\":320.5,\"y\":0,\"score\":0,\"lives\":3,\"state\":0,\"shoot\":0,\"fctr\":0,\"ftmr\":0},"
        "\"p2\":{\"x\":0,\"y\":0,\"score\":0,\"lives\":0,\"state\":0,\"shoot\":0,\"fctr\":0,\"ftmr\":0},"
        "\"tanks\":[{\"x\":0,\"y\":0,\"state\":0,\"fctr\":0,\"ftmr\":0,\"shoot\":0,\"whlrot\":0},"
        "{\"x\":0,\"y\":0,\"state\":0,\"fctr\":0,\"ftmr\":0,\"shoot\":0,\"whlrot\":0},"
        "{\"x\":0,\"y\":0,\"state\":0,\"fctr\":0,\"ftmr\":0,\"shoot\":0,\"whlrot\":1e-07}],"
        "\"counts\":{\"lazer\":0,\"ltrail\":0,\"explode\":0,\"particle\":0},"
        "\"sounds\":[\"lazer\",\"thud\"],\"music\":1}");
}
