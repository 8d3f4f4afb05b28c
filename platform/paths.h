// The two places only the operating system can name: the folder of the running program and the
// folder where this user's data files belong.
#pragma once

#include <string>

// The folder holding the running executable, with links resolved (from /proc/self/exe), without a
// trailing "/"; empty when the system cannot tell.
std::string ExecutableDirectory();

// The base folder of the user's data files: $XDG_DATA_HOME when it is an absolute path (a relative
// one is ignored, as the base-directory convention asks), else $HOME/.local/share, with HOME from the
// environment or else the password database; empty when no home folder is known.
std::string UserDataHome();
