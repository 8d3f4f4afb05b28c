// Builds the review pictures from the finished 8-bit files, with black treated as transparent exactly as
// the game treats it, so what is seen here is what the game shows.
#include "tools/assetgen/contact_sheet.h"

#include "tools/assetgen/layout.h"
#include "tools/assetgen/png_writer.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
};

class Board {
public:
    Board(int w, int h, Rgb8 fill)
        : w_(w)
        , h_(h)
        , px_(static_cast<size_t>(w) * h, fill) {}
    void rect(int x, int y, int w, int h, Rgb8 c) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) set(i, j, c);
    }
    void set(int x, int y, Rgb8 c) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
    }
    // Draws a source pixel: RGB pictures are masked by black, RGBA ones blend by alpha; tint multiplies.
    void put(int x, int y, const Picture& pic, int sx, int sy, const float tint[3], bool additive = false) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
        const uint8_t* s = pic.bytes.data() + (static_cast<size_t>(sy) * pic.w + sx) * pic.channels;
        float a = 1.0f;
        if (pic.channels == 4)
            a = s[3] / 255.0f;
        else if (s[0] == 0 && s[1] == 0 && s[2] == 0)
            return;
        Rgb8& d = px_[static_cast<size_t>(y) * w_ + x];
        auto chan = [&](uint8_t dst, uint8_t src, float t) {
            const float v = src * t;
            const float out = additive ? dst + v * a : dst * (1.0f - a) + v * a;
            return static_cast<uint8_t>(std::min(255.0f, out));
        };
        d = {chan(d.r, s[0], tint[0]), chan(d.g, s[1], tint[1]), chan(d.b, s[2], tint[2])};
    }
    void draw(const Picture& pic, FrameRect r, int x, int y, int scale, const float tint[3],
              bool additive = false) {
        for (int j = 0; j < r.h * scale; ++j)
            for (int i = 0; i < r.w * scale; ++i)
                put(x + i, y + j, pic, r.x + i / scale, r.y + j / scale, tint, additive);
    }
    bool save(const std::string& path) const {
        std::vector<uint8_t> bytes;
        bytes.reserve(px_.size() * 3);
        for (const Rgb8& p : px_) bytes.insert(bytes.end(), {p.r, p.g, p.b});
        return write_png(path, w_, h_, 3, bytes);
    }

private:
    int w_, h_;
    std::vector<Rgb8> px_;
};

const float kWhite[3] = {1.0f, 1.0f, 1.0f};
const Rgb8 kDark{0, 0, 0}, kLight{200, 200, 205}, kPage{48, 48, 56};

const Picture* find(const std::vector<Picture>& all, const std::string& suffix) {
    for (const Picture& p : all)
        if (p.file.size() >= suffix.size() &&
            p.file.compare(p.file.size() - suffix.size(), suffix.size(), suffix) == 0)
            return &p;
    return nullptr;
}

// Lays frames out in rows, each on a dark and a light tile.
class Flow {
public:
    Flow(Board& b, int width)
        : board_(b)
        , width_(width) {}
    void add(const Picture& pic, FrameRect r, int scale) {
        const int w = r.w * scale + 4, h = r.h * scale + 4;
        if (x_ + 2 * w + 8 > width_) newline();
        board_.rect(x_, y_, w, h, kDark);
        board_.draw(pic, r, x_ + 2, y_ + 2, scale, kWhite);
        board_.rect(x_ + w + 2, y_, w, h, kLight);
        board_.draw(pic, r, x_ + w + 4, y_ + 2, scale, kWhite);
        x_ += 2 * w + 10;
        row_h_ = std::max(row_h_, h);
    }
    void newline() {
        x_ = 8;
        y_ += row_h_ + 8;
        row_h_ = 0;
    }
    int y() const { return y_ + row_h_; }

private:
    Board& board_;
    int width_;
    int x_ = 8, y_ = 8, row_h_ = 0;
};

bool contact_sheet(const std::string& path, const std::vector<Picture>& all) {
    const Picture* sheet = find(all, "Brakkovane_sf.png");
    const Picture* border = find(all, "RetroBorderSpr.png");
    const Picture* pointer = find(all, "dmpointer.png");
    const Picture* moon = find(all, "Brakkovane_ms.png");
    const Picture* space = find(all, "Brakkovane_sp.png");
    const Picture* overlay = find(all, "Brakkovane_bg.png");
    const Picture* maker = find(all, "ovlogo.png");
    if (!sheet || !border || !pointer || !moon || !space || !overlay || !maker) return false;

    const int width = 1960;
    Board board(width, 2900, kPage);
    Flow flow(board, width);
    for (const SheetFrames& img : layout::sprite_sheet_images()) {
        for (const FrameRect& r : img.frames) flow.add(*sheet, r, 3);
        flow.newline();
    }
    for (int i = 0; i < 8; ++i) flow.add(*border, layout::border(i), 3);
    flow.add(*pointer, {0, 0, 18, 18}, 3);
    flow.newline();

    // The border pieces assembled into a small frame, and the layer tiles side by side in the order the
    // game places them, to check that they join.
    int y = flow.y() + 10;
    board.rect(8, y, 3 * 130, 3 * 70, kDark);
    auto piece = [&](int frame, int px, int py) {
        board.draw(*border, layout::border(frame), 8 + 3 * px, y + 3 * py, 3, kWhite);
    };
    for (int i = 0; i < 11; ++i) {
        piece(2, 10 + 10 * i, 0);
        piece(6, 10 + 10 * i, 60);
    }
    for (int i = 0; i < 5; ++i) {
        piece(0, 0, 10 + 10 * i);
        piece(4, 120, 10 + 10 * i);
    }
    piece(1, 0, 0);
    piece(3, 120, 0);
    piece(5, 0, 60);
    piece(7, 120, 60);
    const int sx = 8 + 3 * 130 + 16;
    board.rect(sx, y, 4 * 150 * 2, 70 * 2, kDark);
    const int order[4] = {0, 1, 0, 0};
    for (int i = 0; i < 4; ++i) board.draw(*sheet, layout::surface(order[i]), sx + 300 * i, y, 2, kWhite);
    y += 3 * 70 + 16;

    // Large pictures at their own size.
    board.rect(8, y, 900, 298, kDark);
    board.draw(*moon, layout::moon(1), 8, y, 1, kWhite);
    board.draw(*moon, layout::moon(0), 308, y, 1, kWhite);
    board.draw(*moon, layout::moon(1), 608, y, 1, kWhite);
    board.rect(916, y, 600, 155, kDark);
    board.draw(*space, {0, 0, 300, 155}, 916, y, 1, kWhite);
    board.draw(*space, {0, 0, 300, 155}, 1216, y, 1, kWhite);
    board.rect(916, y + 160, 600, 155, kLight);
    board.draw(*space, {0, 0, 300, 155}, 916, y + 160, 1, kWhite);
    board.draw(*space, {0, 0, 300, 155}, 1216, y + 160, 1, kWhite);
    y += 330;
    board.rect(8, y, 640, 480, kLight);
    board.draw(*overlay, {0, 0, 640, 480}, 8, y, 1, kWhite);
    board.rect(656, y, 420, 236, kDark);
    board.draw(*maker, {0, 0, 420, 236}, 656, y, 1, kWhite);
    board.rect(656, y + 244, 420, 236, kLight);
    board.draw(*maker, {0, 0, 420, 236}, 656, y + 244, 1, kWhite);
    board.rect(1084, y, 600, 308, kLight);
    board.draw(*moon, {0, 0, 600, 308}, 1084, y, 1, kWhite);
    y += 490;
    // The title and logo as the menu shows them, and the whole sprite sheet.
    board.rect(8, y, 317 * 2, 285 * 2, kDark);
    board.draw(*sheet, {0, 0, 317, 285}, 8, y, 2, kWhite);
    board.rect(660, y, 317 * 2, 285 * 2, kLight);
    board.draw(*sheet, {0, 0, 317, 285}, 660, y, 2, kWhite);
    return board.save(path);
}

// A still of the game's playing screen, put together the way the game draws it with 3D off.
bool scene_preview(const std::string& path, const std::vector<Picture>& all) {
    const Picture* sheet = find(all, "Brakkovane_sf.png");
    const Picture* border = find(all, "RetroBorderSpr.png");
    const Picture* moon = find(all, "Brakkovane_ms.png");
    const Picture* space = find(all, "Brakkovane_sp.png");
    const Picture* overlay = find(all, "Brakkovane_bg.png");
    const Picture* pointer = find(all, "dmpointer.png");
    if (!sheet || !border || !moon || !space || !overlay || !pointer) return false;

    Board board(640 * 2 + 8, 480, kDark);
    for (int half = 0; half < 2; ++half) {
        const int ox = half * (640 + 8);
        const float layer_tint[3] = {100 / 255.0f, 100 / 255.0f, 180 / 255.0f};
        auto centred = [&](const Picture& pic, FrameRect r, float x, float y, float scale, bool additive) {
            const int w = static_cast<int>(r.w * scale), h = static_cast<int>(r.h * scale);
            const int x0 = static_cast<int>(x - w / 2.0f) + ox, y0 = static_cast<int>(y - h / 2.0f);
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    board.put(x0 + i, y0 + j, pic, r.x + static_cast<int>(i / scale),
                              r.y + static_cast<int>(j / scale), kWhite, additive);
        };
        board.draw(*space, {0, 0, 300, 155}, ox + 150, 25, 1, layer_tint);
        board.draw(*space, {0, 0, 300, 155}, ox + 450, 25, 1, layer_tint);
        board.draw(*moon, layout::moon(1), ox + 120, 160, 1, layer_tint);
        board.draw(*moon, layout::moon(0), ox + 420, 160, 1, layer_tint);
        board.draw(*sheet, layout::surface(0), ox + 20, 385, 1, layer_tint);
        board.draw(*sheet, layout::surface(1), ox + 170, 385, 1, layer_tint);
        board.draw(*sheet, layout::surface(0), ox + 320, 385, 1, layer_tint);
        board.draw(*sheet, layout::surface(0), ox + 467, 385, 1, layer_tint);
        if (half == 0) {
            const float tanks_x[3] = {250, 340, 430};
            for (int t = 0; t < 3; ++t) {
                centred(*sheet, layout::tank(t == 2 ? 4 : t + 1), tanks_x[t], 370, 1, false);
                for (int w = -1; w <= 1; ++w)
                    centred(*sheet, layout::wheel(), tanks_x[t] + 20 * w, 382 + (t + w + 3) % 4, 1, false);
            }
            centred(*sheet, layout::player(2), 260, 120, 1, false);
            centred(*sheet, layout::player(7), 380, 170, 1, false);
            for (int k = 0; k < 10; ++k) centred(*sheet, layout::lazer(0), 260, 140 + 6 * k, 1, true);
            for (int k = 0; k < 8; ++k) centred(*sheet, layout::lazer(2), 340, 300 - 6 * k, 1, true);
            const int pf[5] = {0, 1, 2, 3, 4};
            for (int k = 0; k < 5; ++k)
                centred(*sheet, layout::particle(pf[k]), 300 + 12 * k, 250, 1.5f, true);
        } else {
            centred(*sheet, layout::title(), 320, 75, 0.8f, false);
            centred(*sheet, layout::logo(), 320, 150, 0.9f, false);
            board.draw(*pointer, {0, 0, 18, 18}, ox + 330, 262, 1, kWhite);
        }
        board.draw(*overlay, {0, 0, 640, 480}, ox, 0, 1, kWhite);
        for (int i = 0; i <= 42; ++i) {
            centred(*border, layout::border(0), 165, 30 + 10 * i, 1, false);
            centred(*border, layout::border(4), 475, 30 + 10 * i, 1, false);
        }
        for (int i = 0; i <= 29; ++i) {
            centred(*border, layout::border(2), 175 + 10 * i, 20, 1, false);
            centred(*border, layout::border(6), 175 + 10 * i, 460, 1, false);
        }
        centred(*border, layout::border(1), 165, 20, 1, false);
        centred(*border, layout::border(3), 475, 20, 1, false);
        centred(*border, layout::border(5), 165, 460, 1, false);
        centred(*border, layout::border(7), 475, 460, 1, false);
    }
    return board.save(path);
}

} // namespace

bool write_review_pictures(const std::string& dir, const std::vector<Picture>& pictures) {
    return contact_sheet(dir + "/contact_sheet.png", pictures) &&
           scene_preview(dir + "/scene_preview.png", pictures);
}
