// Polled keyboard and mouse state kept from events: what the game reads once per frame.
//
// Key codes are the Windows virtual-key numbers 1..255; Shift, Control and Alt report their left and
// right codes 160..165, never 16..18. Mouse buttons are 1 left, 2 right, 3 middle; 0 is never set.
// Every query pumps system events first; a hit counter is cleared by the read that returns it.
#pragma once

// Starts keeping state from events of `source` (null: every source): clears keys and mouse and
// hooks into the event chain at priority 0. Nothing if already enabled.
void EnablePolledInput(const void* source = nullptr);
// Unhooks, clears keys and mouse, and drops the source filter.
void DisablePolledInput();

// 1 between an AppSuspend and the next AppResume.
int IsAppSuspended();
// 1 once after an AppTerminate (the flag is cleared by the read).
int TakeAppTerminate();
// 1 while an AppTerminate waits to be taken; the flag stays. For waits that must end on a close
// request and leave it to the game's own rule that takes it.
int IsAppTerminatePending();

// Key-down transitions since the last read; the count is cleared. key in 0..255.
int KeyHitCount(int key);
// 1 while the key is held. key in 0..255.
int IsKeyDown(int key);
// The oldest typed character code, or 0 when none is queued (the queue keeps 256).
int NextKeyChar();
// Empties the character queue and zeroes the key tables.
void ClearKeys();

// Pointer position in picture pixels, from the last MouseMove.
int GetMouseX();
int GetMouseY();
// Wheel steps since the last ClearMouse.
int GetMouseWheel();
// Zeroes the button tables and the wheel total; the position stays.
void ClearMouse();
// Presses since the last read; the count is cleared. button in 0..3.
int MouseHitCount(int button);
// 1 while the button is held. button in 0..3.
int IsMouseDown(int button);

// ClearKeys, then waits for a key hit and returns the lowest key code hit (taking that hit).
int WaitKeyHit();
// ClearKeys, then waits for a typed character and returns it.
int WaitKeyChar();
// ClearMouse, then waits for a button hit and returns the lowest button hit (taking that hit).
int WaitMouseHit();
