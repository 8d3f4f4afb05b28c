// Sound effects and the music: loads started at start-up and collected where first needed.
#include "game/sound.h"

#include "game/globals.h"
#include "game/harness.h"

#include <cstdio>

game_sound snd_explode, snd_lazer, snd_smexpl, snd_tankhit, snd_ufohit, snd_warp, snd_letsgo, snd_blast,
    snd_title, snd_thud;

TChannelPtr music_channel;

namespace {

constexpr const char* music_path = "data\\blastem.ogg";

// Kept for the whole run, so the looping voice never outlives its sound.
game_sound music;

// The music first: it is needed first, and takes longest to make into a sound.
game_sound* const every_sound[] = {&music,       &snd_explode, &snd_lazer, &snd_smexpl,
                                   &snd_tankhit, &snd_ufohit,  &snd_warp,  &snd_letsgo,
                                   &snd_blast,   &snd_title,   &snd_thud};

// "Data\lazer.ogg" -> "lazer".
std::string effect_name(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

game_sound start_loading(const std::string& path, int flags) {
    return game_sound{nullptr, effect_name(path), path, SoundLoadAsync(path, flags)};
}

} // namespace

game_sound load_sound(const std::string& path) {
    return start_loading(path, 0);
}

void load_music() {
    music = start_loading(music_path, SOUND_LOOP);
}

void collect_sound(game_sound& effect) {
    if (!effect.loading) return;
    const TAsyncSoundLoadPtr loading = std::move(effect.loading);
    effect.sound = loading->Collect();
    if (effect.sound) return;
    if (&effect == &music)
        std::fprintf(stderr, "brakkovane3d: cannot load the music %s; it stays silent\n",
                     effect.path.c_str());
    else
        std::fprintf(stderr, "brakkovane3d: cannot load the sound %s; it stays silent\n",
                     effect.path.c_str());
}

bool collect_next_finished_sound() {
    for (game_sound* effect : every_sound) {
        if (effect->loading && effect->loading->Done()) {
            collect_sound(*effect);
            return true;
        }
    }
    return false;
}

void collect_finished_sounds() {
    while (collect_next_finished_sound()) {}
}

void collect_all_sounds() {
    for (game_sound* effect : every_sound) collect_sound(*effect);
}

void play_sound(game_sound& effect) {
    // The trace records what the game asked for, so a run traces alike with or without the files.
    harness_note_sound(effect.name);
    collect_sound(effect);
    if (!effect.sound) return;
    TChannelPtr channel = SoundCue(effect.sound, nullptr);
    ChannelSetVolume(channel, sound_volume);
    ChannelResume(channel);
}

void start_music(int track) {
    if (track != 1) return;
    if (!music.loading && !music.sound) load_music();
    collect_sound(music);
    // The channel is replaced even without music, so no voice of an earlier track lingers on it.
    music_channel = SoundCue(music.sound, nullptr);
    ChannelSetVolume(music_channel, music_volume);
    ChannelResume(music_channel);
}
