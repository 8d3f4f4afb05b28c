// The atomic file write (POSIX): mkstemp beside the target, fsync, rename.
#include "platform/atomic_file.h"

#include "platform/filesystem.h"
#include "platform/stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

std::string WriteFileAtomic(const std::string& path,
                            const std::function<void(const std::shared_ptr<TStream>&)>& write) {
    namespace fs = std::filesystem;
    const fs::path target = ResolvePathCase(path);
    const fs::path dir = target.parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) return ec.message();
    }

    std::string temp = target.string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return std::strerror(errno);
    // mkstemp makes the file private; the game's files are as readable as any other of its files.
    fchmod(fd, 0644);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return std::strerror(error);
    }

    std::string failure;
    std::shared_ptr<TStream> stream = TCStream::CreateWithCStream(file, TCStream::MODE_WRITE);
    try {
        write(stream);
    } catch (const TStreamException& e) {
        failure = e.what();
    }
    // Buffered writes fail only here when the disk is full; and the bytes must be on the disk before
    // the rename makes them the file, or a crash could leave an empty file under the old name.
    if (failure.empty() && (std::fflush(file) != 0 || fsync(fileno(file)) != 0))
        failure = std::strerror(errno);
    StreamClose(stream);
    if (failure.empty() && std::rename(temp.c_str(), target.c_str()) != 0) failure = std::strerror(errno);
    if (!failure.empty()) unlink(temp.c_str());
    return failure;
}
