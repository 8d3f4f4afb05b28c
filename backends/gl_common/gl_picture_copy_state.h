// Whole-picture copies and clears free of the drawing layer's scissor and colour mask.
#pragma once

// While it lives, whole-picture copies and clears are free of the drawing layer's scissor and colour
// mask; it puts those and the clear colour back as they were, so the drawing layer's cached state stays
// true. Uses only calls both kinds of context have.
class TPictureCopyState {
public:
    TPictureCopyState();
    ~TPictureCopyState();
    TPictureCopyState(const TPictureCopyState&) = delete;
    TPictureCopyState& operator=(const TPictureCopyState&) = delete;

private:
    float clear_color_[4];
    unsigned char color_mask_[4];
    unsigned char scissor_;
};
