// Where every frame sits in the game's picture files: file names, sheet sizes and frame rectangles.
#pragma once

#include <string>
#include <vector>

struct FrameRect {
    int x, y, w, h;
};

struct SheetFrames {
    std::string name; // the game's image it is cut into, for the contact sheet
    std::vector<FrameRect> frames;
};

namespace layout {

constexpr int kSpriteSheetW = 317, kSpriteSheetH = 285;
constexpr int kBorderSheetW = 89, kBorderSheetH = 12;
constexpr int kMoonSheetW = 600, kMoonSheetH = 308;
constexpr int kSpaceW = 300, kSpaceH = 155;
constexpr int kOverlayW = 640, kOverlayH = 480;
constexpr int kPointerSize = 18;
constexpr int kMakerLogoW = 420, kMakerLogoH = 236;

inline FrameRect player(int i) {
    return {1 + 41 * (i % 5), 1 + 28 * (i / 5), 40, 27};
}
inline FrameRect particle(int i) {
    return {208 + 8 * i, 1, 7, 7};
}
inline FrameRect wheel() {
    return {208, 11, 20, 18};
}
inline FrameRect lazer(int i) {
    return {208 + 9 * i, 32, 8, 6};
}
inline FrameRect surface(int i) {
    return {1 + 151 * i, 59, 150, 70};
}
inline FrameRect title() {
    return {7, 137, 299, 30};
}
inline FrameRect logo() {
    return {4, 168, 310, 82};
}
inline FrameRect tank(int i) {
    return {1 + 56 * i, 255, 55, 25};
}
inline FrameRect border(int i) {
    return {1 + 11 * i, 1, 10, 10};
}
inline FrameRect moon(int i) {
    return {300 * i, 0, 300, 298};
}

// The sprite sheet's images in the order the game cuts them.
inline std::vector<SheetFrames> sprite_sheet_images() {
    std::vector<SheetFrames> all;
    all.push_back({"img_title", {title()}});
    all.push_back({"img_logo", {logo()}});
    all.push_back({"img_wheel", {wheel()}});
    all.push_back({"img_surface", {surface(0), surface(1)}});
    SheetFrames p{"img_player", {}};
    for (int i = 0; i < 10; ++i) p.frames.push_back(player(i));
    all.push_back(p);
    SheetFrames d{"img_particle", {}};
    for (int i = 0; i < 5; ++i) d.frames.push_back(particle(i));
    all.push_back(d);
    SheetFrames t{"img_tank", {}};
    for (int i = 0; i < 5; ++i) t.frames.push_back(tank(i));
    all.push_back(t);
    all.push_back({"img_lazer", {lazer(0), lazer(1), lazer(2)}});
    return all;
}

} // namespace layout
