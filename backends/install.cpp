// The back-end table: which system, joystick, audio and drawing back-ends each --video choice joins.
#include "backends/install.h"

#include "backends/gl1/gl_context_compat.h"
#include "backends/gl1/gl_draw2d.h"
#include "backends/gles2/gles2_context.h"
#include "backends/gles2/gles2_draw2d.h"
#include "backends/null/null_audio_device.h"
#include "backends/null/null_draw2d.h"
#include "backends/null/null_joystick.h"
#include "backends/null/null_system.h"
#include "backends/sdl/sdl_audio_device.h"
#include "backends/sdl/sdl_joystick.h"
#include "backends/sdl/sdl_system.h"
#include "backends/sdl/sdl_test_pads.h"
#include "platform/joystick_driver.h"
#include "platform/mixer_device.h"
#include "platform/system_driver.h"
#include "render/draw2d_driver.h"

#include <cstdlib>

namespace {

// The drawing back-end a --renderer name stands for; with no name, gl1 where a compatibility context
// opens, else gles2 (the first context made stays as the shared one, so probing costs nothing more).
// Where neither opens, gl1: opening the picture then fails with the one line that says why.
TGLBatchDriver* ChooseRenderer(const std::string& renderer) {
    if (renderer == "gl1") return GLDraw2DDriver();
    if (renderer == "gles2") return GLES2Draw2DDriver();
    if (GLGraphicsDriver()->ProbeContext()) return GLDraw2DDriver();
    if (GLES2GraphicsDriver()->ProbeContext()) return GLES2Draw2DDriver();
    return GLDraw2DDriver();
}

bool InstallSdl(const TBackendChoice& choice, std::string& error) {
    // Tests of the real binary play it with scripted pads; see sdl_test_pads.h.
    const char* pad_script = std::getenv(kTestPadsVariable);
    TSDLSystemDriver* system =
        pad_script && *pad_script ? TestPadDriverFromFile(pad_script, error) : SDLSystemDriver();
    if (!system) return false;
    TGLBatchDriver* drawing = ChooseRenderer(choice.renderer);
    SetSystemDriver(system);
    // The pointer arrives in window pixels; the drawing back-end knows where its picture sits, and
    // switches its window between full screen and a window when the keys for it arrive.
    SetSDLPointerMap(GLPointerMap());
    SetSDLFullScreenToggle(&GLToggleFullScreen);
    SetJoystickDriver(CreateSDLJoystickDriver(choice.controller_mappings));
    MixerSetDeviceFactory(&CreateSdlAudioDevice);
    SetGraphicsDriver(drawing, GRAPHICS_BACKBUFFER);
    return true;
}

void InstallNull() {
    SetSystemDriver(NullSystemDriver());
    SetJoystickDriver(CreateNullJoystickDriver());
    MixerSetDeviceFactory(&CreateNullAudioDevice);
    SetGraphicsDriver(NullDraw2DDriver(), GRAPHICS_BACKBUFFER);
}

} // namespace

bool InstallBackends(const TBackendChoice& choice, std::string& error) {
    if (!choice.renderer.empty() && choice.renderer != "gl1" && choice.renderer != "gles2") {
        error = "--renderer " + choice.renderer + " is not a renderer (choose " + RendererNames() + ")";
        return false;
    }
    if (choice.video == "sdl") {
        return InstallSdl(choice, error);
    } else if (choice.video == "null") {
        InstallNull();
    } else {
        error = "--video " + choice.video + " is not a video back-end (choose " + VideoBackendNames() + ")";
        return false;
    }
    return true;
}

const char* VideoBackendNames() {
    return "sdl, null";
}

const char* RendererNames() {
    return "gl1, gles2";
}
