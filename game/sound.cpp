// Sound effects and the music.
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

// Kept for the whole run, so the looping voice never outlives its sound.
TSoundPtr music;

// "Data\lazer.ogg" -> "lazer".
std::string effect_name(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

// The sound file at `path`, or null. Only a regular file is opened: opening a FIFO blocks until some
// writer comes, and a device may stream without end. Whatever the loader chain throws (a stream that
// cannot seek, memory that runs out) is a failed load like any other.
TSoundPtr load_sound_file(const std::string& path, int flags) {
    if (GetPathType(path) != 1) return nullptr;
    try {
        return SoundLoad(path, flags);
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace

game_sound load_sound(const std::string& game_path) {
    const std::string path = data_file_path(game_path);
    game_sound effect{load_sound_file(path, 0), effect_name(game_path)};
    if (!effect.sound)
        std::fprintf(stderr, "brakkovane3d: cannot load the sound %s; it stays silent\n", path.c_str());
    return effect;
}

void play_sound(const game_sound& effect) {
    // The trace records what the game asked for, so a run traces alike with or without the files.
    harness_note_sound(effect.name);
    if (!effect.sound) return;
    TChannelPtr channel = SoundCue(effect.sound, nullptr);
    ChannelSetVolume(channel, sound_volume);
    ChannelResume(channel);
}

void start_music(int track) {
    if (track != 1) return;
    const std::string path = data_file_path("data\\blastem.ogg");
    music = load_sound_file(path, SOUND_LOOP);
    if (!music)
        std::fprintf(stderr, "brakkovane3d: cannot load the music %s; it stays silent\n", path.c_str());
    // The channel is replaced even without music, so no voice of an earlier track lingers on it.
    music_channel = SoundCue(music, nullptr);
    ChannelSetVolume(music_channel, music_volume);
    ChannelResume(music_channel);
}
