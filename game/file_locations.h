// Where the game reads its sounds and keeps its two files: a checkout's or portable folder's data/,
// else the data installed with the program and a folder of the player's own, or --data-dir.
#pragma once

#include <string>

struct file_locations {
    // The working directory's data folder holds everything, under the paths as the game writes
    // them ("Data\lazer.ogg", any letter case), as when the game runs from a checkout.
    bool working_dir = true;
    // Otherwise: the sounds' folder, and the folder of hiscore.dat and anaglyph3d.dat (empty when
    // the player has no home folder to keep them in).
    std::string data;
    std::string saves;
    // The saves' folder is the player's own: made, with only the player allowed in, when a file is
    // first saved; never merely by looking for the files.
    bool private_saves = false;
};

// The name of the game's folder in the player's data folder, and of its installed data.
inline constexpr const char* game_folder_name = "brakkovane3d";

// Chooses, in this order: `data_dir_option` (--data-dir) for both; the working directory's data
// folder; the data installed beside `executable_dir` (at the install layout's relative path), with the
// saves in the player's data folder ($XDG_DATA_HOME/brakkovane3d, by default
// ~/.local/share/brakkovane3d); and when none of these exists, the working directory's data folder
// after all, so that a build run from elsewhere behaves as it always has.
file_locations choose_file_locations(const std::string& data_dir_option, const std::string& executable_dir);

// The locations every later lookup uses; the working directory's data folder until set.
void set_file_locations(const file_locations& locations);
const file_locations& current_file_locations();

// A sound or a saved file, given as the game writes it ("Data\lazer.ogg", "data\hiscore.dat"),
// placed in the current locations: unchanged for the working directory, else the folder and the
// file's name. A saved file's path is empty when there is no folder to keep it in.
std::string data_file_path(const std::string& game_path);
std::string save_file_path(const std::string& game_path);

// Makes the folder of the saved files when it is the player's own and still missing (mode 0700).
// Returns an empty string when the files can be written there, else the reason.
std::string prepare_save_folder();
