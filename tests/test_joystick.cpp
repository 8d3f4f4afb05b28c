// Joystick ports, reads, hit counting and hot-plug, driven through the virtual joysticks of each
// back-end: SDL's, and the null back-end's software devices, which must read alike.
#include "backends/null/null_joystick.h"
#include "backends/null/null_system.h"
#include "backends/sdl/sdl_joystick.h"
#include "platform/input_replay.h"
#include "platform/joystick.h"
#include "platform/joystick_driver.h"
#include "platform/system.h"
#include "platform/virtual_joystick.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// The back-end under test, by name.
void install_joystick_backend(const std::string& name) {
    SetJoystickDriver(name == "sdl" ? CreateSDLJoystickDriver() : CreateNullJoystickDriver());
    // A pad plugged into the test machine must not change the results.
    SetJoystickVirtualOnly(true);
}

class Joystick : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { install_joystick_backend(GetParam()); }
    void TearDown() override {
        SetJoystickObserver({});
        for (int h : handles_) JoyVirtualDetach(h);
        install_joystick_backend(GetParam());
    }
    int attach() {
        const int h = JoyVirtualAttach();
        EXPECT_GE(h, 0) << "virtual joystick could not be attached";
        handles_.push_back(h);
        return h;
    }
    void detach(int h) {
        EXPECT_TRUE(JoyVirtualDetach(h));
        std::erase(handles_, h);
    }
    std::vector<int> handles_;
};

// Position p of 0..65535 read through (p - 0) * 2 / 65535 - 1.
float axis_of_raw(int raw) {
    return static_cast<float>((raw + 32768) * 2.0 / 65535.0 - 1.0);
}

TEST_P(Joystick, NothingAttachedReadsZero) {
    EXPECT_EQ(GetJoyX(0), 0.0f);
    EXPECT_EQ(JoyButtonHitCount(0, 0), 0);
    EXPECT_EQ(CountJoysticks(), 0);
    for (int port : {0, 1, 15}) {
        EXPECT_EQ(GetJoyX(port), 0.0f);
        EXPECT_EQ(GetJoyY(port), 0.0f);
        EXPECT_EQ(GetJoyHat(port), 0.0f) << "never read: the hat slot is still zero";
        EXPECT_FALSE(IsJoyButtonDown(0, port));
        EXPECT_EQ(JoyButtonHitCount(0, port), 0);
        EXPECT_EQ(JoyName(port), "");
    }
}

TEST_P(Joystick, AxesFollowTheFormulaToBothEndsWithoutDeadZone) {
    const int h = attach();
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(JoyName(0), "Virtual Joystick");

    // A digital pad reports the ends, which must read exactly -1.0 and +1.0.
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, -32768));
    ASSERT_TRUE(JoyVirtualSetAxis(h, 1, 32767));
    EXPECT_EQ(GetJoyX(0), -1.0f);
    EXPECT_EQ(GetJoyY(0), 1.0f);
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetAxis(h, 1, -32768));
    EXPECT_EQ(GetJoyX(0), 1.0f);
    EXPECT_EQ(GetJoyY(0), -1.0f);

    // Near the centre every step shows: raw 0 is just above zero, raw -1 just below.
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 0));
    EXPECT_EQ(GetJoyX(0), axis_of_raw(0));
    EXPECT_GT(GetJoyX(0), 0.0f);
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, -1));
    EXPECT_LT(GetJoyX(0), 0.0f);
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 100));
    EXPECT_EQ(GetJoyX(0), axis_of_raw(100));
    // Almost at the end is not the end: the game's exact +1.0 test must fail for it.
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32766));
    EXPECT_LT(GetJoyX(0), 1.0f);

    // Each axis lands in its own query.
    const int raws[6] = {-32768, -16000, -1, 1, 16000, 32767};
    for (int a = 0; a < 6; ++a) ASSERT_TRUE(JoyVirtualSetAxis(h, a, raws[a]));
    float (*const get[6])(int) = {GetJoyX, GetJoyY, GetJoyZ, GetJoyR, GetJoyU, GetJoyV};
    for (int a = 0; a < 6; ++a) EXPECT_EQ(get[a](0), axis_of_raw(raws[a])) << "axis " << a;

    EXPECT_FALSE(JoyVirtualSetAxis(h, 6, 0));
    EXPECT_FALSE(JoyVirtualSetAxis(h, 0, 32768));
}

TEST_P(Joystick, HatIsAFractionOfATurnOrMinusOneWhenCentred) {
    const int h = attach();
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(GetJoyHat(0), -1.0f);
    const struct {
        int set;
        float fraction;
    } cases[] = {{0, 0.0f},     {4500, 0.125f},  {9000, 0.25f},  {13500, 0.375f},
                 {18000, 0.5f}, {22500, 0.625f}, {27000, 0.75f}, {31500, 0.875f},
                 {8000, 0.25f}, {35999, 0.0f},   {-1, -1.0f},    {36001, -1.0f}};
    for (const auto& c : cases) {
        ASSERT_TRUE(JoyVirtualSetHat(h, c.set));
        EXPECT_EQ(GetJoyHat(0), c.fraction) << "hat set to " << c.set;
    }
}

TEST_P(Joystick, ButtonPressesAreCountedByReadsAndClearedByTheCount) {
    const int h = attach();
    ASSERT_EQ(CountJoysticks(), 1);

    ASSERT_TRUE(JoyVirtualSetButton(h, 0, true));
    EXPECT_TRUE(IsJoyButtonDown(0, 0));
    EXPECT_FALSE(IsJoyButtonDown(1, 0));
    EXPECT_TRUE(IsJoyButtonDown(0, 0)); // still held: no second press
    EXPECT_EQ(JoyButtonHitCount(0, 0), 1);
    EXPECT_EQ(JoyButtonHitCount(0, 0), 0) << "the count is cleared by the call that returns it";

    // Two presses, each seen by some read (any query reads), count twice.
    ASSERT_TRUE(JoyVirtualSetButton(h, 0, false));
    GetJoyX(0);
    ASSERT_TRUE(JoyVirtualSetButton(h, 0, true));
    GetJoyHat(0);
    ASSERT_TRUE(JoyVirtualSetButton(h, 0, false));
    GetJoyY(0);
    ASSERT_TRUE(JoyVirtualSetButton(h, 0, true));
    EXPECT_EQ(JoyButtonHitCount(0, 0), 2);

    // A press released before any read is never seen: joysticks are polled.
    ASSERT_TRUE(JoyVirtualSetButton(h, 5, true));
    ASSERT_TRUE(JoyVirtualSetButton(h, 5, false));
    EXPECT_EQ(JoyButtonHitCount(5, 0), 0);

    // Counts are per button.
    ASSERT_TRUE(JoyVirtualSetButton(h, 15, true));
    EXPECT_EQ(JoyButtonHitCount(14, 0), 0);
    EXPECT_EQ(JoyButtonHitCount(15, 0), 1);
}

TEST_P(Joystick, ButtonsAbove15AreHeldButNotCounted) {
    const int h = attach();
    ASSERT_EQ(CountJoysticks(), 1);
    for (int b : {16, 20, 31}) ASSERT_TRUE(JoyVirtualSetButton(h, b, true));
    EXPECT_TRUE(IsJoyButtonDown(16, 0));
    EXPECT_TRUE(IsJoyButtonDown(20, 0));
    EXPECT_TRUE(IsJoyButtonDown(31, 0));
    EXPECT_FALSE(IsJoyButtonDown(17, 0));
    for (int b = 0; b < 16; ++b) EXPECT_EQ(JoyButtonHitCount(b, 0), 0) << "button " << b;
    EXPECT_FALSE(JoyVirtualSetButton(h, 32, true));
}

TEST_P(Joystick, PortsNumberDevicesInOrderAndKeepTheirOwnState) {
    const int first = attach();
    const int second = attach();
    ASSERT_EQ(CountJoysticks(), 2);
    ASSERT_TRUE(JoyVirtualSetAxis(second, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetButton(second, 2, true));
    ASSERT_TRUE(JoyVirtualSetAxis(first, 1, -32768));

    EXPECT_EQ(GetJoyX(1), 1.0f);
    EXPECT_EQ(GetJoyY(0), -1.0f);
    EXPECT_NE(GetJoyX(0), 1.0f);
    EXPECT_TRUE(IsJoyButtonDown(2, 1));
    EXPECT_FALSE(IsJoyButtonDown(2, 0));
    EXPECT_EQ(JoyButtonHitCount(2, 0), 0);
    EXPECT_EQ(JoyButtonHitCount(2, 1), 1);

    // A port beyond the attached devices reads nothing, even when devices are pressed.
    EXPECT_EQ(GetJoyX(2), 0.0f);
    EXPECT_FALSE(IsJoyButtonDown(2, 2));
    EXPECT_EQ(JoyButtonHitCount(2, 2), 0);
    EXPECT_EQ(JoyName(2), "");
}

TEST_P(Joystick, BeforeTheFirstCountPortsReadTheFirstDevice) {
    const int h = attach();
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32767));
    EXPECT_EQ(GetJoyX(0), 1.0f);
    EXPECT_EQ(GetJoyX(1), 1.0f);
    ASSERT_EQ(CountJoysticks(), 1);
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, -32768));
    EXPECT_EQ(GetJoyX(0), -1.0f);
    EXPECT_EQ(GetJoyX(1), 1.0f) << "port 1 has no device after the count and keeps its last value";
}

TEST_P(Joystick, HotPlugShowsAtTheNextCountAndUnplugKeepsLastValues) {
    ASSERT_EQ(CountJoysticks(), 0);
    const int first = attach();
    ASSERT_TRUE(JoyVirtualSetAxis(first, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetButton(first, 3, true));
    EXPECT_EQ(GetJoyX(0), 0.0f) << "a new device has no port until the next count";
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(GetJoyX(0), 1.0f);
    EXPECT_TRUE(IsJoyButtonDown(3, 0));
    EXPECT_EQ(JoyButtonHitCount(3, 0), 1);

    // Unplugged between reads: the port keeps what it last read, and no press appears.
    detach(first);
    EXPECT_EQ(GetJoyX(0), 1.0f);
    EXPECT_TRUE(IsJoyButtonDown(3, 0));
    EXPECT_EQ(JoyButtonHitCount(3, 0), 0);
    EXPECT_EQ(CountJoysticks(), 0);
    EXPECT_EQ(GetJoyX(0), 1.0f);

    // Two plugged in, the first pulled out: the second moves to port 0 at the next count.
    const int a = attach();
    const int b = attach();
    ASSERT_EQ(CountJoysticks(), 2);
    ASSERT_TRUE(JoyVirtualSetAxis(b, 1, 32767));
    EXPECT_EQ(GetJoyY(1), 1.0f);
    detach(a);
    EXPECT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(GetJoyY(0), 1.0f);
    ASSERT_TRUE(JoyVirtualSetAxis(b, 1, -32768));
    EXPECT_EQ(GetJoyY(0), -1.0f);
    EXPECT_EQ(GetJoyY(1), 1.0f) << "port 1 lost its device and keeps its last value";
}

TEST_P(Joystick, VirtualHandlesAreCheckedAndDetachIsOnce) {
    EXPECT_FALSE(JoyVirtualDetach(12345));
    EXPECT_FALSE(JoyVirtualSetAxis(12345, 0, 0));
    const int h = attach();
    detach(h);
    EXPECT_FALSE(JoyVirtualDetach(h));
    EXPECT_FALSE(JoyVirtualSetButton(h, 0, true));
}

struct Seen {
    int port;
    JoystickChange::Kind kind;
    int index, value;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << "{port " << s.port << " kind " << s.kind << " index " << s.index << " value " << s.value
              << "}";
}

TEST_P(Joystick, ObserverIsToldEveryChangeOnce) {
    std::vector<Seen> seen;
    SetJoystickObserver([&](int port, const JoystickChange& c) {
        seen.push_back({port, c.kind, c.index, c.value});
    });
    const int h = attach();
    ASSERT_TRUE(JoyVirtualSetAxis(h, 1, -32768));
    ASSERT_TRUE(JoyVirtualSetButton(h, 20, true));
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(seen, (std::vector<Seen>{{0, JoystickChange::Attach, 0, 0},
                                       {0, JoystickChange::Axis, 1, -32768},
                                       {0, JoystickChange::Button, 20, 1}}));
    seen.clear();
    GetJoyX(0);
    GetJoyX(1);
    EXPECT_TRUE(seen.empty()) << "nothing changed since the count";

    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetButton(h, 20, false));
    ASSERT_TRUE(JoyVirtualSetButton(h, 0, true));
    ASSERT_TRUE(JoyVirtualSetHat(h, 9000));
    IsJoyButtonDown(0, 0);
    ASSERT_TRUE(JoyVirtualSetHat(h, -1));
    GetJoyHat(0);
    EXPECT_EQ(seen, (std::vector<Seen>{{0, JoystickChange::Axis, 0, 32767},
                                       {0, JoystickChange::Button, 0, 1},
                                       {0, JoystickChange::Button, 20, 0},
                                       {0, JoystickChange::Hat, 0, 9000},
                                       {0, JoystickChange::Hat, 0, -1}}));
    seen.clear();
    detach(h);
    GetJoyX(0);
    GetJoyX(0);
    EXPECT_EQ(seen, (std::vector<Seen>{{0, JoystickChange::Detach, 0, 0}}));
}

// The game reads its pads while its window may lack keyboard focus (replays under a virtual display).
// Only SDL has windows and focus.
using SdlJoystick = Joystick;
INSTANTIATE_TEST_SUITE_P(Backends, SdlJoystick, ::testing::Values("sdl"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_P(SdlJoystick, ReadsDoNotDependOnWindowFocus) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("joystick", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    ASSERT_EQ(SDL_GetKeyboardFocus(), nullptr);
    const int h = attach();
    ASSERT_EQ(CountJoysticks(), 1);
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetButton(h, 1, true));
    const float x = GetJoyX(0);
    const bool held = IsJoyButtonDown(1, 0);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_EQ(x, 1.0f);
    EXPECT_TRUE(held);
}

// Replaying what the observer reported onto fresh virtual devices reproduces the reads.
TEST_P(Joystick, ObservedChangesReplayToTheSameReadings) {
    std::vector<Seen> log;
    SetJoystickObserver([&](int port, const JoystickChange& c) {
        log.push_back({port, c.kind, c.index, c.value});
    });
    const int h = attach();
    ASSERT_TRUE(JoyVirtualSetAxis(h, 0, 32767));
    ASSERT_TRUE(JoyVirtualSetAxis(h, 3, -12345));
    ASSERT_TRUE(JoyVirtualSetButton(h, 7, true));
    ASSERT_TRUE(JoyVirtualSetHat(h, 22500));
    ASSERT_EQ(CountJoysticks(), 1);
    const float x = GetJoyX(0), r = GetJoyR(0), hat = GetJoyHat(0);
    const bool held = IsJoyButtonDown(7, 0);
    SetJoystickObserver({});
    detach(h);

    install_joystick_backend(GetParam());
    int replay = -1;
    for (const Seen& s : log) {
        switch (s.kind) {
        case JoystickChange::Attach: replay = attach(); break;
        case JoystickChange::Axis: ASSERT_TRUE(JoyVirtualSetAxis(replay, s.index, s.value)); break;
        case JoystickChange::Button: ASSERT_TRUE(JoyVirtualSetButton(replay, s.index, s.value)); break;
        case JoystickChange::Hat: ASSERT_TRUE(JoyVirtualSetHat(replay, s.value)); break;
        case JoystickChange::Detach: detach(replay); break;
        }
    }
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(GetJoyX(0), x);
    EXPECT_EQ(GetJoyR(0), r);
    EXPECT_EQ(GetJoyHat(0), hat);
    EXPECT_EQ(IsJoyButtonDown(7, 0), held);
}

// The game polls joysticks, so a recording holds a change only once a read has seen the one before
// it: a press read once and released while the game waited in the same frame comes back as two
// changes of one frame. Replayed, the release waits for a read of the press (holding back what follows
// it), for a wait of the game, or for the next frame, whichever comes first.
TEST_P(Joystick, ReplayHoldsAChangeBackUntilTheChangeBeforeItWasRead) {
    std::string error;
    std::optional<TInputScript> script = ParseInputScript("0 joy 0 attach\n"
                                                          "1 joy 0 button 0 down\n"
                                                          "1 joy 0 button 0 up\n"
                                                          "1 key 32 down\n"
                                                          "2 joy 0 axis x 32767\n"
                                                          "2 joy 0 axis x 0\n"
                                                          "3 joy 0 hat 9000\n"
                                                          "3 joy 0 hat -1\n"
                                                          "3 joy 0 detach\n",
                                                          "gate", error);
    ASSERT_TRUE(script) << error;
    TScriptedSystemDriver replay(NullSystemDriver(), TScriptedSystemDriver::Mode::Replay, *script);
    SetSystemDriver(&replay);
    PollSystemEvents();
    ASSERT_EQ(CountJoysticks(), 1);

    replay.FramePresented();
    PollSystemEvents();
    PollSystemEvents();
    EXPECT_EQ(replay.Pending(), 7u) << "the release and all after it wait for a read of the press";
    EXPECT_EQ(JoyButtonHitCount(0, 0), 1);
    PollSystemEvents();
    EXPECT_EQ(replay.Pending(), 5u);
    EXPECT_FALSE(IsJoyButtonDown(0, 0));

    replay.FramePresented();
    PollSystemEvents();
    EXPECT_EQ(replay.Pending(), 4u) << "no read in this frame";
    replay.FramePresented();
    PollSystemEvents();
    EXPECT_EQ(replay.Pending(), 2u) << "the next frame lets it through; the hat's change waits in turn";

    WaitSystemEvent();
    EXPECT_EQ(replay.Pending(), 1u) << "a waiting game takes the held change";
    EXPECT_EQ(GetJoyX(0), axis_of_raw(0));
    EXPECT_EQ(GetJoyHat(0), -1.0f);
    SetSystemDriver(nullptr);
}

// A device seam with other ranges than SDL's: the formula uses the device's minimum and maximum,
// and what a device does not report keeps its last value.
class ScriptedDriver : public TJoystickDriver {
public:
    explicit ScriptedDriver(TJoystickPosition* pos)
        : pos_(pos) {}
    std::vector<int> Devices() override { return {7}; }
    std::string Name(int) override { return "scripted"; }
    bool Read(int device, TJoystickPosition& out) override {
        if (device != 7 || !pos_) return false;
        out = *pos_;
        return true;
    }
    TJoystickPosition* pos_;
};

TEST_P(Joystick, FormulaUsesTheDeviceRangeAndSkipsWhatIsNotReported) {
    TJoystickPosition pos;
    pos.axis_valid = 0b11;
    pos.axis_min[0] = 0;
    pos.axis_max[0] = 1000;
    pos.axis_pos[0] = 250;
    pos.axis_min[1] = 100;
    pos.axis_max[1] = 1100;
    pos.axis_pos[1] = 600;
    pos.hat_valid = true;
    pos.hat = 9000;
    SetJoystickDriver(std::make_unique<ScriptedDriver>(&pos));
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(JoyName(0), "scripted");
    EXPECT_EQ(GetJoyX(0), -0.5f);
    EXPECT_EQ(GetJoyY(0), static_cast<float>(1000.0 / 1100.0 - 1.0));
    EXPECT_EQ(GetJoyHat(0), 0.25f);

    // Axis x no longer reported, axis y with a zero maximum, no hat: all keep their values.
    pos.axis_valid = 0b10;
    pos.axis_max[1] = 0;
    pos.hat_valid = false;
    EXPECT_EQ(GetJoyX(0), -0.5f);
    EXPECT_EQ(GetJoyY(0), static_cast<float>(1000.0 / 1100.0 - 1.0));
    EXPECT_EQ(GetJoyHat(0), 0.25f);
}

INSTANTIATE_TEST_SUITE_P(Backends, Joystick, ::testing::Values("sdl", "null"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

using JoystickDeathTest = Joystick;
INSTANTIATE_TEST_SUITE_P(Backends, JoystickDeathTest, ::testing::Values("null"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_P(JoystickDeathTest, PortsAndButtonsOutOfRangeAreCallerErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GetJoyX(16), "port 16 out of range");
    EXPECT_DEATH(GetJoyY(-1), "port -1 out of range");
    EXPECT_DEATH(JoyButtonHitCount(16, 0), "hit button 16 out of range");
    EXPECT_DEATH(IsJoyButtonDown(32, 0), "button 32 out of range");
    EXPECT_DEATH(JoyName(16), "port 16 out of range");
}

} // namespace
