// How much address space a piece of work takes at its peak, measured in a forked child so that the
// test process keeps none of it: loaders must not reserve memory for sizes that a header only claims.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

// VmSize or VmPeak of this process in kB.
inline long ProcessVmKb(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

// The peak address space of `work` above the size before it, in kB; -1 when the child failed. The
// child's peak starts at its parent's, so growth below the parent's own earlier peak is not seen:
// callers compare against a bound far above what the work legitimately takes.
inline long PeakAddressSpaceGrowthKb(const std::function<void()>& work) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        const long before = ProcessVmKb("VmSize");
        work();
        const long growth = ProcessVmKb("VmPeak") - before;
        const ssize_t written = write(pipe_fds[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(pipe_fds[1]);
    long growth = -1;
    if (read(pipe_fds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? growth : -1;
}
