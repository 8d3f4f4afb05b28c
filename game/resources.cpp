// Loading the images, the font and the sounds.
#include "game/resources.h"

#include "game/globals.h"
#include "game/sound.h"
#include "render/image_font.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

std::optional<picture_rect> overlay_window;
TImagePtr img_space, img_background, img_pointer, img_pause, img_moon, img_surface, img_title, img_logo,
    img_wheel, img_player, img_particle, img_tank, img_lazer, img_border;
TImageFontPtr game_font;

namespace {

// The characters the game's text is made of.
constexpr char first_printable = ' ', last_printable = '~';

// An image made from a whole embedded picture, or null after a line on standard error.
TImagePtr load_embedded(const char* name) {
    TImagePtr image = LoadImage(std::string("incbin::") + name, -1);
    if (!image) std::fprintf(stderr, "brakkovane3d: cannot decode the embedded picture %s\n", name);
    return image;
}

// Draws a sheet onto the cleared back buffer so that the images can grab their frames from it.
// Masked drawing leaves the sheet's transparent pixels black, and the masked grabs turn black back
// into transparency.
bool lay_out_sheet(const char* name) {
    TImagePtr sheet = load_embedded(name);
    if (!sheet) return false;
    Cls();
    DrawImage(sheet, 0, 0, 0);
    return true;
}

void grab_row(const TImagePtr& image, int frames, int x0, int step, int y) {
    for (int i = 0; i < frames; ++i) GrabImage(image, x0 + step * i, y, i);
}

} // namespace

void create_image_placeholders() {
    SetAutoCenterHandle(0);
    img_pause = CreateImage(640, 480, 1, -1);
    img_surface = CreateImage(150, 70, 2, -1);
    img_moon = CreateImage(300, 298, 2, -1);
    img_space = CreateImage(300, 155, 1, -1);
    SetAutoCenterHandle(1);
    img_wheel = CreateImage(20, 18, 1, -1);
    img_lazer = CreateImage(8, 6, 3, -1);
    img_tank = CreateImage(55, 25, 5, -1);
    img_player = CreateImage(40, 27, 10, -1);
    img_title = CreateImage(299, 30, 1, -1);
    img_logo = CreateImage(310, 82, 1, -1);
    img_particle = CreateImage(7, 7, 5, -1);
    img_border = CreateImage(10, 10, 8, -1);
    SetAutoCenterHandle(0);
}

namespace {

// The overlay is drawn with its handle at the picture's top-left corner.
void find_overlay_window() {
    overlay_window.reset();
    const TImagePtr& overlay = img_background;
    int x = 0, y = 0, w = 0, h = 0;
    if (!overlay || overlay->handle_x != std::floor(overlay->handle_x) ||
        overlay->handle_y != std::floor(overlay->handle_y) || !ImageClearBounds(overlay, 0, x, y, w, h))
        return;
    overlay_window =
        picture_rect{x - static_cast<int>(overlay->handle_x), y - static_cast<int>(overlay->handle_y), w, h};
}

} // namespace

bool load_resources() {
    // The sounds decode on a worker while the pictures load and the intro plays; the music first and
    // before anything else, as it takes longest and is needed first, right after the intro.
    load_music();
    game_font = LoadImageFont("incbin::fonts\\joystix.ttf", 12, 4);
    if (!game_font) {
        std::fprintf(stderr, "brakkovane3d: cannot decode the embedded font fonts\\joystix.ttf\n");
        return false;
    }
    SetImageFont(game_font);

    // The drawing state at its defaults, so the sheets land on the back buffer pixel for pixel.
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    SetBlend(BLEND_MASK);
    SetRotationScale(0.0f, 1.0f, 1.0f);

    // A failed load keeps the placeholder: the game runs on with an invisible image, but reports it.
    bool ok = true;
    auto whole = [&ok](TImagePtr& image, const char* name) {
        if (TImagePtr loaded = load_embedded(name))
            image = loaded;
        else
            ok = false;
    };
    whole(img_space, "graphx\\Brakkovane_sp.png");
    whole(img_background, "graphx\\Brakkovane_bg.png");
    find_overlay_window();
    whole(img_pointer, "graphx\\dmpointer.png");

    if (lay_out_sheet("graphx\\RetroBorderSpr.png"))
        grab_row(img_border, 8, 1, 11, 1);
    else
        ok = false;

    if (lay_out_sheet("graphx\\Brakkovane_ms.png"))
        grab_row(img_moon, 2, 0, 300, 0);
    else
        ok = false;

    if (lay_out_sheet("graphx\\Brakkovane_sf.png")) {
        GrabImage(img_title, 7, 137, 0);
        GrabImage(img_logo, 4, 168, 0);
        GrabImage(img_wheel, 208, 11, 0);
        grab_row(img_surface, 2, 1, 151, 59);
        for (int i = 0; i < 10; ++i) GrabImage(img_player, 1 + 41 * (i % 5), 1 + 28 * (i / 5), i);
        grab_row(img_particle, 5, 208, 8, 1);
        grab_row(img_tank, 5, 1, 56, 255);
        grab_row(img_lazer, 3, 208, 9, 32);
    } else {
        ok = false;
    }
    Cls();

    snd_explode = load_sound("Data\\explode.ogg");
    snd_lazer = load_sound("Data\\lazer.ogg");
    snd_smexpl = load_sound("Data\\smexpl.ogg");
    snd_tankhit = load_sound("Data\\tankhit.ogg");
    snd_ufohit = load_sound("Data\\ufohit.ogg");
    snd_warp = load_sound("Data\\warp.ogg");
    snd_letsgo = load_sound("Data\\letsgo.ogg");
    snd_blast = load_sound("Data\\blast.ogg");
    snd_title = load_sound("Data\\title.ogg");
    snd_thud = load_sound("Data\\thud.ogg");
    return ok;
}

bool prepare_next_texture() {
    // In the order the title's first frame draws them. The pause picture is not among them: it is
    // grabbed anew, which drops its frames, each time the game pauses.
    static const TImagePtr* const images[] = {
        &img_space, &img_moon, &img_surface, &img_tank,   &img_wheel,    &img_background, &img_border,
        &img_title, &img_logo, &img_pointer, &img_player, &img_particle, &img_lazer};
    constexpr int image_count = static_cast<int>(std::size(images));
    // Made again from the start under a new context.
    static int next = 0, prepared_seq = 0;
    if (prepared_seq != GraphicsSeq()) {
        prepared_seq = GraphicsSeq();
        next = 0;
    }
    if (next < image_count) {
        const TImagePtr& image = *images[next++];
        if (image && !image->frames.empty()) image->Frame(0); // makes the drawable frames of all its frames
        return true;
    }
    // Then the font's glyphs of every printable character, a few a frame: shrunk text draws from
    // their own textures, the rest from the atlas, which is made again with each few.
    constexpr int glyphs_per_step = 16;
    const int first = first_printable + (next - image_count) * glyphs_per_step;
    if (first <= last_printable) {
        ++next;
        std::string characters;
        for (int c = first; c < first + glyphs_per_step && c <= last_printable; ++c)
            characters += static_cast<char>(c);
        if (game_font) game_font->Preload(characters);
        return true;
    }
    return false;
}
