// Assembles the sprite sheet: every frame is drawn on its own canvas and copied to its rectangle, so
// nothing spills into a neighbour and the one-pixel gaps between frames stay black.
#include "tools/assetgen/art.h"
#include "tools/assetgen/layout.h"

namespace {

template <class Draw> void place(Canvas& sheet, const FrameRect& r, Draw draw) {
    Canvas frame(r.w, r.h);
    draw(frame);
    sheet.copy_rect(frame, 0, 0, r.w, r.h, r.x, r.y);
}

} // namespace

Canvas make_sprite_sheet() {
    Canvas sheet(layout::kSpriteSheetW, layout::kSpriteSheetH);
    for (int i = 0; i < 10; ++i)
        place(sheet, layout::player(i), [&](Canvas& c) { draw_player(c, i % 5, i / 5); });
    for (int i = 0; i < 5; ++i) place(sheet, layout::particle(i), [&](Canvas& c) { draw_particle(c, i); });
    place(sheet, layout::wheel(), [](Canvas& c) { draw_wheel(c); });
    for (int i = 0; i < 3; ++i) place(sheet, layout::lazer(i), [&](Canvas& c) { draw_lazer(c, i); });
    for (int i = 0; i < 2; ++i) place(sheet, layout::surface(i), [&](Canvas& c) { draw_surface_tile(c, i); });
    place(sheet, layout::title(), [](Canvas& c) { draw_title(c); });
    place(sheet, layout::logo(), [](Canvas& c) { draw_game_logo(c); });
    for (int i = 0; i < 5; ++i) place(sheet, layout::tank(i), [&](Canvas& c) { draw_tank(c, i); });
    return sheet;
}
