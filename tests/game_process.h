// Runs the game binary as a child process for end-to-end tests: arguments, environment, exit code, output.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct process_result {
    int exit_code = -1; // -1 when the process did not exit normally
    std::string output; // standard output and standard error together
};

// What the game may use, for tests of how it copes when something runs short.
struct process_limits {
    // Address space in MB (RLIMIT_AS), 0 for no limit. Not applied under AddressSanitizer, whose
    // shadow memory alone takes terabytes of address space.
    long address_space_mb = 0;
    // Drops the super-user's power to pass file permissions, so that a file of mode 000 cannot be
    // read by the game even when the tests run as root.
    bool file_permissions_bind = false;
};

// Runs the game in `work_dir` with `args` and extra environment entries ("NAME=value"), waiting at
// most `timeout_s` seconds before killing it.
process_result run_game_process(const std::string& work_dir, const std::vector<std::string>& args,
                                const std::vector<std::string>& env = {}, int timeout_s = 60,
                                const process_limits& limits = {});

// The same for another copy of the game (an installed one) or any other program at `binary`.
process_result run_program_process(const std::string& binary, const std::string& work_dir,
                                   const std::vector<std::string>& args,
                                   const std::vector<std::string>& env = {}, int timeout_s = 60,
                                   const process_limits& limits = {});

// Starts the game in `dir` with standard output and error to `out_path` and extra environment
// entries, without waiting: the caller signals, waits or kills it.
pid_t start_game_process(const std::string& dir, const std::vector<std::string>& args,
                         const std::string& out_path, const std::vector<std::string>& env = {},
                         const process_limits& limits = {});

std::string read_file(const std::string& path);
// Creates or replaces the file with exactly these bytes.
void write_file(const std::string& path, const std::string& bytes);
std::vector<std::string> read_lines(const std::string& path);

// A fresh empty directory; with_data gives it a data/ folder holding links to the game's sound files, so the
// game runs there as from the repository without writing its files into the repository. Removed with its
// contents by the destructor.
struct temp_dir {
    std::string path;
    explicit temp_dir(bool with_data = false);
    ~temp_dir();
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};
