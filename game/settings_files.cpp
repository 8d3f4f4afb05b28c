// Loading and saving the high score and the 3D settings, and applying the eye colours of the 3D mode.
#include "game/settings_files.h"

#include "game/file_locations.h"
#include "game/globals.h"
#include "game/stereo_draw.h"
#include "platform/atomic_file.h"
#include "platform/file_head.h"
#include "platform/filesystem.h"
#include "platform/stream.h"

#include <cassert>
#include <cstdio>
#include <string>

namespace {

// Set when the file was found at start-up but could not be read: it may hold what the player wants
// kept (a high score behind a permission mistake), so the exit leaves it alone instead of
// overwriting it with the start values.
bool keep_hiscore_file = false;
bool keep_anaglyph_file = false;

// Reads `count` integers from the head of the saved file (a game path, placed in the save folder);
// false leaves `values` alone. Only the bytes the fields need are read, whatever the file's size. A
// file that is there but cannot be read is reported once and marked to be kept.
bool read_int_file(const char* game_path, int* values, int count, bool& keep) {
    assert(count > 0 && count <= 8 && "read_int_file: the data files hold at most 8 fields");
    keep = false;
    const std::string path = save_file_path(game_path);
    if (path.empty()) return false;
    const size_t needed = 4 * static_cast<size_t>(count);
    TFileHead head = ReadFileHead(path, needed);
    keep = head.status == TFileHead::Status::Unreadable;
    if (keep)
        std::fprintf(stderr, "brakkovane3d: cannot read %s: %s; it is kept as it is and not saved at exit\n",
                     ResolvePathCase(path).c_str(), head.reason.c_str());
    if (head.status != TFileHead::Status::Read || head.bytes.size() < needed) return false;
    std::shared_ptr<TStream> stream = TRamStream::CreateOwned(std::move(head.bytes), 1, 0);
    for (int i = 0; i < count; ++i) values[i] = StreamReadInt(stream);
    return true;
}

// Saves the integers to the saved file (a game path, placed in the save folder, which is made first
// when it is the player's own).
void save_int_file(const char* game_path, const int* values, int count) {
    const std::string path = save_file_path(game_path);
    const std::string failure = prepare_save_folder();
    if (failure.empty() && !path.empty()) {
        write_int_file(path.c_str(), values, count);
        return;
    }
    std::fprintf(stderr, "brakkovane3d: cannot write %s: %s\n",
                 (path.empty() ? std::string(game_path) : path).c_str(), failure.c_str());
}

} // namespace

bool write_int_file(const char* path, const int* values, int count) {
    const std::string failure = WriteFileAtomic(path, [&](const std::shared_ptr<TStream>& stream) {
        for (int i = 0; i < count; ++i) StreamWriteInt(stream, values[i]);
    });
    if (failure.empty()) return true;
    std::fprintf(stderr, "brakkovane3d: cannot write %s: %s\n", ResolvePathCase(path).c_str(),
                 failure.c_str());
    return false;
}

void hiscore_file(int save) {
    if (save != 0) {
        if (!keep_hiscore_file) save_int_file(hiscore_path, &hiscore, 1);
        return;
    }
    int value = 0;
    hiscore = read_int_file(hiscore_path, &value, 1, keep_hiscore_file) ? value : 0;
}

void anaglyph_settings(int mode) {
    if (mode == 1) {
        int values[2];
        if (read_int_file(anaglyph_path, values, 2, keep_anaglyph_file)) {
            // The offset is kept as stored, odd or out of range: the menu's next step brings it back.
            eye_offset = values[0];
            // Any other mode would index the menu's mode texts out of range.
            mode_3d = values[1] >= 0 && values[1] <= mode_3d_last ? values[1] : 0;
        }
    } else if (mode == 2) {
        const int values[2] = {eye_offset, mode_3d};
        if (!keep_anaglyph_file) save_int_file(anaglyph_path, values, 2);
    }
    if (mode_3d >= 1 && mode_3d <= mode_3d_last) {
        const mode_3d_entry& m = modes_3d[static_cast<size_t>(mode_3d)];
        draw3d.slc(m.left[0], m.left[1], m.left[2], m.right[0], m.right[1], m.right[2]);
    }
}
