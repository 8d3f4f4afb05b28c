// Whole games through the real binary: replayed input in, the per-frame trace and the files out.
#include "tests/game_replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace game_replay;

namespace {
int32_t file_int(const std::string& path, int index) {
    const std::string bytes = read_file(path);
    if (bytes.size() < static_cast<size_t>(4 * index + 4)) return INT32_MIN;
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b)
        v = (v << 8) | static_cast<uint8_t>(bytes[static_cast<size_t>(4 * index + b)]);
    return static_cast<int32_t>(v);
}

void write_ints(const std::string& path, std::vector<int32_t> values) {
    std::ofstream out(path, std::ios::binary);
    for (int32_t v : values)
        for (int b = 0; b < 4; ++b) out.put(static_cast<char>((static_cast<uint32_t>(v) >> (8 * b)) & 0xff));
}

} // namespace

// A whole one-player game: start from the title with the pointer, the tanks' entry, a cleared stage,
// every life lost, the game-over screen that ignores its first 200 frames, and back to the title.
TEST(GameFlow, AOnePlayerGameRunsFromTheTitleToGameOverAndBack) {
    temp_dir dir(true);
    replay in;
    // Joystick 1 taps its fire button all along: in a one-player game only the game-over screen
    // reads it, and ignores it for its first 200 frames.
    in.joy_attach(0, 0).joy_attach(0, 1).skip_intro().click(20, 320, 222);
    const int f = fire_from_three_posts(in, 130, 1400);
    // Then park low over the left tank's road and wait for its shots.
    in.hold(f, key_left, 120).hold(f + 121, key_right, 15).hold(f + 140, key_down, 100);
    for (int t = 30; t < 5000; t += 40) in.joy_button(t, 1, 0);
    in.close(5000);
    game_run run = play(dir, in, {"--screenshot", "400:" + dir / "play.png"});
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    ASSERT_EQ(run.frames.size(), 5000u);

    // The click of frame 20 starts the game in frame 21.
    EXPECT_EQ(run.at(20).i("state"), 4);
    const frame_state& start = run.at(21);
    EXPECT_EQ(start.i("state"), 2);
    EXPECT_EQ(start.i("stage"), 1);
    EXPECT_EQ(start.i("phase"), 0);
    EXPECT_EQ(start.i("p1.lives"), 6);
    EXPECT_EQ(start.num("p1.x"), 320);
    EXPECT_EQ(start.num("p1.y"), 100);
    EXPECT_EQ(start.i("p2.state"), 0);
    EXPECT_TRUE(start.sound("warp") && start.sound("letsgo"));

    // The entry takes 107 frames, the first in frame 22; tank 0 stops at x 239, 93 left of tank 1.
    const int arrival = run.find(21, [](const frame_state& s) { return s.i("phase") == 1; });
    EXPECT_EQ(arrival, 21 + 107);
    EXPECT_TRUE(run.at(arrival).sound("blast"));
    EXPECT_LE(run.at(arrival).num("tanks.0.x"), 240);
    EXPECT_FLOAT_EQ(run.at(arrival).num("tanks.1.x") - run.at(arrival).num("tanks.0.x"), 93.0f);
    EXPECT_EQ(run.at(arrival - 1).num("tanks.0.x"), 242);

    // Stage 1 cleared: the bonus is the new stage's, the speed steps up, the tanks enter again.
    const int cleared = run.find(arrival, [](const frame_state& s) { return s.i("stage") == 2; });
    ASSERT_NE(cleared, 0) << "the first stage was never cleared";
    const frame_state& c = run.at(cleared);
    const int gained = c.i("p1.score") - run.at(cleared - 1).i("p1.score");
    EXPECT_TRUE(gained == 200 + 25 || gained == 200 + 5) << gained;
    EXPECT_EQ(c.i("phase"), 0);
    EXPECT_FLOAT_EQ(c.num("tank_speed"), 1.2f);
    EXPECT_EQ(c.num("tanks.0.x"), 560);
    EXPECT_TRUE(c.sound("warp") && c.sound("letsgo") && c.sound("explode"));
    EXPECT_EQ(c.i("hiscore"), c.i("p1.score")) << "the high score follows the score live";

    // Every life lost: the game ends in the frame the last one goes.
    const int over = run.find(cleared, [](const frame_state& s) { return s.i("state") == 5; });
    ASSERT_NE(over, 0) << "the game never ended";
    EXPECT_EQ(run.at(over).i("p1.lives"), 0);
    EXPECT_GT(run.at(over - 1).i("p1.lives"), 0);
    EXPECT_EQ(run.at(over).i("gameover_timer"), 0);
    EXPECT_EQ(run.at(over).i("phase"), 1);
    // Taps every 40 frames: those of the first 200 frames are discarded, the first after them leaves.
    const int title = run.find(over, [](const frame_state& s) { return s.i("state") == 4; });
    ASSERT_NE(title, 0);
    EXPECT_GT(title - over, 200);
    EXPECT_LE(title - over, 200 + 41);
    EXPECT_TRUE(run.at(title).sound("title"));
    EXPECT_EQ(run.at(title + 1).num("mouse.0"), 320);

    const int final_score = run.frames.back().i("p1.score");
    EXPECT_GT(final_score, 200);
    EXPECT_EQ(run.frames.back().i("hiscore"), final_score);
    EXPECT_EQ(file_int(dir / "data/hiscore.dat", 0), final_score);
}

// Pausing by Escape, Space and joystick button 2, resuming, Escape and Space in one frame, and
// leaving the paused game for the title; nothing moves while paused.
TEST(GameFlow, PauseResumeAndQuitToTheTitle) {
    temp_dir dir(true);
    replay in;
    in.joy_attach(0, 0).skip_intro().click(20, 320, 222);
    in.key(200, key_escape);                     // pauses in frame 201
    in.key(220, key_space);                      // resumes
    in.joy_button(240, 0, 2);                    // pauses
    in.joy_button(260, 0, 2);                    // resumes
    in.key(280, key_space);                      // pauses
    in.key(300, key_space);                      // resumes
    in.key(320, key_escape).key(320, key_space); // pauses, and the Space of that frame is gone
    in.click(340, 320, item_y(0));               // "Resume Game"
    in.key(360, key_space);                      // pauses
    in.key(380, key_escape);                     // to the title
    in.click(400, 320, item_y(0));               // a new game
    in.key(420, key_space);                      // pauses
    in.click(440, 320, item_y(7));               // "Quit This Game": to the title, no game-over screen
    in.click(460, 320, item_y(7));               // "Exit Game"
    game_run run = play(dir, in);
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    ASSERT_EQ(run.frames.size(), 461u) << "Exit Game ends the loop after its frame";

    const std::vector<std::pair<int, int>> states = {
        {200, 2}, {201, 3}, {220, 3}, {221, 2}, {241, 3}, {261, 2}, {281, 3}, {301, 2}, {321, 3},
        {340, 3}, {341, 2}, {361, 3}, {380, 3}, {381, 4}, {401, 2}, {421, 3}, {441, 4}};
    for (auto [frame, state] : states) EXPECT_EQ(run.at(frame).i("state"), state) << "frame " << frame;
    // Frozen while paused: the tanks and the player keep their places.
    for (int frame = 202; frame <= 220; ++frame) {
        EXPECT_EQ(run.at(frame).num("tanks.0.x"), run.at(201).num("tanks.0.x"));
        EXPECT_EQ(run.at(frame).i("gameover_timer"), 0);
    }
    // The pause puts the pointer at (320, 220).
    EXPECT_EQ(run.at(200).num("mouse.1"), 222);
    EXPECT_EQ(run.at(201).num("mouse.0"), 320);
    EXPECT_EQ(run.at(201).num("mouse.1"), 220);
    EXPECT_TRUE(run.at(381).sound("title"));
    EXPECT_EQ(run.at(401).i("stage"), 1);
    EXPECT_TRUE(run.at(441).sound("title") && run.at(441).sound("thud"));
    EXPECT_EQ(run.at(441).i("gameover_timer"), 0);
    EXPECT_EQ(run.at(460).i("quit"), 0);
    EXPECT_EQ(run.at(461).i("quit"), 1);
}

// The menu's options with their wrap rules, and the 3D settings carried over to the next run.
TEST(GameFlow, MenuOptionsWrapAndThe3DSettingsSurviveTheNextRun) {
    temp_dir dir(true);
    replay in;
    in.skip_intro();
    int f = 10;
    for (int n = 0; n < 16; ++n, f += 3) in.click(f, 320, item_y(2)); // 0 -> 2, 4, ... 30 -> 2
    for (int n = 0; n < 7; ++n, f += 3) in.click(f, 320, item_y(1));  // modes 1, 2, 3, 4, 0, 1, 2
    in.click(f, 320, item_y(5));                                      // sound Max -> Off
    in.click(f + 3, 320, item_y(5));                                  // -> 10%
    in.click(f + 6, 320, item_y(6));                                  // music Max -> Off
    in.click(f + 9, 320, item_y(3));                                  // retro FX on
    in.click(f + 12, 320, item_y(4));                                 // versus: no joysticks, nothing
    in.click(f + 15, 320, 190);                                       // above the items: nothing
    in.click(f + 18, 320, item_y(7) + 9);                             // "Exit Game"
    game_run run = play(dir, in, {"--screenshot", std::to_string(f + 12) + ":" + dir / "menu.png"});
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    ASSERT_EQ(static_cast<int>(run.frames.size()), f + 19);

    std::vector<int> offsets;
    for (int n = 0; n < 16; ++n) offsets.push_back(run.at(10 + 3 * n + 1).i("eye_offset"));
    EXPECT_EQ(offsets, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 2}));
    std::vector<int> modes;
    for (int n = 0; n < 7; ++n) modes.push_back(run.at(10 + 48 + 3 * n + 1).i("mode_3d"));
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 3, 4, 0, 1, 2}));
    EXPECT_EQ(run.at(f + 1).i("sound_level"), 0);
    EXPECT_EQ(run.at(f + 4).i("sound_level"), 1);
    EXPECT_TRUE(run.at(f + 4).sound("smexpl"));
    EXPECT_EQ(run.at(f + 7).i("music_level"), 0);
    EXPECT_EQ(run.at(f + 10).i("retro_fx"), 1);
    EXPECT_EQ(run.at(f + 13).i("versus"), 0);
    EXPECT_FALSE(run.at(f + 13).sound("thud"));
    for (const char* field :
         {"state", "eye_offset", "mode_3d", "retro_fx", "versus", "sound_level", "music_level"})
        EXPECT_EQ(run.at(f + 16).i(field), run.at(f + 15).i(field))
            << "a click above the items changed " << field;
    EXPECT_FALSE(run.at(f + 16).sound("thud"));
    EXPECT_EQ(file_int(dir / "data/anaglyph3d.dat", 0), 2);
    EXPECT_EQ(file_int(dir / "data/anaglyph3d.dat", 1), 2);
    EXPECT_EQ(read_file(dir / "data/anaglyph3d.dat").size(), 8u);

    // The next run starts with the stored settings; volumes and the retro effect are not kept.
    replay again;
    again.skip_intro().key(30, key_escape);
    game_run second = play(dir, again);
    ASSERT_EQ(second.result.exit_code, 0) << second.result.output;
    EXPECT_EQ(second.at(1).i("eye_offset"), 2);
    EXPECT_EQ(second.at(1).i("mode_3d"), 2);
    EXPECT_EQ(second.at(1).i("sound_level"), 10);
    EXPECT_EQ(second.at(1).i("retro_fx"), 0);
    EXPECT_EQ(second.frames.size(), 30u) << "Escape at the title quits";
}

TEST(GameFlow, BadSettingsFilesStartFromTheDefaultsAndOddOffsetsStayOdd) {
    temp_dir dir(true);
    write_ints(dir / "data/anaglyph3d.dat", {7, 9}); // an odd offset, a mode beyond the table
    write_ints(dir / "data/hiscore.dat", {4321});
    replay in;
    in.skip_intro().click(10, 320, item_y(2)).click(13, 320, item_y(1)).close(20);
    game_run run = play(dir, in);
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    EXPECT_EQ(run.at(1).i("eye_offset"), 7);
    EXPECT_EQ(run.at(1).i("mode_3d"), 0);
    EXPECT_EQ(run.at(1).i("hiscore"), 4321);
    EXPECT_EQ(run.at(11).i("eye_offset"), 9);
    EXPECT_EQ(run.at(14).i("mode_3d"), 1);
    EXPECT_EQ(file_int(dir / "data/anaglyph3d.dat", 0), 9);
    EXPECT_EQ(file_int(dir / "data/hiscore.dat", 0), 4321);

    // A short high score file and a directory in place of the settings: start values; the directory
    // is reported once when the game starts and left alone at exit, the high score is written.
    std::ofstream(dir / "data/hiscore.dat", std::ios::binary | std::ios::trunc) << "ab";
    std::filesystem::remove(dir / "data/anaglyph3d.dat");
    std::filesystem::create_directory(dir / "data/anaglyph3d.dat");
    replay quit;
    quit.close(3);
    game_run second = play(dir, quit);
    EXPECT_EQ(second.result.exit_code, 0) << second.result.output;
    EXPECT_EQ(second.at(1).i("hiscore"), 0);
    EXPECT_EQ(second.at(1).i("eye_offset"), 0);
    EXPECT_NE(second.result.output.find("cannot read data/anaglyph3d.dat: it is a directory"),
              std::string::npos)
        << second.result.output;
    EXPECT_EQ(second.result.output.find("cannot write"), std::string::npos) << second.result.output;
    EXPECT_EQ(read_file(dir / "data/hiscore.dat").size(), 4u);
}

// Versus needs two joysticks; with them, a versus game ends when both players are out and names the
// winner.
TEST(GameFlow, VersusOnlyWithTwoJoysticksAndItsGameOver) {
    {
        temp_dir dir(true);
        replay in;
        in.joy_attach(0, 0).skip_intro().click(10, 320, item_y(4)).close(15);
        game_run run = play(dir, in);
        ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
        EXPECT_EQ(run.at(11).i("joysticks"), 1);
        EXPECT_EQ(run.at(11).i("versus"), 0);
    }
    temp_dir dir(true);
    replay in;
    in.joy_attach(0, 0).joy_attach(0, 1).skip_intro().click(10, 320, item_y(4)).click(15, 320, item_y(0));
    // Player 1 parks over the left tank, player 2 (joystick 1) over the right one; both wait there.
    in.hold(30, key_left, 15).hold(80, key_down, 80);
    in.joy_axis(30, 1, 'x', 32767)
        .joy_axis(45, 1, 'x', 0)
        .joy_axis(50, 1, 'y', 32767)
        .joy_axis(130, 1, 'y', 0);
    in.close(4500);
    game_run run = play(dir, in);
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    EXPECT_EQ(run.at(11).i("versus"), 1);
    const frame_state& start = run.at(16);
    EXPECT_EQ(start.i("state"), 2);
    EXPECT_EQ(start.i("p2.state"), 1);
    EXPECT_EQ(start.num("p1.x"), 260);
    EXPECT_EQ(start.num("p2.x"), 380);
    const int over = run.find(16, [](const frame_state& s) { return s.i("state") == 5; });
    ASSERT_NE(over, 0) << "the versus game never ended";
    EXPECT_EQ(run.at(over).i("p1.lives"), 0);
    EXPECT_EQ(run.at(over).i("p2.lives"), 0);
    const int first_out =
        run.find(16, [](const frame_state& s) { return s.i("p1.lives") == 0 || s.i("p2.lives") == 0; });
    EXPECT_LT(first_out, over) << "one player out does not end a versus game";
    EXPECT_EQ(run.at(first_out).i("state"), 2);
    const int title = run.find(over, [](const frame_state& s) { return s.i("state") == 4; });
    EXPECT_EQ(title - over, 1000) << "without input the title returns in the 1000th frame";
}

// A one-player game by keyboard alone: Up and Down put the pointer on the items' rows, never beyond
// the first and last, and bring a pointer off the items onto the nearest; Return clicks, at the title
// and in the pause menu; arrows and left Control play, left Control leaves the game-over screen.
TEST(GameFlow, KeyboardAloneRunsTheMenusAndAGameToGameOver) {
    temp_dir dir(true);
    replay in;
    in.skip_intro();
    in.key(10, key_up).key(12, key_down).key(14, key_return); // 3D on
    for (int f = 18; f < 32; f += 2) in.key(f, key_down);      // seven Downs from item 1
    in.line(32, "mouse 100 100").key(34, key_down);
    in.line(36, "mouse 320 420").key(38, key_up);
    for (int f = 40; f < 54; f += 2) in.key(f, key_up);
    in.key(54, key_return);                                         // Start Game
    in.key(60, key_space).key(64, key_down).key(66, key_return);    // paused: 3D mode 2
    in.key(68, key_up).key(70, key_return);                         // Resume Game
    const int f = fire_from_three_posts(in, 130, 1400);
    in.hold(f, key_left, 120).hold(f + 121, key_right, 15).hold(f + 140, key_down, 100);
    // From the frame the game ends in: taps of left Control, the first 200 frames' ignored.
    for (int t = 3300; t < 3520; t += 40) in.key(t, key_fire);
    for (int t = 3520; t < 3534; t += 2) in.key(t, key_down);
    in.key(3540, key_return); // Exit Game
    game_run run = play(dir, in);
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;

    const std::vector<std::pair<int, int>> pointer_y = {{11, 220}, {13, 240}, {31, 360}, {35, 220},
                                                        {39, 360}, {53, 220}, {65, 240}, {69, 220}};
    for (auto [frame, y] : pointer_y) {
        EXPECT_EQ(run.at(frame).num("mouse.0"), 320) << "frame " << frame;
        EXPECT_EQ(run.at(frame).num("mouse.1"), y) << "frame " << frame;
    }
    EXPECT_EQ(run.at(14).i("mode_3d"), 0);
    EXPECT_EQ(run.at(15).i("mode_3d"), 1) << "Down and Return turn 3D on";
    EXPECT_TRUE(run.at(15).sound("thud"));
    EXPECT_EQ(run.at(54).i("state"), 4);
    EXPECT_EQ(run.at(55).i("state"), 2);
    EXPECT_EQ(run.at(61).i("state"), 3);
    EXPECT_EQ(run.at(67).i("mode_3d"), 2);
    EXPECT_EQ(run.at(71).i("state"), 2) << "Return on Resume Game";

    const int over = run.find(71, [](const frame_state& s) { return s.i("state") == 5; });
    ASSERT_NE(over, 0) << "the game never ended";
    EXPECT_GT(run.at(over - 1).i("p1.score"), 0) << "the keyboard's shots hit";
    const int title = run.find(over, [](const frame_state& s) { return s.i("state") == 4; });
    ASSERT_NE(title, 0);
    EXPECT_GT(title - over, 200);
    EXPECT_LE(title - over, 200 + 41);
    ASSERT_LT(title, 3520) << "the title is back before the last Downs";
    EXPECT_EQ(run.frames.back().i("quit"), 1) << "Return on Exit Game";
    EXPECT_EQ(static_cast<int>(run.frames.size()), 3541);
}
