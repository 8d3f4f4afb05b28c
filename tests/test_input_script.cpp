// The record/replay script format: every event kind round-trips, and faults name file and line.
#include "platform/input_script.h"

#include <gtest/gtest.h>

namespace {

TInputScript parse_ok(const std::string& text) {
    std::string error;
    auto script = ParseInputScript(text, "demo.txt", error);
    EXPECT_TRUE(script.has_value()) << error;
    return script.value_or(TInputScript{});
}

std::string parse_error(const std::string& text) {
    std::string error;
    auto script = ParseInputScript(text, "demo.txt", error);
    EXPECT_FALSE(script.has_value()) << "accepted: " << text;
    return error;
}

} // namespace

TEST(InputScript, ReadsSeedCommentsAndEveryEventKind) {
    const std::string text = "# recorded by a test\n"
                             "seed 4294967295\n"
                             "\n"
                             "0 key 162 down   # fire\n"
                             "0 char 97\n"
                             "3 mouse -5 479\n"
                             "3 button 1 down\n"
                             "4 button 3 up\n"
                             "5 wheel -2\n"
                             "6 suspend\n"
                             "6 resume\n"
                             "7 joy 1 attach\n"
                             "7 joy 1 axis v -32768\n"
                             "7 joy 1 button 31 down\n"
                             "8 joy 1 hat 27000\n"
                             "8 joy 1 hat -1\n"
                             "9 joy 1 detach\r\n"
                             "10 close";
    TInputScript s = parse_ok(text);
    ASSERT_TRUE(s.seed.has_value());
    EXPECT_EQ(*s.seed, 4294967295u);
    ASSERT_EQ(s.events.size(), 15u);
    EXPECT_EQ(s.events[0], (TScriptEvent{0, TScriptEventKind::KeyDown, 162, 0, 0}));
    EXPECT_EQ(s.events[2], (TScriptEvent{3, TScriptEventKind::MouseMove, -5, 479, 0}));
    EXPECT_EQ(s.events[9], (TScriptEvent{7, TScriptEventKind::JoyAxis, 1, 5, -32768}));
    EXPECT_EQ(s.events[11], (TScriptEvent{8, TScriptEventKind::JoyHat, 1, 27000, 0}));
    EXPECT_EQ(s.events[12].b, -1);
    EXPECT_EQ(s.events[13].kind, TScriptEventKind::JoyDetach);
    EXPECT_EQ(s.events[14], (TScriptEvent{10, TScriptEventKind::Close, 0, 0, 0}));
}

TEST(InputScript, FormattedEventsParseBackToThemselves) {
    TInputScript s = parse_ok("0 key 27 down\n0 key 27 up\n1 char 65\n2 mouse 320 220\n2 button 2 down\n"
                              "2 button 2 up\n3 wheel 3\n4 suspend\n5 resume\n6 close\n7 joy 0 attach\n"
                              "7 joy 0 axis x 32767\n7 joy 0 button 2 down\n7 joy 0 button 2 up\n"
                              "8 joy 0 hat 4500\n9 joy 0 detach\n");
    std::string rewritten;
    for (const TScriptEvent& e : s.events) rewritten += FormatScriptEvent(e) + "\n";
    TInputScript again = parse_ok(rewritten);
    EXPECT_EQ(again.events, s.events);
}

TEST(InputScript, EmptyAndCommentOnlyScriptsHaveNoEvents) {
    EXPECT_TRUE(parse_ok("").events.empty());
    TInputScript s = parse_ok("# nothing\n   \n# at all\n");
    EXPECT_TRUE(s.events.empty());
    EXPECT_FALSE(s.seed.has_value());
}

TEST(InputScript, FaultsNameTheFileLineAndProblem) {
    EXPECT_EQ(parse_error("0 key 27 down\n0 key 300 down\n"), "demo.txt:2: key code must be 1..255");
    EXPECT_EQ(parse_error("5 close\n4 close\n"),
              "demo.txt:2: frame 4 comes after frame 5; lines must be in frame order");
    EXPECT_EQ(parse_error("0 close\nseed 5\n"), "demo.txt:2: 'seed' must be the first item");
    EXPECT_EQ(parse_error("seed -1\n"), "demo.txt:1: 'seed' takes one whole number from 0 to 4294967295");
    EXPECT_EQ(parse_error("x key 1 down\n"), "demo.txt:1: expected a frame number, found 'x'");
    EXPECT_EQ(parse_error("3\n"), "demo.txt:1: missing event after the frame number");
    EXPECT_EQ(parse_error("1 jump\n"), "demo.txt:1: unknown event 'jump'");
    EXPECT_EQ(parse_error("1 key 27\n"), "demo.txt:1: 'key' takes 2 argument(s)");
    EXPECT_EQ(parse_error("1 key 27 sideways\n"), "demo.txt:1: expected down or up");
    EXPECT_EQ(parse_error("1 button 0 down\n"), "demo.txt:1: mouse button must be 1, 2 or 3");
    EXPECT_EQ(parse_error("1 close now\n"), "demo.txt:1: 'close' takes 0 argument(s)");
    EXPECT_EQ(parse_error("1 joy 16 attach\n"), "demo.txt:1: joystick port must be 0..15");
    EXPECT_EQ(parse_error("1 joy 0 axis w 5\n"), "demo.txt:1: joystick axis must be x, y, z, r, u or v");
    EXPECT_EQ(parse_error("1 joy 0 axis x 40000\n"), "demo.txt:1: joystick axis value must be -32768..32767");
    EXPECT_EQ(parse_error("1 joy 0 hat 36000\n"),
              "demo.txt:1: joystick hat must be -1 (centred) or 0..35999");
    EXPECT_EQ(parse_error("1 joy 0 wiggle\n"), "demo.txt:1: unknown joystick action 'wiggle'");
    EXPECT_EQ(parse_error("-1 close\n"), "demo.txt:1: expected a frame number, found '-1'");
}

TEST(InputScript, MissingFileIsAnErrorNamingIt) {
    std::string error;
    EXPECT_FALSE(LoadInputScript("/nonexistent/dir/demo.txt", error).has_value());
    EXPECT_EQ(error, "/nonexistent/dir/demo.txt: cannot open the file: No such file or directory");
}

TEST(InputScript, QuotedBytesAreEscapedAndCutAndAByteOrderMarkIsSkipped) {
    EXPECT_EQ(parse_error("1 \x1b[31mred\\\x7f down\n"),
              "demo.txt:1: unknown event '\\x1B[31mred\\x5C\\x7F'");
    EXPECT_EQ(parse_error(std::string("\0\0x close\n", 10)),
              "demo.txt:1: expected a frame number, found '\\x00\\x00x'");
    // A line of garbage is quoted by its first 48 bytes.
    const std::string error = parse_error(std::string(100000, 'z') + " close\n");
    EXPECT_EQ(error, "demo.txt:1: expected a frame number, found '" + std::string(48, 'z') + "...'");
    // Only at the very start, and only the whole mark.
    EXPECT_EQ(parse_ok("\xEF\xBB\xBFseed 9\n1 close\n").seed, 9u);
    EXPECT_EQ(parse_error("\xEF\xBBseed 9\n"), "demo.txt:1: expected a frame number, found '\\xEF\\xBBseed'");
    EXPECT_EQ(parse_error("1 close\n\xEF\xBB\xBF"
                          "2 close\n"),
              "demo.txt:2: expected a frame number, found '\\xEF\\xBB\\xBF2'");
}
