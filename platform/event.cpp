// Event records, the 256 hook chains and the event queue.
#include "platform/event.h"

#include "platform/system.h"

#include <array>
#include <cassert>
#include <stdexcept>

namespace {

constexpr int kHookChains = 256;

// Constant-initialised so that hooks may be inserted from other files' static initialisers.
constinit std::array<THook*, kHookChains> g_hooks{};
// Id 0 (EventEmitHookId) is taken by the event layer before anyone else asks.
constinit int g_last_hook_id = EventEmitHookId;

constinit uint32_t g_last_user_id = 0x80000000u;

const char* KindName(int id) {
    switch (id) {
    case EVENT_APPSUSPEND: return "AppSuspend";
    case EVENT_APPRESUME: return "AppResume";
    case EVENT_APPTERMINATE: return "AppTerminate";
    case EVENT_APPOPENFILE: return "AppOpenFile";
    case EVENT_APPIDLE: return "AppIdle";
    case EVENT_KEYDOWN: return "KeyDown";
    case EVENT_KEYUP: return "KeyUp";
    case EVENT_KEYCHAR: return "KeyChar";
    case EVENT_KEYREPEAT: return "KeyRepeat";
    case EVENT_MOUSEDOWN: return "MouseDown";
    case EVENT_MOUSEUP: return "MouseUp";
    case EVENT_MOUSEMOVE: return "MouseMove";
    case EVENT_MOUSEWHEEL: return "MouseWheel";
    case EVENT_MOUSEENTER: return "MouseEnter";
    case EVENT_MOUSELEAVE: return "MouseLeave";
    case EVENT_TIMERTICK: return "TimerTick";
    case EVENT_GADGETACTION: return "GadgetAction";
    case EVENT_GADGETPAINT: return "GadgetPaint";
    case EVENT_GADGETSELECT: return "GadgetSelect";
    case EVENT_GADGETMENU: return "GadgetMenu";
    case EVENT_GADGETOPEN: return "GadgetOpen";
    case EVENT_GADGETCLOSE: return "GadgetClose";
    case EVENT_GADGETDONE: return "GadgetDone";
    case EVENT_GADGETLOSTFOCUS: return "GadgetLostFocus";
    case EVENT_GADGETSHAPE: return "GadgetShape";
    case EVENT_WINDOWMOVE: return "WindowMove";
    case EVENT_WINDOWSIZE: return "WindowSize";
    case EVENT_WINDOWCLOSE: return "WindowClose";
    case EVENT_WINDOWACTIVATE: return "WindowActivate";
    case EVENT_WINDOWACCEPT: return "WindowAccept";
    case EVENT_MENUACTION: return "MenuAction";
    case EVENT_STREAMEOF: return "StreamEof";
    case EVENT_STREAMAVAIL: return "StreamAvail";
    case EVENT_PROCESSEXIT: return "ProcessExit";
    default: return nullptr;
    }
}

// ---- the event queue ----

constexpr int kQueueSize = 256;
constexpr int kQueueHookPriority = -10000;

struct TEventQueue {
    std::array<TEvent, kQueueSize> ring;
    uint32_t put = 0; // both counters only grow; slot = counter mod 256
    uint32_t take = 0;
    TEvent current;

    int Count() const { return static_cast<int>(put - take); }
};

TEventQueue& Queue() {
    static TEventQueue queue;
    return queue;
}

bool MergesInQueue(int id) {
    return id == EVENT_TIMERTICK || id == EVENT_GADGETACTION || id == EVENT_WINDOWMOVE ||
           id == EVENT_WINDOWSIZE;
}

void* QueueHook(int, void* data, void*) {
    if (!data) return data;
    const TEvent& event = *static_cast<const TEvent*>(data);
    TEventQueue& queue = Queue();
    if (MergesInQueue(event.id)) {
        for (uint32_t i = queue.take; i != queue.put; ++i) {
            TEvent& queued = queue.ring[i % kQueueSize];
            if (queued.id == event.id && queued.source == event.source) {
                queued.data = event.data;
                queued.mods = event.mods;
                queued.x = event.x;
                queued.y = event.y;
                queued.extra = event.extra;
                return data;
            }
        }
    }
    if (queue.Count() < kQueueSize) {
        queue.ring[queue.put % kQueueSize] = event;
        ++queue.put;
    }
    return data;
}

// The queue's start-up, run once when the program starts.
const bool g_queue_started = [] {
    InsertHook(EventEmitHookId, QueueHook, nullptr, kQueueHookPriority);
    return true;
}();

} // namespace

TEvent TEvent::Create(int id, const void* source, int data, int mods, int x, int y, std::any extra) {
    TEvent event;
    event.id = id;
    event.source = source;
    event.data = data;
    event.mods = mods;
    event.x = x;
    event.y = y;
    event.extra = std::move(extra);
    return event;
}

void TEvent::Emit() {
    CallHooks(EventEmitHookId, this);
}

std::string TEvent::ToString() const {
    std::string text;
    if (const char* name = KindName(id)) {
        text = name;
    } else if (static_cast<uint32_t>(id) & 0x80000000u) {
        text = "UserEvent" + std::to_string(static_cast<uint32_t>(id) - 0x80000000u);
    } else {
        text = "Unknown Event, id=" + std::to_string(id);
    }
    const std::string* extra_text = std::any_cast<std::string>(&extra);
    text += ": data=" + std::to_string(data) + ", mods=" + std::to_string(mods) + ", x=" + std::to_string(x) +
            ", y=" + std::to_string(y) + ", extra=\"" + (extra_text ? *extra_text : std::string()) + "\"";
    return text;
}

int TEvent::AllocUserId() {
    return static_cast<int>(++g_last_user_id);
}

int NewHookId() {
    if (g_last_hook_id >= kHookChains - 1) throw std::runtime_error("Too many hook ids");
    return ++g_last_hook_id;
}

void InsertHook(int id, THookFunc func, void* context, int priority) {
    assert(id >= 0 && id < kHookChains && "hook id out of range");
    THook* hook = new THook{nullptr, priority, func, context};
    THook** link = &g_hooks[id];
    while (*link && (*link)->priority >= priority) link = &(*link)->succ;
    hook->succ = *link;
    *link = hook;
}

void DeleteHook(int id, THookFunc func, void* context) {
    assert(id >= 0 && id < kHookChains && "hook id out of range");
    for (THook** link = &g_hooks[id]; *link; link = &(*link)->succ) {
        THook* hook = *link;
        if (hook->func == func && hook->context == context) {
            *link = hook->succ;
            delete hook;
            return;
        }
    }
}

void* CallHooks(int id, void* data) {
    assert(id >= 0 && id < kHookChains && "hook id out of range");
    for (THook* hook = g_hooks[id]; hook;) {
        THook* succ = hook->succ; // read first: the hook may unlink itself
        data = hook->func(id, data, hook->context);
        hook = succ;
    }
    return data;
}

const TEvent* PeekQueuedEvent() {
    (void)g_queue_started;
    TEventQueue& queue = Queue();
    if (queue.Count() == 0) PollSystemEvents();
    if (queue.Count() == 0) return nullptr;
    return &queue.ring[queue.take % kQueueSize];
}

int PollQueuedEvent() {
    TEventQueue& queue = Queue();
    if (queue.Count() == 0) PollSystemEvents();
    if (queue.Count() == 0) {
        queue.current = TEvent{};
        return 0;
    }
    queue.current = std::move(queue.ring[queue.take % kQueueSize]);
    queue.ring[queue.take % kQueueSize] = TEvent{};
    ++queue.take;
    return queue.current.id;
}

int WaitQueuedEvent() {
    while (Queue().Count() == 0) WaitSystemEvent();
    return PollQueuedEvent();
}

int CountQueuedEvents() {
    return Queue().Count();
}

int CurrentEventId() {
    return Queue().current.id;
}
int CurrentEventData() {
    return Queue().current.data;
}
int CurrentEventMods() {
    return Queue().current.mods;
}
int CurrentEventX() {
    return Queue().current.x;
}
int CurrentEventY() {
    return Queue().current.y;
}
const std::any& CurrentEventExtra() {
    return Queue().current.extra;
}
const void* CurrentEventSource() {
    return Queue().current.source;
}
