// What the install and package tests share: the installed file list, a staged install, shell commands.
#pragma once

#include "tests/game_process.h"

#include <filesystem>
#include <set>
#include <string>
#include <utility>

// Every file the install puts down, relative to the prefix.
std::set<std::string> expected_install_files();

// Regular files under `root`, relative to it.
std::set<std::string> files_under(const std::filesystem::path& root);

struct command_result {
    int status = -1;
    std::string output;
};

// Runs a shell command with its standard error joined to its output.
command_result run_command(const std::string& command);

// The text as one word for the shell.
std::string shell_quoted(const std::string& text);

// The width and height in a PNG file's header.
std::pair<uint32_t, uint32_t> png_size(const std::filesystem::path& path);

// `cmake --install` of the build into the staging folder, with the prefix a package uses; the
// prefix's path in the staging folder, or empty after a test failure naming the command's output.
std::filesystem::path install_staged(const std::string& stage);
