// Command-line options of the game: display, determinism, recording, replay, tracing and screenshots.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct screenshot_request {
    int64_t frame = 0; // the presented frame whose picture is saved, counted from 1
    std::string path;
};

struct game_options {
    std::string video = "sdl"; // the video back-end: "sdl" or "null" (no display)
    std::string renderer;      // the drawing back-end of "sdl": "gl1", "gles2", empty: the first that opens
    bool windowed = false;
    int scale = 1;
    std::optional<uint32_t> seed; // replaces the clock seed
    int64_t frames = 0;           // 0: run until the player quits
    bool unpaced = false;
    std::string record_path;
    std::string replay_path;
    std::string trace_path;
    std::string timedemo_path; // replay unpaced and print frame-time statistics
    bool startup_time = false; // print the time from start to the first presented frame
    std::vector<screenshot_request> screenshots;
    std::string data_dir; // the folder of the sounds and the saved files; empty: chosen at start-up
    bool help = false;
};

// The result of parsing: the options, or the one-line message for a bad command line.
struct parse_result {
    game_options options;
    std::string error;
};

parse_result parse_options(const std::vector<std::string>& args);

const char* options_help_text();
