// One texture for all the frames of an image: the cell layout, the upload, and the sampling test that
// sends a draw to the frame's own texture where the shared one could pick other texels.
#include "backends/gl_common/gl_frame_sheet.h"

#include "backends/gl_common/gl_batch_driver.h"
#include "backends/gl_common/gl_image_frame.h"
#include "render/image.h"
#include "render/texture_pixels.h"

#include <algorithm>
#include <cmath>

namespace {

// Each cell holds its frame inside a one-texel frame of copied edge texels.
constexpr int CELL_BORDER = 1;

// The largest side of a shared texture. Larger images keep a texture per frame.
constexpr int MAX_SHEET_SIDE = 4096;
// Frames of this many pixels or more keep a texture each: a shared one would save at most a bind
// between two large draws, and with the frames' own textures (for their draws on texel edges) it
// would double what is uploaded.
constexpr int MIN_LARGE_FRAME_PIXELS = 128 * 128;
// A side longer than this is not walked pixel by pixel; such a draw takes the frame's own texture.
constexpr double MAX_WALKED_PIXELS = 4096.0;

// Texel coordinates closer than this to a texel edge count as on it. The interpolated coordinate errs
// by about a unit in the last place of the largest texel coordinate involved: measured on the software
// rasteriser, below 2^-13 texel in a texture 4,096 texels wide and 2^-18 in one 64 wide, so about the
// side times 2^-25. The margin is 16 times that, for a side of at least 1,024 texels, which also covers
// coordinates extrapolated across the picture.
double TexelEdgeMargin(int texture_side) {
    constexpr int least_side = 1024;
    constexpr int margin_exponent = -21;
    return std::ldexp(static_cast<double>(std::max(texture_side, least_side)), margin_exponent);
}

struct TSheetLayout {
    int columns = 0;
    int tex_width = 0, tex_height = 0;
};

// The column count whose power-of-two texture is smallest, the squarer one on a tie.
TSheetLayout ChooseLayout(int count, int cell_width, int cell_height) {
    TSheetLayout best;
    long long best_area = 0;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const long long width = static_cast<long long>(columns) * cell_width;
        const long long height = static_cast<long long>(rows) * cell_height;
        if (width > (1 << 30) || height > (1 << 30)) continue;
        const int tw = TextureSizePow2(static_cast<int>(width));
        const int th = TextureSizePow2(static_cast<int>(height));
        const long long area = static_cast<long long>(tw) * th;
        const bool squarer = std::max(tw, th) < std::max(best.tex_width, best.tex_height);
        if (best.columns == 0 || area < best_area || (area == best_area && squarer)) {
            best = {columns, tw, th};
            best_area = area;
        }
    }
    return best;
}

// One axis: screen positions p0 -> p1 show frame texels s0 -> s1. True when every pixel centre from
// p0 to p1 lies clear of the frame's inner texel edges; its outer edges (0 and size) do not count,
// since past them every layout finds a copy of the same edge texel.
bool AxisClearOfTexelEdges(double p0, double p1, double s0, double s1, int size, double margin) {
    const double span = p1 - p0;
    if (!(std::fabs(span) > 0.0) || std::fabs(span) > MAX_WALKED_PIXELS) return false;
    const double texels_per_pixel = (s1 - s0) / span;
    const auto near_edge = [&](double pixel) {
        const double s = s0 + (pixel + 0.5 - p0) * texels_per_pixel;
        const double edge = std::nearbyint(s);
        return edge > 0.0 && edge < size && std::fabs(s - edge) < margin;
    };
    const double first = std::floor(std::min(p0, p1));
    const double last = std::ceil(std::max(p0, p1));
    // One texel per pixel: every centre has the same fraction, and a frame of two or more texels has
    // an inner edge under the quad.
    if (std::fabs(texels_per_pixel) == 1.0) {
        const double s = s0 + (first + 0.5 - p0) * texels_per_pixel;
        return size < 2 || std::fabs(s - std::nearbyint(s)) >= margin;
    }
    for (double pixel = first; pixel <= last; pixel += 1.0) {
        if (near_edge(pixel)) return false;
    }
    return true;
}

} // namespace

std::vector<TImageFramePtr> CreateSheetFrames(TGLBatchDriver& driver, const std::vector<TPixmapPtr>& pixmaps,
                                              int flags) {
    if (pixmaps.size() < 2 || (flags & (IMAGE_MIPMAPPED | IMAGE_FILTERED)) != 0) return {};
    const TPixmapPtr& first = pixmaps.front();
    if (!first || first->width <= 0 || first->height <= 0) return {};
    const int w = first->width, h = first->height;
    if (w * h >= MIN_LARGE_FRAME_PIXELS) return {};
    for (const TPixmapPtr& p : pixmaps) {
        if (!p || p->width != w || p->height != h) return {};
    }
    const int cell_width = w + 2 * CELL_BORDER, cell_height = h + 2 * CELL_BORDER;
    const int count = static_cast<int>(pixmaps.size());
    const TSheetLayout layout = ChooseLayout(count, cell_width, cell_height);
    if (layout.columns == 0 || std::max(layout.tex_width, layout.tex_height) > MAX_SHEET_SIDE ||
        !driver.TextureSizeAccepted(layout.tex_width, layout.tex_height))
        return {};

    TPixmapPtr sheet = CreatePixmap(layout.tex_width, layout.tex_height, PF_RGBA8888);
    if (!sheet) return {};
    // Texels outside the cells are never sampled; keep them defined so every upload is the same.
    sheet->ClearPixels(0);
    for (int i = 0; i < count; ++i) {
        const TPixmapPtr& p = pixmaps[static_cast<size_t>(i)];
        const TPixmapPtr rgba = p->format == PF_RGBA8888 ? p : p->Convert(PF_RGBA8888);
        if (!rgba) return {};
        PasteFramed(*sheet, *rgba, (i % layout.columns) * cell_width + CELL_BORDER,
                    (i / layout.columns) * cell_height + CELL_BORDER);
    }

    // Each frame's own texture is made now as well, for the draws that need it: made on that first
    // need instead, it would be a texture upload in the middle of a frame of play.
    std::vector<std::shared_ptr<TGLImageFrame>> alone;
    for (const TPixmapPtr& p : pixmaps) {
        alone.push_back(TGLImageFrame::CreateFromPixmap(driver, p, flags));
        if (!alone.back()) return {};
    }
    const std::shared_ptr<TGLTexture> texture = UploadGLTexture(driver, sheet, flags);
    const auto tw = static_cast<float>(layout.tex_width), th = static_cast<float>(layout.tex_height);
    std::vector<TImageFramePtr> frames;
    frames.reserve(pixmaps.size());
    for (int i = 0; i < count; ++i) {
        const int x = (i % layout.columns) * cell_width + CELL_BORDER;
        const int y = (i / layout.columns) * cell_height + CELL_BORDER;
        auto frame = std::make_shared<TGLImageFrame>(driver);
        frame->texture = texture;
        frame->name = texture->name;
        frame->seq = texture->seq;
        frame->u0 = static_cast<float>(x) / tw;
        frame->v0 = static_cast<float>(y) / th;
        frame->u1 = static_cast<float>(x + w) / tw;
        frame->v1 = static_cast<float>(y + h) / th;
        frame->width = w;
        frame->height = h;
        frame->SetAlone(alone[static_cast<size_t>(i)], std::max(layout.tex_width, layout.tex_height));
        frames.push_back(std::move(frame));
    }
    return frames;
}

bool SamplesAlikeInAnyTexture(const TGLBatchDriver& driver, float x0, float y0, float x1, float y1, float tx,
                              float ty, float s0, float t0, float s1, float t1, int frame_width,
                              int frame_height, int texture_side) {
    if (!driver.Upright()) return false;
    // The corners exactly as the driver places the quad's vertices.
    float ax = 0.0f, ay = 0.0f, bx = 0.0f, by = 0.0f;
    driver.PlacePoint(x0, y0, tx, ty, ax, ay);
    driver.PlacePoint(x1, y1, tx, ty, bx, by);
    const double margin = TexelEdgeMargin(texture_side);
    return AxisClearOfTexelEdges(ax, bx, s0, s1, frame_width, margin) &&
           AxisClearOfTexelEdges(ay, by, t0, t1, frame_height, margin);
}
