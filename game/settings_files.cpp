// Loading and saving the high score and the 3D settings, and applying the eye colours of the 3D mode.
#include "game/settings_files.h"

#include "game/globals.h"
#include "game/stereo_draw.h"
#include "platform/atomic_file.h"
#include "platform/filesystem.h"
#include "platform/stream.h"

#include <cassert>
#include <cstdio>
#include <string>

namespace {

// Reads `count` integers from a regular file holding at least that many; false leaves `values` alone.
bool read_int_file(const char* path, int* values, int count) {
    assert(count > 0 && count <= 8 && "read_int_file: the data files hold at most 8 fields");
    if (GetPathType(path) != 1) return false;
    std::shared_ptr<TStream> stream = OpenStream(path, 1, 0);
    if (!stream) return false;
    bool ok = false;
    try {
        if (stream->Size() >= 4 * count) {
            int read[8] = {};
            for (int i = 0; i < count; ++i) read[i] = StreamReadInt(stream);
            for (int i = 0; i < count; ++i) values[i] = read[i];
            ok = true;
        }
    } catch (const TStreamException&) {
        ok = false;
    }
    StreamClose(stream);
    return ok;
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
        write_int_file(hiscore_path, &hiscore, 1);
        return;
    }
    int value = 0;
    hiscore = read_int_file(hiscore_path, &value, 1) ? value : 0;
}

void anaglyph_settings(int mode) {
    if (mode == 1) {
        int values[2];
        if (read_int_file(anaglyph_path, values, 2)) {
            // The offset is kept as stored, odd or out of range: the menu's next step brings it back.
            eye_offset = values[0];
            // Any other mode would index the menu's mode texts out of range.
            mode_3d = values[1] >= 0 && values[1] <= mode_3d_last ? values[1] : 0;
        }
    } else if (mode == 2) {
        const int values[2] = {eye_offset, mode_3d};
        write_int_file(anaglyph_path, values, 2);
    }
    if (mode_3d >= 1 && mode_3d <= mode_3d_last) {
        const mode_3d_entry& m = modes_3d[static_cast<size_t>(mode_3d)];
        draw3d.slc(m.left[0], m.left[1], m.left[2], m.right[0], m.right[1], m.right[2]);
    }
}
