#include "convert/DropState.h"

namespace framelot {
namespace {

DropActions CloseNow(DropState& state)
{
    state.Closed = true;
    DropActions a;
    a.Close = true;
    return a;
}

}  // namespace

DropActions OnSubmitted(DropState& state, bool any)
{
    DropActions a;
    if (!any || state.Closed || state.ExitConfirmed) return a;
    if (!state.Processing) {
        state.Processing = true;
        a.ShowBusy = true;
    }
    ++state.PendingDrops;
    a.Submit = true;
    return a;
}

DropActions OnDropDone(DropState& state)
{
    DropActions a;
    if (state.PendingDrops > 0) --state.PendingDrops;
    a.ShowResult = !state.Closed;
    return a;
}

DropActions OnIdle(DropState& state, bool aborted)
{
    DropActions a;
    if (aborted) state.PendingDrops = 0;
    if (state.PendingDrops > 0) return a;  // a drop handed on since is still to come
    if (state.Processing) {
        state.Processing = false;
        a.ShowIdle = true;
    }
    if ((aborted || state.ExitConfirmed) && !state.Closed && !state.Asking) {
        state.Closed = true;
        a.Close = true;
    }
    return a;
}

DropActions OnCloseAsked(DropState& state)
{
    if (state.Closed || !state.Processing || state.ExitConfirmed) return CloseNow(state);
    DropActions a;
    if (state.Asking) return a;
    state.Asking = true;
    a.AskForceExit = true;
    return a;
}

DropActions OnAnswered(DropState& state, bool yes)
{
    DropActions a;
    if (!state.Asking) return a;
    state.Asking = false;
    if (!yes || state.Closed) return a;
    if (!state.Processing) return CloseNow(state);  // the drops ended while the question was open
    state.ExitConfirmed = true;
    a.Abort = true;
    return a;
}

}  // namespace framelot
