// Writing a file whole or not at all: through a temporary file beside it, renamed over the old one.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TStream;

// Writes the file at `path` (case-resolved like every game path) with `write`, which gets a stream on
// a temporary file in the same directory; the bytes are flushed to the disk and the temporary file
// is renamed over the old one, so a run that dies mid-write leaves the old or the new content whole.
// Creates the directory when it is missing. Returns an empty string on success, else the reason
// (the old file is then untouched and no temporary file is left). Stream exceptions thrown by
// `write` count as failures.
std::string WriteFileAtomic(const std::string& path,
                            const std::function<void(const std::shared_ptr<TStream>&)>& write);
