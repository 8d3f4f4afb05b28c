// Sound effects and the music: loading off the game thread, play_sound, start_music and the music channel.
#pragma once

#include "platform/async_sound_load.h"
#include "platform/audio.h"

#include <string>

// An effect and the file name it is known by in the trace ("lazer" for "Data\lazer.ogg"). Its file is
// decoded on a worker thread from load_resources on; `sound` is set when the load is collected, and
// stays null when the file could not be loaded (the effect is then silent).
struct game_sound {
    TSoundPtr sound;
    std::string name;
    std::string path;
    TAsyncSoundLoadPtr loading; // the load not yet collected, or null
};

extern game_sound snd_explode, snd_lazer, snd_smexpl, snd_tankhit, snd_ufohit, snd_warp, snd_letsgo,
    snd_blast, snd_title, snd_thud;

// The looping music's voice; a free channel until start_music replaces it.
extern TChannelPtr music_channel;

// Starts loading the effect from `game_path` (a path as the game writes it, e.g. "Data\lazer.ogg",
// placed in the data folder of file_locations.h).
game_sound load_sound(const std::string& game_path);
// Starts loading the music, so that start_music finds it decoded.
void load_music();

// Collects the effect's load, waiting for it if it still runs. A file that could not be loaded is
// reported once on standard error with its path, when its load is collected.
void collect_sound(game_sound& effect);
// Collects the loads that have finished, without waiting: called once a frame, so that a sound is
// made before it is needed where there is time, and a file that could not be loaded is reported
// soon even if its effect is never played.
void collect_finished_sounds();
// Collects one load that has finished, the music's before the effects'; false when none has.
bool collect_next_finished_sound();
// Collects every load, waiting for those that still run: before the program ends.
void collect_all_sounds();

// Plays the effect on a fresh channel at sound_volume and notes it for the trace. The first play
// waits for the effect's load if it still runs, so the effect starts in the frame it is played.
void play_sound(game_sound& effect);

// Starts the looping music; track 1 is the only one.
void start_music(int track);
