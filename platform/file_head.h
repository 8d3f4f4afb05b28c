// Reading the first bytes of a small data file, whatever the file's size or kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TFileHead {
    enum class Status {
        Missing,    // nothing at the path
        Read,       // a regular file; bytes holds its first bytes (fewer when the file is shorter)
        Unreadable, // something is there but cannot be read as a file; reason says why
    };
    Status status = Status::Missing;
    std::vector<uint8_t> bytes;
    std::string reason;
};

// Reads up to `count` bytes from the start of the file at `path` (normalised and case-resolved like
// every game path). A file of any size reads, as only its head is read. Anything that is not a
// regular file (a directory, a FIFO, a device) is Unreadable without being read, so this never
// blocks on a FIFO without a writer nor reads a device without end.
TFileHead ReadFileHead(const std::string& path, size_t count);
