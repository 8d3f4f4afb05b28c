// Which SDL video drivers the GL back-ends allow, by the displays the environment announces, and the
// back-end table's refusal of unknown renderer names.
#include "backends/gl_common/video_driver_choice.h"
#include "backends/install.h"

#include <gtest/gtest.h>

TEST(VideoDriverChoice, KernelModeSettingOnlyWhereNoDisplayIsAnnounced) {
    EXPECT_EQ(VideoDriverChoice(nullptr, nullptr), "KMSDRM");
    EXPECT_EQ(VideoDriverChoice("", ""), "KMSDRM") << "empty variables announce nothing";
    EXPECT_EQ(VideoDriverChoice(":0", nullptr), "x11");
    EXPECT_EQ(VideoDriverChoice(nullptr, "wayland-0"), "wayland");
    EXPECT_EQ(VideoDriverChoice(":0", "wayland-0"), "wayland,x11");
}

TEST(VideoDriverChoice, UnknownRendererIsRefusedByName) {
    TBackendChoice choice;
    choice.video = "null";
    choice.renderer = "vulkan";
    std::string error;
    EXPECT_FALSE(InstallBackends(choice, error));
    EXPECT_EQ(error, "--renderer vulkan is not a renderer (choose gl1, gles2)");
}
