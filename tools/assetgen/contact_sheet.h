// Review pictures for people: every frame enlarged on dark and light backgrounds, and a mock game screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One finished picture file as the game will load it.
struct Picture {
    std::string file; // path below the output root, e.g. "assets/graphx/dmpointer.png"
    int w = 0, h = 0, channels = 3;
    std::vector<uint8_t> bytes;
};

// Writes contact_sheet.png and scene_preview.png into dir. Returns false when a file cannot be written.
bool write_review_pictures(const std::string& dir, const std::vector<Picture>& pictures);
