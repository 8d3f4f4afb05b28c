// The installed tree and its package: every file in place, the desktop entry and metadata through
// their validators, the manual page against --help, and the .deb CPack makes from the same install.
#include "tests/install_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kAppId = GAME_APP_ID;

// The option name starting at `from`: lower-case letters and dashes, the first a letter. In a manual
// page a dash is written "\-", so there the backslashes are dropped.
std::string option_name(const std::string& line, size_t from, bool page_escapes) {
    std::string name;
    for (size_t i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (page_escapes && c == '\\' && i + 1 < line.size() && line[i + 1] == '-') continue;
        if ((c >= 'a' && c <= 'z') || (c == '-' && !name.empty()))
            name += c;
        else
            break;
    }
    return name;
}

// The number of screenshots given as a non-empty caption followed by the https address of a PNG.
int captioned_screenshots(const std::string& xml) {
    const std::string open = "<caption>", close = "</caption>", image = "<image>https://",
                      image_end = "</image>", png = ".png";
    int count = 0;
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        const size_t text = at + open.size(), end = xml.find(close, text);
        if (end == std::string::npos || end == text || xml.find('<', text) != end) continue;
        size_t next = end + close.size();
        while (next < xml.size() && std::isspace(static_cast<unsigned char>(xml[next]))) ++next;
        if (xml.compare(next, image.size(), image) != 0) continue;
        // The address: no markup inside, and a name ending in .png.
        const size_t address = next + image.size(), address_end = xml.find('<', address);
        if (address_end != std::string::npos && address_end > address + png.size() &&
            xml.compare(address_end - png.size(), png.size(), png) == 0 &&
            xml.compare(address_end, image_end.size(), image_end) == 0)
            ++count;
    }
    return count;
}

} // namespace

// One install (cmake --install writes its manifest into the build folder, so installs do not run
// side by side): every file and nothing else, the icons at their sizes, the desktop entry and the
// metadata accepted by their validators.
TEST(InstalledTree, HoldsEveryFileAndItsDesktopEntryAndMetadataValidate) {
    temp_dir stage;
    const fs::path prefix = install_staged(stage.path);
    ASSERT_FALSE(prefix.empty());

    EXPECT_EQ(files_under(prefix), expected_install_files());
    struct stat st {};
    ASSERT_EQ(stat((prefix / GAME_INSTALL_BINDIR / "brakkovane3d").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    for (const char* size : {"32", "64", "128", "256"}) {
        const fs::path icon =
            prefix / "share/icons/hicolor" / (std::string(size) + "x" + size) / "apps" / (kAppId + ".png");
        const uint32_t side = static_cast<uint32_t>(std::stoi(size));
        EXPECT_EQ(png_size(icon), std::make_pair(side, side)) << icon;
    }

    const fs::path desktop = prefix / "share/applications" / (kAppId + ".desktop");
    const command_result entry = run_command("desktop-file-validate " + shell_quoted(desktop.string()));
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_EQ(entry.output, "") << "not even a hint";
    const std::string text = read_file(desktop.string());
    EXPECT_NE(text.find("\nCategories=Game;ArcadeGame;\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=" + kAppId + "\n"), std::string::npos) << "the icons' name";
    EXPECT_NE(text.find("\nExec=brakkovane3d\n"), std::string::npos) << text;

    const fs::path metainfo = prefix / "share/metainfo" / (kAppId + ".metainfo.xml");
    const command_result metadata =
        run_command("appstreamcli validate --no-net " + shell_quoted(metainfo.string()));
    EXPECT_EQ(metadata.status, 0) << metadata.output;
    EXPECT_EQ(metadata.output.find("W: "), std::string::npos) << metadata.output;
    const std::string xml = read_file(metainfo.string());
    EXPECT_NE(xml.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"),
              std::string::npos);
    EXPECT_NE(xml.find("<content_rating type=\"oars-1.1\">"), std::string::npos);
    EXPECT_EQ(captioned_screenshots(xml), 3) << "three screenshots, each with its caption";
}

// The manual page documents exactly the options --help lists.
TEST(ManualPage, ListsTheOptionsOfHelpAndNoOthers) {
    temp_dir dir;
    const process_result help = run_game_process(dir.path, {"--help"});
    ASSERT_EQ(help.exit_code, 0) << help.output;
    std::set<std::string> from_help;
    std::istringstream lines(help.output);
    for (std::string line; std::getline(lines, line);) {
        // An option's own line: two spaces, then the option.
        if (line.rfind("  --", 0) == 0) {
            const std::string name = option_name(line, 4, false);
            if (!name.empty()) from_help.insert("--" + name);
        }
    }
    ASSERT_GE(from_help.size(), 10u) << help.output;

    // Options are the tagged paragraphs of the page: ".TP", then ".B \-\-name" or ".BI \-\-name ...".
    std::set<std::string> from_page;
    const std::vector<std::string> page = read_lines(std::string(SOURCE_DIR) + "/packaging/brakkovane3d.6");
    for (size_t i = 1; i < page.size(); ++i) {
        if (page[i - 1] != ".TP") continue;
        for (const char* tag : {".B \\-\\-", ".BI \\-\\-"}) {
            const std::string prefix = tag;
            if (page[i].rfind(prefix, 0) != 0) continue;
            const std::string name = option_name(page[i], prefix.size(), true);
            if (!name.empty()) from_page.insert("--" + name);
        }
    }
    EXPECT_EQ(from_page, from_help);
}

// The package CPack makes from the same install: section games, dependencies from the binary's
// libraries (not written by hand), and exactly the installed files under /usr.
TEST(DebianPackage, HoldsTheInstalledTreeWithDependenciesFromTheBinary) {
    temp_dir out;
    const command_result pack =
        run_command("cpack -G DEB --config " + shell_quoted(std::string(BUILD_DIR) + "/CPackConfig.cmake") +
                    " -B " + shell_quoted(out.path));
    ASSERT_EQ(pack.status, 0) << pack.output;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(out.path))
        if (entry.path().extension() == ".deb") deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << pack.output;

    const command_result fields =
        run_command("dpkg-deb --field " + shell_quoted(deb) + " Package Section Depends");
    ASSERT_EQ(fields.status, 0) << fields.output;
    EXPECT_NE(fields.output.find("Package: brakkovane3d\n"), std::string::npos) << fields.output;
    EXPECT_NE(fields.output.find("Section: games\n"), std::string::npos) << fields.output;
    // libgl1 is the one named by hand: SDL opens it at run time, where dpkg-shlibdeps cannot see it.
    for (const char* library :
         {"libsdl2-2.0-0", "libvorbisfile3", "libpng16-16", "libfreetype6", "libc6", "libgl1"})
        EXPECT_NE(fields.output.find(library), std::string::npos) << library << " in " << fields.output;

    const command_result contents = run_command("dpkg-deb --contents " + shell_quoted(deb));
    ASSERT_EQ(contents.status, 0) << contents.output;
    std::set<std::string> files;
    std::istringstream lines(contents.output);
    for (std::string line; std::getline(lines, line);) {
        // "-rw-r--r-- root/root 1234 2026-12-08 12:00 ./usr/share/...": regular files only.
        if (line.empty() || line[0] != '-') continue;
        const size_t at = line.find("./usr/");
        ASSERT_NE(at, std::string::npos) << line;
        EXPECT_EQ(line.compare(11, 10, "root/root "), 0) << line;
        files.insert(line.substr(at + 6));
    }
    EXPECT_EQ(files, expected_install_files());
}
