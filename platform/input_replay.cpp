// The recording and replaying system driver; see input_replay.h for the timing rules.
#include "platform/input_replay.h"

#include "platform/event.h"
#include "platform/joystick.h"
#include "platform/virtual_joystick.h"

#include <cassert>
#include <climits>
#include <cstdio>

TScriptedSystemDriver::TScriptedSystemDriver(TSystemDriver* device, Mode mode, TInputScript script)
    : device_(device)
    , mode_(mode)
    , script_(std::move(script)) {
    assert(device_ && "TScriptedSystemDriver wraps a device driver");
    joysticks_.fill(-1);
    InsertHook(EventEmitHookId, &CaptureHook, this, INT_MAX);
    if (mode_ == Mode::Replay) {
        SetJoystickVirtualOnly(true);
        SetJoystickObserver([this](int port, const JoystickChange& change) {
            const int kind = change.kind == JoystickChange::Axis     ? 0
                             : change.kind == JoystickChange::Button ? 1
                                                                     : 2;
            unread_joystick_values_.erase(
                {port, kind, change.kind == JoystickChange::Hat ? 0 : change.index});
        });
    } else {
        // Joysticks are read when the game asks, not pumped: their changes join the script as read.
        SetJoystickObserver([this](int port, const JoystickChange& change) {
            TScriptEvent e;
            e.frame = frame_;
            e.a = port;
            switch (change.kind) {
            case JoystickChange::Attach: e.kind = TScriptEventKind::JoyAttach; break;
            case JoystickChange::Detach: e.kind = TScriptEventKind::JoyDetach; break;
            case JoystickChange::Axis:
                e.kind = TScriptEventKind::JoyAxis;
                e.b = change.index;
                e.c = change.value;
                break;
            case JoystickChange::Button:
                e.kind = change.value ? TScriptEventKind::JoyButtonDown : TScriptEventKind::JoyButtonUp;
                e.b = change.index;
                break;
            case JoystickChange::Hat:
                e.kind = TScriptEventKind::JoyHat;
                e.b = change.value;
                break;
            }
            // Already seen by the game through the device: recorded, not delivered again.
            if (sink_) sink_(e);
        });
    }
}

TScriptedSystemDriver::~TScriptedSystemDriver() {
    DeleteHook(EventEmitHookId, &CaptureHook, this);
    SetJoystickObserver({});
    for (int handle : joysticks_)
        if (handle >= 0) JoyVirtualDetach(handle);
}

void TScriptedSystemDriver::SetRecordSink(std::function<void(const TScriptEvent&)> sink) {
    sink_ = std::move(sink);
}

void TScriptedSystemDriver::FramePresented() {
    ++frame_;
    // A value no read has seen within its frame holds the next change of it back one frame at most.
    unread_joystick_values_.clear();
}

void TScriptedSystemDriver::Inject(TScriptEventKind kind) {
    TScriptEvent e;
    e.frame = frame_;
    e.kind = kind;
    // Next in line, ahead of the events of later frames that a replay still holds.
    script_.events.insert(script_.events.begin() + static_cast<std::ptrdiff_t>(next_), e);
    if (sink_) sink_(e);
}

// Runs first in the event chain. While the device is pumped it takes the device's events away from
// the game: recording turns them into script events, replaying drops them.
void* TScriptedSystemDriver::CaptureHook(int, void* data, void* context) {
    auto* self = static_cast<TScriptedSystemDriver*>(context);
    if (!data || self->capture_ == Capture::Off) return data;
    const TEvent& ev = *static_cast<const TEvent*>(data);
    TScriptEvent e;
    e.frame = self->frame_;
    switch (ev.id) {
    case EVENT_KEYDOWN: e.kind = TScriptEventKind::KeyDown, e.a = ev.data; break;
    case EVENT_KEYUP: e.kind = TScriptEventKind::KeyUp, e.a = ev.data; break;
    case EVENT_KEYCHAR: e.kind = TScriptEventKind::KeyChar, e.a = ev.data; break;
    case EVENT_MOUSEMOVE: e.kind = TScriptEventKind::MouseMove, e.a = ev.x, e.b = ev.y; break;
    case EVENT_MOUSEDOWN: e.kind = TScriptEventKind::MouseDown, e.a = ev.data; break;
    case EVENT_MOUSEUP: e.kind = TScriptEventKind::MouseUp, e.a = ev.data; break;
    case EVENT_MOUSEWHEEL: e.kind = TScriptEventKind::MouseWheel, e.a = ev.data; break;
    case EVENT_APPSUSPEND: e.kind = TScriptEventKind::Suspend; break;
    case EVENT_APPRESUME: e.kind = TScriptEventKind::Resume; break;
    case EVENT_APPTERMINATE: e.kind = TScriptEventKind::Close; break;
    case EVENT_KEYREPEAT:
    case EVENT_MOUSEENTER:
    case EVENT_MOUSELEAVE: return nullptr; // nothing the polled state keeps
    default: return data;                  // timer ticks and the like are not input
    }
    if (self->capture_ == Capture::Record) {
        self->Append(e);
    } else if (e.kind == TScriptEventKind::Close) {
        return data;
    }
    return nullptr;
}

void TScriptedSystemDriver::Append(const TScriptEvent& e) {
    script_.events.push_back(e);
    if (sink_) sink_(e);
}

void TScriptedSystemDriver::PumpDevice(bool wait) {
    capture_ = mode_ == Mode::Record ? Capture::Record : Capture::Drop;
    if (wait)
        device_->Wait();
    else
        device_->Poll();
    capture_ = Capture::Off;
}

void TScriptedSystemDriver::DeliverDue() {
    if (delivering_) return;
    delivering_ = true;
    while (next_ < script_.events.size() && script_.events[next_].frame <= frame_ &&
           !WaitsForARead(script_.events[next_]))
        Deliver(script_.events[next_++]);
    delivering_ = false;
}

namespace {

// The port value a joystick event sets, as (port, 0 axis / 1 button / 2 hat, index) and its value;
// false for other events.
bool JoystickValue(const TScriptEvent& e, std::tuple<int, int, int>& key, int& value) {
    switch (e.kind) {
    case TScriptEventKind::JoyAxis: key = {e.a, 0, e.b}, value = e.c; return true;
    case TScriptEventKind::JoyButtonDown: key = {e.a, 1, e.b}, value = 1; return true;
    case TScriptEventKind::JoyButtonUp: key = {e.a, 1, e.b}, value = 0; return true;
    case TScriptEventKind::JoyHat: key = {e.a, 2, 0}, value = e.b; return true;
    default: return false;
    }
}

// What a fresh virtual device reads: axes 0, buttons up, the hat centred.
int FreshValue(const std::tuple<int, int, int>& key) {
    return std::get<1>(key) == 2 ? -1 : 0;
}

} // namespace

bool TScriptedSystemDriver::WaitsForARead(const TScriptEvent& e) const {
    std::tuple<int, int, int> key;
    int value = 0;
    return JoystickValue(e, key, value) && unread_joystick_values_.contains(key);
}

void TScriptedSystemDriver::NoteJoystickValue(const TScriptEvent& e) {
    std::tuple<int, int, int> key;
    int value = 0;
    if (!JoystickValue(e, key, value)) return;
    const auto it = joystick_values_.try_emplace(key, FreshValue(key)).first;
    if (it->second == value) return;
    it->second = value;
    unread_joystick_values_.insert(key);
}

void TScriptedSystemDriver::Poll() {
    // Recording samples the devices once per frame, at its first pump, which is exactly where a
    // replay delivers that frame's events; later polls in the frame see no new device input.
    if (mode_ == Mode::Replay || sampled_frame_ != frame_) {
        sampled_frame_ = frame_;
        PumpDevice(false);
    }
    DeliverDue();
}

void TScriptedSystemDriver::Wait() {
    if (mode_ == Mode::Record) {
        PumpDevice(true);
        DeliverDue();
        return;
    }
    PumpDevice(false);
    // A waiting game has read what it wanted: a change held back for a read goes through now.
    if (next_ < script_.events.size() && script_.events[next_].frame <= frame_ &&
        !WaitsForARead(script_.events[next_])) {
        DeliverDue();
    } else if (next_ < script_.events.size()) {
        Deliver(script_.events[next_++]);
    } else {
        std::fprintf(stderr, "replay: the recording ended while the game waited for input; closing\n");
        Deliver({frame_, TScriptEventKind::Resume});
        Deliver({frame_, TScriptEventKind::Close});
    }
}

void TScriptedSystemDriver::Deliver(const TScriptEvent& e) {
    NoteJoystickValue(e);
    auto emit = [](int id, int data = 0, int x = 0, int y = 0) {
        TEvent::Create(id, nullptr, data, 0, x, y).Emit();
    };
    auto joystick = [&](int port) {
        return port >= 0 && port < kScriptJoystickPorts ? joysticks_[static_cast<size_t>(port)] : -1;
    };
    switch (e.kind) {
    case TScriptEventKind::KeyDown: emit(EVENT_KEYDOWN, e.a); break;
    case TScriptEventKind::KeyUp: emit(EVENT_KEYUP, e.a); break;
    case TScriptEventKind::KeyChar: emit(EVENT_KEYCHAR, e.a); break;
    case TScriptEventKind::MouseMove:
        mouse_x_ = e.a, mouse_y_ = e.b;
        emit(EVENT_MOUSEMOVE, 0, e.a, e.b);
        break;
    case TScriptEventKind::MouseDown: emit(EVENT_MOUSEDOWN, e.a, mouse_x_, mouse_y_); break;
    case TScriptEventKind::MouseUp: emit(EVENT_MOUSEUP, e.a, mouse_x_, mouse_y_); break;
    case TScriptEventKind::MouseWheel: emit(EVENT_MOUSEWHEEL, e.a, mouse_x_, mouse_y_); break;
    case TScriptEventKind::Suspend: emit(EVENT_APPSUSPEND); break;
    case TScriptEventKind::Resume: emit(EVENT_APPRESUME); break;
    case TScriptEventKind::Close: emit(EVENT_APPTERMINATE); break;
    case TScriptEventKind::JoyAttach:
        if (e.a >= 0 && e.a < kScriptJoystickPorts && joystick(e.a) < 0)
            joysticks_[static_cast<size_t>(e.a)] = JoyVirtualAttach();
        break;
    case TScriptEventKind::JoyDetach:
        if (int handle = joystick(e.a); handle >= 0) {
            JoyVirtualDetach(handle);
            joysticks_[static_cast<size_t>(e.a)] = -1;
            // What was noted of the device no longer matches: a later attach starts afresh.
            joystick_values_.clear();
            unread_joystick_values_.clear();
        }
        break;
    case TScriptEventKind::JoyAxis: JoyVirtualSetAxis(joystick(e.a), e.b, e.c); break;
    case TScriptEventKind::JoyButtonDown: JoyVirtualSetButton(joystick(e.a), e.b, true); break;
    case TScriptEventKind::JoyButtonUp: JoyVirtualSetButton(joystick(e.a), e.b, false); break;
    case TScriptEventKind::JoyHat: JoyVirtualSetHat(joystick(e.a), e.b); break;
    }
}

void TScriptedSystemDriver::MoveMouse(int x, int y) {
    // The game moves the pointer itself in both modes, so the move is not input: the device's own
    // report of it is dropped and the move is delivered here, as a real move would be.
    capture_ = Capture::Drop;
    if (mode_ == Mode::Record) device_->MoveMouse(x, y);
    capture_ = Capture::Off;
    mouse_x_ = x, mouse_y_ = y;
    TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y).Emit();
}

void TScriptedSystemDriver::SetMouseVisible(bool visible) {
    device_->SetMouseVisible(visible);
}
void TScriptedSystemDriver::Notify(const std::string& text, bool serious) {
    device_->Notify(text, serious);
}
int TScriptedSystemDriver::Confirm(const std::string& text, bool serious) {
    return device_->Confirm(text, serious);
}
int TScriptedSystemDriver::Proceed(const std::string& text, bool serious) {
    return device_->Proceed(text, serious);
}
std::string TScriptedSystemDriver::RequestFile(const std::string& title, const std::string& filter, bool save,
                                               const std::string& initial_path) {
    return device_->RequestFile(title, filter, save, initial_path);
}
std::string TScriptedSystemDriver::RequestDir(const std::string& title, const std::string& initial_path) {
    return device_->RequestDir(title, initial_path);
}
void TScriptedSystemDriver::OpenURL(const std::string& url) {
    device_->OpenURL(url);
}
int TScriptedSystemDriver::StartTimer(int period_ms, TMainThreadFunc func, intptr_t a, intptr_t b) {
    return device_->StartTimer(period_ms, func, a, b);
}
void TScriptedSystemDriver::StopTimer(int handle) {
    device_->StopTimer(handle);
}
void TScriptedSystemDriver::RequestTerminate() {
    Inject(TScriptEventKind::Close);
    DeliverDue();
}
