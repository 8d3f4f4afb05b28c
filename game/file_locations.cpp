// The choice of the sounds' and the saved files' folders, and the paths placed in them.
#include "game/file_locations.h"

#include "platform/filesystem.h"
#include "platform/paths.h"

namespace {

// From the installed executable to its data: set by the build from the install layout, so that the
// two cannot drift apart, and relative, so that a moved or unpacked tree still finds its data.
constexpr const char* installed_data_from_executable = INSTALLED_DATA_FROM_EXECUTABLE;

// The folder as the game has always named it; "data" matches "Data" and "DATA" too.
constexpr const char* working_data_folder = "data";

// Only the player may list or read the saved files.
constexpr unsigned private_folder_mode = 0700;

file_locations current;

std::string file_name(const std::string& game_path) {
    const size_t slash = game_path.find_last_of("\\/");
    return slash == std::string::npos ? game_path : game_path.substr(slash + 1);
}

} // namespace

file_locations choose_file_locations(const std::string& data_dir_option, const std::string& executable_dir) {
    file_locations chosen;
    if (!data_dir_option.empty()) {
        chosen.working_dir = false;
        chosen.data = chosen.saves = data_dir_option;
        return chosen;
    }
    if (GetPathType(working_data_folder) == 2) return chosen;
    const std::string installed =
        executable_dir.empty() ? std::string() : executable_dir + "/" + installed_data_from_executable;
    if (installed.empty() || GetPathType(installed) != 2) return chosen;
    chosen.working_dir = false;
    chosen.data = installed;
    const std::string user_data = UserDataHome();
    if (!user_data.empty()) chosen.saves = user_data + "/" + game_folder_name;
    chosen.private_saves = true;
    return chosen;
}

void set_file_locations(const file_locations& locations) {
    current = locations;
}

const file_locations& current_file_locations() {
    return current;
}

std::string data_file_path(const std::string& game_path) {
    return current.working_dir ? game_path : current.data + "/" + file_name(game_path);
}

std::string save_file_path(const std::string& game_path) {
    if (current.working_dir) return game_path;
    return current.saves.empty() ? std::string() : current.saves + "/" + file_name(game_path);
}

std::string prepare_save_folder() {
    if (current.working_dir) return {};
    if (current.saves.empty()) return "no home folder to keep it in (HOME and XDG_DATA_HOME are unset)";
    if (!current.private_saves) return {};
    return CreateDirectories(current.saves, private_folder_mode);
}
