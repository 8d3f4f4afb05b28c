// Saves and restores the scissor, colour mask and clear colour around whole-picture copies.
#include "backends/gl_common/gl_picture_copy_state.h"

#include <GLES2/gl2.h>

TPictureCopyState::TPictureCopyState() {
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_color_);
    glGetBooleanv(GL_COLOR_WRITEMASK, color_mask_);
    scissor_ = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

TPictureCopyState::~TPictureCopyState() {
    glClearColor(clear_color_[0], clear_color_[1], clear_color_[2], clear_color_[3]);
    glColorMask(color_mask_[0], color_mask_[1], color_mask_[2], color_mask_[3]);
    if (scissor_) glEnable(GL_SCISSOR_TEST);
}
