// The program's folder and the user's data folder (Linux).
#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

// The environment variable's value when it is an absolute path, else empty.
std::string AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = AbsoluteFromEnvironment("HOME");
    if (!home.empty()) return home;
    // A session without HOME (a service, a stripped environment) still has an account entry.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        home = found->pw_dir;
    return home;
}

} // namespace

std::string ExecutableDirectory() {
    // readlink does not say whether it cut the name short, so a name that fills the buffer is
    // retried with a larger one.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            const std::string path(buffer.data(), static_cast<size_t>(n));
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos) return {};
            return slash == 0 ? std::string("/") : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string UserDataHome() {
    std::string data_home = AbsoluteFromEnvironment("XDG_DATA_HOME");
    if (!data_home.empty()) return data_home;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/.local/share";
}
