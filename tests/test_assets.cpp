// The committed pictures, sounds and font: sizes, sheet layouts, transparency rules, levels and lengths,
// and a rerun of the asset generator that must give the same bytes.
#include "tools/assetgen/sounds.h"
#include "tools/assetgen/synth.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = SOURCE_DIR;

struct Rect {
    int x, y, w, h;
};

// A decoded picture as RGBA, with the colour type the file was stored with.
struct Picture {
    int w = 0, h = 0;
    bool has_alpha = false, has_colour = false;
    std::vector<uint8_t> rgba;

    const uint8_t* at(int x, int y) const { return rgba.data() + (static_cast<size_t>(y) * w + x) * 4; }
    // What the game sees: black is transparent in masked pictures, alpha decides in the star field.
    bool opaque(int x, int y) const {
        const uint8_t* p = at(x, y);
        return has_alpha ? p[3] >= 128 : (p[0] | p[1] | p[2]) != 0;
    }
};

Picture load_png(const fs::path& path) {
    Picture pic;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot decode " << path;
        return pic;
    }
    pic.w = static_cast<int>(image.width);
    pic.h = static_cast<int>(image.height);
    pic.has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    pic.has_colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    image.format = PNG_FORMAT_RGBA;
    pic.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pic.rgba.data(), 0, nullptr))
        ADD_FAILURE() << "cannot read " << path;
    return pic;
}

fs::path graphx(const char* name) {
    return kRoot / "assets" / "graphx" / name;
}

// The sprite sheet's frames as the game cuts them.
std::vector<std::pair<std::string, Rect>> sprite_frames() {
    std::vector<std::pair<std::string, Rect>> f;
    f.push_back({"title", {7, 137, 299, 30}});
    f.push_back({"logo", {4, 168, 310, 82}});
    f.push_back({"wheel", {208, 11, 20, 18}});
    for (int i = 0; i < 2; ++i) f.push_back({"surface " + std::to_string(i), {1 + 151 * i, 59, 150, 70}});
    for (int i = 0; i < 10; ++i)
        f.push_back({"player " + std::to_string(i), {1 + 41 * (i % 5), 1 + 28 * (i / 5), 40, 27}});
    for (int i = 0; i < 5; ++i) f.push_back({"particle " + std::to_string(i), {208 + 8 * i, 1, 7, 7}});
    for (int i = 0; i < 5; ++i) f.push_back({"tank " + std::to_string(i), {1 + 56 * i, 255, 55, 25}});
    for (int i = 0; i < 3; ++i) f.push_back({"lazer " + std::to_string(i), {208 + 9 * i, 32, 8, 6}});
    return f;
}

std::vector<std::pair<std::string, Rect>> border_frames() {
    std::vector<std::pair<std::string, Rect>> f;
    for (int i = 0; i < 8; ++i) f.push_back({"border " + std::to_string(i), {1 + 11 * i, 1, 10, 10}});
    return f;
}

int opaque_count(const Picture& pic, Rect r) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) n += pic.opaque(x, y) ? 1 : 0;
    return n;
}

// Black pixels inside a frame that cannot be reached from its edge through other black pixels: holes
// where a dark colour of the art would have turned transparent.
int enclosed_black(const Picture& pic, Rect r) {
    std::vector<uint8_t> seen(static_cast<size_t>(r.w) * r.h, 0);
    std::vector<std::pair<int, int>> todo;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= r.w || y >= r.h) return;
        uint8_t& s = seen[static_cast<size_t>(y) * r.w + x];
        if (s || pic.opaque(r.x + x, r.y + y)) return;
        s = 1;
        todo.push_back({x, y});
    };
    for (int x = 0; x < r.w; ++x) {
        visit(x, 0);
        visit(x, r.h - 1);
    }
    for (int y = 0; y < r.h; ++y) {
        visit(0, y);
        visit(r.w - 1, y);
    }
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        visit(x + 1, y);
        visit(x - 1, y);
        visit(x, y + 1);
        visit(x, y - 1);
    }
    int holes = 0;
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x)
            if (!seen[static_cast<size_t>(y) * r.w + x] && !pic.opaque(r.x + x, r.y + y)) ++holes;
    return holes;
}

// Mean absolute RGB difference between column xa of frame a and column xb of frame b.
double column_step(const Picture& pic, Rect a, int xa, Rect b, int xb) {
    double sum = 0.0;
    for (int y = 0; y < a.h; ++y)
        for (int c = 0; c < 3; ++c)
            sum += std::abs(pic.at(a.x + xa, a.y + y)[c] - pic.at(b.x + xb, b.y + y)[c]);
    return sum / (a.h * 3);
}

// The usual step between neighbouring columns inside a frame, the yardstick for a seam.
double typical_column_step(const Picture& pic, Rect r) {
    double sum = 0.0;
    for (int x = 0; x + 1 < r.w; ++x) sum += column_step(pic, r, x, r, x + 1);
    return sum / (r.w - 1);
}

// --- Pictures -------------------------------------------------------------------------------------

TEST(AssetPictures, EveryFileHasItsSizeAndColourType) {
    struct Expect {
        const char* name;
        int w, h;
        bool alpha;
    };
    const Expect files[] = {
        {"ovlogo.png", 420, 236, false},        {"dmpointer.png", 18, 18, false},
        {"Brakkovane_bg.png", 640, 480, false}, {"Brakkovane_sf.png", 317, 285, false},
        {"Brakkovane_ms.png", 600, 308, false}, {"Brakkovane_sp.png", 300, 155, true},
        {"RetroBorderSpr.png", 89, 12, false},
    };
    for (const Expect& e : files) {
        const Picture pic = load_png(graphx(e.name));
        EXPECT_EQ(pic.w, e.w) << e.name;
        EXPECT_EQ(pic.h, e.h) << e.name;
        EXPECT_TRUE(pic.has_colour) << e.name;
        EXPECT_EQ(pic.has_alpha, e.alpha) << e.name << ": only the star field carries an alpha channel";
    }
}

TEST(AssetPictures, SheetFramesLieInsideAndHoldArt) {
    const Picture sheet = load_png(graphx("Brakkovane_sf.png"));
    const Picture border = load_png(graphx("RetroBorderSpr.png"));
    const Picture moon = load_png(graphx("Brakkovane_ms.png"));
    auto check = [](const Picture& pic, const std::vector<std::pair<std::string, Rect>>& frames,
                    double min_share) {
        for (const auto& [name, r] : frames) {
            ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= pic.w && r.y + r.h <= pic.h)
                << name << " outside its sheet";
            const double share = static_cast<double>(opaque_count(pic, r)) / (r.w * r.h);
            EXPECT_GE(share, min_share) << name << " is (nearly) empty";
        }
    };
    check(sheet, sprite_frames(), 0.15);
    check(border, border_frames(), 0.99); // the rails are solid
    check(moon, {{"moon 0", {0, 0, 300, 298}}, {"moon 1", {300, 0, 300, 298}}}, 0.3);
}

TEST(AssetPictures, NothingOutsideTheFramesOfASheet) {
    // The one-pixel gaps between frames stay black, so no frame picks up a neighbour's pixels.
    auto check = [](const char* file, const std::vector<std::pair<std::string, Rect>>& frames) {
        const Picture pic = load_png(graphx(file));
        int stray = 0;
        for (int y = 0; y < pic.h; ++y)
            for (int x = 0; x < pic.w; ++x) {
                bool in_frame = false;
                for (const auto& f : frames) {
                    const Rect& r = f.second;
                    in_frame = in_frame || (x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h);
                }
                if (!in_frame && pic.opaque(x, y)) ++stray;
            }
        EXPECT_EQ(stray, 0) << file;
    };
    check("Brakkovane_sf.png", sprite_frames());
    check("RetroBorderSpr.png", border_frames());
    const Picture moon = load_png(graphx("Brakkovane_ms.png"));
    EXPECT_EQ(opaque_count(moon, {0, 298, 600, 10}), 0) << "rows below the moonscape frames";
}

TEST(AssetPictures, DarkPartsOfSpritesAreNotTransparent) {
    const Picture sheet = load_png(graphx("Brakkovane_sf.png"));
    for (const auto& [name, r] : sprite_frames()) {
        if (name.rfind("player", 0) == 0 || name.rfind("tank", 0) == 0 || name == "wheel") {
            EXPECT_EQ(enclosed_black(sheet, r), 0) << name << " has pure black holes inside its body";
        }
    }
    const Picture pointer = load_png(graphx("dmpointer.png"));
    EXPECT_EQ(enclosed_black(pointer, {0, 0, 18, 18}), 0);
    EXPECT_TRUE(pointer.opaque(0, 0)) << "the pointer's tip is its top-left pixel";
}

TEST(AssetPictures, OverlayIsOpaqueAroundATransparentPlayfieldWindow) {
    const Picture bg = load_png(graphx("Brakkovane_bg.png"));
    int window_opaque = 0, frame_holes = 0;
    for (int y = 0; y < bg.h; ++y)
        for (int x = 0; x < bg.w; ++x) {
            const bool window = x >= 168 && x <= 471 && y >= 20 && y <= 460;
            if (window && bg.opaque(x, y)) ++window_opaque;
            if (!window && !bg.opaque(x, y)) ++frame_holes;
        }
    EXPECT_EQ(window_opaque, 0);
    EXPECT_EQ(frame_holes, 0) << "the scrolling layers would show through the frame";
}

TEST(AssetPictures, LayerTilesJoinWithoutSeams) {
    // The moonscape frames are shown in the order 1, 0, 1, 0 ...: both joins must be as smooth as the
    // inside of a frame. The surface tiles meet in any order of their two frames.
    const Picture moon = load_png(graphx("Brakkovane_ms.png"));
    const Rect m0{0, 0, 300, 298}, m1{300, 0, 300, 298};
    const double moon_typical = std::max(typical_column_step(moon, m0), typical_column_step(moon, m1));
    EXPECT_LE(column_step(moon, m0, 299, m1, 0), 2.0 * moon_typical);
    EXPECT_LE(column_step(moon, m1, 299, m0, 0), 2.0 * moon_typical);

    const Picture sheet = load_png(graphx("Brakkovane_sf.png"));
    const Rect s[2] = {{1, 59, 150, 70}, {152, 59, 150, 70}};
    const double surface_typical =
        std::max(typical_column_step(sheet, s[0]), typical_column_step(sheet, s[1]));
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            EXPECT_LE(column_step(sheet, s[a], 149, s[b], 0), 2.0 * surface_typical)
                << "surface " << a << " then " << b;
}

TEST(AssetPictures, BorderPiecesTileAtTenPixelSteps) {
    const Picture border = load_png(graphx("RetroBorderSpr.png"));
    for (int frame : {0, 2, 4, 6}) {
        const Rect r{1 + 11 * frame, 1, 10, 10};
        const bool vertical = frame == 0 || frame == 4;
        // Compare the piece's last line along the rail with its first line: they meet in the next piece.
        double seam = 0.0, typical = 0.0;
        for (int i = 0; i < 10; ++i)
            for (int c = 0; c < 3; ++c) {
                const uint8_t* last = vertical ? border.at(r.x + i, r.y + 9) : border.at(r.x + 9, r.y + i);
                const uint8_t* first = vertical ? border.at(r.x + i, r.y) : border.at(r.x, r.y + i);
                seam += std::abs(last[c] - first[c]);
                for (int k = 0; k + 1 < 10; ++k) {
                    const uint8_t* p = vertical ? border.at(r.x + i, r.y + k) : border.at(r.x + k, r.y + i);
                    const uint8_t* q =
                        vertical ? border.at(r.x + i, r.y + k + 1) : border.at(r.x + k + 1, r.y + i);
                    typical += std::abs(p[c] - q[c]) / 9.0;
                }
            }
        EXPECT_LE(seam, 2.0 * typical + 30.0) << "border " << frame;
    }
}

TEST(AssetPictures, StarFieldIsTransparentAroundItsStars) {
    const Picture space = load_png(graphx("Brakkovane_sp.png"));
    int clear = 0, solid = 0, partial = 0;
    for (int y = 0; y < space.h; ++y)
        for (int x = 0; x < space.w; ++x) {
            const uint8_t a = space.at(x, y)[3];
            clear += a == 0;
            solid += a == 255;
            partial += a != 0 && a != 255;
        }
    EXPECT_GT(clear, space.w * space.h * 8 / 10) << "mostly transparent background";
    EXPECT_GT(solid, 200) << "stars and the planet";
    // The game draws the tile with an alpha test at one half, so half-transparent pixels would be lost.
    EXPECT_EQ(partial, 0);
}

// --- Sounds ---------------------------------------------------------------------------------------

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved
    double seconds() const { return channels ? static_cast<double>(samples.size()) / channels / rate : 0.0; }
    float peak() const {
        float p = 0.0f;
        for (float s : samples) p = std::max(p, std::fabs(s));
        return p;
    }
};

Decoded decode(const fs::path& path) {
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) {
        ADD_FAILURE() << "cannot open " << path;
        return d;
    }
    const vorbis_info* info = ov_info(&vf, -1);
    d.rate = info->rate;
    d.channels = info->channels;
    float** pcm = nullptr;
    int section = 0;
    long n;
    while ((n = ov_read_float(&vf, &pcm, 4096, &section)) > 0)
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < d.channels; ++c) d.samples.push_back(pcm[c][i]);
    EXPECT_EQ(n, 0) << "decoding error in " << path;
    ov_clear(&vf);
    return d;
}

// Lossy coding moves peaks and loudness a little from what the generator wrote.
constexpr float kCodingToleranceDb = 0.5f;

float peak_db(const Decoded& d) {
    return 20.0f * std::log10(d.peak());
}

// Every effect is as loud as the others at its loudest and keeps its peaks under the ceiling that
// leaves the mix room for a pile-up of effects over the music.
TEST(AssetSounds, EveryEffectDecodesAtItsLengthLevelledAlike) {
    struct Expect {
        const char* name;
        double min_s, max_s;
    };
    const Expect effects[] = {
        {"explode", 1.2, 3.0}, {"lazer", 0.15, 0.6}, {"smexpl", 0.2, 0.8}, {"tankhit", 0.4, 1.5},
        {"ufohit", 0.3, 1.0},  {"warp", 0.8, 2.0},   {"letsgo", 0.5, 2.0}, {"blast", 1.0, 2.5},
        {"title", 1.5, 4.0},   {"thud", 0.15, 0.6},
    };
    for (const Expect& e : effects) {
        const Decoded d = decode(kRoot / "data" / (std::string(e.name) + ".ogg"));
        EXPECT_EQ(d.rate, 44100) << e.name;
        EXPECT_GE(d.seconds(), e.min_s) << e.name;
        EXPECT_LE(d.seconds(), e.max_s) << e.name;
        EXPECT_LE(peak_db(d), kEffectCeilingDb + kCodingToleranceDb) << e.name << " leaves no headroom";
        EXPECT_NEAR(synth::loudness(d.samples), kEffectLoudnessLufs, kCodingToleranceDb)
            << e.name << " is not levelled with the others";
    }
}

TEST(AssetSounds, MusicLoopsCleanlyUnderTheEffects) {
    const Decoded music = decode(kRoot / "data" / "blastem.ogg");
    EXPECT_EQ(music.rate, 44100);
    EXPECT_GE(music.seconds(), 30.0);
    ASSERT_FALSE(music.samples.empty());
    const float loudness = synth::loudness(music.samples, music.channels);
    EXPECT_NEAR(loudness, kMusicLoudnessLufs, kCodingToleranceDb);
    EXPECT_LT(loudness, kEffectLoudnessLufs - 3.0f) << "the music must sit under the effects";
    EXPECT_LT(peak_db(music), kEffectCeilingDb);
    // The last frame runs straight into the first one: no step between them larger than the music's own.
    double largest_step = 0.0;
    const size_t ch = static_cast<size_t>(music.channels);
    for (size_t i = ch; i < music.samples.size(); ++i)
        largest_step =
            std::max(largest_step, static_cast<double>(std::fabs(music.samples[i] - music.samples[i - ch])));
    for (size_t c = 0; c < ch; ++c) {
        const float wrap = std::fabs(music.samples[c] - music.samples[music.samples.size() - ch + c]);
        EXPECT_LT(wrap, 0.25 * largest_step) << "click at the loop point, channel " << c;
    }
}

// --- Desktop icons ------------------------------------------------------------------------------

// Square, with their own transparency: clear in the corners outside the rounded tile, opaque where the
// saucer sits in the middle, at every size a desktop asks for.
TEST(AssetIcons, EachSizeIsASquareTileWithClearCornersAndTheSaucerInTheMiddle) {
    for (int size : {32, 64, 128, 256}) {
        const Picture icon = load_png(kRoot / "assets" / "icons" / ("icon-" + std::to_string(size) + ".png"));
        ASSERT_EQ(icon.w, size);
        ASSERT_EQ(icon.h, size);
        EXPECT_TRUE(icon.has_alpha) << size;
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(icon.at(x, y)[3], 0) << size << ": corner " << x << ", " << y;
        EXPECT_EQ(icon.at(size / 2, size / 2)[3], 255) << size;
        // The saucer's hull is green at its middle, like the player's sprite.
        const uint8_t* hull = icon.at(size / 2, size / 2);
        EXPECT_GT(hull[1], hull[0]) << size;
        EXPECT_GT(hull[1], hull[2]) << size;
    }
}

// --- Font -----------------------------------------------------------------------------------------

TEST(AssetFont, HasEveryPrintableCharacterAndRendersAtTwelvePixels) {
    const fs::path font = kRoot / "assets" / "fonts" / "joystix.ttf";
    EXPECT_LT(fs::file_size(font), 100000u) << "the font should be subset to the characters the game prints";
    EXPECT_TRUE(fs::exists(kRoot / "assets" / "fonts" / "LICENSE-DotGothic16.txt"));
    FT_Library lib = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(lib, font.c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 12), 0);
    for (unsigned ch = 0x21; ch <= 0x7E; ++ch) {
        EXPECT_NE(FT_Get_Char_Index(face, ch), 0u) << "no glyph for '" << static_cast<char>(ch) << "'";
        ASSERT_EQ(FT_Load_Char(face, ch, FT_LOAD_RENDER), 0);
        EXPECT_GT(face->glyph->bitmap.rows * face->glyph->bitmap.width, 0u) << static_cast<char>(ch);
        // Readable at 12 pixels: glyphs stay within a line of text.
        EXPECT_LE(face->glyph->bitmap.rows, 14u) << static_cast<char>(ch);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

// --- Generator ------------------------------------------------------------------------------------

std::vector<uint8_t> read_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AssetGenerator, TwoRunsWriteIdenticalFiles) {
    const fs::path tmp = fs::temp_directory_path() / ("assetgen_test_" + std::to_string(::getpid()));
    fs::remove_all(tmp);
    fs::create_directories(tmp);
    // The voice needs the speech synthesiser; where it is missing only that one file is left out.
    std::string speech;
    const fs::path wav = tmp / "speech.wav";
    if (std::system(
            ("espeak-ng -v en-us -s 140 -p 35 -w '" + wav.string() + "' \"Let's go!\" >/dev/null 2>&1")
                .c_str()) == 0)
        speech = " --speech '" + wav.string() + "'";
    int status[2] = {-1, -1};
    std::thread runs[2];
    for (int i = 0; i < 2; ++i)
        runs[i] = std::thread([&, i] {
            status[i] = std::system((std::string("'") + ASSETGEN_PATH + "' '" +
                                     (tmp / ("run" + std::to_string(i))).string() + "'" + speech)
                                        .c_str());
        });
    for (std::thread& t : runs) t.join();
    ASSERT_EQ(status[0], 0);
    ASSERT_EQ(status[1], 0);

    std::vector<std::string> files = {"assets/graphx/ovlogo.png",
                                      "assets/graphx/dmpointer.png",
                                      "assets/graphx/Brakkovane_bg.png",
                                      "assets/graphx/Brakkovane_sf.png",
                                      "assets/graphx/Brakkovane_ms.png",
                                      "assets/graphx/Brakkovane_sp.png",
                                      "assets/graphx/RetroBorderSpr.png",
                                      "assets/icons/icon-32.png",
                                      "assets/icons/icon-64.png",
                                      "assets/icons/icon-128.png",
                                      "assets/icons/icon-256.png",
                                      "data/explode.ogg",
                                      "data/lazer.ogg",
                                      "data/smexpl.ogg",
                                      "data/tankhit.ogg",
                                      "data/ufohit.ogg",
                                      "data/warp.ogg",
                                      "data/blast.ogg",
                                      "data/title.ogg",
                                      "data/thud.ogg",
                                      "data/blastem.ogg"};
    if (!speech.empty()) files.push_back("data/letsgo.ogg");
    for (const std::string& f : files) {
        const std::vector<uint8_t> a = read_bytes(tmp / "run0" / f), b = read_bytes(tmp / "run1" / f);
        EXPECT_FALSE(a.empty()) << f << " not written";
        EXPECT_TRUE(a == b) << f << " differs between two runs";
    }
    fs::remove_all(tmp);
}

} // namespace
