// The high score and 3D settings files: first run, round trips, bad files and failed writes.
#include "game/file_locations.h"
#include "game/globals.h"
#include "game/settings_files.h"
#include "game/stereo_draw.h"
#include "platform/filesystem.h"
#include "tests/game_process.h"

#include <gtest/gtest.h>

#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
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
        // Loading from the empty directory forgets any file an earlier test marked to be kept.
        hiscore_file(0);
        anaglyph_settings(1);
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
    testing::internal::CaptureStderr();
    hiscore_file(0);
    anaglyph_settings(1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(hiscore, 0);
    EXPECT_EQ(eye_offset, 0);
    EXPECT_EQ(mode_3d, 0);
}

TEST_F(SettingsFiles, WhatIsThereButCannotBeReadIsReportedOnceAndNotOverwritten) {
    std::filesystem::create_directory(dir_ / "data");
    // A FIFO without a writer would block a plain open; a directory cannot be read as a file.
    ASSERT_EQ(mkfifo((dir_ / "data/hiscore.dat").c_str(), 0644), 0);
    std::filesystem::create_directory(dir_ / "data/anaglyph3d.dat");
    testing::internal::CaptureStderr();
    hiscore_file(0);
    anaglyph_settings(1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("brakkovane3d: cannot read data/hiscore.dat: it is not a regular file; it is kept"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("brakkovane3d: cannot read data/anaglyph3d.dat: it is a directory; it is kept"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;

    hiscore = 900;
    eye_offset = 6;
    testing::internal::CaptureStderr();
    hiscore_file(1);
    anaglyph_settings(2);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "") << "the save of a kept file says nothing more";
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "data/hiscore.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "data/anaglyph3d.dat"));
}

TEST_F(SettingsFiles, OnlyTheFieldsAreReadWhateverTheFileSize) {
    std::filesystem::create_directory(dir_ / "data");
    // 3 GB, sparse: more than a 32-bit size holds.
    write_bytes(dir_ / "data/hiscore.dat", le_ints({4321}));
    std::filesystem::resize_file(dir_ / "data/hiscore.dat", uintmax_t{3} << 30);
    hiscore_file(0);
    EXPECT_EQ(hiscore, 4321);
}

TEST_F(SettingsFiles, ASaveThroughASymbolicLinkWritesTheLinkedFileAndKeepsTheLink) {
    std::filesystem::create_directories(dir_ / "data");
    std::filesystem::create_directories(dir_ / "kept");
    write_bytes(dir_ / "kept/scores.bin", le_ints({5}));
    std::filesystem::create_symlink("../kept/scores.bin", dir_ / "data/hiscore.dat");
    // A dangling link makes its file.
    std::filesystem::create_symlink("../kept/settings.bin", dir_ / "data/anaglyph3d.dat");
    hiscore_file(0);
    EXPECT_EQ(hiscore, 5);
    hiscore = 6;
    eye_offset = 8;
    hiscore_file(1);
    anaglyph_settings(2);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "data/hiscore.dat"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "data/anaglyph3d.dat"));
    EXPECT_EQ(read_file(dir_ / "kept/scores.bin"), le_ints({6}));
    EXPECT_EQ(read_file(dir_ / "kept/settings.bin"), le_ints({8, 0}));
}

TEST_F(SettingsFiles, ASaveRemovesOnlyItsOwnOldTemporaryFiles) {
    std::filesystem::create_directory(dir_ / "data");
    const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
    auto make = [&](const std::string& name, bool old) {
        write_bytes(dir_ / ("data/" + name), "x");
        if (old) std::filesystem::last_write_time(dir_ / ("data/" + name), old_time);
    };
    make("hiscore.dat.saving-a1B2c3", true);    // left by a killed save: removed
    make("hiscore.dat.saving-Zz9Yy8", false);   // young: maybe another game's save in progress
    make("hiscore.dat.backup", true);           // the player's own, six letters as well
    make("hiscore.dat.saving-a1B2c", true);     // five characters
    make("hiscore.dat.saving-a1B2c!", true);    // not a letter or digit
    make("anaglyph3d.dat.saving-Qq11Qq", true); // another file's: removed by that file's save only
    make("xhiscore.dat.saving-a1B2c3", true);   // another name
    std::filesystem::create_directory(dir_ / "data/hiscore.dat.saving-Dd00Dd"); // not a regular file
    std::filesystem::last_write_time(dir_ / "data/hiscore.dat.saving-Dd00Dd", old_time);
    hiscore = 3;
    hiscore_file(1);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "data"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"anaglyph3d.dat.saving-Qq11Qq", "hiscore.dat",
                                              "hiscore.dat.backup", "hiscore.dat.saving-Dd00Dd",
                                              "hiscore.dat.saving-Zz9Yy8", "hiscore.dat.saving-a1B2c",
                                              "hiscore.dat.saving-a1B2c!", "xhiscore.dat.saving-a1B2c3"}));
}

#if defined(__x86_64__)
namespace {

// Exit code of a child that may not be traced (a sandbox that forbids ptrace).
constexpr int untraceable = 77;

// The file-system calls of `work` run in a traced child, in order: "fsync PATH" for each fsync or
// fdatasync (the path its descriptor names) and "rename" for each rename. Nullopt when this system
// does not let a process be traced.
std::optional<std::vector<std::string>> traced_sync_calls(const std::function<void()>& work) {
    std::vector<std::string> calls;
    const pid_t child = fork();
    if (child == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(untraceable);
        raise(SIGSTOP);
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) return std::nullopt;
    ptrace(PTRACE_SETOPTIONS, child, nullptr,
           reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
    bool entering = true;
    int deliver = 0;
    while (ptrace(PTRACE_SYSCALL, child, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(deliver))) ==
               0 &&
           waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
        deliver = 0;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            deliver = WSTOPSIG(status);
            continue;
        }
        if (entering) {
            user_regs_struct regs{};
            ptrace(PTRACE_GETREGS, child, nullptr, &regs);
            const auto number = static_cast<long>(regs.orig_rax);
            if (number == SYS_fsync || number == SYS_fdatasync) {
                char target[4096] = {};
                const std::string link = "/proc/" + std::to_string(child) + "/fd/" + std::to_string(regs.rdi);
                const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
                calls.push_back("fsync " + std::string(target, n > 0 ? size_t(n) : 0));
            } else if (number == SYS_rename || number == SYS_renameat || number == SYS_renameat2) {
                calls.push_back("rename");
            }
        }
        entering = !entering;
    }
    waitpid(child, &status, 0);
    return calls;
}

} // namespace

TEST_F(SettingsFiles, ASaveFlushesTheNewFileThenRenamesItThenFlushesTheFolder) {
    std::filesystem::create_directory(dir_ / "data");
    hiscore = 12;
    const std::optional<std::vector<std::string>> traced = traced_sync_calls([] { hiscore_file(1); });
    if (!traced) GTEST_SKIP() << "this system does not let a process be traced";
    const std::vector<std::string>& calls = *traced;
    const std::string folder = std::filesystem::canonical(dir_ / "data").string();
    ASSERT_EQ(calls.size(), 3u) << testing::PrintToString(calls);
    EXPECT_EQ(calls[0].rfind("fsync " + folder + "/hiscore.dat.saving-", 0), 0u) << calls[0];
    EXPECT_EQ(calls[1], "rename");
    EXPECT_EQ(calls[2], "fsync " + folder);
    EXPECT_EQ(read_file(dir_ / "data/hiscore.dat"), le_ints({12}));
}
#endif

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

// --- Where the files are ----------------------------------------------------------------------------

namespace {

// An installed tree beside a stand-in executable folder, and the player's environment, restored after.
class FileLocations : public SettingsFiles {
protected:
    void SetUp() override {
        SettingsFiles::SetUp();
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            saved_env_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        }
        executable_dir_ = tree_ / "games";
        installed_data_ = executable_dir_ + "/" + GAME_DATA_FROM_EXECUTABLE;
        std::filesystem::create_directories(executable_dir_);
        std::filesystem::create_directories(installed_data_);
        setenv("HOME", home_.path.c_str(), 1);
        setenv("XDG_DATA_HOME", data_home_.path.c_str(), 1);
    }
    void TearDown() override {
        set_file_locations({});
        for (const auto& [name, value] : saved_env_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        SettingsFiles::TearDown();
    }

    temp_dir tree_, home_, data_home_;
    std::string executable_dir_, installed_data_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
};

bool folder_is_empty(const std::string& dir) {
    return std::filesystem::directory_iterator(dir) == std::filesystem::directory_iterator();
}

} // namespace

TEST_F(FileLocations, AnInstalledTreeReadsItsDataAndSavesInThePlayersFolderMadeOnlyWhenSaving) {
    const file_locations chosen = choose_file_locations("", executable_dir_);
    EXPECT_FALSE(chosen.working_dir);
    EXPECT_EQ(chosen.data, installed_data_);
    EXPECT_EQ(chosen.saves, data_home_ / "brakkovane3d");
    set_file_locations(chosen);
    EXPECT_EQ(data_file_path("Data\\lazer.ogg"), installed_data_ + "/lazer.ogg");
    EXPECT_EQ(data_file_path("data\\blastem.ogg"), installed_data_ + "/blastem.ogg");

    hiscore_file(0);
    anaglyph_settings(1);
    EXPECT_TRUE(folder_is_empty(data_home_.path)) << "looking for the files makes no folder";

    hiscore = 4321;
    eye_offset = 12;
    mode_3d = 2;
    testing::internal::CaptureStderr();
    anaglyph_settings(2);
    hiscore_file(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(read_file(chosen.saves + "/hiscore.dat"), le_ints({4321}));
    EXPECT_EQ(read_file(chosen.saves + "/anaglyph3d.dat"), le_ints({12, 2}));
    struct stat st {};
    ASSERT_EQ(stat(chosen.saves.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "only the player may look inside";
    EXPECT_TRUE(folder_is_empty(dir_.path)) << "nothing in the working directory";

    hiscore = 0;
    hiscore_file(0);
    EXPECT_EQ(hiscore, 4321) << "read back from the same place";
}

TEST_F(FileLocations, WithoutXdgDataHomeOrWithARelativeOneTheSavesGoUnderTheHomeFolder) {
    for (const char* value : {"", "relative/share"}) {
        setenv("XDG_DATA_HOME", value, 1);
        EXPECT_EQ(choose_file_locations("", executable_dir_).saves, home_ / ".local/share/brakkovane3d")
            << "XDG_DATA_HOME=" << value;
    }
}

TEST_F(FileLocations, AWorkingDirectoryDataFolderInAnyLetterCaseWinsAsInACheckout) {
    std::filesystem::create_directory(dir_ / "DATA");
    const file_locations chosen = choose_file_locations("", executable_dir_);
    EXPECT_TRUE(chosen.working_dir);
    set_file_locations(chosen);
    EXPECT_EQ(data_file_path("Data\\lazer.ogg"), "Data\\lazer.ogg") << "the game's own path, unchanged";
    hiscore = 9;
    hiscore_file(1);
    EXPECT_EQ(read_file(dir_ / "DATA/hiscore.dat"), le_ints({9}));
    EXPECT_TRUE(folder_is_empty(data_home_.path));
}

TEST_F(FileLocations, WithNeitherFolderTheWorkingDirectoryIsUsedAsBefore) {
    // A build run from elsewhere: no data folder here, none installed beside its executable.
    EXPECT_TRUE(choose_file_locations("", tree_ / "not-installed").working_dir);
    EXPECT_TRUE(choose_file_locations("", "").working_dir);
}

TEST_F(FileLocations, DataDirHoldsTheSoundsAndTheSaves) {
    const file_locations chosen = choose_file_locations("portable", executable_dir_);
    EXPECT_EQ(chosen.data, "portable");
    EXPECT_EQ(chosen.saves, "portable");
    set_file_locations(chosen);
    EXPECT_EQ(data_file_path("Data\\thud.ogg"), "portable/thud.ogg");
    hiscore = 77;
    hiscore_file(1);
    EXPECT_EQ(read_file(dir_ / "portable/hiscore.dat"), le_ints({77}));
    EXPECT_TRUE(folder_is_empty(data_home_.path));
}

TEST_F(FileLocations, ASaveFolderThatCannotBeMadeIsReportedOncePerFile) {
    // XDG_DATA_HOME names a file: no folder can be made inside it.
    write_bytes(data_home_ / "blocker", "x");
    setenv("XDG_DATA_HOME", (data_home_ / "blocker").c_str(), 1);
    set_file_locations(choose_file_locations("", executable_dir_));
    testing::internal::CaptureStderr();
    hiscore_file(1);
    anaglyph_settings(2);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find("brakkovane3d: cannot write " + data_home_ / "blocker/brakkovane3d/hiscore.dat: "),
              std::string::npos)
        << said;
}
