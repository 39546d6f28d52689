// The drop-and-close state both windows keep: every order of the events a
// window meets (drops, a runner finishing, close requests, the answers to
// the Force-exit question) against a model runner, and the orders users hit
// most as a readable table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/DropState.h"

namespace framelot {
namespace {

// FileEnds: the runner's DropDone and, when it was the last, its Idle at
// once. EndsIdleLate: the DropDone now, the Idle only when IdleArrives (the
// window may take a newer drop in between).
enum class Event { Drop, EmptyChoice, FileEnds, EndsIdleLate, IdleArrives, Close, Yes, No };
constexpr Event AllEvents[] = {Event::Drop,        Event::EmptyChoice, Event::FileEnds, Event::EndsIdleLate,
                               Event::IdleArrives, Event::Close,       Event::Yes,      Event::No};

const char* Name(Event e)
{
    switch (e) {
    case Event::Drop: return "drop";
    case Event::EmptyChoice: return "empty choice";
    case Event::FileEnds: return "drop ends";
    case Event::EndsIdleLate: return "drop ends, its idle late";
    case Event::IdleArrives: return "idle arrives";
    case Event::Close: return "close";
    case Event::Yes: return "yes";
    case Event::No: return "no";
    }
    return "?";
}

std::string Text(const DropActions& a)
{
    std::string t;
    auto add = [&](bool on, const char* word) {
        if (on) t += t.empty() ? word : std::string(" ") + word;
    };
    add(a.ShowBusy, "busy");
    add(a.Submit, "submit");
    add(a.ShowResult, "result");
    add(a.ShowIdle, "idle");
    add(a.AskForceExit, "ask");
    add(a.Abort, "abort");
    add(a.Close, "close");
    return t.empty() ? "-" : t;
}

// A window over the state and a runner that finishes its drops one at a time,
// reporting DropDone and then Idle as the real one does (Idle(true) alone once
// it was asked to abort). Checks what must hold after every event.
struct World {
    DropState State;
    int RunnerDrops = 0;
    int IdleQueued = 0;  // Idle reports on their way to the window
    bool RunnerAborting = false;
    bool Asking = false;
    bool Busy = false;  // the bar shown
    bool Closed = false;
    std::vector<std::string> Log;

    void Apply(const DropActions& a)
    {
        Log.push_back(Text(a));
        if (a.ShowBusy) {
            EXPECT_FALSE(Busy) << "busy shown twice";
            Busy = true;
        }
        if (a.Submit) {
            EXPECT_FALSE(Closed) << "a drop handed on after the window closed";
            EXPECT_FALSE(RunnerAborting) << "a drop handed to an aborting runner, which ignores it";
            ++RunnerDrops;
        }
        if (a.ShowIdle) Busy = false;
        if (a.AskForceExit) {
            EXPECT_FALSE(Asking) << "asked twice at once";
            EXPECT_TRUE(RunnerDrops > 0 || IdleQueued > 0) << "asked with nothing to abort";
            Asking = true;
        }
        if (a.Abort) {
            EXPECT_TRUE(RunnerDrops > 0 || IdleQueued > 0) << "an abort for a runner with nothing to do: it would never report Idle";
            RunnerAborting = true;
        }
        if (a.Close) {
            EXPECT_FALSE(Closed) << "closed twice";
            EXPECT_TRUE(RunnerDrops == 0 || State.ExitConfirmed) << "closed on work the user did not give up";
            Closed = true;
        }
    }

    bool CanHappen(Event e) const
    {
        if (Closed) return false;
        switch (e) {
        case Event::FileEnds:
        case Event::EndsIdleLate: return RunnerDrops > 0;
        case Event::IdleArrives: return IdleQueued > 0;
        case Event::Yes:
        case Event::No: return Asking;
        default: return true;
        }
    }

    void Happen(Event e)
    {
        switch (e) {
        case Event::Drop: Apply(OnSubmitted(State, true)); break;
        case Event::EmptyChoice: Apply(OnSubmitted(State, false)); break;
        case Event::FileEnds:
        case Event::EndsIdleLate:
            if (RunnerAborting) {
                RunnerDrops = 0;
                Apply(OnIdle(State, true));
            } else {
                --RunnerDrops;
                Apply(OnDropDone(State));
                if (RunnerDrops == 0 && e == Event::FileEnds) Apply(OnIdle(State, false));
                if (RunnerDrops == 0 && e == Event::EndsIdleLate) ++IdleQueued;
            }
            break;
        case Event::IdleArrives:
            --IdleQueued;
            Apply(OnIdle(State, false));
            break;
        case Event::Close: Apply(OnCloseAsked(State)); break;
        case Event::Yes:
        case Event::No:
            Asking = false;
            Apply(OnAnswered(State, e == Event::Yes));
            break;
        }
        if (!Closed) {
            // Work to come is shown; once it is all done and told, none is.
            if (RunnerDrops > 0) EXPECT_TRUE(Busy && State.Processing) << "the bar is gone with work to come";
            if (RunnerDrops == 0 && IdleQueued == 0) EXPECT_FALSE(Busy || State.Processing) << "the bar outlives the work";
        }
    }
};

std::string Trace(const std::vector<Event>& events)
{
    std::string t;
    for (Event e : events) t += std::string(t.empty() ? "" : ", ") + Name(e);
    return t;
}

// Every order of up to eight events the window can meet. After each order
// the runner finishes and an open question is answered No: a confirmed exit
// has then always closed the window, and the window that did not close still
// takes a drop.
TEST(DropStateTest, EveryOrderOfEventsKeepsThePromises)
{
    constexpr std::size_t MaxLength = 8;
    std::size_t orders = 0;
    std::vector<Event> events;
    auto explore = [&](auto&& self, const World& world) -> void {
        ++orders;
        World end = world;
        while (end.RunnerDrops > 0) end.Happen(Event::FileEnds);
        while (end.IdleQueued > 0 && !end.Closed) end.Happen(Event::IdleArrives);
        if (end.Asking) end.Happen(Event::No);
        if (end.State.ExitConfirmed) {
            EXPECT_TRUE(end.Closed) << Trace(events) << ": Yes was answered and the window stays";
        }
        if (!end.Closed) {
            const DropActions next = OnSubmitted(end.State, true);
            EXPECT_TRUE(next.Submit) << Trace(events) << ": the window no longer takes drops";
        }
        if (events.size() == MaxLength || ::testing::Test::HasFailure()) return;
        for (Event e : AllEvents) {
            if (!world.CanHappen(e)) continue;
            World after = world;
            events.push_back(e);
            after.Happen(e);
            self(self, after);
            events.pop_back();
        }
    };
    explore(explore, World{});
    EXPECT_GT(orders, 10000u);
}

// The orders users meet most, and what the window does at each step.
TEST(DropStateTest, CommonOrdersAndWhatTheWindowDoes)
{
    const struct {
        const char* Name;
        std::vector<Event> Events;
        std::vector<std::string> Actions;
    } cases[] = {
        {"close while idle", {Event::Close}, {"close"}},
        {"an empty choice does nothing", {Event::EmptyChoice}, {"-"}},
        {"a drop to its end", {Event::Drop, Event::FileEnds}, {"busy submit", "result", "idle"}},
        {"a drop while busy is queued", {Event::Drop, Event::Drop, Event::FileEnds, Event::FileEnds},
         {"busy submit", "submit", "result", "result", "idle"}},
        {"No keeps working", {Event::Drop, Event::Close, Event::No, Event::FileEnds},
         {"busy submit", "ask", "-", "result", "idle"}},
        {"Yes aborts, the window closes when the file ends", {Event::Drop, Event::Close, Event::Yes, Event::FileEnds},
         {"busy submit", "ask", "abort", "idle close"}},
        {"Yes after the drop ended behind the question closes at once",
         {Event::Drop, Event::Close, Event::FileEnds, Event::Yes}, {"busy submit", "ask", "result", "idle", "close"}},
        {"a close after Yes closes at once", {Event::Drop, Event::Close, Event::Yes, Event::Close},
         {"busy submit", "ask", "abort", "close"}},
        {"a close during the question is not asked again", {Event::Drop, Event::Close, Event::Close, Event::No},
         {"busy submit", "ask", "-", "-"}},
        {"a drop after Yes is not taken", {Event::Drop, Event::Close, Event::Yes, Event::Drop, Event::FileEnds},
         {"busy submit", "ask", "abort", "-", "idle close"}},
        {"an Idle that arrives after a newer drop does not end it: a close still asks",
         {Event::Drop, Event::EndsIdleLate, Event::Drop, Event::IdleArrives, Event::Close},
         {"busy submit", "result", "submit", "-", "ask"}},
    };
    for (const auto& c : cases) {
        World world;
        for (Event e : c.Events) {
            ASSERT_TRUE(world.CanHappen(e)) << c.Name;
            world.Happen(e);
        }
        EXPECT_EQ(world.Log, c.Actions) << c.Name;
    }
}

}  // namespace
}  // namespace framelot
