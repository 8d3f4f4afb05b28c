// Joystick ports and reads: axis formula, hat fraction and button-hit counting over a TJoystickDriver.
#include "platform/joystick.h"

#include "platform/joystick_driver.h"
#include "platform/virtual_joystick.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kPorts = 16;
constexpr int kHitButtons = 16;
constexpr size_t kMaxPortTable = 256;
constexpr int kHatSlot = 9; // axis slots: x, y, z, r, u, v, three unused, then the hat

struct PortState {
    uint32_t buttons = 0;
    float axes[16] = {};
    int hits[kHitButtons] = {};
};

// What the observer has been told about one port.
struct ObservedPort {
    bool attached = false;
    int axis_raw[TJoystickPosition::kAxes] = {};
    uint32_t buttons = 0;
    int hat = -1;
};

struct JoystickService {
    std::unique_ptr<TJoystickDriver> driver;
    bool counted = false;        // false until the first CountJoysticks
    std::vector<int> port_table; // port -> device id
    PortState ports[kPorts];
    JoystickObserver observer;
    ObservedPort observed[kPorts];
};

JoystickService& service() {
    static JoystickService s;
    return s;
}

TJoystickDriver& driver() {
    InitJoysticks();
    return *service().driver;
}

// Out-of-range ports and buttons would index past the tables; they are the caller's error.
void require(bool ok, const char* what, int value) {
    if (ok) return;
    std::fprintf(stderr, "joystick: %s %d out of range\n", what, value);
    std::abort();
}

void require_port(int port) {
    require(port >= 0 && port < kPorts, "port", port);
}

int hat_hundredths(uint32_t hat) {
    return hat > 36000 ? -1 : static_cast<int>(hat);
}

void notify(int port, const TJoystickPosition* pos) {
    JoystickService& s = service();
    if (!s.observer) return;
    ObservedPort& seen = s.observed[port];
    if (!pos) {
        if (seen.attached) {
            seen = ObservedPort{};
            s.observer(port, {JoystickChange::Detach, 0, 0});
        }
        return;
    }
    if (!seen.attached) {
        seen = ObservedPort{};
        seen.attached = true;
        s.observer(port, {JoystickChange::Attach, 0, 0});
    }
    for (int a = 0; a < TJoystickPosition::kAxes; ++a) {
        if (!(pos->axis_valid & (1u << a))) continue;
        const int raw = static_cast<int>(pos->axis_pos[a]) - 32768;
        if (raw == seen.axis_raw[a]) continue;
        seen.axis_raw[a] = raw;
        s.observer(port, {JoystickChange::Axis, a, raw});
    }
    const uint32_t changed = pos->buttons ^ seen.buttons;
    seen.buttons = pos->buttons;
    for (int b = 0; b < 32; ++b) {
        if (changed & (1u << b))
            s.observer(port, {JoystickChange::Button, b, (pos->buttons >> b) & 1 ? 1 : 0});
    }
    if (pos->hat_valid && hat_hundredths(pos->hat) != seen.hat) {
        seen.hat = hat_hundredths(pos->hat);
        s.observer(port, {JoystickChange::Hat, 0, seen.hat});
    }
}

// The device a port reads; false when it has none.
bool port_device(int port, int& device) {
    JoystickService& s = service();
    if (!s.counted) {
        // Before the first count every port stands for the system's first device.
        const std::vector<int> devices = s.driver->Devices();
        if (devices.empty()) return false;
        device = devices.front();
        return true;
    }
    if (static_cast<size_t>(port) >= s.port_table.size()) return false;
    device = s.port_table[port];
    return true;
}

// The read every query makes for its port.
void read_port(int port) {
    require_port(port);
    TJoystickDriver& drv = driver();
    drv.Refresh();
    TJoystickPosition pos;
    int device = 0;
    if (!port_device(port, device) || !drv.Read(device, pos)) {
        notify(port, nullptr);
        return;
    }
    PortState& st = service().ports[port];
    const uint32_t previous = st.buttons;
    st.buttons = pos.buttons;
    for (int a = 0; a < TJoystickPosition::kAxes; ++a) {
        // A zero maximum would divide by zero; such an axis is treated as not reported.
        if (!(pos.axis_valid & (1u << a)) || pos.axis_max[a] == 0) continue;
        const double span = (static_cast<double>(pos.axis_pos[a]) - pos.axis_min[a]) * 2.0;
        st.axes[a] = static_cast<float>(span / pos.axis_max[a] - 1.0);
    }
    if (pos.hat_valid) {
        st.axes[kHatSlot] = pos.hat > 36000 ? -1.0f : static_cast<float>(pos.hat / 36000.0);
    }
    const uint32_t pressed = pos.buttons & ~previous;
    for (int b = 0; b < kHitButtons; ++b) {
        if (pressed & (1u << b)) ++st.hits[b];
    }
    notify(port, &pos);
}

float read_axis(int port, int slot) {
    read_port(port);
    return service().ports[port].axes[slot];
}

// Stands in while no back-end is installed: no devices.
class NoJoystickDriver : public TJoystickDriver {
public:
    std::vector<int> Devices() override { return {}; }
    std::string Name(int) override { return {}; }
    bool Read(int, TJoystickPosition&) override { return false; }
};

} // namespace

void InitJoysticks() {
    JoystickService& s = service();
    if (!s.driver) s.driver = std::make_unique<NoJoystickDriver>();
}

void SetJoystickDriver(std::unique_ptr<TJoystickDriver> drv) {
    JoystickService& s = service();
    s.driver.reset();
    s.driver = drv ? std::move(drv) : std::make_unique<NoJoystickDriver>();
    s.counted = false;
    s.port_table.clear();
    for (PortState& p : s.ports) p = PortState{};
    for (ObservedPort& o : s.observed) o = ObservedPort{};
}

int CountJoysticks() {
    TJoystickDriver& drv = driver();
    drv.Refresh();
    JoystickService& s = service();
    s.port_table.clear();
    std::vector<TJoystickPosition> probes;
    for (int device : drv.Devices()) {
        if (s.port_table.size() == kMaxPortTable) break;
        TJoystickPosition pos;
        if (!drv.Read(device, pos)) continue;
        s.port_table.push_back(device);
        probes.push_back(pos);
    }
    s.counted = true;
    for (int port = 0; port < kPorts; ++port) {
        notify(port, static_cast<size_t>(port) < probes.size() ? &probes[port] : nullptr);
    }
    return static_cast<int>(s.port_table.size());
}

std::string JoyName(int port) {
    require_port(port);
    TJoystickDriver& drv = driver();
    drv.Refresh();
    int device = 0;
    if (!port_device(port, device)) return {};
    return drv.Name(device);
}

bool IsJoyButtonDown(int button, int port) {
    require(button >= 0 && button < 32, "button", button);
    read_port(port);
    return (service().ports[port].buttons >> button) & 1;
}

int JoyButtonHitCount(int button, int port) {
    require(button >= 0 && button < kHitButtons, "hit button", button);
    read_port(port);
    int& hits = service().ports[port].hits[button];
    const int n = hits;
    hits = 0;
    return n;
}

float GetJoyX(int port) {
    return read_axis(port, 0);
}
float GetJoyY(int port) {
    return read_axis(port, 1);
}
float GetJoyZ(int port) {
    return read_axis(port, 2);
}
float GetJoyR(int port) {
    return read_axis(port, 3);
}
float GetJoyU(int port) {
    return read_axis(port, 4);
}
float GetJoyV(int port) {
    return read_axis(port, 5);
}
float GetJoyHat(int port) {
    return read_axis(port, kHatSlot);
}

void SetJoystickObserver(JoystickObserver observer) {
    JoystickService& s = service();
    s.observer = std::move(observer);
    for (ObservedPort& o : s.observed) o = ObservedPort{};
}

// ---- virtual devices: the arguments are checked here, once for every back-end ----

int JoyVirtualAttach() {
    return driver().AttachVirtual();
}

bool JoyVirtualDetach(int handle) {
    return driver().DetachVirtual(handle);
}

bool JoyVirtualSetAxis(int handle, int axis, int value) {
    if (axis < 0 || axis >= TJoystickPosition::kAxes || value < -32768 || value > 32767) return false;
    return driver().SetVirtualAxis(handle, axis, value);
}

bool JoyVirtualSetButton(int handle, int button, bool down) {
    if (button < 0 || button >= 32) return false;
    return driver().SetVirtualButton(handle, button, down);
}

bool JoyVirtualSetHat(int handle, int hundredths) {
    if (hundredths < -1) return false;
    constexpr int eighth = 4500;
    // Nearest eighth of a turn (+ half an eighth rounds half up); beyond a full turn is centred.
    const int snapped =
        hundredths < 0 || hundredths > 36000 ? -1 : (hundredths + eighth / 2) / eighth % 8 * eighth;
    return driver().SetVirtualHat(handle, snapped);
}

void SetJoystickVirtualOnly(bool on) {
    driver().SetVirtualOnly(on);
}
