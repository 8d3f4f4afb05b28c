// The two files kept between runs: the high score and the 3D settings (eye offset and 3D mode).
#pragma once

// Paths as the game writes them; "data" and "Data" name one directory, the working directory's data
// folder or the save folder chosen in file_locations.h.
inline constexpr const char* hiscore_path = "data\\hiscore.dat";
inline constexpr const char* anaglyph_path = "Data\\anaglyph3d.dat";

// save 0 loads hiscore (0 when the file is missing, unreadable or shorter than 4 bytes);
// non-zero saves it. A file that is there but cannot be read (no permission, a directory, a FIFO)
// is reported in one line when loading and is then not overwritten by the save.
void hiscore_file(int save);

// mode 1 loads eye_offset and mode_3d (a missing, unreadable or short file leaves both as they are;
// a stored mode outside 0..4 becomes 0; an unreadable one is reported and kept as hiscore_file
// keeps its file), mode 2 saves them, 0 does neither. In every case the eye
// colours of draw3d are then set for mode_3d 1..4 (mode 0 leaves them).
void anaglyph_settings(int mode);

// Writes little-endian 32-bit integers to `path` (a game path, case-resolved) through a temporary
// file in the same directory renamed over the old one, so a run that dies mid-write leaves the old
// or the new content whole. Creates the directory when it is missing. On failure prints one line
// with the path and the reason on standard error and returns false; the old file is untouched.
bool write_int_file(const char* path, const int* values, int count);
