// Recorded input as an event source: a system driver that records the device input of a session,
// or replays a recording instead of the devices, frame-exactly.
//
// Both modes deliver input only from the script: an event of frame F reaches the hook chain at the
// first pump after F frames were presented. Recording captures the device input at each pump and
// appends it to the script with the current frame before delivering it, so a recorded session and
// its replay see the same input at the same pumps. While the game waits for input inside a frame
// (WaitSystemEvent), a replay delivers the next event in file order, as the player's later input
// would have arrived; a replay that runs out while the game waits closes the game instead of hanging.
// Joysticks are polled, not pumped: a replayed joystick change waits while the change before it of the
// same axis, button or hat has not been read yet, until a read, a wait of the game or the next frame.
#pragma once

#include "platform/input_script.h"
#include "platform/system_driver.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <tuple>

class TScriptedSystemDriver : public TSystemDriver {
public:
    enum class Mode { Record, Replay };

    // `device` is the real driver (never null); it keeps the window alive and, when recording, supplies the
    // input. Replaying, device input is dropped, except a close request, so a viewer can always quit.
    TScriptedSystemDriver(TSystemDriver* device, Mode mode, TInputScript script = {});
    ~TScriptedSystemDriver() override;

    // Recording: called with each captured event (also joystick changes seen by the joystick reads),
    // after it was added to the script.
    void SetRecordSink(std::function<void(const TScriptEvent&)> sink);

    // Counts a presented frame; events of later frames stay queued until it is their turn.
    void FramePresented();
    int64_t Frame() const { return frame_; }

    // Adds an event of the game's own (for instance a close after a frame limit) to be delivered at
    // the next pump and, when recording, written like device input.
    void Inject(TScriptEventKind kind);

    // Events of the script not yet delivered.
    size_t Pending() const { return script_.events.size() - next_; }

    void Poll() override;
    void Wait() override;
    void MoveMouse(int x, int y) override;
    void SetMouseVisible(bool visible) override;
    void Notify(const std::string& text, bool serious) override;
    int Confirm(const std::string& text, bool serious) override;
    int Proceed(const std::string& text, bool serious) override;
    std::string RequestFile(const std::string& title, const std::string& filter, bool save,
                            const std::string& initial_path) override;
    std::string RequestDir(const std::string& title, const std::string& initial_path) override;
    void OpenURL(const std::string& url) override;
    int StartTimer(int period_ms, TMainThreadFunc func, intptr_t a, intptr_t b) override;
    TSystemDriver* Device() const { return device_; }
    void StopTimer(int handle) override;
    // A close of the game's own, delivered at once: recorded as a `close` line when recording, so the
    // recording of a session ended by a signal replays to the same end.
    void RequestTerminate() override;

private:
    enum class Capture { Off, Record, Drop };
    static void* CaptureHook(int id, void* data, void* context);
    void PumpDevice(bool wait);
    void Append(const TScriptEvent& event);
    void DeliverDue();
    void Deliver(const TScriptEvent& event);
    // Replaying: a joystick change waits while an earlier change of the same port value (axis,
    // button or hat) has been set but not yet read.
    bool WaitsForARead(const TScriptEvent& event) const;
    void NoteJoystickValue(const TScriptEvent& event);

    TSystemDriver* device_;
    Mode mode_;
    TInputScript script_;
    size_t next_ = 0;
    int64_t frame_ = 0;
    int64_t sampled_frame_ = -1; // the frame whose device input was last taken, when recording
    Capture capture_ = Capture::Off;
    bool delivering_ = false;
    int mouse_x_ = 0, mouse_y_ = 0;
    // The virtual joystick attached under each port of the script, or -1. Attaching an attached port
    // changes nothing, so a replay never holds more devices than there are ports.
    std::array<int, kScriptJoystickPorts> joysticks_;
    // Replaying, by (port, 0 axis / 1 button / 2 hat, index): the values set, and those no read has
    // seen yet. The game polls joysticks, so each recorded change was read before the next change of
    // the same value; delivered in one pump, the later change would hide the earlier one from the game.
    std::map<std::tuple<int, int, int>, int> joystick_values_;
    std::set<std::tuple<int, int, int>> unread_joystick_values_;
    std::function<void(const TScriptEvent&)> sink_;
};
