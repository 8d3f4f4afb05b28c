// Events, hook chains, the event queue, polled input, timers and the SDL key and event translation.
#include "backends/null/null_system.h"
#include "backends/sdl/sdl_system.h"
#include "platform/event.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "platform/system_driver.h"
#include "platform/timer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Taken before any test runs: the "too many" test uses up every id that is left.
const int kChainHook = NewHookId();
const int kOrderHook = NewHookId();
const int kFirstUserId = TEvent::AllocUserId();

void DrainQueue() {
    while (CountQueuedEvents() > 0) PollQueuedEvent();
}

void Emit(int id, int data = 0, int x = 0, int y = 0, const void* source = nullptr) {
    TEvent::Create(id, source, data, 0, x, y).Emit();
}

// ---- hooks ----

std::vector<std::string> g_calls;

void* RecordHook(int, void* data, void* context) {
    g_calls.push_back(static_cast<const char*>(context));
    return data;
}

void* AddOneHook(int, void* data, void* context) {
    g_calls.push_back(static_cast<const char*>(context));
    return reinterpret_cast<void*>(reinterpret_cast<intptr_t>(data) + 1);
}

void* DoubleHook(int, void* data, void*) {
    return reinterpret_cast<void*>(reinterpret_cast<intptr_t>(data) * 2);
}

TEST(Hooks, PriorityOrderWithEqualPrioritiesInInsertionOrder) {
    char a[] = "a", b[] = "b", c[] = "c", d[] = "d", e[] = "e";
    InsertHook(kOrderHook, RecordHook, a, 0);
    InsertHook(kOrderHook, RecordHook, b, 5);
    InsertHook(kOrderHook, RecordHook, c, 0);
    InsertHook(kOrderHook, RecordHook, d, 5);
    InsertHook(kOrderHook, RecordHook, e, -3);
    g_calls.clear();
    CallHooks(kOrderHook, nullptr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"b", "d", "a", "c", "e"}));

    // Only the entry with this func and context goes; deleting a missing one changes nothing.
    DeleteHook(kOrderHook, RecordHook, c);
    DeleteHook(kOrderHook, AddOneHook, a);
    g_calls.clear();
    CallHooks(kOrderHook, nullptr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"b", "d", "a", "e"}));
    for (char* ctx : {a, b, d, e}) DeleteHook(kOrderHook, RecordHook, ctx);
    g_calls.clear();
    CallHooks(kOrderHook, nullptr);
    EXPECT_TRUE(g_calls.empty());
}

TEST(Hooks, CallHooksPassesEachResultToTheNext) {
    char first[] = "first", second[] = "second";
    EXPECT_EQ(CallHooks(kChainHook, reinterpret_cast<void*>(7)), reinterpret_cast<void*>(7)) << "empty chain";
    InsertHook(kChainHook, AddOneHook, first, 10);
    InsertHook(kChainHook, DoubleHook, nullptr, 5);
    InsertHook(kChainHook, AddOneHook, second, 1);
    g_calls.clear();
    // (3 + 1) * 2 + 1
    EXPECT_EQ(CallHooks(kChainHook, reinterpret_cast<void*>(3)), reinterpret_cast<void*>(9));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first", "second"}));
    DeleteHook(kChainHook, AddOneHook, first);
    DeleteHook(kChainHook, DoubleHook, nullptr);
    DeleteHook(kChainHook, AddOneHook, second);
}

TEST(Hooks, TheHookIdAfter255IsRefused) {
    int last = kOrderHook;
    for (;;) {
        int id = -1;
        try {
            id = NewHookId();
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Too many hook ids");
            break;
        }
        ASSERT_EQ(id, last + 1);
        last = id;
    }
    EXPECT_EQ(last, 255);
    EXPECT_THROW(NewHookId(), std::runtime_error) << "stays refused";
}

// ---- TEvent texts ----

TEST(EventText, NamesFieldsAndExtra) {
    const int shift_marker = 1;
    TEvent key = TEvent::Create(EVENT_KEYDOWN, &shift_marker, 162, 3, -4, 5, std::string("hi"));
    EXPECT_EQ(key.ToString(), "KeyDown: data=162, mods=3, x=-4, y=5, extra=\"hi\"");
    // A payload that is not text prints as nothing.
    EXPECT_EQ(TEvent::Create(EVENT_TIMERTICK, nullptr, 9, 0, 0, 0, 42).ToString(),
              "TimerTick: data=9, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(TEvent::Create(EVENT_PROCESSEXIT).ToString(),
              "ProcessExit: data=0, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(TEvent::Create(0x999).ToString(),
              "Unknown Event, id=2457: data=0, mods=0, x=0, y=0, extra=\"\"");
}

TEST(EventText, UserIdsCountUpFromTheTopBit) {
    EXPECT_EQ(static_cast<uint32_t>(kFirstUserId), 0x80000001u);
    EXPECT_EQ(TEvent::Create(kFirstUserId, nullptr, 1).ToString(),
              "UserEvent1: data=1, mods=0, x=0, y=0, extra=\"\"");
    const int next = TEvent::AllocUserId();
    EXPECT_GT(static_cast<uint32_t>(next), 0x80000001u);
    EXPECT_EQ(TEvent::AllocUserId(), next + 1);
}

// ---- polled input ----

class PolledInput : public ::testing::Test {
protected:
    void SetUp() override {
        SetSystemDriver(nullptr);
        EnablePolledInput(nullptr);
    }
    void TearDown() override {
        DisablePolledInput();
        TakeAppTerminate();
        if (IsAppSuspended()) Emit(EVENT_APPRESUME);
        DrainQueue();
    }
};

TEST_F(PolledInput, KeyHitsCountPressesAndAreTakenByTheRead) {
    Emit(EVENT_KEYDOWN, 37);
    Emit(EVENT_KEYUP, 37);
    Emit(EVENT_KEYDOWN, 37);
    EXPECT_EQ(IsKeyDown(37), 1);
    EXPECT_EQ(KeyHitCount(37), 2);
    EXPECT_EQ(KeyHitCount(37), 0);
    EXPECT_EQ(IsKeyDown(37), 1) << "reading hits leaves the key held";
    Emit(EVENT_KEYUP, 37);
    EXPECT_EQ(IsKeyDown(37), 0);
}

TEST_F(PolledInput, AHeldKeyCountsOnceWhateverRepeatsArrive) {
    Emit(EVENT_KEYDOWN, 162);
    for (int i = 0; i < 30; ++i) Emit(EVENT_KEYREPEAT, 162);
    Emit(EVENT_KEYDOWN, 162); // a second down without an up in between
    EXPECT_EQ(KeyHitCount(162), 1);
    Emit(EVENT_KEYUP, 162);
    Emit(EVENT_KEYDOWN, 162);
    EXPECT_EQ(KeyHitCount(162), 1);
    EXPECT_EQ(IsKeyDown(162), 1);
}

TEST_F(PolledInput, SuspendAndResumeClearEverythingHeld) {
    Emit(EVENT_KEYDOWN, 38);
    Emit(EVENT_MOUSEDOWN, 1, 10, 20);
    Emit(EVENT_MOUSEMOVE, 0, 10, 20);
    Emit(EVENT_KEYCHAR, 'q');
    Emit(EVENT_APPSUSPEND);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(IsKeyDown(38), 0);
    EXPECT_EQ(KeyHitCount(38), 0);
    EXPECT_EQ(IsMouseDown(1), 0);
    EXPECT_EQ(MouseHitCount(1), 0);
    EXPECT_EQ(NextKeyChar(), 0);
    EXPECT_EQ(GetMouseX(), 10) << "the pointer position survives";

    Emit(EVENT_KEYDOWN, 40);
    Emit(EVENT_APPRESUME);
    EXPECT_EQ(IsAppSuspended(), 0);
    EXPECT_EQ(KeyHitCount(40), 0) << "resume clears too";
}

TEST_F(PolledInput, TheCharacterQueueKeeps256InOrder) {
    for (int i = 0; i < 257; ++i) Emit(EVENT_KEYCHAR, 1000 + i);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(NextKeyChar(), 1000 + i) << "character " << i;
    EXPECT_EQ(NextKeyChar(), 0) << "the 257th was dropped";

    // Taking makes room again, also across the ring's wrap.
    for (int i = 0; i < 200; ++i) Emit(EVENT_KEYCHAR, i);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(NextKeyChar(), i);
    Emit(EVENT_KEYCHAR, 'x');
    ClearKeys();
    EXPECT_EQ(NextKeyChar(), 0) << "ClearKeys empties the queue";
}

TEST_F(PolledInput, MouseButtonsWheelAndPosition) {
    Emit(EVENT_MOUSEDOWN, 0, 5, 5);
    EXPECT_EQ(IsMouseDown(0), 0);
    EXPECT_EQ(MouseHitCount(0), 0);

    Emit(EVENT_MOUSEDOWN, 2, 5, 5);
    Emit(EVENT_MOUSEDOWN, 2, 5, 5);
    EXPECT_EQ(IsMouseDown(2), 1);
    EXPECT_EQ(MouseHitCount(2), 1);
    EXPECT_EQ(MouseHitCount(2), 0);
    Emit(EVENT_MOUSEUP, 2, 5, 5);
    EXPECT_EQ(IsMouseDown(2), 0);

    Emit(EVENT_MOUSEMOVE, 1, 123, -7);
    Emit(EVENT_MOUSEWHEEL, 2);
    Emit(EVENT_MOUSEWHEEL, -5);
    EXPECT_EQ(GetMouseX(), 123);
    EXPECT_EQ(GetMouseY(), -7);
    EXPECT_EQ(GetMouseWheel(), -3);
    Emit(EVENT_MOUSEDOWN, 3, 0, 0);
    ClearMouse();
    EXPECT_EQ(GetMouseWheel(), 0);
    EXPECT_EQ(MouseHitCount(3), 0);
    EXPECT_EQ(IsMouseDown(3), 0);
    EXPECT_EQ(GetMouseX(), 123) << "ClearMouse keeps the position";
}

TEST_F(PolledInput, TerminateIsTakenOnce) {
    EXPECT_EQ(TakeAppTerminate(), 0);
    Emit(EVENT_APPTERMINATE);
    Emit(EVENT_APPTERMINATE);
    EXPECT_EQ(TakeAppTerminate(), 1);
    EXPECT_EQ(TakeAppTerminate(), 0);
}

TEST_F(PolledInput, SourceFilterAndDisabling) {
    DisablePolledInput();
    const int window = 0, other = 0;
    EnablePolledInput(&window);
    EnablePolledInput(nullptr); // already enabled: the filter stays
    Emit(EVENT_KEYDOWN, 65, 0, 0, &other);
    Emit(EVENT_KEYDOWN, 66, 0, 0, &window);
    EXPECT_EQ(KeyHitCount(65), 0);
    EXPECT_EQ(KeyHitCount(66), 1);

    DisablePolledInput();
    Emit(EVENT_KEYDOWN, 67);
    EXPECT_EQ(KeyHitCount(67), 0) << "no state is kept while disabled";
    EXPECT_EQ(IsKeyDown(66), 0) << "disabling clears";
    EnablePolledInput(nullptr);
    Emit(EVENT_KEYDOWN, 67, 0, 0, &other);
    EXPECT_EQ(KeyHitCount(67), 1) << "a null filter takes every source";
}

// A driver whose events come from a script: enough to see the pump guard and the waits at work.
class ScriptedDriver : public TSystemDriver {
public:
    std::vector<TEvent> pending;
    bool deliver_on_poll = true; // else only Wait delivers, one event at a time
    int polls = 0;
    int waits = 0;
    void Poll() override {
        ++polls;
        if (deliver_on_poll) Deliver();
    }
    void Wait() override {
        ++waits;
        if (pending.empty()) throw std::runtime_error("waited with nothing left to deliver");
        TEvent e = pending.front();
        pending.erase(pending.begin());
        e.Emit();
    }
    void MoveMouse(int x, int y) override { TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y).Emit(); }
    void SetMouseVisible(bool) override {}
    void Notify(const std::string&, bool) override {}
    int Confirm(const std::string&, bool) override { return 0; }
    int Proceed(const std::string&, bool) override { return 0; }
    std::string RequestFile(const std::string&, const std::string&, bool, const std::string&) override {
        return {};
    }
    std::string RequestDir(const std::string&, const std::string&) override { return {}; }
    void OpenURL(const std::string&) override {}

private:
    void Deliver() {
        std::vector<TEvent> events;
        events.swap(pending);
        for (TEvent& e : events) e.Emit();
    }
};

void* PollingHook(int, void* data, void*) {
    // A hook that reads polled input pumps again; the guard must make that a no-op.
    IsKeyDown(1);
    PollSystemEvents();
    WaitSystemEvent();
    return data;
}

TEST_F(PolledInput, HooksMayPollWhileAPumpRuns) {
    ScriptedDriver driver;
    SetSystemDriver(&driver);
    InsertHook(EventEmitHookId, PollingHook, nullptr, 5);
    driver.pending = {TEvent::Create(EVENT_KEYDOWN, nullptr, 70), TEvent::Create(EVENT_KEYDOWN, nullptr, 71)};
    EXPECT_EQ(KeyHitCount(70), 1);
    EXPECT_EQ(driver.polls, 1);
    EXPECT_EQ(driver.waits, 0);
    EXPECT_EQ(KeyHitCount(71), 1);
    DeleteHook(EventEmitHookId, PollingHook, nullptr);
    SetSystemDriver(nullptr);
    EXPECT_EQ(CurrentSystemDriver(), nullptr);
}

TEST_F(PolledInput, WaitsReturnTheLowestHit) {
    ScriptedDriver driver;
    driver.deliver_on_poll = false;
    SetSystemDriver(&driver);
    Emit(EVENT_KEYDOWN, 5); // cleared by WaitKeyHit before it waits
    driver.pending = {TEvent::Create(EVENT_MOUSEMOVE), TEvent::Create(EVENT_KEYDOWN, nullptr, 90)};
    EXPECT_EQ(WaitKeyHit(), 90);
    EXPECT_EQ(driver.waits, 2);
    EXPECT_EQ(KeyHitCount(90), 0) << "the wait took the hit";

    driver.pending = {TEvent::Create(EVENT_KEYCHAR, nullptr, 'z')};
    EXPECT_EQ(WaitKeyChar(), 'z');
    EXPECT_EQ(NextKeyChar(), 0);

    driver.pending = {TEvent::Create(EVENT_MOUSEDOWN, nullptr, 3),
                      TEvent::Create(EVENT_MOUSEDOWN, nullptr, 2)};
    driver.pending.front().Emit(); // a press before the wait is cleared by it
    driver.pending.erase(driver.pending.begin());
    EXPECT_EQ(WaitMouseHit(), 2);
    SetSystemDriver(nullptr);
}

TEST_F(PolledInput, WithoutADriverOrOnTheNullDriverThePointerStillMoves) {
    SetMousePosition(320, 220);
    EXPECT_EQ(GetMouseX(), 320);
    EXPECT_EQ(GetMouseY(), 220);
    SetSystemDriver(NullSystemDriver());
    SetMousePosition(12, 34);
    EXPECT_EQ(GetMouseX(), 12);
    EXPECT_EQ(GetMouseY(), 34);
    SetSystemDriver(nullptr);
}

// ---- the event queue ----

TEST(EventQueue, TakesEventsInOrderAndEmptiesTheCurrentEventWhenNone) {
    DrainQueue();
    Emit(EVENT_KEYDOWN, 65, 1, 2);
    Emit(EVENT_MOUSEMOVE, 0, 3, 4);
    ASSERT_NE(PeekQueuedEvent(), nullptr);
    EXPECT_EQ(PeekQueuedEvent()->id, EVENT_KEYDOWN);
    EXPECT_EQ(PollQueuedEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(CurrentEventData(), 65);
    EXPECT_EQ(CurrentEventX(), 1);
    EXPECT_EQ(CurrentEventY(), 2);
    EXPECT_EQ(PollQueuedEvent(), EVENT_MOUSEMOVE);
    EXPECT_EQ(CurrentEventX(), 3);
    EXPECT_EQ(PollQueuedEvent(), 0);
    EXPECT_EQ(CurrentEventId(), 0);
    EXPECT_EQ(CurrentEventData(), 0);
    EXPECT_EQ(PeekQueuedEvent(), nullptr);
}

TEST(EventQueue, TicksAndWindowChangesOfOneSourceMerge) {
    DrainQueue();
    const int timer_a = 0, timer_b = 0;
    TEvent::Create(EVENT_TIMERTICK, &timer_a, 1).Emit();
    TEvent::Create(EVENT_KEYDOWN, &timer_a, 9).Emit();
    TEvent::Create(EVENT_TIMERTICK, &timer_b, 1).Emit();
    TEvent::Create(EVENT_TIMERTICK, &timer_a, 2, 4, 5, 6, std::string("late")).Emit();
    TEvent::Create(EVENT_WINDOWSIZE, &timer_a, 1).Emit();
    TEvent::Create(EVENT_WINDOWSIZE, &timer_a, 2).Emit();
    TEvent::Create(EVENT_KEYDOWN, &timer_a, 9).Emit(); // other kinds never merge
    ASSERT_EQ(CountQueuedEvents(), 5);

    EXPECT_EQ(PollQueuedEvent(), EVENT_TIMERTICK);
    EXPECT_EQ(CurrentEventSource(), &timer_a);
    EXPECT_EQ(CurrentEventData(), 2);
    EXPECT_EQ(CurrentEventMods(), 4);
    EXPECT_EQ(CurrentEventY(), 6);
    EXPECT_EQ(std::any_cast<std::string>(CurrentEventExtra()), "late");
    EXPECT_EQ(PollQueuedEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(PollQueuedEvent(), EVENT_TIMERTICK);
    EXPECT_EQ(CurrentEventSource(), &timer_b);
    EXPECT_EQ(CurrentEventData(), 1);
    EXPECT_EQ(PollQueuedEvent(), EVENT_WINDOWSIZE);
    EXPECT_EQ(CurrentEventData(), 2);
    EXPECT_EQ(PollQueuedEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(PollQueuedEvent(), 0);
}

TEST(EventQueue, HoldsAtMost256) {
    DrainQueue();
    for (int i = 0; i < 300; ++i) Emit(EVENT_KEYCHAR, i);
    EXPECT_EQ(CountQueuedEvents(), 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(PollQueuedEvent(), EVENT_KEYCHAR);
        ASSERT_EQ(CurrentEventData(), i) << "the newest were dropped";
    }
    EXPECT_EQ(PollQueuedEvent(), 0);
}

// ---- SDL translation ----

TEST(SDLKeys, MapToWindowsVirtualKeys) {
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_A), 65);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_Z), 90);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_0), 48);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_1), 49);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_9), 57);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_F1), 112);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_F12), 123);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_LEFT), 37);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_UP), 38);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_RIGHT), 39);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_DOWN), 40);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_ESCAPE), 27);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_SPACE), 32);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_RETURN), 13);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_KP_ENTER), 13) << "Windows gives the keypad's Enter no number";
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_BACKSPACE), 8);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_TAB), 9);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_LSHIFT), 160);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_RSHIFT), 161);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_LCTRL), 162);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_RCTRL), 163);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_LALT), 164);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_RALT), 165);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_KP_5), 101);
    EXPECT_EQ(SDLScancodeToKey(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(SDLScancodeToKey(-1), 0);
    EXPECT_EQ(SDLScancodeToKey(SDL_NUM_SCANCODES), 0);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        const int key = SDLScancodeToKey(scancode);
        EXPECT_TRUE(key != 16 && key != 17 && key != 18)
            << "scancode " << scancode << " gives generic " << key;
    }
}

class SDLEvents : public PolledInput {
protected:
    void SetUp() override {
        PolledInput::SetUp();
        SetSystemDriver(SDLSystemDriver());
        PollSystemEvents();
        DrainQueue();
    }
    void TearDown() override {
        PolledInput::TearDown();
        SetSystemDriver(nullptr);
    }
    static void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }
    static void Key(uint32_t type, SDL_Scancode scancode, int repeat = 0, uint16_t mod = 0) {
        SDL_Event e{};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = static_cast<uint8_t>(repeat);
        e.key.keysym.scancode = scancode;
        e.key.keysym.mod = mod;
        Push(e);
    }
    static std::vector<TEvent> Queued() {
        PollSystemEvents();
        std::vector<TEvent> events;
        while (PollQueuedEvent()) {
            TEvent e = TEvent::Create(CurrentEventId(), CurrentEventSource(), CurrentEventData(),
                                      CurrentEventMods(), CurrentEventX(), CurrentEventY());
            events.push_back(e);
        }
        return events;
    }
};

TEST_F(SDLEvents, KeysBecomeKeyEventsWithTheirCodesAndModifiers) {
    Key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, 0, KMOD_LSHIFT);
    Key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, 1, KMOD_LSHIFT);
    Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, 0, KMOD_LSHIFT | KMOD_LCTRL);
    Key(SDL_KEYUP, SDL_SCANCODE_LSHIFT);
    Key(SDL_KEYDOWN, SDL_SCANCODE_INTERNATIONAL1); // no Windows key: dropped
    const std::vector<TEvent> events = Queued();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].ToString(), "KeyDown: data=160, mods=1, x=0, y=0, extra=\"\"");
    EXPECT_EQ(events[1].ToString(), "KeyRepeat: data=160, mods=1, x=0, y=0, extra=\"\"");
    EXPECT_EQ(events[2].ToString(), "KeyDown: data=13, mods=3, x=0, y=0, extra=\"\"");
    EXPECT_EQ(events[3].ToString(), "KeyChar: data=13, mods=3, x=0, y=0, extra=\"\"");
    EXPECT_EQ(events[4].ToString(), "KeyUp: data=160, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(KeyHitCount(160), 1);
    EXPECT_EQ(IsKeyDown(16), 0);
    EXPECT_EQ(NextKeyChar(), 13);
}

int g_full_screen_switches = 0;
void CountFullScreenSwitch() {
    ++g_full_screen_switches;
}

// F11 and Alt+Return (either Enter) belong to the window: they switch full screen once per press and,
// repeats and releases included, never become key events. A key whose release was lost is the game's
// again at its next press.
TEST_F(SDLEvents, FullScreenKeysSwitchAndNeverReachTheGame) {
    SetSDLFullScreenToggle(&CountFullScreenSwitch);
    g_full_screen_switches = 0;
    Key(SDL_KEYDOWN, SDL_SCANCODE_F11);
    Key(SDL_KEYDOWN, SDL_SCANCODE_F11, 1);
    Key(SDL_KEYUP, SDL_SCANCODE_F11);
    Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, 0, KMOD_RALT);
    Key(SDL_KEYUP, SDL_SCANCODE_RETURN); // Alt let go first
    Key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, 0, KMOD_LALT);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(g_full_screen_switches, 3);

    Key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER); // its release never came
    Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, 0, KMOD_LCTRL);
    const std::vector<TEvent> events = Queued();
    SetSDLFullScreenToggle(nullptr);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].ToString(), "KeyDown: data=13, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(events[2].ToString(), "KeyDown: data=13, mods=2, x=0, y=0, extra=\"\"");
    EXPECT_EQ(g_full_screen_switches, 3);
}

TEST_F(SDLEvents, TextInputQueuesCodePoints) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strcpy(e.text.text, "a\xC3\xA9\xE2\x82\xAC"); // a, e-acute, euro sign
    Push(e);
    EXPECT_EQ(NextKeyChar(), 'a');
    EXPECT_EQ(NextKeyChar(), 0xE9);
    EXPECT_EQ(NextKeyChar(), 0x20AC);
    EXPECT_EQ(NextKeyChar(), 0);
}

TEST_F(SDLEvents, MouseButtonsMovesAndWheel) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.x = 30;
    e.button.y = 40;
    Push(e);
    e.button.button = SDL_BUTTON_MIDDLE;
    Push(e);
    e.button.button = SDL_BUTTON_X1; // no such button here
    Push(e);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = 50;
    move.motion.y = 60;
    move.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_MMASK;
    Push(move);
    move.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK;
    Push(move);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    Push(wheel);
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    Push(wheel);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_RIGHT;
    Push(e);

    const std::vector<TEvent> events = Queued();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].id, EVENT_MOUSEDOWN);
    EXPECT_EQ(events[0].data, 2);
    EXPECT_EQ(events[0].x, 30);
    EXPECT_EQ(events[1].data, 3);
    EXPECT_EQ(events[2].id, EVENT_MOUSEMOVE);
    EXPECT_EQ(events[2].data, 2) << "right wins";
    EXPECT_EQ(events[2].y, 60);
    EXPECT_EQ(events[3].data, 4) << "middle wins over left";
    EXPECT_EQ(events[4].id, EVENT_MOUSEWHEEL);
    EXPECT_EQ(events[4].data, -2);
    EXPECT_EQ(events[5].data, 2);
    EXPECT_EQ(events[6].id, EVENT_MOUSEUP);
    EXPECT_EQ(IsMouseDown(2), 0);
    EXPECT_EQ(IsMouseDown(3), 1);
    EXPECT_EQ(MouseHitCount(2), 1);
    EXPECT_EQ(GetMouseX(), 50);
    EXPECT_EQ(GetMouseWheel(), 0);
}

TEST_F(SDLEvents, CloseFocusAndMinimiseBecomeApplicationEvents) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event window{};
    window.type = SDL_WINDOWEVENT;
    window.window.event = SDL_WINDOWEVENT_CLOSE;
    Push(window);
    Push(quit); // the same request, said twice: one AppTerminate
    window.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Push(window);
    window.window.event = SDL_WINDOWEVENT_MINIMIZED;
    Push(window);
    window.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    Push(window); // still minimised: still suspended
    std::vector<TEvent> events = Queued();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, EVENT_APPTERMINATE);
    EXPECT_EQ(events[1].id, EVENT_APPSUSPEND);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(TakeAppTerminate(), 1);
    EXPECT_EQ(TakeAppTerminate(), 0);

    window.window.event = SDL_WINDOWEVENT_RESTORED;
    Push(window);
    events = Queued();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, EVENT_APPRESUME);
    EXPECT_EQ(IsAppSuspended(), 0);
}

// ---- timers ----

TEST_F(SDLEvents, TimerTicksArriveThroughThePump) {
    std::shared_ptr<TTimer> timer = TTimer::Create(200);
    ASSERT_NE(timer, nullptr);
    const TTimer* raw = timer.get();
    std::weak_ptr<TTimer> watch = timer;
    timer.reset();
    ASSERT_FALSE(watch.expired()) << "a running timer keeps itself alive";
    timer = watch.lock();

    int ticks = 0;
    while (ticks < 3) ticks += timer->Wait();
    EXPECT_EQ(timer->Ticks(), ticks);
    EXPECT_EQ(PeekQueuedEvent()->id, EVENT_TIMERTICK);
    EXPECT_EQ(PeekQueuedEvent()->source, raw);
    EXPECT_EQ(CountQueuedEvents(), 1) << "ticks of one timer merge in the queue";
    EXPECT_EQ(PeekQueuedEvent()->data, timer->Ticks());

    timer->Stop();
    const int stopped_at = timer->Ticks();
    EXPECT_EQ(timer->Wait(), 0);
    for (int i = 0; i < 5; ++i) WaitSystemEvent();
    EXPECT_EQ(timer->Ticks(), stopped_at) << "ticks posted before Stop are ignored";
    timer.reset();
    EXPECT_TRUE(watch.expired());
}

TEST_F(SDLEvents, TimersEmitTheirOwnEventAndAtMost16Run) {
    const int user_id = TEvent::AllocUserId();
    std::vector<std::shared_ptr<TTimer>> timers;
    for (int i = 0; i < TTimer::kMaxRunning; ++i) {
        timers.push_back(TTimer::Create(100, TEvent::Create(user_id, nullptr, i)));
        ASSERT_NE(timers.back(), nullptr) << "timer " << i;
    }
    EXPECT_EQ(TTimer::Create(100), nullptr);
    EXPECT_EQ(TTimer::Create(0), nullptr);
    EXPECT_GE(timers[3]->Wait(), 1);
    bool seen = false;
    for (const TEvent& e : Queued()) seen = seen || (e.id == user_id);
    EXPECT_TRUE(seen);
    for (auto& timer : timers) timer->Stop();
    std::shared_ptr<TTimer> again = TTimer::Create(100);
    ASSERT_NE(again, nullptr) << "stopping frees the slots";
    again->Stop();
}

TEST(NullDriver, HasNoTimers) {
    SetSystemDriver(nullptr);
    EXPECT_EQ(TTimer::Create(60), nullptr);
    SetSystemDriver(NullSystemDriver());
    EXPECT_EQ(TTimer::Create(60), nullptr);
    SetSystemDriver(nullptr);
}

} // namespace
