// The rules of the game flow, stepped in-process on the null back-end (no display): new game and stage, the
// tanks' entry, stage clear, game over, the live high score, the HUD's texts and the menu's layout.
#include "backends/install.h"
#include "game/effects.h"
#include "game/embedded_assets.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/lazer.h"
#include "game/menu.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/stage.h"
#include "game/tank.h"
#include "platform/joystick.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/image_font.h"
#include "render/pixmap_loader.h"

#include <gtest/gtest.h>

namespace {

// The start-up of the game up to its loop, once per test binary; every test then starts from the
// title state with a fresh new game's globals.
class GameRules : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TBackendChoice null_devices;
        null_devices.video = "null";
        std::string error;
        ASSERT_TRUE(InstallBackends(null_devices, error)) << error;
        register_embedded_assets();
        InitJoysticks();
        InitPixmapLoaders();
        InitFontLoaders();
        SetGraphicsWindowed(true, 1);
        ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, 2)) << GraphicsError();
        SetImageMaskColor(0, 0, 0);
        SetDefaultImageFlags(IMAGE_MASKED | IMAGE_DYNAMIC);
        tank_tag::init(1);
        create_image_placeholders();
        load_resources();
    }

    void SetUp() override {
        game_state = state_title;
        versus = 0;
        hiscore = 0;
        tank_speed = 0.0f;
        stage = 0;
    }

    void start_game(int two_players) {
        versus = two_players;
        game_state = state_playing;
        player_tag::reset(1);
    }
};

} // namespace

TEST_F(GameRules, ANewGamePlacesThePlayersAndTanksAndClearsTheEffects) {
    for (int two : {0, 1}) {
        particle_tag::set(300, 300, 1.0f, 2, 5);
        explode_tag::set(300, 300, 10.0f, 3, 0);
        lazer_tag::fire(300, 300, 0, 6, 2, 2);
        player1.score = 40;
        player1.lives = 0;
        stage = 4;
        tank_speed = 1.6f;
        start_game(two);
        SCOPED_TRACE(two ? "versus" : "single player");
        EXPECT_EQ(stage, 1);
        EXPECT_EQ(tank_speed, 1.0f);
        EXPECT_EQ(tank_vx, -1.0f);
        EXPECT_EQ(stage_phase, 0);
        EXPECT_EQ(gameover_timer, 0);
        for (const player_tag* p : {&player1, &player2}) {
            EXPECT_EQ(p->score, 0);
            EXPECT_EQ(p->lives, 6);
            EXPECT_EQ(p->shoot, 0);
            EXPECT_EQ(p->y, 100.0f);
        }
        EXPECT_EQ(player1.state, 1);
        EXPECT_EQ(player2.state, two);
        EXPECT_EQ(player1.x, two ? 260.0f : 320.0f);
        EXPECT_EQ(player2.x, 380.0f);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(tanks[i].x, 560.0f + 90.0f * i);
            EXPECT_EQ(tanks[i].state, 1);
        }
        EXPECT_TRUE(lazer_list.empty() && ltrail_list.empty() && explode_list.empty() &&
                    particle_list.empty());
    }
}

TEST_F(GameRules, TheTanksArriveInTheEntrysHundredAndSeventhFrame) {
    start_game(0);
    int frames = 0;
    while (stage_phase == 0 && frames < 500) {
        tank_entry_step();
        ++frames;
        if (frames == 106) {
            EXPECT_EQ(stage_phase, 0);
        }
    }
    EXPECT_EQ(frames, 107);
    EXPECT_EQ(stage_phase, 1);
    EXPECT_FLOAT_EQ(tanks[0].x, 239.0f);
    EXPECT_FLOAT_EQ(tanks[1].x, 332.0f) << "the others stay put in the arrival frame";
    EXPECT_FLOAT_EQ(tanks[2].x, 422.0f);
}

TEST_F(GameRules, ClearingAStageGivesTheNewStagesBonusAndStepsTheSpeedUpToTwo) {
    for (int two : {0, 1}) {
        SCOPED_TRACE(two ? "versus" : "single player");
        start_game(two);
        const float speeds[] = {1.2f, 1.4f, 1.6f, 1.8f, 2.0f, 2.0f, 2.0f};
        int expected_score = 0;
        for (int cleared = 1; cleared <= 7; ++cleared) {
            stage_phase = 1;
            particle_tag::set(300, 200, 1.0f, 2, 3);
            for (tank_tag& t : tanks) t.state = 0;
            play_stage();
            expected_score += (cleared + 1) * 100;
            EXPECT_EQ(stage, cleared + 1);
            EXPECT_FLOAT_EQ(tank_speed, speeds[cleared - 1]) << "after clearing stage " << cleared;
            EXPECT_EQ(tank_vx, -tank_speed);
            EXPECT_EQ(player1.score, expected_score);
            EXPECT_EQ(player2.score, two ? expected_score : 0);
            EXPECT_EQ(stage_phase, 0);
            EXPECT_EQ(tanks[0].x, 560.0f);
            EXPECT_EQ(tanks[2].state, 1);
            EXPECT_EQ(game_state, state_playing);
            EXPECT_FALSE(particle_list.empty()) << "effects survive a stage change";
        }
        EXPECT_EQ(player1.lives, 6);
    }
}

TEST_F(GameRules, TheGameEndsOnlyInTheFightAndInVersusOnlyWhenBothAreOut) {
    start_game(0);
    player1.lives = 0;
    player1.state = 0;
    play_stage(); // still entering
    EXPECT_EQ(game_state, state_playing);
    stage_phase = 1;
    gameover_timer = 55;
    play_stage();
    EXPECT_EQ(game_state, state_game_over);
    EXPECT_EQ(gameover_timer, 0);

    start_game(1);
    stage_phase = 1;
    player1.lives = 0;
    player1.state = 0;
    play_stage();
    EXPECT_EQ(game_state, state_playing) << "player 2 plays on";
    player2.lives = 0;
    player2.state = 0;
    play_stage();
    EXPECT_EQ(game_state, state_game_over);

    // The stage clear of the same frame still counts.
    start_game(0);
    stage_phase = 1;
    player1.lives = 0;
    player1.state = 0;
    for (tank_tag& t : tanks) t.state = 0;
    play_stage();
    EXPECT_EQ(stage, 2);
    EXPECT_EQ(player1.score, 200);
    EXPECT_EQ(hiscore, 200);
    EXPECT_EQ(game_state, state_game_over);
}

TEST_F(GameRules, TheHighScoreFollowsTheLeadingScoreWhilePlaying) {
    hiscore = 300;
    start_game(0);
    player1.score = 250;
    play_stage();
    EXPECT_EQ(hiscore, 300);
    player1.score = 310;
    play_stage();
    EXPECT_EQ(hiscore, 310);
    player2.score = 900; // not in play, but its score is still compared
    play_stage();
    EXPECT_EQ(hiscore, 900);
}

TEST_F(GameRules, GameOverReturnsToTheTitleByItselfInItsThousandthFrame) {
    start_game(1);
    game_state = state_game_over;
    gameover_timer = 0;
    int frames = 0;
    while (game_state == state_game_over && frames < 2000) {
        game_over_screen();
        ++frames;
    }
    EXPECT_EQ(frames, 1000);
    EXPECT_EQ(game_state, state_title);
}

TEST(HudTexts, ScoresHaveAtLeastTwoDigits) {
    EXPECT_EQ(score_text("1up", 0), "1up 00");
    EXPECT_EQ(score_text("1up", 5), "1up 05");
    EXPECT_EQ(score_text("1up", 9), "1up 09");
    EXPECT_EQ(score_text("1up", 10), "1up 10");
    EXPECT_EQ(score_text("2up", 12345), "2up 12345");
    EXPECT_EQ(hiscore_text(0), "00");
    EXPECT_EQ(hiscore_text(7), "07");
    EXPECT_EQ(hiscore_text(10), "10");
}

TEST(MenuLayout, PointerHeightsSelectTheItems) {
    EXPECT_EQ(menu_item_at(0), -1);
    EXPECT_EQ(menu_item_at(200), -1);
    EXPECT_EQ(menu_item_at(201), 0);
    EXPECT_EQ(menu_item_at(229), 0);
    EXPECT_EQ(menu_item_at(230), 1);
    EXPECT_EQ(menu_item_at(249), 1);
    EXPECT_EQ(menu_item_at(250), 2);
    EXPECT_EQ(menu_item_at(369), 7);
    EXPECT_GE(menu_item_at(370), 8) << "below the last item nothing is selected";
}

TEST(MenuLayout, ItemTextsAtTheTitleAndWhenPaused) {
    game_state = state_title;
    mode_3d = 2;
    eye_offset = 14;
    retro_fx = 1;
    versus = 0;
    sound_level = 10;
    music_level = 3;
    const std::vector<std::string> title = {
        "Start Game",           "3D Graphics: R\\G", "Hologram Intensity: 14", "Retro line FX: On",
        "2 Player Versus: Off", "Sound Volume: Max", "Music Volume: 30%",      "Exit Game"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(menu_item_text(i), title[i]);
    game_state = state_paused;
    EXPECT_EQ(menu_item_text(0), "Resume Game");
    EXPECT_EQ(menu_item_text(7), "Quit This Game");
    EXPECT_EQ(menu_item_text(2), "Hologram Intensity: 14");
    std::string credit = credit_text;
    EXPECT_EQ(credit.rfind("v1.2 - ", 0), 0u);
    EXPECT_EQ(credit.substr(credit.size() - 8), "(Ovrilo)");
}
