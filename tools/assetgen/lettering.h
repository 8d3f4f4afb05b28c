// Bold display lettering for the title and logos, built from straight strokes on a 4 x 6 grid.
#pragma once

#include "tools/assetgen/canvas.h"

#include <string>
#include <vector>

class Lettering {
public:
    // Lays out text with its top-left corner at (x, y). unit: pixels per vertical grid step (a glyph is 4
    // steps wide and 6 high between stroke centres); stretch: horizontal steps are unit x stretch pixels;
    // stroke: stroke width in vertical grid steps; italic: x shift per pixel upwards; gap: space between
    // glyphs in horizontal grid steps.
    Lettering(const std::string& text, float x, float y, float unit, float stretch, float stroke,
              float italic, float gap);

    // Signed distance in pixels to the lettering, negative inside.
    float sdf(Vec p) const;
    // Outer size of the laid out text in pixels, strokes included, italic not.
    float width() const { return width_; }
    float height() const { return height_; }
    // Vertical position within the letters, 0 at the top of the strokes and 1 at their bottom.
    float rel_y(Vec p) const { return (p.y - top_) / height_; }

private:
    // A stroke from a to b; the ends at a glyph's line ends are squared off, the others are butt ends
    // whose bends are filled by a mitre joint.
    struct Segment {
        Vec a, b;
        float ext_a, ext_b;
    };
    // The mitre of a bend: the overlap of the two strokes' infinite strips around their shared point.
    struct Joint {
        Vec at, dir1, dir2;
    };
    std::vector<Segment> segments_;
    std::vector<Joint> joints_;
    float half_stroke_;
    float top_, height_, width_;
    float italic_, mid_y_;
};
