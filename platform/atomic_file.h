// Writing a file whole or not at all: through a temporary file beside it, renamed over the old one.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TStream;

// Writes the file at `path` (case-resolved like every game path) with `write`, which gets a stream on
// a temporary file "<name>.saving-XXXXXX" in the same directory; the bytes are flushed to the disk, the
// temporary file is renamed over the old one and the directory is flushed too, so a run that dies
// mid-write, or a crash of the machine after it, leaves the old or the new content whole. A path
// that is a symbolic link writes the file it links to and the link stays. Creates the directory
// when it is missing. Temporary files of this user's earlier saves of the same file that were killed
// before their rename (older than a few minutes) are removed. Returns an empty string on success,
// else the reason (the old file is then untouched and no temporary file is left). Stream exceptions
// thrown by `write` count as failures.
std::string WriteFileAtomic(const std::string& path,
                            const std::function<void(const std::shared_ptr<TStream>&)>& write);
