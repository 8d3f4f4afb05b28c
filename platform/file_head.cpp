// The head of a small data file (POSIX): open without blocking, check the kind, read the first bytes.
#include "platform/file_head.h"

#include "platform/filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TFileHead ReadFileHead(const std::string& path, size_t count) {
    TFileHead head;
    const std::string system_path = ResolvePathCase(NormalisePath(path, false));
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is refused below anyway.
    const int fd = open(system_path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return head;
        head.status = TFileHead::Status::Unreadable;
        head.reason = std::strerror(errno);
        return head;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        head.status = TFileHead::Status::Unreadable;
        head.reason = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        head.status = TFileHead::Status::Unreadable;
        head.reason = S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
    } else {
        head.status = TFileHead::Status::Read;
        head.bytes.resize(count);
        size_t got = 0;
        while (got < count) {
            const ssize_t n = read(fd, head.bytes.data() + got, count - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                head.status = TFileHead::Status::Unreadable;
                head.reason = std::strerror(errno);
                break;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        head.bytes.resize(head.status == TFileHead::Status::Read ? got : 0);
    }
    close(fd);
    return head;
}
