// Event records, hook chains and the event queue: how window messages reach everything that listens.
#pragma once

#include <any>
#include <cstdint>
#include <string>

// Event kinds. The bits above the low byte group them: 0x100 application, 0x200 keyboard,
// 0x400 mouse, 0x800 timer, 0x2000 gadget, 0x4000 window, 0x8000 menu, 0x10000 stream,
// 0x20000 process; user kinds come from AllocUserId. The platform layer itself makes only the
// application, keyboard, mouse and timer kinds.
enum : int {
    EVENT_APPSUSPEND = 0x101,
    EVENT_APPRESUME = 0x102,
    EVENT_APPTERMINATE = 0x103,
    EVENT_APPOPENFILE = 0x104,
    EVENT_APPIDLE = 0x105,
    EVENT_KEYDOWN = 0x201,
    EVENT_KEYUP = 0x202,
    EVENT_KEYCHAR = 0x203,
    EVENT_KEYREPEAT = 0x204,
    EVENT_MOUSEDOWN = 0x401,
    EVENT_MOUSEUP = 0x402,
    EVENT_MOUSEMOVE = 0x403,
    EVENT_MOUSEWHEEL = 0x404,
    EVENT_MOUSEENTER = 0x405,
    EVENT_MOUSELEAVE = 0x406,
    EVENT_TIMERTICK = 0x801,
    EVENT_GADGETACTION = 0x2001,
    EVENT_GADGETPAINT = 0x2002,
    EVENT_GADGETSELECT = 0x2003,
    EVENT_GADGETMENU = 0x2004,
    EVENT_GADGETOPEN = 0x2005,
    EVENT_GADGETCLOSE = 0x2006,
    EVENT_GADGETDONE = 0x2007,
    EVENT_GADGETLOSTFOCUS = 0x2008,
    EVENT_GADGETSHAPE = 0x2009,
    EVENT_WINDOWMOVE = 0x4001,
    EVENT_WINDOWSIZE = 0x4002,
    EVENT_WINDOWCLOSE = 0x4003,
    EVENT_WINDOWACTIVATE = 0x4004,
    EVENT_WINDOWACCEPT = 0x4005,
    EVENT_MENUACTION = 0x8001,
    EVENT_STREAMEOF = 0x10001,
    EVENT_STREAMAVAIL = 0x10002,
    EVENT_PROCESSEXIT = 0x20001,
};

// Modifier mask bits of TEvent::mods.
enum : int { MODIFIER_SHIFT = 1, MODIFIER_CONTROL = 2, MODIFIER_ALT = 4, MODIFIER_SYSTEM = 8 };

// One event. `source` only identifies the object that produced it (compared, never followed);
// `extra` is an optional payload, printed by ToString when it holds a std::string.
struct TEvent {
    int id = 0;
    const void* source = nullptr;
    int data = 0;
    int mods = 0;
    int x = 0;
    int y = 0;
    std::any extra;

    static TEvent Create(int id, const void* source = nullptr, int data = 0, int mods = 0, int x = 0,
                         int y = 0, std::any extra = {});

    // Runs the chain of EventEmitHookId with this event as data.
    void Emit();

    std::string ToString() const;

    // The next user kind: 0x80000001, 0x80000002, ...
    static int AllocUserId();
};

// A hook: called with the hook id, the data passed along the chain and its own context; returns the
// data for the next hook.
using THookFunc = void* (*)(int id, void* data, void* context);

// One entry of a hook chain.
struct THook {
    THook* succ = nullptr;
    int priority = 0;
    THookFunc func = nullptr;
    void* context = nullptr;
};

// Hook ids are 0..255. Id 0 belongs to the event layer (every emitted TEvent passes through it), so
// the first NewHookId returns 1 and the 256th call throws "Too many hook ids".
inline constexpr int EventEmitHookId = 0;

int NewHookId();

// Inserts after the last entry of equal or higher priority, so equal priorities run in insertion order.
void InsertHook(int id, THookFunc func, void* context, int priority);

// Unlinks the first entry with this func and context; nothing if there is none. A hook may remove
// itself while it runs, but not the entry after it.
void DeleteHook(int id, THookFunc func, void* context);

// Calls the chain in order, each entry with the data the previous one returned; returns the last result.
void* CallHooks(int id, void* data);

// The event queue: a ring of 256 events filled by a hook on EventEmitHookId that runs after every
// other (priority -10000). Timer ticks, gadget actions, window moves and window sizes from one source
// merge into the entry already queued. Installed at program start; the game never takes from it.

// The oldest queued event or null; pumps system events first when the queue is empty. The pointer is
// valid until the next queue operation.
const TEvent* PeekQueuedEvent();

// Removes the oldest event, makes it the current event and returns its id; 0 and an empty current
// event when none is queued (after pumping once).
int PollQueuedEvent();

// Waits with WaitSystemEvent until an event is queued, then as PollQueuedEvent.
int WaitQueuedEvent();

// Number of events waiting in the queue.
int CountQueuedEvents();

int CurrentEventId();
int CurrentEventData();
int CurrentEventMods();
int CurrentEventX();
int CurrentEventY();
const std::any& CurrentEventExtra();
const void* CurrentEventSource();
