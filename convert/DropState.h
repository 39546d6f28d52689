// The state of a window's drops and of its closing, as one plain value that
// both windows (Qt and Win32) keep and feed with what happens; each call says
// what the window must do now. The windows only draw and forward events, so
// the rules below hold alike on every platform and are tested without one:
//
// - A drop (a non-empty list of paths) is handed to the runner unless the
//   window is closing or an exit was confirmed; the first one of a busy spell
//   shows the window busy.
// - DropDone shows that drop's result; Idle ends the busy spell once no drop
//   handed on is still to come, or at once when the runner aborted.
// - A close request while idle, after a confirmed exit, or once closing,
//   closes. While busy it asks "Force exit?", once: a request during the
//   question is ignored.
// - The answer is weighed against the state when the question returns, not
//   when it was asked: Yes while still busy aborts (the window closes when the
//   runner is idle, after the file being converted); Yes once the drops have
//   ended meanwhile closes at once; No changes nothing.
//
// Belongs to the window's thread; every call costs a few comparisons.
#pragma once

namespace framelot {

struct DropState {
    int PendingDrops = 0;         // handed to the runner, no DropDone yet
    bool Processing = false;      // from the first drop to the Idle that ends them
    bool Asking = false;          // the Force-exit question is open
    bool ExitConfirmed = false;   // Yes was answered while busy: close when idle
    bool Closed = false;          // the window is closing; nothing more starts
};

// What the window does after an event, in this order.
struct DropActions {
    bool ShowBusy = false;      // show the progress bar and the busy cursor
    bool Submit = false;        // hand the drop to the runner
    bool ShowResult = false;    // show the finished drop's result text and outcomes
    bool ShowIdle = false;      // hide the bar, restore the cursor
    bool AskForceExit = false;  // ask "Now processing...\nForce exit?", then call OnAnswered
    bool Abort = false;         // ask the runner to abort after the current file
    bool Close = false;         // save the setting and close the window
};

// Files were dropped or chosen; `any` is false for an empty choice (a
// cancelled dialog), which does nothing.
DropActions OnSubmitted(DropState& state, bool any);
DropActions OnDropDone(DropState& state);
DropActions OnIdle(DropState& state, bool aborted);
DropActions OnCloseAsked(DropState& state);
DropActions OnAnswered(DropState& state, bool yes);

}  // namespace framelot
