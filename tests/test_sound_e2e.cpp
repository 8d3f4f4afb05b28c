// What a player hears: the real binary's mixed output, written by SDL's disk audio driver.
#include "tests/game_replay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace game_replay;

// The effects leave the mix headroom: a busy stretch of play (the start with its voice and warp, the
// tanks' entry, a stream of shots, hits and explosions) over the music, both at full volume and at the
// real pace, never reaches full scale in what SDL's disk driver writes.
TEST(GameSound, EffectsOverTheMusicNeverReachFullScale) {
    temp_dir dir(true);
    replay in;
    in.skip_intro().click(20, 320, item_y(0));
    in.close(fire_from_three_posts(in, 130, 900));
    game_run run = play(dir, in, {}, pace::real_time,
                        {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir / "out.raw"}, devices::sdl);
    ASSERT_EQ(run.result.exit_code, 0) << run.result.output;
    int shots = 0, hits = 0, explosions = 0;
    for (const frame_state& s : run.frames) {
        shots += s.sound("lazer");
        hits += s.sound("smexpl");
        explosions += s.sound("explode");
    }
    EXPECT_GE(shots, 10);
    EXPECT_GE(hits, 3);
    EXPECT_GT(explosions, 0) << "no tank was destroyed";
    EXPECT_EQ(run.at(20).i("sound_level"), 10);
    EXPECT_EQ(run.at(20).i("music_level"), 10);

    // 16-bit little-endian stereo frames.
    const std::string raw = read_file(dir / "out.raw");
    ASSERT_GT(raw.size(), 4u * 44100 * 10) << "less than the 10 s the run lasts";
    long full_scale = 0, loud = 0;
    int peak = 0, first_full_scale = -1;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const int v =
            static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | (static_cast<uint8_t>(raw[i + 1]) << 8));
        peak = std::max(peak, std::abs(v));
        loud += std::abs(v) > 32768 / 10; // above -20 dBFS
        if (v >= 32767 || v <= -32768) {
            if (first_full_scale < 0) first_full_scale = static_cast<int>(i / 4);
            ++full_scale;
        }
    }
    EXPECT_EQ(full_scale, 0) << "first at output frame " << first_full_scale << " ("
                             << first_full_scale / 44100.0 << " s); peak " << peak;
    EXPECT_GT(loud, 44100) << "the effects must still be loud; peak " << peak;
}
