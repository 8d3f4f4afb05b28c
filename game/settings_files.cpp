// Loading and saving the high score and the 3D settings, and the eye colours of each 3D mode.
#include "game/settings_files.h"

#include "game/globals.h"
#include "game/stereo_draw.h"
#include "platform/filesystem.h"
#include "platform/stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

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

void report_write_failure(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "brakkovane3d: cannot write %s: %s\n", path.c_str(), reason.c_str());
}

// Eye colours (left r, g, b, right r, g, b) of 3D modes 1..4.
constexpr int eye_colours[4][6] = {
    {140, 4, 40, 4, 100, 20},
    {4, 100, 20, 140, 4, 10},
    {4, 80, 60, 140, 4, 10},
    {4, 20, 140, 140, 4, 20},
};

} // namespace

bool write_int_file(const char* path, const int* values, int count) {
    namespace fs = std::filesystem;
    const fs::path target = ResolvePathCase(path);
    const fs::path dir = target.parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) {
            report_write_failure(target.string(), ec.message());
            return false;
        }
    }

    std::string temp = target.string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        report_write_failure(target.string(), std::strerror(errno));
        return false;
    }
    // mkstemp makes the file private; the data files are as readable as any other file of the game.
    fchmod(fd, 0644);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        report_write_failure(target.string(), std::strerror(error));
        return false;
    }

    std::string failure;
    std::shared_ptr<TStream> stream = TCStream::CreateWithCStream(file, TCStream::MODE_WRITE);
    try {
        for (int i = 0; i < count; ++i) StreamWriteInt(stream, values[i]);
    } catch (const TStreamException& e) {
        failure = e.what();
    }
    // Buffered writes fail only here when the disk is full; and the bytes must be on the disk before
    // the rename makes them the file, or a crash could leave an empty file under the old name.
    if (failure.empty() && (std::fflush(file) != 0 || fsync(fileno(file)) != 0))
        failure = std::strerror(errno);
    StreamClose(stream);
    if (failure.empty() && std::rename(temp.c_str(), target.c_str()) != 0) failure = std::strerror(errno);
    if (!failure.empty()) {
        unlink(temp.c_str());
        report_write_failure(target.string(), failure);
        return false;
    }
    return true;
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
            mode_3d = values[1] >= 0 && values[1] <= 4 ? values[1] : 0;
        }
    } else if (mode == 2) {
        const int values[2] = {eye_offset, mode_3d};
        write_int_file(anaglyph_path, values, 2);
    }
    if (mode_3d >= 1 && mode_3d <= 4) {
        const int* c = eye_colours[mode_3d - 1];
        draw3d.slc(c[0], c[1], c[2], c[3], c[4], c[5]);
    }
}
