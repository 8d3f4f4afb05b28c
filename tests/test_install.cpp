// The installed game played: a staged install run from an unrelated empty folder with a home of its
// own, then moved as when unpacked elsewhere; a portable data folder; the default save folder.
#include "tests/install_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The intro lasts about 325 frames without 3D; the runs go well past it into the title menu.
constexpr const char* kFramesPastTheIntro = "420";
constexpr int kHiscoreBytes = 4;
constexpr int kSettingsBytes = 8;
constexpr unsigned kPrivateFolderMode = 0700;

bool folder_is_empty(const fs::path& dir) {
    return fs::is_directory(dir) && fs::directory_iterator(dir) == fs::directory_iterator();
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ = install_staged(stage_.path);
        ASSERT_FALSE(prefix_.empty());
    }

    fs::path game() const { return prefix_ / GAME_INSTALL_BINDIR / "brakkovane3d"; }

    // The staged game from the empty folder cwd_, windowed, unpaced, past the intro.
    process_result play(const fs::path& binary, const std::vector<std::string>& env,
                        std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"--windowed", "--unpaced", "--seed",
                                         "7",          "--frames",  kFramesPastTheIntro};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_program_process(binary.string(), cwd_.path, args, env, 120);
    }

    temp_dir stage_, cwd_, home_, data_home_, outputs_;
    fs::path prefix_;
};

} // namespace

// From an unrelated, empty folder: every sound is found (no line at all on the output), both files
// land in the player's data folder, made private, and nothing appears in the working directory.
// Then the tree is moved, as when it is unpacked elsewhere, and reads the same files back.
TEST_F(InstalledTree, RunsFromAnyFolderWithItsSavesInThePlayersDataFolderAndStillWhenMoved) {
    const std::vector<std::string> env = {"HOME=" + home_.path, "XDG_DATA_HOME=" + data_home_.path};
    const process_result first = play(game(), env);
    ASSERT_EQ(first.exit_code, 0) << first.output;
    EXPECT_EQ(first.output, "") << "no warning: every sound was found";
    const fs::path saves = fs::path(data_home_.path) / "brakkovane3d";
    EXPECT_EQ(fs::file_size(saves / "hiscore.dat"), static_cast<uintmax_t>(kHiscoreBytes));
    EXPECT_EQ(fs::file_size(saves / "anaglyph3d.dat"), static_cast<uintmax_t>(kSettingsBytes));
    struct stat st {};
    ASSERT_EQ(stat(saves.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, kPrivateFolderMode);
    EXPECT_TRUE(folder_is_empty(cwd_.path)) << "nothing is created in the working directory";
    EXPECT_TRUE(folder_is_empty(home_.path)) << "XDG_DATA_HOME, not HOME, holds the saves";

    // A high score kept from an earlier game, read back by the moved tree from the same folder.
    write_file((saves / "hiscore.dat").string(), std::string("\xE1\x10\x00\x00", 4)); // 4321
    const fs::path moved_prefix = fs::path(stage_.path) / "elsewhere" / "games-copy";
    fs::create_directories(moved_prefix.parent_path());
    fs::rename(prefix_, moved_prefix);
    const fs::path trace = fs::path(outputs_.path) / "trace.jsonl";
    const process_result moved =
        play(moved_prefix / GAME_INSTALL_BINDIR / "brakkovane3d", env, {"--trace", trace.string()});
    ASSERT_EQ(moved.exit_code, 0) << moved.output;
    EXPECT_EQ(moved.output, "") << "the moved tree still finds every sound";
    const std::vector<std::string> lines = read_lines(trace.string());
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\"hiscore\":4321,"), std::string::npos) << lines.back();
    EXPECT_EQ(read_file((saves / "hiscore.dat").string()), std::string("\xE1\x10\x00\x00", 4));
    EXPECT_TRUE(folder_is_empty(cwd_.path));
}

// Without XDG_DATA_HOME the saves go to ~/.local/share/brakkovane3d; a working directory with a data
// folder (a portable folder) keeps them itself, as a checkout does.
TEST_F(InstalledTree, SavesDefaultToTheHomeFolderAndAPortableDataFolderKeepsItsOwn) {
    const process_result home_run = play(game(), {"HOME=" + home_.path, "XDG_DATA_HOME="});
    ASSERT_EQ(home_run.exit_code, 0) << home_run.output;
    const fs::path saves = fs::path(home_.path) / ".local/share/brakkovane3d";
    EXPECT_EQ(fs::file_size(saves / "hiscore.dat"), static_cast<uintmax_t>(kHiscoreBytes));
    EXPECT_TRUE(folder_is_empty(cwd_.path));

    // A portable folder: a "DATA" folder (any letter case) with the sounds in the working directory.
    const fs::path portable = fs::path(cwd_.path) / "DATA";
    fs::create_directory(portable);
    for (const auto& entry : fs::directory_iterator(prefix_ / GAME_INSTALL_DATADIR / "data"))
        fs::copy_file(entry.path(), portable / entry.path().filename());
    const process_result portable_run =
        play(game(), {"HOME=" + home_.path, "XDG_DATA_HOME=" + data_home_.path});
    ASSERT_EQ(portable_run.exit_code, 0) << portable_run.output;
    EXPECT_EQ(portable_run.output, "");
    EXPECT_EQ(fs::file_size(portable / "hiscore.dat"), static_cast<uintmax_t>(kHiscoreBytes));
    EXPECT_EQ(fs::file_size(portable / "anaglyph3d.dat"), static_cast<uintmax_t>(kSettingsBytes));
    EXPECT_TRUE(folder_is_empty(data_home_.path)) << "the portable folder keeps its own saves";
}
