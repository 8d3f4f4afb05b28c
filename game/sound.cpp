// Sound effects and the music: loads started at start-up and collected where first needed.
#include "game/sound.h"

#include "game/file_locations.h"
#include "game/globals.h"
#include "game/harness.h"
#include "platform/filesystem.h"

#include <cstdio>
#include <exception>

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

void report_unloadable(const game_sound& effect, bool is_music) {
    std::fprintf(stderr, "brakkovane3d: cannot load the %s %s; it stays silent\n", is_music ? "music" : "sound",
                 effect.path.c_str());
}

// Starts loading the sound the game knows as `game_path`, from the data folder. Only a regular file is
// opened: opening a FIFO blocks until some writer comes, and a device may stream without end; anything
// else is reported at once.
game_sound start_loading(const std::string& game_path, int flags) {
    const std::string path = data_file_path(game_path);
    game_sound effect{nullptr, effect_name(game_path), path, nullptr};
    if (GetPathType(path) == 1)
        effect.loading = SoundLoadAsync(path, flags);
    else
        report_unloadable(effect, flags & SOUND_LOOP);
    return effect;
}

} // namespace

game_sound load_sound(const std::string& game_path) {
    return start_loading(game_path, 0);
}

void load_music() {
    music = start_loading(music_path, SOUND_LOOP);
}

void collect_sound(game_sound& effect) {
    if (!effect.loading) return;
    const TAsyncSoundLoadPtr loading = std::move(effect.loading);
    // Whatever the loader chain raised (a stream that cannot seek, memory that ran out) is a failed
    // load like any other.
    try {
        effect.sound = loading->Collect();
    } catch (const std::exception&) {
        effect.sound = nullptr;
    }
    if (!effect.sound) report_unloadable(effect, &effect == &music);
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
    if (music.path.empty()) load_music(); // not started at load time (a test's own start)
    collect_sound(music);
    // The channel is replaced even without music, so no voice of an earlier track lingers on it.
    music_channel = SoundCue(music.sound, nullptr);
    ChannelSetVolume(music_channel, music_volume);
    ChannelResume(music_channel);
}
