// Graphics contexts and display modes: the driver-neutral layer the game opens, flips and closes.
#pragma once

#include "render/graphics_driver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---- the frame pacer, over a millisecond clock value ----

// Holds Flip(-1) to `hertz` frames a second without vertical-blank sync: at 60 Hz frames last 16 ms,
// 40 of every 60 one millisecond longer, 1000 ms in all. A late frame moves the schedule to now, so
// lateness is not made up by shorter frames afterwards. Times are wrapping 32-bit milliseconds.
class TFramePacer {
public:
    void Start(int hertz, uint32_t now_ms);
    // Advances the schedule by one frame; the milliseconds to sleep before presenting (0 when late).
    int FrameWait(uint32_t now_ms);

    int sync_hertz = 0;
    int rate = 0;     // whole ms per frame
    int fraction = 0; // ms left over per second, spread one at a time
    int accumulator = 0;
    uint32_t next_frame_ms = 0;
};

// Decides whether swaps wait for the vertical blank: a flip taking 1000/hertz ms (+-1) three times in
// a row means they do.
class TVerticalBlankProbe {
public:
    // One timed Flip(1); true when this is the third consecutive hit.
    bool Sample(uint32_t elapsed_ms, int hertz);

private:
    int hits_ = 0;
};

// ---- global functions ----

TGraphicsDriver* GetGraphicsDriver();
int DefaultGraphicsFlags();

std::vector<TGraphicsMode> GetGraphicsModes();
int CountGraphicsModes();
void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz);
// 1 if some mode matches every argument that is not 0.
int GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0);

std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags);
std::shared_ptr<TGraphics> AttachGraphics(intptr_t window, int flags);
void CloseGraphics(const std::shared_ptr<TGraphics>& g);
void SetGraphics(const std::shared_ptr<TGraphics>& g);
std::shared_ptr<TGraphics> CurrentGraphics();

// Settings of the current graphics, copied when it was made current; 0 when there is none.
int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// Presents the frame. sync -1: paced to the hertz of OpenGraphics (vertical-blank sync when the
// display keeps it, the frame pacer otherwise); 0 at once; 1 at the vertical blank.
void Flip(int sync = -1);
// How many paced flips (sync -1, the game's frames) were made since the program started.
int64_t PacedFlipCount();
// Called by a drawing back-end that has changed how the opened picture reaches the screen (full screen
// to a window, or back): vertical-blank sync found by OpenGraphics may no longer hold there, so Flip(-1)
// paces with the frame pacer from the next frame on. Nothing changes where it already did, or where no
// pacing was asked.
void GraphicsPresentationChanged();

// The game's entry: closes any opened graphics, opens a context, paces and enables polled input.
// Null when the display cannot be opened; GraphicsError() then says why.
std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth = 0, int hertz = 60,
                                        int flags = GRAPHICS_BACKBUFFER);
void CloseOpenedGraphics();
// How long the last OpenGraphics spent finding out whether the display keeps vertical-blank sync
// (up to a second); 0 when it did not need to (a window, unpaced, or no pacing asked).
uint32_t GraphicsProbeMillis();

// Raised on every OpenGraphics and CloseOpenedGraphics (never 0): resources made under another
// number belong to a context that is gone.
int GraphicsSeq();

// The hook run with no data at the start of every Flip.
int FlipHookId();

// The last reason a context could not be made ("" when none).
const std::string& GraphicsError();
void SetGraphicsError(const std::string& error);

// Developer and headless options, set before OpenGraphics. Windowed: a full-screen OpenGraphics opens
// a window of width*scale x height*scale instead; the picture stays width x height.
void SetGraphicsWindowed(bool windowed, int scale = 1);
bool GraphicsWindowed();
int GraphicsWindowScale();
// Unpaced: Flip(-1) never waits (no swap interval, no pacer, no probe). The game logic is unchanged.
void SetFlipUnpaced(bool unpaced);
bool FlipUnpaced();
