// assetgen: writes every picture and sound of the game from code, the same bytes on every run.
//   assetgen OUT_DIR [--speech WAV] [--review DIR] [--only pictures|sounds]
// writes OUT_DIR/assets/graphx/*.png, the desktop icons OUT_DIR/assets/icons/*.png and OUT_DIR/data/*.ogg.
// The voice needs the speech WAV (made by the speech synthesiser in scripts/make-assets); without it
// data/letsgo.ogg is not written.
#include "tools/assetgen/art.h"
#include "tools/assetgen/contact_sheet.h"
#include "tools/assetgen/layout.h"
#include "tools/assetgen/png_writer.h"
#include "tools/assetgen/sounds.h"
#include "tools/assetgen/vorbis_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The sizes desktops ask for most, from a menu entry to a large launcher tile.
constexpr int kIconSizes[] = {32, 64, 128, 256};

Picture masked(const std::string& file, const Canvas& c) {
    return {file, c.w, c.h, 3, to_masked_rgb(c)};
}

std::vector<Picture> make_pictures() {
    std::vector<Picture> out;
    out.push_back(masked("assets/graphx/ovlogo.png", make_maker_logo()));
    out.push_back(masked("assets/graphx/dmpointer.png", make_pointer()));
    out.push_back(masked("assets/graphx/Brakkovane_bg.png", make_overlay()));
    out.push_back(masked("assets/graphx/Brakkovane_sf.png", make_sprite_sheet()));
    out.push_back(masked("assets/graphx/Brakkovane_ms.png", make_moonscape_sheet()));
    const Canvas space = make_star_field();
    out.push_back({"assets/graphx/Brakkovane_sp.png", space.w, space.h, 4, to_rgba(space)});
    out.push_back(masked("assets/graphx/RetroBorderSpr.png", make_border_sheet()));
    for (int size : kIconSizes) {
        const Canvas icon = make_icon(size);
        out.push_back({"assets/icons/icon-" + std::to_string(size) + ".png", size, size, 4, to_rgba(icon)});
    }
    return out;
}

bool ensure_dir(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir);
}

int usage() {
    std::fprintf(stderr, "usage: assetgen OUT_DIR [--speech WAV] [--review DIR] [--only pictures|sounds]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::filesystem::path root = argv[1];
    std::string speech, review, only;
    for (int i = 2; i < argc; ++i) {
        if (i + 1 >= argc) return usage();
        if (std::strcmp(argv[i], "--speech") == 0)
            speech = argv[++i];
        else if (std::strcmp(argv[i], "--review") == 0)
            review = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0)
            only = argv[++i];
        else
            return usage();
    }
    if (!only.empty() && only != "pictures" && only != "sounds") return usage();

    if (only != "sounds") {
        for (const char* folder : {"graphx", "icons"}) {
            if (!ensure_dir(root / "assets" / folder)) {
                std::fprintf(stderr, "assetgen: cannot create %s\n", (root / "assets" / folder).c_str());
                return 1;
            }
        }
        const std::vector<Picture> pictures = make_pictures();
        for (const Picture& p : pictures) {
            if (!write_png((root / p.file).string(), p.w, p.h, p.channels, p.bytes)) {
                std::fprintf(stderr, "assetgen: cannot write %s\n", (root / p.file).c_str());
                return 1;
            }
        }
        if (!review.empty() && (!ensure_dir(review) || !write_review_pictures(review, pictures))) {
            std::fprintf(stderr, "assetgen: cannot write the review pictures to %s\n", review.c_str());
            return 1;
        }
    }
    if (only != "pictures") {
        if (!ensure_dir(root / "data")) {
            std::fprintf(stderr, "assetgen: cannot create %s\n", (root / "data").c_str());
            return 1;
        }
        std::vector<SoundFile> sounds = make_effects();
        if (!speech.empty()) {
            SoundFile voice;
            if (!make_voice(speech, voice)) {
                std::fprintf(stderr, "assetgen: cannot read the speech recording %s\n", speech.c_str());
                return 1;
            }
            sounds.push_back(std::move(voice));
        }
        sounds.push_back(make_music());
        for (const SoundFile& s : sounds) {
            if (!write_ogg_vorbis((root / s.file).string(), s.samples, s.channels, kSampleRate, s.quality)) {
                std::fprintf(stderr, "assetgen: cannot write %s\n", (root / s.file).c_str());
                return 1;
            }
        }
    }
    return 0;
}
