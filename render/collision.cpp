// Pixel-exact collisions: the quad store with its 32 layers and free list, and the scan-line rasteriser
// that walks two placed frames row by row and compares their mask pixels in a line buffer.
#include "render/collision.h"

#include "render/draw2d.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <utility>

namespace {

constexpr int CHANNELS = 4; // x, y, u, v per vertex
constexpr int QUAD_VERTICES = 4;
constexpr int MAX_POLYGONS = 8; // per scan; a collision test scans two
constexpr unsigned ALL_LAYERS = 0xffffffffu;

// Per-polygon state of the rasteriser. Edge indices count floats into `data` (vertex index x channels).
struct rpoly {
    const TPixmap* texture = nullptr; // the mask, or null for a solid polygon
    std::array<float, QUAD_VERTICES * CHANNELS> data{};
    int channels = CHANNELS;
    int count = QUAD_VERTICES;
    int size = QUAD_VERTICES * CHANNELS;
    // Channel values at the centre of the current row on the left and right edge, and their steps per row.
    std::array<float, CHANNELS> ldat{}, ladd{}, rdat{}, radd{};
    int Left = 0, Right = 0; // the vertex that ends the current left / right edge
    int top = 0;             // the polygon's first row
    int state = 0;           // 0 not yet reached, 1 active, 2 finished
    int alpha_offset = 3;    // byte of the alpha value inside a mask pixel
    int bytes_per_pixel = 4;
};

std::array<TQuad*, COLLISION_LAYER_COUNT> g_layers{};
TQuad* g_free_quads = nullptr;
// Owns every quad ever made; layers and the free list only link them, so quads are reused, never freed.
std::vector<std::unique_ptr<TQuad>> g_quad_pool;
// One entry per pixel of the overlapping part of a row: 0 free, -1 taken by a solid pixel.
std::vector<int> g_line;

TQuad* NewQuad() {
    if (g_free_quads) {
        TQuad* q = g_free_quads;
        g_free_quads = q->link;
        q->link = nullptr;
        return q;
    }
    g_quad_pool.push_back(std::make_unique<TQuad>());
    return g_quad_pool.back().get();
}

// Pixel rows are the truncated vertex y values (toward zero, as every pixel test of the system).
int RowOf(const rpoly& p, int index) {
    return static_cast<int>(p.data[index + 1]);
}

void ReverseVertices(rpoly& p) {
    for (int lo = 0, hi = p.count - 1; lo < hi; ++lo, --hi) {
        for (int c = 0; c < p.channels; ++c)
            std::swap(p.data[lo * p.channels + c], p.data[hi * p.channels + c]);
    }
}

// Orders the vertices so that walking backwards from the top vertex follows the left side of the
// polygon on screen (y downward) and forwards the right side, then finds the top vertex.
void PreparePolygon(rpoly& p) {
    const float* d = p.data.data();
    const int ch = p.channels;
    bool all_non_negative = true;
    for (int k = 2; k < p.count; ++k) {
        const float xk = d[k * ch], yk = d[k * ch + 1];
        const float xp = d[(k - 1) * ch], yp = d[(k - 1) * ch + 1];
        const int c = static_cast<int>((xk - xp) * (yp - d[1]) - (xp - d[0]) * (yk - yp));
        if (c < 0) all_non_negative = false;
    }
    if (all_non_negative) ReverseVertices(p);

    int top_index = 0;
    for (int i = ch; i < p.size; i += ch) {
        if (RowOf(p, i) < RowOf(p, top_index)) top_index = i;
    }
    p.Left = p.Right = top_index;
    p.top = RowOf(p, top_index);
    p.state = 0;
}

// Moves one edge of the polygon past row y: walks from `end` in steps of `step` floats (wrapping) over
// the vertices on or above the row; the new edge runs from the last of them to the first vertex below.
// False when the walk went all the way round: the polygon has no more rows.
bool NextEdge(rpoly& p, int y, int step, int& end, std::array<float, CHANNELS>& dat,
              std::array<float, CHANNELS>& add) {
    const int start = end;
    int a = start;
    int b = (a + step + p.size) % p.size;
    while (true) {
        if (b == start) return false;
        if (RowOf(p, b) > y) break;
        a = b;
        b = (b + step + p.size) % p.size;
    }
    const int rows = RowOf(p, b) - RowOf(p, a);
    if (rows < 1) return false;
    for (int c = 0; c < p.channels; ++c) {
        add[c] = (p.data[b + c] - p.data[a + c]) / static_cast<float>(rows);
        // Sample at the vertical centre of the row.
        dat[c] = p.data[a + c] + add[c] * 0.5f;
    }
    end = b;
    return true;
}

// Compares the active polygons on one row where the first two overlap; -1 when two solid pixels meet.
int SpanOverlapTest(rpoly* const* active, int count) {
    if (count < 2) return 0;
    int startx = static_cast<int>(active[0]->ldat[0]);
    int endx = static_cast<int>(active[0]->rdat[0]);
    const int x0 = static_cast<int>(active[1]->ldat[0]);
    const int x1 = static_cast<int>(active[1]->rdat[0]);
    if (x0 >= endx || startx >= x1) return 0;
    startx = std::max(startx, x0);
    endx = std::min(endx, x1);
    const int width = endx - startx;
    if (width <= 0) return 0;

    if (static_cast<int>(g_line.size()) < width) g_line.resize(static_cast<size_t>(width));
    int* line = g_line.data();
    std::fill(line, line + width, 0);

    for (int i = 0; i < count; ++i) {
        const rpoly& p = *active[i];
        if (!p.texture) {
            for (int x = 0; x < width; ++x) {
                if (line[x] != 0) return -1;
                line[x] = -1;
            }
            continue;
        }
        const TPixmap& mask = *p.texture;
        const int xa = static_cast<int>(p.ldat[0]);
        const int xb = static_cast<int>(p.rdat[0]);
        const int w = xb - xa;
        if (w < 1 || mask.width < 1 || mask.height < 1) continue;
        float u = p.ldat[2];
        float v = p.ldat[3];
        const float du = (p.rdat[2] - u) / static_cast<float>(w);
        const float dv = (p.rdat[3] - v) / static_cast<float>(w);
        // Texture coordinates at the centre of the first overlapping pixel.
        const float s = static_cast<float>(startx - xa) + 0.5f;
        u += du * s;
        v += dv * s;
        const float mask_w = static_cast<float>(mask.width);
        const float mask_h = static_cast<float>(mask.height);
        for (int x = 0; x < width; ++x) {
            const float cu = std::clamp(u, 0.0f, 1.0f);
            const float cv = std::clamp(v, 0.0f, 1.0f);
            const int column = std::min(static_cast<int>(cu * mask_w), mask.width - 1);
            const int row = std::min(static_cast<int>(cv * mask_h), mask.height - 1);
            const uint8_t alpha = mask.pixels[row * mask.pitch + column * p.bytes_per_pixel + p.alpha_offset];
            if (alpha >= 128) {
                if (line[x] != 0) return -1;
                line[x] = -1;
            }
            u += du;
            v += dv;
        }
    }
    return 0;
}

// Walks the polygons row by row from the topmost vertex row to the row above the lowest one, running
// the span test on every row where any polygon is active; stops at the first hit (-1).
int ScanPolygons(rpoly* polys, int count) {
    int first_row = INT_MAX;
    int last_row = INT_MIN;
    for (int i = 0; i < count; ++i) {
        rpoly& p = polys[i];
        PreparePolygon(p);
        for (int v = 0; v < p.size; v += p.channels) {
            first_row = std::min(first_row, RowOf(p, v));
            last_row = std::max(last_row, RowOf(p, v));
        }
    }

    // In the order the polygons became active; the span test compares the first two.
    assert(count <= MAX_POLYGONS && "too many polygons for one scan");
    rpoly* active[MAX_POLYGONS] = {};
    int active_count = 0;
    auto finish = [&](rpoly& p) {
        p.state = 2;
        rpoly** end = std::remove(active, active + active_count, &p);
        active_count = static_cast<int>(end - active);
    };
    auto activate = [&](rpoly& p) {
        if (p.state != 0) return;
        p.state = 1;
        active[active_count++] = &p;
    };

    int answer = 0;
    for (int y = first_row; y < last_row; ++y) {
        for (int i = 0; i < count; ++i) {
            rpoly& p = polys[i];
            if (p.state == 2 || y < p.top) continue;
            if (y >= RowOf(p, p.Left)) {
                if (!NextEdge(p, y, -p.channels, p.Left, p.ldat, p.ladd)) {
                    finish(p);
                    continue;
                }
                activate(p);
            }
            if (y >= RowOf(p, p.Right)) {
                if (!NextEdge(p, y, p.channels, p.Right, p.rdat, p.radd)) {
                    finish(p);
                    continue;
                }
                activate(p);
            }
        }
        if (active_count > 0) {
            answer = SpanOverlapTest(active, active_count);
            if (answer < 0) return answer;
        }
        for (int i = 0; i < active_count; ++i) {
            rpoly* p = active[i];
            for (int c = 0; c < p->channels; ++c) {
                p->ldat[c] += p->ladd[c];
                p->rdat[c] += p->radd[c];
            }
        }
    }
    return answer;
}

void LoadPolygon(rpoly& p, const TQuad& q) {
    p.texture = q.mask.get();
    p.data = q.xyuv;
    if (p.texture) {
        p.bytes_per_pixel = PixmapBytesPerPixel(p.texture->format);
        // A one-byte alpha pixmap is its own alpha; the four-byte formats keep alpha last.
        p.alpha_offset = p.bytes_per_pixel - 1;
    }
}

// Places the local rectangle (hx, hy)-(hx + w, hy + h) at (x, y) + origin under the collision
// transform, corner by corner exactly as a drawn image's quad.
void PlaceQuad(TQuad& q, float hx, float hy, float w, float h, float x, float y) {
    float ox = 0.0f, oy = 0.0f;
    GetOrigin(ox, oy);
    float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
    GetCollisionTransform(ix, iy, jx, jy);
    const float tx = x + ox;
    const float ty = y + oy;
    const float lx[4] = {hx, hx + w, hx + w, hx};
    const float ly[4] = {hy, hy, hy + h, hy + h};
    float sx[4], sy[4];
    for (int i = 0; i < 4; ++i) {
        sx[i] = lx[i] * ix + ly[i] * iy + tx;
        sy[i] = lx[i] * jx + ly[i] * jy + ty;
    }
    q.SetCoords(sx[0], sy[0], sx[1], sy[1], sx[2], sy[2], sx[3], sy[3]);
}

// Tests the probe against the chosen layers (appending hit ids to `hits` when given), then stores
// copies of it in the write layers. Returns the number of hits.
int CollideQuadLayers(const TQuad& probe, unsigned collide_mask, unsigned write_mask, const TCollisionId& id,
                      std::vector<TCollisionId>* hits) {
    int hit_count = 0;
    for (int layer = 0; layer < COLLISION_LAYER_COUNT; ++layer) {
        if ((collide_mask & (1u << layer)) == 0) continue;
        for (const TQuad* q = g_layers[layer]; q; q = q->link) {
            if (!QuadsOverlap(probe, *q)) continue;
            if (hits) {
                // Grown to (count + 4) x 1.2 entries when full, cut to the hit count below.
                if (hit_count == static_cast<int>(hits->size())) {
                    hits->resize(static_cast<size_t>(static_cast<int>((hit_count + 4) * 1.2)));
                }
                (*hits)[static_cast<size_t>(hit_count)] = q->id;
            }
            ++hit_count;
        }
    }
    if (hits) hits->resize(static_cast<size_t>(hit_count));

    for (int layer = 0; layer < COLLISION_LAYER_COUNT; ++layer) {
        if ((write_mask & (1u << layer)) == 0) continue;
        TQuad* q = NewQuad();
        q->id = id;
        q->mask = probe.mask;
        q->frame = probe.frame;
        q->minx = probe.minx;
        q->miny = probe.miny;
        q->maxx = probe.maxx;
        q->maxy = probe.maxy;
        q->xyuv = probe.xyuv;
        q->link = g_layers[layer];
        g_layers[layer] = q;
    }
    return hit_count;
}

// The probe quad of an image frame; false for a null image, which has nothing to collide with.
bool ImageQuad(TQuad& q, const TImagePtr& image, float x, float y, int frame) {
    if (!image) return false;
    // Locking makes an empty (transparent) pixmap for a frame that has none.
    TPixmapPtr pixmap = image->Lock(frame, 1, 0);
    q.mask = pixmap && PixmapFormatHasAlpha(pixmap->format) ? pixmap : nullptr;
    q.frame = frame;
    PlaceQuad(q, -image->handle_x, -image->handle_y, static_cast<float>(image->width),
              static_cast<float>(image->height), x, y);
    return true;
}

} // namespace

void TQuad::SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    xyuv = {x0, y0, 0.0f, 0.0f, x1, y1, 1.0f, 0.0f, x2, y2, 1.0f, 1.0f, x3, y3, 0.0f, 1.0f};
    minx = std::min({x0, x1, x2, x3});
    maxx = std::max({x0, x1, x2, x3});
    miny = std::min({y0, y1, y2, y3});
    maxy = std::max({y0, y1, y2, y3});
}

bool QuadsOverlap(const TQuad& a, const TQuad& b) {
    if (a.maxx < b.minx || a.maxy < b.miny || a.minx > b.maxx || a.miny > b.maxy) return false;
    rpoly polys[2];
    LoadPolygon(polys[0], a);
    LoadPolygon(polys[1], b);
    return ScanPolygons(polys, 2) < 0;
}

void ClearCollisionLayers(unsigned layer_mask) {
    if (layer_mask == 0) layer_mask = ALL_LAYERS;
    for (int layer = 0; layer < COLLISION_LAYER_COUNT; ++layer) {
        if ((layer_mask & (1u << layer)) == 0) continue;
        while (TQuad* q = g_layers[layer]) {
            g_layers[layer] = q->link;
            q->id.reset();
            q->mask.reset();
            q->link = g_free_quads;
            g_free_quads = q;
        }
    }
}

std::vector<TCollisionId> CollideImageLayers(const TImagePtr& image, float x, float y, int frame,
                                             unsigned collide_mask, unsigned write_mask,
                                             const TCollisionId& id) {
    std::vector<TCollisionId> hits;
    TQuad probe;
    if (!ImageQuad(probe, image, x, y, frame)) return hits;
    CollideQuadLayers(probe, collide_mask, write_mask, id, &hits);
    return hits;
}

std::vector<TCollisionId> CollideRectLayers(float x, float y, float w, float h, unsigned collide_mask,
                                            unsigned write_mask, const TCollisionId& id) {
    std::vector<TCollisionId> hits;
    TQuad probe;
    PlaceQuad(probe, 0.0f, 0.0f, w, h, x, y);
    CollideQuadLayers(probe, collide_mask, write_mask, id, &hits);
    return hits;
}

int ImagesCollide(const TImagePtr& image1, int x1, int y1, int frame1, const TImagePtr& image2, int x2,
                  int y2, int frame2) {
    ClearCollisionLayers(COLLISION_SCRATCH_LAYER);
    TQuad probe;
    if (ImageQuad(probe, image1, static_cast<float>(x1), static_cast<float>(y1), frame1)) {
        CollideQuadLayers(probe, 0, COLLISION_SCRATCH_LAYER, nullptr, nullptr);
    }
    if (!ImageQuad(probe, image2, static_cast<float>(x2), static_cast<float>(y2), frame2)) return 0;
    return CollideQuadLayers(probe, COLLISION_SCRATCH_LAYER, 0, nullptr, nullptr) > 0 ? 1 : 0;
}

int ImagesCollideTransformed(const TImagePtr& image1, int x1, int y1, int frame1, float rotation1,
                             float scale_x1, float scale_y1, const TImagePtr& image2, int x2, int y2,
                             int frame2, float rotation2, float scale_x2, float scale_y2) {
    const float saved_rotation = GetRotation();
    float saved_scale_x = 1.0f, saved_scale_y = 1.0f;
    GetScale(saved_scale_x, saved_scale_y);

    ClearCollisionLayers(COLLISION_SCRATCH_LAYER);
    TQuad probe;
    SetRotationScale(rotation1, scale_x1, scale_y1);
    if (ImageQuad(probe, image1, static_cast<float>(x1), static_cast<float>(y1), frame1)) {
        CollideQuadLayers(probe, 0, COLLISION_SCRATCH_LAYER, nullptr, nullptr);
    }
    SetRotationScale(rotation2, scale_x2, scale_y2);
    int answer = 0;
    if (ImageQuad(probe, image2, static_cast<float>(x2), static_cast<float>(y2), frame2)) {
        answer = CollideQuadLayers(probe, COLLISION_SCRATCH_LAYER, 0, nullptr, nullptr) > 0 ? 1 : 0;
    }
    SetRotationScale(saved_rotation, saved_scale_x, saved_scale_y);
    return answer;
}

int CollisionLayerSize(int layer) {
    assert(layer >= 0 && layer < COLLISION_LAYER_COUNT && "collision layer out of range");
    int n = 0;
    for (const TQuad* q = g_layers[layer]; q; q = q->link) ++n;
    return n;
}

int CollisionFreeQuadCount() {
    int n = 0;
    for (const TQuad* q = g_free_quads; q; q = q->link) ++n;
    return n;
}
