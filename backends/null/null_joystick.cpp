// Software joysticks: each device a record of 6 raw axes, 32 buttons and one hat.
#include "backends/null/null_joystick.h"

#include <algorithm>
#include <vector>

namespace {

// Raw axis values -32768..32767 are reported as positions 0..65535, as the SDL back-end does.
constexpr int kAxisOffset = 32768;
constexpr uint32_t kAxisMax = 65535;

struct TSoftJoystick {
    int id = 0;
    int axis_raw[TJoystickPosition::kAxes] = {};
    uint32_t buttons = 0;
    int hat = -1; // hundredths of a degree, -1 centred
};

class TNullJoystickDriver final : public TJoystickDriver {
public:
    std::vector<int> Devices() override {
        std::vector<int> ids;
        for (const TSoftJoystick& j : devices_) ids.push_back(j.id);
        return ids;
    }

    std::string Name(int device) override { return Find(device) ? "Virtual Joystick" : ""; }

    bool Read(int device, TJoystickPosition& out) override {
        const TSoftJoystick* j = Find(device);
        if (!j) return false;
        out = TJoystickPosition{};
        out.buttons = j->buttons;
        for (int a = 0; a < TJoystickPosition::kAxes; ++a) {
            out.axis_valid |= 1u << a;
            out.axis_pos[a] = static_cast<uint32_t>(j->axis_raw[a] + kAxisOffset);
            out.axis_min[a] = 0;
            out.axis_max[a] = kAxisMax;
        }
        out.hat_valid = true;
        out.hat = j->hat < 0 ? TJoystickPosition::kHatCentred : static_cast<uint32_t>(j->hat);
        return true;
    }

    int AttachVirtual() override {
        TSoftJoystick j;
        j.id = next_id_++;
        devices_.push_back(j);
        return j.id;
    }

    bool DetachVirtual(int handle) override {
        auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const TSoftJoystick& j) { return j.id == handle; });
        if (it == devices_.end()) return false;
        devices_.erase(it);
        return true;
    }

    bool SetVirtualAxis(int handle, int axis, int value) override {
        TSoftJoystick* j = Find(handle);
        if (j) j->axis_raw[axis] = value;
        return j != nullptr;
    }

    bool SetVirtualButton(int handle, int button, bool down) override {
        TSoftJoystick* j = Find(handle);
        if (!j) return false;
        if (down)
            j->buttons |= 1u << button;
        else
            j->buttons &= ~(1u << button);
        return true;
    }

    bool SetVirtualHat(int handle, int hundredths) override {
        TSoftJoystick* j = Find(handle);
        if (j) j->hat = hundredths;
        return j != nullptr;
    }

private:
    TSoftJoystick* Find(int id) {
        for (TSoftJoystick& j : devices_)
            if (j.id == id) return &j;
        return nullptr;
    }

    std::vector<TSoftJoystick> devices_;
    int next_id_ = 0;
};

} // namespace

std::unique_ptr<TJoystickDriver> CreateNullJoystickDriver() {
    return std::make_unique<TNullJoystickDriver>();
}
