// Child-process runner for the end-to-end tests.
#include "tests/game_process.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// In the child, between fork and exec.
void apply_limits(const process_limits& limits) {
#ifndef __SANITIZE_ADDRESS__
    if (limits.address_space_mb > 0) {
        const rlim_t bytes = static_cast<rlim_t>(limits.address_space_mb) << 20;
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(125);
    }
#endif
    // Out of the bounding set, the capabilities are gone from the program the exec starts.
    if (limits.file_permissions_bind &&
        (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
         prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0) &&
        geteuid() == 0)
        _exit(125);
}

[[noreturn]] void exec_game(const std::string& binary_path, const std::string& work_dir,
                            const std::vector<std::string>& args, int out_fd,
                            const std::vector<std::string>& env, const process_limits& limits) {
    if (chdir(work_dir.c_str()) != 0) _exit(126);
    dup2(out_fd, 1);
    dup2(out_fd, 2);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    apply_limits(limits);
    std::vector<char*> argv;
    std::string binary = binary_path;
    argv.push_back(binary.data());
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
}

} // namespace

pid_t start_game_process(const std::string& dir, const std::vector<std::string>& args,
                         const std::string& out_path, const std::vector<std::string>& env,
                         const process_limits& limits) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) _exit(126);
        exec_game(GAME_BINARY, dir, args, fd, env, limits);
    }
    return pid;
}

process_result run_game_process(const std::string& work_dir, const std::vector<std::string>& args,
                                const std::vector<std::string>& env, int timeout_s,
                                const process_limits& limits) {
    return run_program_process(GAME_BINARY, work_dir, args, env, timeout_s, limits);
}

process_result run_program_process(const std::string& binary, const std::string& work_dir,
                                   const std::vector<std::string>& args, const std::vector<std::string>& env,
                                   int timeout_s, const process_limits& limits) {
    process_result result;
    char out_template[] = "/tmp/brakkovane-out-XXXXXX";
    int out_fd = mkstemp(out_template);
    if (out_fd < 0) return result;
    pid_t pid = fork();
    if (pid == 0) exec_game(binary, work_dir, args, out_fd, env, limits);
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.output = "(killed after timeout)\n";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    close(out_fd);
    result.output += read_file(out_template);
    unlink(out_template);
    return result;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

temp_dir::temp_dir(bool with_data) {
    char templ[] = "/tmp/brakkovane-test-XXXXXX";
    path = mkdtemp(templ);
    if (!with_data) return;
    std::filesystem::create_directory(path + "/data");
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(SOURCE_DIR) + "/data", ec))
        if (entry.path().extension() == ".ogg")
            std::filesystem::create_symlink(entry.path(), path + "/data/" + entry.path().filename().string(),
                                            ec);
}

temp_dir::~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}
