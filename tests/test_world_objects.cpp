// The game objects: object lists, particles and explosions, shots and trails, tanks and the players.
#include "game/object_list.h"
#include "game/sound.h"
#include "platform/event.h"
#include "platform/input_replay.h"
#include "platform/input_script.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "platform/virtual_joystick.h"
#include "render/collision.h"
#include "tests/world_test_support.h"

#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

using world_test::SoundsOf;
using world_test::WorldTest;

namespace {

// --- Object lists ---------------------------------------------------------------------------------

struct item : list_slot {
    int value = 0;
};

std::vector<int> values_of(object_list<item>& list) {
    std::vector<int> values;
    list.walk([&](item& i) { values.push_back(i.value); });
    return values;
}

} // namespace

TEST(ObjectList, KeepsInsertionOrderAndToleratesRemovalDuringTheWalk) {
    object_list<item> list;
    for (int v = 1; v <= 5; ++v) list.append().value = v;
    EXPECT_EQ(values_of(list), (std::vector<int>{1, 2, 3, 4, 5}));

    // The current object removes itself and reads its fields afterwards; a later one is removed by
    // an earlier one; an object appended during the walk is reached by it.
    std::vector<int> seen;
    list.walk([&](item& i) {
        if (i.value == 2) {
            list.remove(i);
            seen.push_back(i.value * 10);
        }
        if (i.value == 3) list.remove(list.at(3)); // the object of value 5
        if (i.value == 4) list.append().value = 6;
        seen.push_back(i.value);
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 20, 2, 3, 4, 6}));
    EXPECT_EQ(values_of(list), (std::vector<int>{1, 3, 4, 6}));
    EXPECT_EQ(list.size(), 4u);

    // Removing an object that is not in the list (twice, or never added) changes nothing.
    item stranger;
    list.remove(stranger);
    item& first = list.at(0);
    list.remove(first);
    list.remove(first);
    EXPECT_EQ(values_of(list), (std::vector<int>{3, 4, 6}));
    object_list<item> other;
    other.remove(list.at(0));
    EXPECT_EQ(list.size(), 3u);

    // Clearing from inside the walk ends every object, the walker's own included.
    int visited = 0;
    list.walk([&](item&) {
        ++visited;
        list.clear();
    });
    EXPECT_EQ(visited, 1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(values_of(list), std::vector<int>{});
}

TEST(ObjectList, RecyclesTheObjectsItEnds) {
    object_list<item> list;
    for (int round = 0; round < 100; ++round) {
        for (int n = 0; n < 50; ++n) list.append().value = 7;
        list.walk([&](item& i) { list.remove(i); });
        EXPECT_TRUE(list.empty());
    }
    EXPECT_EQ(list.allocated(), 50u) << "a steady burst size reuses the same objects";
    EXPECT_EQ(list.append().value, 0) << "a reused object starts from its construction values";
}

// --- Particles and explosions ---------------------------------------------------------------------

TEST_F(WorldTest, ParticleBurstDrawsTwoNumbersPerParticleInOrder) {
    SetRandomSeed(777);
    particle_tag::set(300.0f, 200.0f, 0.5f, 3, 0);
    EXPECT_TRUE(particle_list.empty());
    EXPECT_EQ(GetRandomSeed(), 777) << "an empty burst draws nothing";

    particle_tag::set(300.0f, 200.0f, 0.5f, 3, 20);
    ASSERT_EQ(particle_list.size(), 20u);
    SetRandomSeed(777);
    for (size_t n = 0; n < 20; ++n) {
        const particle_tag& p = particle_list.at(n);
        const float xstp = static_cast<float>(RandomRange(-4.5, 4.5));
        const float ystp = static_cast<float>(RandomRange(-1.5, -4.5));
        EXPECT_EQ(p.xstp, xstp) << n;
        EXPECT_EQ(p.ystp, ystp) << n;
        EXPECT_LT(p.ystp, -1.5f);
        EXPECT_EQ(p.x, 300.0f);
        EXPECT_EQ(p.sc, 0.5f);
        EXPECT_EQ(p.frame, 3);
    }
}

TEST_F(WorldTest, ExplosionBurstDrawsItsNumbersInOrder) {
    SetRandomSeed(4242);
    explode_tag::set(300.0f, 200.0f, 20.0f, 40, 4);
    ASSERT_EQ(explode_list.size(), 40u);
    SetRandomSeed(4242);
    for (size_t n = 0; n < 40; ++n) {
        const explode_tag& e = explode_list.at(n);
        EXPECT_EQ(e.al, static_cast<float>(RandomRange(0.5, 1.0))) << n;
        EXPECT_EQ(e.sc, static_cast<float>(RandomRange(1.0, 2.0))) << n;
        EXPECT_EQ(e.x, static_cast<float>(300.0 - 10.0 + RandomRange(20.0, 0.0))) << n;
        EXPECT_EQ(e.y, static_cast<float>(200.0 - 10.0 + RandomRange(20.0, 0.0))) << n;
        EXPECT_EQ(e.alst, static_cast<float>(RandomRange(-0.02, -0.04))) << n;
        EXPECT_GE(e.x, 290.0f);
        EXPECT_LT(e.x, 310.0f);
        EXPECT_EQ(e.frame, 4);
    }
}

TEST_F(WorldTest, ParticleLeavesOnlyBeyondTheStrictBounds) {
    struct leave_case {
        float x, y;
        bool removed;
    };
    for (const leave_case c : {leave_case{475.0f, 200.0f, false}, leave_case{475.5f, 200.0f, true},
                               leave_case{175.0f, 200.0f, false}, leave_case{174.5f, 200.0f, true},
                               leave_case{300.0f, 460.0f, false}, leave_case{300.0f, 460.5f, true}}) {
        particle_tag::destroy_all();
        particle_tag& p = particle_list.append();
        // After the move the particle stands at (c.x, c.y): it starts there minus its velocity.
        p.xstp = 0.0f;
        p.ystp = -0.5f;
        p.x = c.x;
        p.y = c.y + 0.5f;
        p.sc = 1.0f;
        particle_tag::update_all();
        EXPECT_EQ(particle_list.empty(), c.removed) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST_F(WorldTest, ParticleFallsHiddenAboveTheTopAndJittersNearStill) {
    mode_3d = 0;
    particle_tag& p = particle_list.append();
    p.x = 300.0f;
    p.y = 35.0f;
    p.xstp = 0.01f;
    p.ystp = -4.5f;
    p.sc = 1.0f;
    p.frame = 3;
    std::vector<bool> drawn;
    std::vector<float> xsteps;
    for (int frame = 0; frame < 6; ++frame) {
        Cls();
        particle_tag::update_all();
        int x0, y0, x1, y1;
        drawn.push_back(draw_test::LitBox(GrabPixmap(170, 0, 310, 200), x0, y0, x1, y1));
        xsteps.push_back(p.xstp);
    }
    // y: 35, 30.5, 26.1, 21.8, 17.6, 13.5 when drawn; only above 30 shows.
    EXPECT_EQ(drawn, (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_NEAR(xsteps[0], -0.01f, 1e-6f);
    EXPECT_NEAR(xsteps[1], 0.01f, 1e-6f);
    EXPECT_NEAR(xsteps[2], -0.01f, 1e-6f);
}

TEST_F(WorldTest, ExplosionSpriteFadesOutAfterItsDrawings) {
    explode_tag& e = explode_list.append();
    e.x = 300.0f;
    e.y = 200.0f;
    e.al = 0.5f;
    e.alst = -0.04f;
    e.sc = 1.0f;
    e.frame = 2;
    int drawings = 0;
    while (!explode_list.empty() && drawings < 100) {
        explode_tag::update_all();
        ++drawings;
    }
    EXPECT_EQ(drawings, 13);

    // Near the longest life: alpha just under 1.0 losing 0.02 a frame.
    explode_tag& slow = explode_list.append();
    slow.al = 0.99f;
    slow.alst = -0.02f;
    slow.sc = 2.0f;
    drawings = 0;
    while (!explode_list.empty() && drawings < 100) {
        explode_tag::update_all();
        ++drawings;
    }
    EXPECT_EQ(drawings, 50);
}

// --- Shots and trails -----------------------------------------------------------------------------

namespace {

void place_tank(int index, float x) {
    tanks[index] = tank_tag{};
    tanks[index].state = 1;
    tanks[index].x = x;
    tanks[index].y = 370.0f;
}

lazer_tag& shot_at(float x, float y, int id, float xst = 0.0f, float yst = 6.0f) {
    lazer_tag::fire(x, y, xst, yst, id, id < 2 ? id : 2);
    return lazer_list.at(lazer_list.size() - 1);
}

int count_explosions_of(int frame) {
    int n = 0;
    explode_list.walk([&](explode_tag& e) { n += e.frame == frame; });
    return n;
}

} // namespace

TEST_F(WorldTest, FireMarksTheOwnerAndSoundsOnlyForPlayers) {
    std::vector<std::string> sounds = SoundsOf([] { lazer_tag::fire(300.0f, 100.0f, 2.0f, 6.0f, 0, 0); });
    EXPECT_EQ(sounds, std::vector<std::string>{"lazer"});
    EXPECT_EQ(player1.shoot, 1);
    sounds = SoundsOf([] { lazer_tag::fire(300.0f, 350.0f, 0.0f, -6.0f, 3, 2); });
    EXPECT_EQ(sounds, std::vector<std::string>{});
    EXPECT_EQ(tanks[1].shoot, 1);
    ASSERT_EQ(lazer_list.size(), 2u);
    EXPECT_EQ(lazer_list.at(0).xst, 2.0f);
    EXPECT_EQ(lazer_list.at(1).id, 3);
}

TEST_F(WorldTest, ShotDestroysATankOnlyStrictlyWithinEightPixels) {
    struct hit_case {
        float shot_x;
        bool destroys;
    };
    // Truncated, all these shots stand on the same pixels, so the pixel test agrees for all of them.
    for (const hit_case c :
         {hit_case{292.0f, false}, hit_case{292.1f, true}, hit_case{307.9f, true}, hit_case{308.0f, false}}) {
        world_test::ResetWorld();
        place_tank(0, 300.0f);
        player1.state = 1;
        player1.y = 100.0f;
        const float x = c.shot_x;
        ASSERT_TRUE(ImagesCollide(img_lazer, static_cast<int>(x), 370, 0, img_tank, 300, 370, 0));
        shot_at(x, 370.0f, 0);
        std::vector<std::string> sounds = SoundsOf([] { lazer_tag::update_all(); });
        EXPECT_EQ(tanks[0].state, c.destroys ? 0 : 1) << "shot at " << x;
        EXPECT_EQ(player1.shoot, 0) << "the shot ends either way";
        EXPECT_TRUE(lazer_list.empty());
        if (c.destroys) {
            EXPECT_EQ(sounds, std::vector<std::string>{"explode"}) << x;
            EXPECT_EQ(count_explosions_of(2), 160) << "tank wreck";
            EXPECT_EQ(count_explosions_of(3), 40) << "small burst in player 1's colour";
            EXPECT_EQ(particle_list.size(), 70u);
        } else {
            EXPECT_EQ(sounds, (std::vector<std::string>{"smexpl", "ufohit"})) << x;
            EXPECT_EQ(count_explosions_of(3), 40);
            EXPECT_EQ(explode_list.size(), 40u);
        }
    }
}

TEST_F(WorldTest, KillScoreDependsOnTheShootersHeightAtTheHit) {
    struct score_case {
        float shooter_y;
        int points;
    };
    for (const score_case c : {score_case{150.0f, 50}, score_case{150.5f, 10}}) {
        world_test::ResetWorld();
        stage = 2;
        place_tank(1, 300.0f);
        player2.state = 1;
        player2.score = 7;
        player2.y = 100.0f;
        shot_at(300.0f, 370.0f, 1);
        player2.y = c.shooter_y; // the craft moved after firing
        lazer_tag::update_all();
        EXPECT_EQ(tanks[1].state, 0);
        EXPECT_EQ(player2.score, 7 + c.points) << "shooter at y " << c.shooter_y;
        EXPECT_EQ(player1.score, 0);
        EXPECT_EQ(count_explosions_of(1), 40) << "small burst in player 2's colour";
    }
}

TEST_F(WorldTest, TankShotHitsPlayersDirectlyOrOffCentre) {
    struct player_case {
        const char* what;
        float shot_dx; // shot x minus craft x
        int lives_before, lives_after, state_after;
        std::vector<std::string> sounds;
        int magenta_sprites, green_sprites;
    };
    const player_case cases[] = {
        {"direct at -2", -2.0f, 6, 0, 0, {"explode"}, 0, 160},
        {"just inside +2", 1.9f, 3, 0, 0, {"explode"}, 0, 160},
        {"off-centre at +2", 2.0f, 6, 5, 1, {"smexpl", "tankhit"}, 40, 0},
        {"off-centre, last life", 3.0f, 1, 0, 0, {"explode"}, 40, 160},
    };
    for (const player_case& c : cases) {
        world_test::ResetWorld();
        player1.state = 1;
        player1.lives = c.lives_before;
        player1.x = 300.0f;
        player1.y = 200.0f;
        tanks[1].shoot = 1;
        const float x = 300.0f + c.shot_dx;
        ASSERT_TRUE(ImagesCollide(img_lazer, static_cast<int>(x), 200, 0, img_player, 300, 200, 0)) << c.what;
        lazer_list.append() = lazer_tag{};
        lazer_tag& shot = lazer_list.at(0);
        shot.x = x, shot.y = 200.0f, shot.yst = -6.0f, shot.id = 3, shot.frame = 2;
        std::vector<std::string> sounds = SoundsOf([] { lazer_tag::update_all(); });
        EXPECT_EQ(player1.lives, c.lives_after) << c.what;
        EXPECT_EQ(player1.state, c.state_after) << c.what;
        EXPECT_EQ(sounds, c.sounds) << c.what;
        EXPECT_EQ(count_explosions_of(4), c.magenta_sprites) << c.what;
        EXPECT_EQ(count_explosions_of(3), c.green_sprites) << c.what;
        EXPECT_EQ(tanks[1].shoot, 0) << c.what;
        EXPECT_TRUE(lazer_list.empty()) << c.what;
    }
}

TEST_F(WorldTest, CraftWreckBurstsAroundTheCraftButDebrisFliesFromTheShot) {
    player1.state = 1;
    player1.lives = 2;
    player1.x = 300.0f;
    player1.y = 200.0f;
    lazer_list.append() = lazer_tag{};
    lazer_tag& shot = lazer_list.at(0);
    shot.x = 299.0f, shot.y = 205.0f, shot.yst = -6.0f, shot.id = 2, shot.frame = 2;
    lazer_tag::update_all();
    ASSERT_EQ(player1.state, 0);
    explode_list.walk([](explode_tag& e) {
        EXPECT_GE(e.x, 275.0f);
        EXPECT_LT(e.x, 325.0f);
        EXPECT_GE(e.y, 175.0f);
        EXPECT_LT(e.y, 225.0f);
    });
    ASSERT_EQ(particle_list.size(), 50u);
    EXPECT_EQ(particle_list.at(0).x, 299.0f);
    EXPECT_EQ(particle_list.at(0).y, 205.0f);
}

TEST_F(WorldTest, ShotsLeavingThePlayfield) {
    struct leave_case {
        const char* what;
        float x, y, xst, yst;
        int id;
        std::vector<std::string> sounds;
        int burst_colour;
    };
    const leave_case cases[] = {
        {"player 1 into the ground", 300.0f, 386.0f, 0.0f, 6.0f, 0, {"thud"}, 3},
        {"player 2 out at the side", 468.0f, 300.0f, 2.0f, 6.0f, 1, {}, 1},
        {"tank shot out at the top", 300.0f, 34.0f, 0.0f, -6.0f, 4, {}, 4},
    };
    for (const leave_case& c : cases) {
        world_test::ResetWorld();
        versus = 1;
        lazer_tag::fire(c.x, c.y, c.xst, c.yst, c.id, c.id < 2 ? c.id : 2);
        std::vector<std::string> sounds = SoundsOf([] { lazer_tag::update_all(); });
        EXPECT_EQ(sounds, c.sounds) << c.what;
        EXPECT_TRUE(lazer_list.empty()) << c.what;
        EXPECT_EQ(count_explosions_of(c.burst_colour), 40) << c.what;
        EXPECT_EQ(explode_list.size(), 40u) << c.what;
        EXPECT_EQ(player1.shoot + player2.shoot + tanks[2].shoot, 0) << c.what;
        EXPECT_EQ(ltrail_list.size(), 1u) << "the last position leaves a trail copy";
    }
    // Exactly on the edges a shot stays.
    world_test::ResetWorld();
    lazer_tag::fire(169.0f, 384.0f, 0.0f, 6.0f, 0, 0);
    lazer_tag::update_all();
    EXPECT_EQ(lazer_list.size(), 1u);
}

TEST_F(WorldTest, TrailCopyIsDrawnFiftyOneTimes) {
    ltrail_tag::set(300.0f, 300.0f, 2, 3);
    int drawings = 0;
    while (!ltrail_list.empty() && drawings < 100) {
        ltrail_tag::update_all();
        ++drawings;
    }
    EXPECT_EQ(drawings, 51);

    // A player's copy goes as soon as it is above the craft that fired it.
    player1.y = 200.0f;
    ltrail_tag::set(300.0f, 210.0f, 0, 0);
    ltrail_tag::update_all();
    EXPECT_EQ(ltrail_list.size(), 1u);
    player1.y = 211.0f;
    ltrail_tag::update_all();
    EXPECT_TRUE(ltrail_list.empty());
}

TEST_F(WorldTest, ShotDrawsItselfAndLeavesAGlowingTrail) {
    mode_3d = 0;
    player1.y = 60.0f;
    lazer_tag::fire(320.0f, 100.0f, 0.0f, 6.0f, 0, 0);
    for (int frame = 0; frame < 20; ++frame) {
        Cls();
        ltrail_tag::update_all();
        lazer_tag::update_all();
    }
    EXPECT_EQ(ltrail_list.size(), 20u);
    EXPECT_FLOAT_EQ(lazer_list.at(0).y, 220.0f);
    // The newest copies (nearest the shot) are brighter than the old ones near the craft.
    TPixmapPtr picture = GrabPixmap(0, 0, 640, 480);
    auto brightness = [&](int y) {
        int sum = 0;
        for (int x = 314; x < 326; ++x) {
            const draw_test::Rgba c = draw_test::PixelOf(picture, x, y);
            sum += c.r + c.g + c.b;
        }
        return sum;
    };
    EXPECT_GT(brightness(208), 0);
    EXPECT_GT(brightness(208), brightness(106));
    EXPECT_GT(brightness(106), 0);
}

// --- Tanks ----------------------------------------------------------------------------------------

TEST_F(WorldTest, TankInitDrawsTwoNumbersPerTankInOrder) {
    tanks[0].dir = 5.0f;
    tanks[1].state = 0;
    tanks[2].shoot = 1;
    tanks[2].ftmr = 33;
    SetRandomSeed(99);
    tank_tag::init(0);
    SetRandomSeed(99);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tanks[i].fctr, static_cast<int>(RandomRange(4.0, 0.0))) << i;
        EXPECT_EQ(tanks[i].whlrot, static_cast<float>(RandomRange(360.0, 0.0))) << i;
        EXPECT_EQ(tanks[i].x, 560.0f + 90.0f * i);
        EXPECT_EQ(tanks[i].y, 370.0f);
        EXPECT_EQ(tanks[i].state, 1);
        EXPECT_EQ(tanks[i].shoot, 0);
        EXPECT_EQ(tanks[i].ftmr, 0);
    }
    EXPECT_EQ(tanks[0].dir, 5.0f) << "init(0) keeps the unused fields";
    tank_tag::init(1);
    EXPECT_EQ(tanks[0].dir, 0.0f) << "init(1) makes the tanks anew";
}

TEST_F(WorldTest, TankWheelsDrawThreeNumbersEachFrame) {
    place_tank(0, 300.0f);
    tanks[2].state = 0;
    tanks[1].state = 0;
    stage_phase = 0;
    SetRandomSeed(5);
    tank_tag::update_all();
    SetRandomSeed(5);
    for (int i = 0; i < 3; ++i) RandomRange(6.0, 0.0);
    const int32_t after_three = GetRandomSeed();
    SetRandomSeed(5);
    tank_tag::update_all();
    EXPECT_EQ(GetRandomSeed(), after_three);
    EXPECT_EQ(tanks[0].x, 300.0f) << "entering tanks do not drive by themselves";
    EXPECT_EQ(tanks[0].ftmr, 0);
}

TEST_F(WorldTest, TankGroupTurnsAtTheEdgesAndDestroyedTanksDoNotCount) {
    tank_speed = 2.0f;
    tank_vx = -2.0f;
    place_tank(0, 199.0f);
    place_tank(1, 300.0f);
    place_tank(2, 390.0f);
    tank_tag::update_all();
    EXPECT_EQ(tanks[0].x, 197.0f) << "this frame still moves by the old velocity";
    EXPECT_EQ(tank_vx, 2.0f);

    // A later tank wins when two reach opposite edges.
    place_tank(0, 150.0f);
    place_tank(2, 450.0f);
    tank_tag::update_all();
    EXPECT_EQ(tank_vx, -2.0f);

    // Wherever a destroyed tank lies, it never turns the group.
    tanks[0].state = 0;
    tanks[2].state = 0;
    tanks[0].x = 100.0f;
    tanks[2].x = 500.0f;
    tank_vx = 2.0f;
    tank_tag::update_all();
    EXPECT_EQ(tank_vx, 2.0f);
    tanks[1].x = 440.0f;
    tank_tag::update_all();
    EXPECT_EQ(tank_vx, -2.0f) << "the middle tank alone turns at 440";
}

TEST_F(WorldTest, TankFiresAsItsAnimationWrapsUnlessItsShotFlies) {
    place_tank(1, 300.0f);
    tanks[1].fctr = 4;
    tanks[1].ftmr = 59;
    tanks[1].shoot = 1;
    tank_vx = 0.0f;
    tank_tag::update_all();
    EXPECT_EQ(tanks[1].fctr, 0);
    EXPECT_TRUE(lazer_list.empty()) << "its last shot still flies";
    EXPECT_GE(tanks[1].ftmr, 0);
    EXPECT_LE(tanks[1].ftmr, 9);

    tanks[1].fctr = 4;
    tanks[1].ftmr = 59;
    tanks[1].shoot = 0;
    tank_tag::update_all();
    ASSERT_EQ(lazer_list.size(), 1u);
    const lazer_tag& shot = lazer_list.at(0);
    EXPECT_EQ(shot.id, 3);
    EXPECT_EQ(shot.frame, 2);
    EXPECT_EQ(shot.x, 300.0f);
    EXPECT_EQ(shot.y, 350.0f);
    EXPECT_EQ(shot.yst, -6.0f);
    EXPECT_EQ(tanks[1].shoot, 1);

    // Between animation steps nothing is fired; the wheels turn with the movement.
    tanks[1].whlrot = 10.0f;
    tank_vx = -1.5f;
    tank_tag::update_all();
    EXPECT_EQ(tanks[1].whlrot, 4.0f);
    EXPECT_EQ(lazer_list.size(), 1u);
}

// --- Players --------------------------------------------------------------------------------------

namespace {

void key(int code, bool down) {
    TEvent::Create(down ? EVENT_KEYDOWN : EVENT_KEYUP, nullptr, code).Emit();
}

class PlayerTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        EnablePolledInput();
        ClearKeys();
        ClearMouse();
        player1.state = 1;
        player1.lives = 6;
        player1.x = 320.0f;
        player1.y = 100.0f;
    }
    void TearDown() override {
        ClearKeys();
        // A port keeps the last values read from its device, so centre and release everything and
        // read it back before unplugging.
        for (int handle : joysticks) {
            for (int axis : {0, 1}) JoyVirtualSetAxis(handle, axis, 0);
            JoyVirtualSetButton(handle, 0, false);
        }
        for (int port : {0, 1})
            GetJoyX(port), GetJoyY(port), IsJoyButtonDown(0, port), JoyButtonHitCount(0, port);
        for (int handle : joysticks) JoyVirtualDetach(handle);
        SetJoystickVirtualOnly(false);
        WorldTest::TearDown();
    }
    // Virtual joysticks on ports 0 and 1.
    void attach_joysticks() {
        SetJoystickVirtualOnly(true);
        joysticks = {JoyVirtualAttach(), JoyVirtualAttach()};
        ASSERT_EQ(CountJoysticks(), 2);
        for (int handle : joysticks)
            for (int axis : {0, 1}) JoyVirtualSetAxis(handle, axis, 0);
    }
    std::vector<int> joysticks;
};

} // namespace

TEST_F(PlayerTest, FireWithLeftAndRightHeldShootsRightAndHoldsTheCraft) {
    key(162, true);
    key(37, true);
    key(39, true);
    player1.get_inputs();
    ASSERT_EQ(lazer_list.size(), 1u);
    EXPECT_EQ(lazer_list.at(0).xst, 2.0f);
    EXPECT_EQ(lazer_list.at(0).yst, 6.0f);
    EXPECT_EQ(player1.x, 320.0f);
    EXPECT_EQ(player1.shoot, 1);

    // Fire still held while the shot flies: no second shot, and still no movement.
    player1.get_inputs();
    EXPECT_EQ(lazer_list.size(), 1u);
    EXPECT_EQ(player1.x, 320.0f);

    // Without fire the two arrows cancel.
    key(162, false);
    player1.get_inputs();
    EXPECT_EQ(player1.x, 320.0f);
    key(37, false);
    key(38, true);
    player1.get_inputs();
    EXPECT_EQ(player1.x, 322.0f);
    EXPECT_EQ(player1.y, 98.0f);
}

TEST_F(PlayerTest, OnlyAFullyPushedAxisCounts) {
    attach_joysticks();
    if (HasFatalFailure()) return;
    versus = 1;
    player2.state = 1;
    player2.x = 300.0f;
    player2.y = 200.0f;
    JoyVirtualSetAxis(joysticks[0], 0, 32766);
    JoyVirtualSetAxis(joysticks[1], 1, -32767);
    ASSERT_GT(GetJoyX(0), 0.98f);
    ASSERT_LT(GetJoyX(0), 1.0f);
    ASSERT_LT(GetJoyY(1), -0.98f);
    ASSERT_GT(GetJoyY(1), -1.0f);
    player1.get_inputs();
    EXPECT_EQ(player1.x, 320.0f);
    EXPECT_EQ(player2.y, 200.0f);

    JoyVirtualSetAxis(joysticks[0], 0, 32767);
    JoyVirtualSetAxis(joysticks[1], 1, -32768);
    player1.get_inputs();
    EXPECT_EQ(player1.x, 322.0f);
    EXPECT_EQ(player2.y, 198.0f);

    // Player 2 fires with its own button, aiming with its stick; its shot is red.
    JoyVirtualSetAxis(joysticks[1], 0, -32768);
    JoyVirtualSetButton(joysticks[1], 0, true);
    player1.get_inputs();
    ASSERT_EQ(lazer_list.size(), 1u);
    EXPECT_EQ(lazer_list.at(0).id, 1);
    EXPECT_EQ(lazer_list.at(0).frame, 1);
    EXPECT_EQ(lazer_list.at(0).xst, -2.0f);
    EXPECT_EQ(player2.x, 300.0f);
}

TEST_F(PlayerTest, MovementIsClampedToTheCraftsRectangle) {
    player1.x = 465.0f; // pushed out by a collision
    player1.y = 40.0f;
    player1.get_inputs();
    EXPECT_EQ(player1.x, 440.0f);
    EXPECT_EQ(player1.y, 60.0f);
    key(37, true);
    key(40, true);
    player1.x = 201.0f;
    player1.y = 249.0f;
    player1.get_inputs();
    EXPECT_EQ(player1.x, 200.0f);
    EXPECT_EQ(player1.y, 250.0f);
}

TEST_F(PlayerTest, TouchingCraftArePushedApart) {
    versus = 1;
    player2.state = 1;
    struct push_case {
        float x1, y1, x2, y2;
        float nx1, ny1, nx2, ny2;
    };
    const push_case cases[] = {
        {300.0f, 150.0f, 300.5f, 150.0f, 325.0f, 175.0f, 275.5f, 125.0f}, // same integer x: player 1 right
        {300.0f, 150.0f, 310.0f, 160.0f, 275.0f, 125.0f, 335.0f, 185.0f},
        {320.0f, 170.0f, 305.0f, 160.0f, 345.0f, 195.0f, 280.0f, 135.0f},
    };
    for (const push_case& c : cases) {
        particle_tag::destroy_all();
        player1.x = c.x1, player1.y = c.y1, player2.x = c.x2, player2.y = c.y2;
        std::vector<std::string> sounds = SoundsOf([] { player1.update(); });
        EXPECT_EQ(player1.x, c.nx1);
        EXPECT_EQ(player1.y, c.ny1);
        EXPECT_EQ(player2.x, c.nx2);
        EXPECT_EQ(player2.y, c.ny2);
        EXPECT_EQ(sounds, std::vector<std::string>{"tankhit"});
        ASSERT_EQ(particle_list.size(), 40u);
        // The side is decided on the truncated positions: equal ones push player 1 to the right.
        const float side = static_cast<int>(c.x1) < static_cast<int>(c.x2) ? 1.0f : -1.0f;
        EXPECT_EQ(particle_list.at(0).x, static_cast<float>(static_cast<int>(c.x1)) + 40.0f * side);
        EXPECT_EQ(particle_list.at(0).frame, 3);
        EXPECT_EQ(particle_list.at(20).x, static_cast<float>(static_cast<int>(c.x2)) - 40.0f * side);
        EXPECT_EQ(particle_list.at(20).frame, 1);
    }
    // Apart, or with player 2 out of play, nothing happens.
    player1.x = 220.0f;
    player2.x = 420.0f;
    player1.update();
    player2.state = 0;
    player2.x = 220.0f;
    player1.update();
    EXPECT_EQ(player1.x, 220.0f);
    EXPECT_EQ(player2.x, 220.0f);
}

TEST_F(PlayerTest, AnimationStepsEveryFiveFramesForBothCraft) {
    std::vector<int> frames;
    for (int n = 0; n < 26; ++n) {
        player1.update();
        frames.push_back(player1.fctr);
    }
    EXPECT_EQ(frames[3], 0);
    EXPECT_EQ(frames[4], 1);
    EXPECT_EQ(frames[24], 0) << "wraps after frame 4";
    EXPECT_EQ(player2.fctr, 0) << "player 2's counters stay unused";
}

// The replay delivers input frame by frame; a wait inside a frame hands over the next event.
TEST_F(PlayerTest, FlushWaitsForReleasedButtonsWithoutLosingTheNextPress) {
    std::string error;
    std::optional<TInputScript> script = ParseInputScript("0 joy 0 attach\n"
                                                          "0 joy 0 button 0 down\n"
                                                          "0 button 1 down\n"
                                                          "3 joy 0 button 0 up\n"
                                                          "3 button 1 up\n"
                                                          "6 joy 0 button 0 down\n"
                                                          "7 joy 0 button 0 up\n"
                                                          "8 joy 0 detach\n",
                                                          "flush", error);
    ASSERT_TRUE(script) << error;
    SetJoystickVirtualOnly(true);
    TScriptedSystemDriver replay(CurrentSystemDriver(), TScriptedSystemDriver::Mode::Replay, *script);
    TSystemDriver* device = CurrentSystemDriver();
    SetSystemDriver(&replay);
    PollSystemEvents();
    CountJoysticks();
    ASSERT_TRUE(IsJoyButtonDown(0, 0));

    player1.flush_inputs();
    EXPECT_FALSE(IsJoyButtonDown(0, 0)) << "returns only once the button is up";
    EXPECT_EQ(MouseHitCount(1), 0);
    EXPECT_EQ(quit_game, 0);
    EXPECT_EQ(replay.Pending(), 4u) << "only the release was taken early; the next press is still to come";

    for (int frame = 0; frame < 6; ++frame) replay.FramePresented();
    PollSystemEvents();
    EXPECT_EQ(JoyButtonHitCount(0, 0), 1) << "the next press counts";

    // Leave the port released and the device unplugged for the next test.
    replay.FramePresented();
    PollSystemEvents();
    EXPECT_FALSE(IsJoyButtonDown(0, 0));
    replay.FramePresented();
    PollSystemEvents();
    SetSystemDriver(device);
    CountJoysticks();
}

// --- Per-frame cost -------------------------------------------------------------------------------

namespace {

// Counts the allocations made while `counting` is set.
bool counting = false;
long allocations = 0;

} // namespace

// The counting replacement pairs malloc with free; GCC cannot see that through the inlined calls.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

// A frame of the world allocates nothing but new objects beyond the most its lists ever held: shots,
// trail copies, particles and explosion sprites reuse the objects that died before them. Each sound
// played gets a channel of its own from the audio layer, so the effects are muted here.
TEST_F(WorldTest, SteadyFramesAllocateNothing) {
    std::vector<game_sound*> effects = {&snd_explode, &snd_lazer,  &snd_smexpl, &snd_tankhit, &snd_ufohit,
                                        &snd_warp,    &snd_letsgo, &snd_blast,  &snd_title,   &snd_thud};
    std::vector<TSoundPtr> kept;
    collect_all_sounds();
    for (game_sound* effect : effects) kept.push_back(std::exchange(effect->sound, nullptr));
    mode_3d = 1;
    eye_offset = 4;
    draw3d.slc(140, 4, 40, 4, 100, 20);
    player1.state = 1;
    player1.lives = 1000;
    player1.x = 320.0f;
    player1.y = 100.0f;
    // The tanks wait at their entry places, drawn with their bouncing wheels.
    tank_tag::init(0);
    stage_phase = 0;
    auto frame = [](int n) {
        // Every 40 frames the player shoots into the ground and a shot from below grazes the craft.
        if (n % 40 == 0 && player1.shoot == 0) lazer_tag::fire(player1.x, player1.y, 0.0f, 6.0f, 0, 0);
        if (n % 40 == 20) lazer_tag::fire(player1.x + 6.0f, 380.0f, 0.0f, -6.0f, 2, 2);
        Cls();
        ltrail_tag::update_all();
        lazer_tag::update_all();
        tank_tag::update_all();
        player1.update();
        explode_tag::update_all();
        particle_tag::update_all();
    };
    auto objects_made = [] {
        return static_cast<long>(lazer_list.allocated() + ltrail_list.allocated() + explode_list.allocated() +
                                 particle_list.allocated());
    };
    for (int n = 0; n < 400; ++n) frame(n);
    const long made_before = objects_made();
    allocations = 0;
    counting = true;
    for (int n = 400; n < 800; ++n) frame(n);
    counting = false;
    for (size_t i = 0; i < effects.size(); ++i) effects[i]->sound = kept[i];
    EXPECT_EQ(allocations, objects_made() - made_before) << "allocations in 400 frames besides new objects";
    EXPECT_LT(allocations, 40) << "a steady game reuses its objects";
    EXPECT_LT(player1.lives, 1000 - 15) << "the craft was hit all along";
    EXPECT_GT(ltrail_list.size() + particle_list.size(), 0u);
}
