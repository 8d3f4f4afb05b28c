// Sound effects and the music: play_sound, start_music and the music channel.
#pragma once

#include "platform/audio.h"

#include <string>

// A loaded effect and the file name it is known by in the trace ("lazer" for "Data\lazer.ogg").
// `sound` is null when the file could not be loaded; the effect is then silent.
struct game_sound {
    TSoundPtr sound;
    std::string name;
};

extern game_sound snd_explode, snd_lazer, snd_smexpl, snd_tankhit, snd_ufohit, snd_warp, snd_letsgo,
    snd_blast, snd_title, snd_thud;

// The looping music's voice; a free channel until start_music replaces it.
extern TChannelPtr music_channel;

// Loads the effect from `game_path` (a path as the game writes it, e.g. "Data\lazer.ogg", placed in
// the data folder of file_locations.h). A file that cannot be loaded is reported once on standard
// error with its path and leaves the effect silent.
game_sound load_sound(const std::string& game_path);

// Plays the effect on a fresh channel at sound_volume and notes it for the trace.
void play_sound(const game_sound& effect);

// Starts the looping music; track 1 is the only one.
void start_music(int track);
