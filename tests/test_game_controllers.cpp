// Pads SDL maps as game controllers, as the game's ports see them: SDL virtual joysticks given a
// mapping with their GUID, against virtual joysticks SDL does not know.
#include "backends/null/null_joystick.h"
#include "backends/sdl/sdl_game_controller.h"
#include "backends/sdl/sdl_joystick.h"
#include "backends/sdl/sdl_test_pads.h"
#include "platform/joystick.h"
#include "platform/virtual_joystick.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Port reading of a raw value with no mapping in between.
float raw_axis(int raw) {
    return static_cast<float>((raw + 32768) * 2.0 / 65535.0 - 1.0);
}

uint32_t held_buttons(int port) {
    uint32_t mask = 0;
    for (int b = 0; b < 32; ++b) mask |= IsJoyButtonDown(b, port) ? 1u << b : 0u;
    return mask;
}

std::string guid_of(SDL_Joystick* joy) {
    char text[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(joy), text, sizeof text);
    return text;
}

// The GUID by which SDL matches a mapping to a device without USB ids: its name, without the name's
// checksum (bytes 2 and 3).
std::string name_guid_of(SDL_Joystick* joy) {
    SDL_JoystickGUID guid = SDL_JoystickGetGUID(joy);
    guid.data[2] = guid.data[3] = 0;
    char text[33];
    SDL_JoystickGetGUIDString(guid, text, sizeof text);
    return text;
}

bool sdl_maps(int device) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == device) return SDL_IsGameController(i) == SDL_TRUE;
    return false;
}

// An SDL virtual joystick of the same raw shape as a test pad, attached straight through SDL, with
// made-up USB ids.
SDL_Joystick* attach_stick(const char* name) {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.naxes = 6;
    desc.nbuttons = 16;
    desc.nhats = 1;
    desc.name = name;
    desc.vendor_id = 0x0B3D;
    desc.product_id = 0x0100;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    return index < 0 ? nullptr : SDL_JoystickOpen(index);
}

class GameControllers : public ::testing::Test {
protected:
    void SetUp() override { install(); }
    void TearDown() override {
        SetJoystickObserver({});
        for (SDL_Joystick* pad : pads_) DetachTestPad(pad);
        SetJoystickDriver(nullptr);
    }
    static void install(const std::string& mappings = {}) {
        SetJoystickDriver(CreateSDLJoystickDriver(mappings));
        // A pad plugged into the test machine must not change the results.
        SetJoystickVirtualOnly(true);
    }
    SDL_Joystick* pad() {
        SDL_Joystick* p = AttachTestPad();
        EXPECT_NE(p, nullptr) << SDL_GetError();
        pads_.push_back(p);
        return p;
    }
    std::vector<SDL_Joystick*> pads_; // detached like test pads: the virtual device, then the handle
};

TEST_F(GameControllers, FaceButtonsArriveByPositionAndStartAlsoPauses) {
    SDL_Joystick* p = pad();
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(held_buttons(0), 0u);
    const std::pair<int, uint32_t> presses[] = {
        {kTestPadSouth, 1u << 0},
        {kTestPadEast, 1u << 1},
        {kTestPadWest, 1u << 2},
        {kTestPadNorth, 1u << 3},
        {kTestPadStart, (1u << 2) | (1u << 7)},
    };
    for (auto [raw_button, port_buttons] : presses) {
        SDL_JoystickSetVirtualButton(p, raw_button, SDL_PRESSED);
        EXPECT_EQ(held_buttons(0), port_buttons) << "raw button " << raw_button;
        SDL_JoystickSetVirtualButton(p, raw_button, SDL_RELEASED);
        EXPECT_EQ(held_buttons(0), 0u) << "raw button " << raw_button;
    }
    // Each press was counted once on its port button: West and Start both on button 2.
    EXPECT_EQ(JoyButtonHitCount(0, 0), 1);
    EXPECT_EQ(JoyButtonHitCount(2, 0), 2);
    EXPECT_EQ(JoyButtonHitCount(3, 0), 1);
    EXPECT_EQ(JoyButtonHitCount(7, 0), 1);
    EXPECT_EQ(JoyButtonHitCount(9, 0), 0) << "the raw Start button is not the port's";
}

TEST_F(GameControllers, StickReadsItsEndBeyondThreeQuartersOfItsTravel) {
    SDL_Joystick* p = pad();
    ASSERT_EQ(CountJoysticks(), 1);
    // 3/4 of 32767 is 24575.25 and of 32768 is 24576: a stick beyond them reads exactly its end.
    const std::pair<int, float> readings[] = {
        {0, raw_axis(0)},
        {24575, raw_axis(24575)},
        {24576, 1.0f},
        {30000, 1.0f},
        {32767, 1.0f},
        {-24576, raw_axis(-24576)},
        {-24577, -1.0f},
        {-32768, -1.0f},
        {-12000, raw_axis(-12000)},
    };
    for (auto [raw, expected] : readings) {
        SDL_JoystickSetVirtualAxis(p, 0, static_cast<Sint16>(raw));
        SDL_JoystickSetVirtualAxis(p, 1, static_cast<Sint16>(raw));
        EXPECT_EQ(GetJoyX(0), expected) << "x at raw " << raw;
        EXPECT_EQ(GetJoyY(0), expected) << "y at raw " << raw;
    }
    // The right stick and the triggers are passed on as they come.
    SDL_JoystickSetVirtualAxis(p, 2, 30000);
    EXPECT_EQ(GetJoyZ(0), raw_axis(30000));
}

TEST_F(GameControllers, DpadDrivesTheAxesToTheirEndsOverTheStick) {
    SDL_Joystick* p = pad();
    ASSERT_EQ(CountJoysticks(), 1);
    SDL_JoystickSetVirtualAxis(p, 0, 1000);
    SDL_JoystickSetVirtualAxis(p, 1, 30000);
    EXPECT_EQ(GetJoyX(0), raw_axis(1000));
    EXPECT_EQ(GetJoyY(0), 1.0f);
    EXPECT_EQ(GetJoyHat(0), -1.0f) << "the hat is the d-pad, centred";

    SDL_JoystickSetVirtualHat(p, 0, SDL_HAT_LEFT);
    EXPECT_EQ(GetJoyX(0), -1.0f);
    EXPECT_EQ(GetJoyY(0), 1.0f) << "the stick still drives the axis the d-pad leaves alone";
    EXPECT_EQ(GetJoyHat(0), 0.75f);

    SDL_JoystickSetVirtualHat(p, 0, SDL_HAT_RIGHTUP);
    EXPECT_EQ(GetJoyX(0), 1.0f);
    EXPECT_EQ(GetJoyY(0), -1.0f) << "the d-pad wins over the stick pushed the other way";
    EXPECT_EQ(GetJoyHat(0), 0.125f);

    SDL_JoystickSetVirtualHat(p, 0, SDL_HAT_CENTERED);
    EXPECT_EQ(GetJoyX(0), raw_axis(1000));
    EXPECT_EQ(held_buttons(0), 0u) << "the d-pad presses no port button";
}

// Devices SDL has no mapping for, and the replay's own devices even where one exists, read raw: a
// replay carries port values already mapped.
TEST_F(GameControllers, UnmappedDevicesAndReplayDevicesReadRaw) {
    SDL_Joystick* stick = attach_stick("Unmapped Stick");
    ASSERT_NE(stick, nullptr) << SDL_GetError();
    const int replay_device = JoyVirtualAttach();
    ASSERT_GE(replay_device, 0);
    const std::string replay_mapping =
        name_guid_of(SDL_JoystickFromInstanceID(replay_device)) + ",Replay,a:b3,leftx:a0,dpleft:h0.8,";
    ASSERT_GE(SDL_GameControllerAddMapping(replay_mapping.c_str()), 0) << SDL_GetError();
    ASSERT_TRUE(sdl_maps(replay_device)) << "SDL itself would map the replay's device";
    ASSERT_FALSE(sdl_maps(SDL_JoystickInstanceID(stick)));
    ASSERT_EQ(CountJoysticks(), 2);

    SDL_JoystickSetVirtualButton(stick, kTestPadSouth, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(stick, 0, 30000);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_LEFT);
    ASSERT_TRUE(JoyVirtualSetButton(replay_device, 3, true));
    ASSERT_TRUE(JoyVirtualSetAxis(replay_device, 0, 30000));
    ASSERT_TRUE(JoyVirtualSetHat(replay_device, 27000));
    for (int port : {0, 1}) {
        EXPECT_EQ(held_buttons(port), 1u << 3) << "port " << port;
        EXPECT_EQ(GetJoyX(port), raw_axis(30000)) << "port " << port;
        EXPECT_EQ(GetJoyHat(port), 0.75f) << "port " << port;
    }
    JoyVirtualDetach(replay_device);
    DetachTestPad(stick); // any SDL virtual joystick goes the same way
}

// What a recording writes is what the game saw: replayed onto the null back-end's devices, which know
// no pads, the port reads come out the same.
TEST_F(GameControllers, ObservedPortValuesReplayWithoutTheMapping) {
    struct Seen {
        int port;
        JoystickChange change;
    };
    std::vector<Seen> log;
    SetJoystickObserver([&](int port, const JoystickChange& c) { log.push_back({port, c}); });
    SDL_Joystick* p = pad();
    SDL_JoystickSetVirtualAxis(p, 0, 26000);
    SDL_JoystickSetVirtualHat(p, 0, SDL_HAT_UP);
    SDL_JoystickSetVirtualButton(p, kTestPadSouth, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(p, kTestPadStart, SDL_PRESSED);
    ASSERT_EQ(CountJoysticks(), 1);
    const float x = GetJoyX(0), y = GetJoyY(0), hat = GetJoyHat(0);
    const uint32_t buttons = held_buttons(0);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, -1.0f);

    auto recorded = [&](JoystickChange::Kind kind, int index, int value) {
        for (const Seen& s : log)
            if (s.change.kind == kind && s.change.index == index && s.change.value == value) return true;
        return false;
    };
    EXPECT_TRUE(recorded(JoystickChange::Axis, 0, 32767)) << "the snapped stick, not 26000";
    EXPECT_TRUE(recorded(JoystickChange::Axis, 1, -32768)) << "the d-pad's end";
    EXPECT_TRUE(recorded(JoystickChange::Button, 0, 1));
    EXPECT_TRUE(recorded(JoystickChange::Button, 2, 1));
    EXPECT_FALSE(recorded(JoystickChange::Button, kTestPadSouth, 1)) << "raw buttons are not recorded";
    EXPECT_FALSE(recorded(JoystickChange::Button, kTestPadStart, 1));

    SetJoystickObserver({});
    SetJoystickDriver(CreateNullJoystickDriver());
    int device = -1;
    for (const Seen& s : log) {
        ASSERT_EQ(s.port, 0);
        switch (s.change.kind) {
        case JoystickChange::Attach: device = JoyVirtualAttach(); break;
        case JoystickChange::Detach: break;
        case JoystickChange::Axis: JoyVirtualSetAxis(device, s.change.index, s.change.value); break;
        case JoystickChange::Button: JoyVirtualSetButton(device, s.change.index, s.change.value != 0); break;
        case JoystickChange::Hat: JoyVirtualSetHat(device, s.change.value); break;
        }
    }
    ASSERT_EQ(CountJoysticks(), 1);
    EXPECT_EQ(GetJoyX(0), x);
    EXPECT_EQ(GetJoyY(0), y);
    EXPECT_EQ(GetJoyHat(0), hat);
    EXPECT_EQ(held_buttons(0), buttons);
}

// The mapping file beside the game's data and SDL_GAMECONTROLLERCONFIG teach SDL pads it does not know.
TEST_F(GameControllers, MappingsComeFromTheDataFileAndTheEnvironment) {
    SDL_Joystick* probe = attach_stick("File Pad");
    ASSERT_NE(probe, nullptr);
    const std::string file_guid = guid_of(probe);
    DetachTestPad(probe);

    const std::string path = testing::TempDir() + "gamecontrollerdb.txt";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "# pads of the test\n%s,File Pad,a:b5,leftx:a0,platform:Linux,\n", file_guid.c_str());
    std::fclose(file);
    install(path);
    SDL_Joystick* from_file = attach_stick("File Pad");
    ASSERT_NE(from_file, nullptr);
    ASSERT_EQ(CountJoysticks(), 1);
    SDL_JoystickSetVirtualButton(from_file, 5, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(from_file, 0, 30000);
    EXPECT_EQ(held_buttons(0), 1u << 0) << "raw button 5 is south in the file's mapping";
    EXPECT_EQ(GetJoyX(0), 1.0f);
    DetachTestPad(from_file);
    std::remove(path.c_str());

    // The environment is read when SDL's pads start, so SDL starts afresh; the driver brings it back.
    SDL_Quit();
    const std::string env_mapping = file_guid + ",File Pad,a:b6,";
    setenv("SDL_GAMECONTROLLERCONFIG", env_mapping.c_str(), 1);
    install();
    SDL_Joystick* from_env = attach_stick("File Pad");
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    ASSERT_NE(from_env, nullptr);
    ASSERT_EQ(CountJoysticks(), 1);
    SDL_JoystickSetVirtualButton(from_env, 6, SDL_PRESSED);
    EXPECT_EQ(held_buttons(0), 1u << 0) << "raw button 6 is south in the environment's mapping";
    DetachTestPad(from_env);
    SDL_Quit();
}

} // namespace
