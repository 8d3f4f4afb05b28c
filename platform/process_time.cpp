// The process's age (Linux): its start time from /proc against the boot-time clock.
#include "platform/process_time.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

std::optional<double> ProcessAgeMillis() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The command name in parentheses may hold spaces; the fields after it start with field 3, and
    // field 22 is the start time in clock ticks after boot.
    const size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(name_end + 1));
    std::string skipped;
    for (int field = 3; field < 22; ++field) fields >> skipped;
    unsigned long long start_ticks = 0;
    timespec now{};
    const long ticks_per_s = sysconf(_SC_CLK_TCK);
    if (!(fields >> start_ticks) || ticks_per_s <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 -
           static_cast<double>(start_ticks) * 1000.0 / static_cast<double>(ticks_per_s);
}
