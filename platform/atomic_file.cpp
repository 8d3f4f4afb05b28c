// The atomic file write (POSIX): mkstemp beside the target, fsync, rename, fsync of the folder.
#include "platform/atomic_file.h"

#include "platform/filesystem.h"
#include "platform/stream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The temporary file's name: the file's own, a marker no other file is likely to carry, then six
// letters or digits that mkstemp puts in place of "XXXXXX". The marker keeps a user's own files
// such as "hiscore.dat.backup" (six letters too) from ever looking like a left-over of ours.
constexpr std::string_view kTempMarker = ".saving-";
constexpr std::string_view kTempRandom = "XXXXXX";

// A temporary file this old cannot belong to a save still running (a save takes milliseconds); it
// was left by a save that was killed before its rename.
constexpr auto kStaleTempAge = std::chrono::minutes(10);

// Links are followed to the file they name (at most as many as the system itself would follow), so
// that a save through a link replaces the linked file and keeps the link.
constexpr int kMaxLinkHops = 40;

fs::path FollowLinks(fs::path target, std::string& failure) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) return target;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            failure = ec.message();
            return {};
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    failure = std::strerror(ELOOP);
    return {};
}

bool IsTempNameOf(const std::string& entry, const std::string& name) {
    const std::string prefix = name + std::string(kTempMarker);
    if (entry.size() != prefix.size() + kTempRandom.size() || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < entry.size(); ++i) {
        const char c = entry[i];
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) return false;
    }
    return true;
}

// Removes temporary files of earlier saves of `target` that were killed before their rename: only
// names of our own pattern, only regular files of this user, only old ones (a younger one may be
// another running game's save in progress).
void RemoveStaleTemps(const fs::path& target) {
    const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string name = target.filename().string();
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = readdir(d)) {
        if (!IsTempNameOf(entry->d_name, name)) continue;
        const fs::path path = dir / entry->d_name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
        const auto modified = std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec);
        if (now - modified >= kStaleTempAge) unlink(path.c_str());
    }
    closedir(d);
}

// Makes the rename itself durable: until the folder's entry is on the disk, a crash may bring back
// the old file, or none.
std::string SyncDirectory(const fs::path& dir) {
    const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    std::string failure;
    // Some file systems cannot sync a folder and say so; their renames are as durable as they get.
    if (fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) failure = std::strerror(errno);
    close(fd);
    return failure;
}

} // namespace

std::string WriteFileAtomic(const std::string& path,
                            const std::function<void(const std::shared_ptr<TStream>&)>& write) {
    std::string failure;
    const fs::path target = FollowLinks(ResolvePathCase(path), failure);
    if (!failure.empty()) return failure;
    const fs::path dir = target.parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) return ec.message();
    }
    RemoveStaleTemps(target);

    std::string temp = target.string() + std::string(kTempMarker) + std::string(kTempRandom);
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
    if (!failure.empty()) {
        unlink(temp.c_str());
        return failure;
    }
    return SyncDirectory(dir);
}
