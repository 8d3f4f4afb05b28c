// The high score and 3D settings files: first run, round trips, bad files and failed writes.
#include "game/globals.h"
#include "game/settings_files.h"
#include "game/stereo_draw.h"
#include "platform/filesystem.h"
#include "tests/game_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string le_ints(const std::vector<int32_t>& values) {
    std::string bytes;
    for (int32_t v : values)
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff);
    return bytes;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<int> eye_colours() {
    return {draw3d.leye_r, draw3d.leye_g, draw3d.leye_b, draw3d.reye_r, draw3d.reye_g, draw3d.reye_b};
}

// Runs each test inside a fresh working directory with the globals at their start values.
class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        old_dir_ = GetWorkingDir();
        ASSERT_EQ(SetWorkingDir(dir_.path), 1);
        hiscore = 0;
        eye_offset = 0;
        mode_3d = 0;
        draw3d = ovdraw_tag{};
    }
    void TearDown() override { SetWorkingDir(old_dir_); }

    temp_dir dir_;
    std::string old_dir_;
};

} // namespace

TEST_F(SettingsFiles, FirstRunStartsFromZeroAndExitCreatesBothFilesAndTheirDirectory) {
    hiscore = 77;
    hiscore_file(0);
    anaglyph_settings(1);
    EXPECT_EQ(hiscore, 0);
    EXPECT_EQ(eye_offset, 0);
    EXPECT_EQ(mode_3d, 0);
    EXPECT_EQ(eye_colours(), std::vector<int>(6, 0)) << "mode 0 sets no colours";

    hiscore = 1234;
    eye_offset = 14;
    mode_3d = 3;
    testing::internal::CaptureStderr();
    anaglyph_settings(2);
    hiscore_file(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // Both names land in the one directory the game created.
    EXPECT_EQ(read_file(dir_ / "Data/anaglyph3d.dat"), le_ints({14, 3}));
    EXPECT_EQ(read_file(dir_ / "Data/hiscore.dat"), le_ints({1234}));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "data"));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_ / "Data")) ++files;
    EXPECT_EQ(files, 2) << "no temporary file is left behind";
}

TEST_F(SettingsFiles, ValuesSurviveARoundTripThroughAnExistingLowerCaseDirectory) {
    std::filesystem::create_directory(dir_ / "data");
    hiscore = 98765;
    eye_offset = -7;
    mode_3d = 4;
    hiscore_file(1);
    anaglyph_settings(2);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "data/anaglyph3d.dat")) << "\"Data\" maps onto data/";

    hiscore = 0;
    eye_offset = 0;
    mode_3d = 0;
    hiscore_file(0);
    anaglyph_settings(1);
    EXPECT_EQ(hiscore, 98765);
    EXPECT_EQ(eye_offset, -7) << "the offset is kept as stored";
    EXPECT_EQ(mode_3d, 4);
    EXPECT_EQ(eye_colours(), (std::vector<int>{4, 20, 140, 140, 4, 20}));
}

TEST_F(SettingsFiles, EachModeSetsItsEyeColoursAndModeZeroLeavesThem) {
    const std::vector<std::vector<int>> expected = {{140, 4, 40, 4, 100, 20},
                                                    {4, 100, 20, 140, 4, 10},
                                                    {4, 80, 60, 140, 4, 10},
                                                    {4, 20, 140, 140, 4, 20}};
    for (int mode = 1; mode <= 4; ++mode) {
        mode_3d = mode;
        anaglyph_settings(0);
        EXPECT_EQ(eye_colours(), expected[mode - 1]) << "mode " << mode;
    }
    mode_3d = 0;
    anaglyph_settings(0);
    EXPECT_EQ(eye_colours(), expected[3]);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "data")) << "mode 0 of anaglyph_settings touches no file";
}

TEST_F(SettingsFiles, BadFilesGiveTheStartValues) {
    std::filesystem::create_directory(dir_ / "data");
    struct bad_case {
        const char* what;
        std::string hiscore_bytes, anaglyph_bytes;
    };
    const std::vector<bad_case> cases = {
        {"empty", "", ""},
        {"short", le_ints({500}).substr(0, 3), le_ints({6, 2}).substr(0, 7)},
    };
    for (const bad_case& c : cases) {
        write_bytes(dir_ / "data/hiscore.dat", c.hiscore_bytes);
        write_bytes(dir_ / "data/anaglyph3d.dat", c.anaglyph_bytes);
        hiscore = 55;
        eye_offset = 0;
        mode_3d = 0;
        hiscore_file(0);
        anaglyph_settings(1);
        EXPECT_EQ(hiscore, 0) << c.what;
        EXPECT_EQ(eye_offset, 0) << c.what;
        EXPECT_EQ(mode_3d, 0) << c.what;
    }

    // Directories where the files should be cannot be read.
    std::filesystem::remove(dir_ / "data/hiscore.dat");
    std::filesystem::remove(dir_ / "data/anaglyph3d.dat");
    std::filesystem::create_directory(dir_ / "data/hiscore.dat");
    std::filesystem::create_directory(dir_ / "data/anaglyph3d.dat");
    hiscore = 55;
    hiscore_file(0);
    anaglyph_settings(1);
    EXPECT_EQ(hiscore, 0);
    EXPECT_EQ(eye_offset, 0);
    EXPECT_EQ(mode_3d, 0);
}

TEST_F(SettingsFiles, ModesOutsideTheTableBecomeOffAndLongerFilesReadTheirFirstFields) {
    std::filesystem::create_directory(dir_ / "data");
    for (int32_t stored : {5, -1, 1000000}) {
        write_bytes(dir_ / "data/anaglyph3d.dat", le_ints({9, stored}));
        mode_3d = 2;
        anaglyph_settings(1);
        EXPECT_EQ(mode_3d, 0) << "stored mode " << stored;
        EXPECT_EQ(eye_offset, 9);
    }
    write_bytes(dir_ / "data/anaglyph3d.dat", le_ints({31, 1, 99}));
    write_bytes(dir_ / "data/hiscore.dat", le_ints({-3, 1}));
    anaglyph_settings(1);
    hiscore_file(0);
    EXPECT_EQ(eye_offset, 31);
    EXPECT_EQ(mode_3d, 1);
    EXPECT_EQ(hiscore, -3);
}

TEST_F(SettingsFiles, AFailedWriteKeepsTheOldFileAndSaysWhereAndWhy) {
    // The target is a directory: the new content cannot take its place.
    std::filesystem::create_directories(dir_ / "data/hiscore.dat");
    hiscore = 10;
    testing::internal::CaptureStderr();
    hiscore_file(1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("brakkovane3d: cannot write data/hiscore.dat: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "data/hiscore.dat"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_ / "data")) ++entries;
    EXPECT_EQ(entries, 1) << "the temporary file is removed";

    // A plain file where the directory should be: the directory cannot be made.
    std::filesystem::remove_all(dir_ / "data");
    write_bytes(dir_ / "data", "x");
    eye_offset = 4;
    testing::internal::CaptureStderr();
    anaglyph_settings(2);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot write data/anaglyph3d.dat: "), std::string::npos) << err;
    EXPECT_EQ(read_file(dir_ / "data"), "x");
}

TEST_F(SettingsFiles, ASuccessfulWriteReplacesTheOldContentWhole) {
    std::filesystem::create_directory(dir_ / "data");
    write_bytes(dir_ / "data/anaglyph3d.dat", le_ints({2, 1, 7, 7}));
    eye_offset = 30;
    mode_3d = 2;
    anaglyph_settings(2);
    EXPECT_EQ(read_file(dir_ / "data/anaglyph3d.dat"), le_ints({30, 2}));
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "data/anaglyph3d.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}
