// Path rules and file-system queries of the stream layer (POSIX).
#include "platform/filesystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == '\0' || AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return b[i] == '\0';
}

bool NameExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of dir that equals name ignoring ASCII case; the smallest in byte order when several do,
// so the choice does not depend on the directory's listing order. Empty when none does.
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.c_str());
    if (!d) return {};
    std::string best;
    while (const dirent* entry = readdir(d)) {
        if (!EqualsIgnoringAsciiCase(name, entry->d_name)) continue;
        if (best.empty() || std::string(entry->d_name) < best) best = entry->d_name;
    }
    closedir(d);
    return best;
}

bool IsRootPath(const std::string& path) {
    if (path == "/") return true;
    // A drive root "C:/".
    if (path.size() == 3 && path[1] == ':' && path[2] == '/') return true;
    // A network root "//server/": no separator between the server name and the final one.
    if (path.size() > 3 && path.compare(0, 2, "//") == 0) return path.find('/', 2) == path.size() - 1;
    return false;
}

} // namespace

std::string NormalisePath(const std::string& path, bool directory) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.compare(0, 2, "//") == 0) {
        if (p.find('/', 2) == std::string::npos) p += '/';
    } else {
        const size_t colon = p.find(':');
        if (colon != std::string::npos && colon + 1 < p.size() && p[colon + 1] != '/' &&
            p.find('/') > colon) {
            p.insert(colon + 1, "/");
        }
    }
    if (directory && !p.empty() && p.back() == '/' && !IsRootPath(p)) p.pop_back();
    return p;
}

std::string ResolvePathCase(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    std::string out;
    size_t i = 0;
    while (i < p.size() && p[i] == '/') out += p[i++];
    bool resolving = true;
    while (i < p.size()) {
        size_t end = p.find('/', i);
        if (end == std::string::npos) end = p.size();
        std::string component = p.substr(i, end - i);
        if (resolving && !component.empty() && component != "." && component != ".." &&
            !NameExists(out + component)) {
            std::string match = FindEntryIgnoringCase(out.empty() ? "." : out, component);
            if (match.empty()) {
                resolving = false;
            } else {
                component = match;
            }
        }
        out += component;
        if (end < p.size()) out += '/';
        i = end + 1;
    }
    return out;
}

int GetPathType(const std::string& path) {
    const std::string p = ResolvePathCase(NormalisePath(path, false));
    struct stat st;
    if (p.empty() || stat(p.c_str(), &st) != 0) return 0;
    if (S_ISREG(st.st_mode)) return 1;
    if (S_ISDIR(st.st_mode)) return 2;
    return 0;
}

std::string GetWorkingDir() {
    char buffer[1024];
    if (!getcwd(buffer, sizeof buffer)) return {};
    return NormalisePath(buffer, false);
}

int SetWorkingDir(const std::string& path) {
    const std::string p = ResolvePathCase(NormalisePath(path, true));
    if (p.empty()) return 0;
    return chdir(p.c_str()) == 0 ? 1 : 0;
}

std::string CreateDirectories(const std::string& path, unsigned mode) {
    if (path.empty()) return std::strerror(ENOENT);
    // Each prefix that ends before a separator, then the whole path: parents first.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            return prefix + ": " + std::strerror(errno);
        if (end == std::string::npos) break;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
    return S_ISDIR(st.st_mode) ? std::string() : std::strerror(ENOTDIR);
}
