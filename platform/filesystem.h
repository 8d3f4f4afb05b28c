// Path rules and file-system queries of the stream layer: separators, case-insensitive lookup,
// path types, the working directory and the making of folders.
#pragma once

#include <string>

// The normalisation shared by the file-system operations: backslashes become "/", a bare network
// name ("//server") gets its root "/", a drive without a separator ("C:games") gets one after the
// ":", and for a directory one trailing "/" is removed unless the path is a root ("/", "C:/",
// "//server/").
std::string NormalisePath(const std::string& path, bool directory);

// Maps a path written for a file system that ignores letter case onto ours: backslashes become "/",
// and each component that does not exist as written is replaced by an entry of its directory that
// matches it ignoring ASCII case (the first such entry in byte order when several do). Components
// from the first unmatched one on are kept as written, so a file about to be created keeps its name.
std::string ResolvePathCase(const std::string& path);

// What the normalised, case-resolved path names: 1 a regular file, 2 a directory, 0 nothing or
// anything else.
int GetPathType(const std::string& path);

// The current directory, normalised (no trailing-separator rule), at most 1023 characters; empty
// when it cannot be told in that length.
std::string GetWorkingDir();

// Changes to the directory (normalised as a directory path, case-resolved); 1 on success, 0 with the
// working directory unchanged on failure.
int SetWorkingDir(const std::string& path);

// Makes the folder `path` and every missing folder above it, each with the permission bits `mode`
// (less the umask); folders that exist are left as they are. Returns an empty string when the folder
// exists at the end, else the reason.
std::string CreateDirectories(const std::string& path, unsigned mode);
