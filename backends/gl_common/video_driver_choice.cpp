// The video-driver list for SDL, chosen from DISPLAY and WAYLAND_DISPLAY.
#include "backends/gl_common/video_driver_choice.h"

namespace {

bool Announced(const char* display) {
    return display != nullptr && *display != '\0';
}

} // namespace

std::string VideoDriverChoice(const char* x11_display, const char* wayland_display) {
    const bool x11 = Announced(x11_display);
    const bool wayland = Announced(wayland_display);
    if (wayland && x11) return "wayland,x11";
    if (wayland) return "wayland";
    if (x11) return "x11";
    return "KMSDRM";
}
