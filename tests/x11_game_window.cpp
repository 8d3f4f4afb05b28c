// Finding a process's top-level windows through Xlib, unmapping them and sending them close requests.
#include "tests/x11_game_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// One connection per action, closed (and so flushed) at its end.
class Connection {
public:
    Connection()
        : display_(XOpenDisplay(nullptr)) {}
    ~Connection() {
        if (display_) XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }

private:
    Display* display_;
};

long window_pid(Display* display, Window window) {
    const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", True);
    if (pid_atom == None) return -1;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                           &after, &data) == Success &&
        data && items == 1 && format == 32)
        pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return pid;
}

// The top-level windows of `pid`; only viewable ones when asked.
std::vector<Window> windows_of(Display* display, pid_t pid, bool viewable_only) {
    std::vector<Window> found;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
    for (unsigned int i = 0; i < count; ++i) {
        if (window_pid(display, children[i]) != pid) continue;
        XWindowAttributes attributes{};
        if (viewable_only &&
            (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable))
            continue;
        found.push_back(children[i]);
    }
    if (children) XFree(children);
    return found;
}

} // namespace

bool WaitForGameWindow(pid_t pid, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        Connection connection;
        if (connection.get() && !windows_of(connection.get(), pid, true).empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool MinimiseGameWindow(pid_t pid) {
    Connection connection;
    if (!connection.get()) return false;
    const std::vector<Window> windows = windows_of(connection.get(), pid, true);
    for (Window window : windows) XUnmapWindow(connection.get(), window);
    XSync(connection.get(), False);
    return !windows.empty();
}

bool RequestGameWindowClose(pid_t pid) {
    Connection connection;
    Display* display = connection.get();
    if (!display) return false;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    // Every window of the process, shown or not: the game's own is unmapped while it is minimised.
    const std::vector<Window> windows = windows_of(display, pid, false);
    for (Window window : windows) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(delete_window);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XSync(display, False);
    return !windows.empty();
}
