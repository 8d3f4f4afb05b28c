// The install and package tests' shared helpers.
#include "tests/install_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

std::set<std::string> expected_install_files() {
    const std::string app_id = GAME_APP_ID;
    std::set<std::string> files = {
        std::string(GAME_INSTALL_BINDIR) + "/brakkovane3d",
        "share/applications/" + app_id + ".desktop",
        "share/metainfo/" + app_id + ".metainfo.xml",
        std::string(GAME_INSTALL_MANDIR) + "/man6/brakkovane3d.6.gz",
    };
    for (const char* sound : {"blast", "blastem", "explode", "lazer", "letsgo", "smexpl", "tankhit", "thud",
                              "title", "ufohit", "warp"})
        files.insert(std::string(GAME_INSTALL_DATADIR) + "/data/" + sound + ".ogg");
    for (const char* size : {"32", "64", "128", "256"})
        files.insert(std::string("share/icons/hicolor/") + size + "x" + size + "/apps/" + app_id + ".png");
    for (const char* doc : {"LICENSE", "LICENSE-DotGothic16.txt", "README.md", "copyright", "changelog.gz"})
        files.insert(std::string(GAME_INSTALL_DOCDIR) + "/" + doc);
    return files;
}

std::set<std::string> files_under(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    return files;
}

command_result run_command(const std::string& command) {
    command_result result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string shell_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::pair<uint32_t, uint32_t> png_size(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    auto be32 = [&](int at) {
        return (uint32_t{header[at]} << 24) | (uint32_t{header[at + 1]} << 16) |
               (uint32_t{header[at + 2]} << 8) | header[at + 3];
    };
    return {be32(16), be32(20)};
}

fs::path install_staged(const std::string& stage) {
    const command_result install = run_command("DESTDIR=" + shell_quoted(stage) + " cmake --install " +
                                               shell_quoted(BUILD_DIR) + " --prefix /usr");
    if (install.status != 0) {
        ADD_FAILURE() << install.output;
        return {};
    }
    return fs::path(stage) / "usr";
}
