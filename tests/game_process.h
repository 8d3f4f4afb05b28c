// Runs the game binary as a child process for end-to-end tests: arguments, environment, exit code, output.
#pragma once

#include <string>
#include <vector>

struct process_result {
    int exit_code = -1; // -1 when the process did not exit normally
    std::string output; // standard output and standard error together
};

// Runs the game in `work_dir` with `args` and extra environment entries ("NAME=value"), waiting at
// most `timeout_s` seconds before killing it.
process_result run_game_process(const std::string& work_dir, const std::vector<std::string>& args,
                                const std::vector<std::string>& env = {}, int timeout_s = 60);

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
