// The page's drop-and-cancel state: the windows' own DropState, compiled for
// the page's thread. Each call feeds it one event and returns what the page
// must do now, as bits (FramelotStateBits). The page has no window to close:
// where the state says close, the drop was given up and the page goes on with
// a fresh state (FramelotStateReset). One state for the whole page; its calls
// belong to the page's thread.
#include <emscripten.h>

#include "convert/DropState.h"

namespace {

framelot::DropState State;

enum Bits : int {
    ShowBusy = 1,
    Submit = 2,
    ShowResult = 4,
    ShowIdle = 8,
    AskForceExit = 16,
    Abort = 32,
    Close = 64,
};

int BitsOf(const framelot::DropActions& a)
{
    return (a.ShowBusy ? ShowBusy : 0) | (a.Submit ? Submit : 0) | (a.ShowResult ? ShowResult : 0) |
           (a.ShowIdle ? ShowIdle : 0) | (a.AskForceExit ? AskForceExit : 0) | (a.Abort ? Abort : 0) |
           (a.Close ? Close : 0);
}

}  // namespace

extern "C" {

// Files were dropped or chosen; `any` is 0 for an empty choice.
EMSCRIPTEN_KEEPALIVE int FramelotStateSubmitted(int any) { return BitsOf(OnSubmitted(State, any != 0)); }
// A drop's results are in.
EMSCRIPTEN_KEEPALIVE int FramelotStateDropDone() { return BitsOf(OnDropDone(State)); }
// The worker has no drop left (`aborted`: it was cancelled).
EMSCRIPTEN_KEEPALIVE int FramelotStateIdle(int aborted) { return BitsOf(OnIdle(State, aborted != 0)); }
// Cancel was pressed.
EMSCRIPTEN_KEEPALIVE int FramelotStateCancelAsked() { return BitsOf(OnCloseAsked(State)); }
// The answer to "Force exit?".
EMSCRIPTEN_KEEPALIVE int FramelotStateAnswered(int yes) { return BitsOf(OnAnswered(State, yes != 0)); }
// A fresh state, after a drop given up.
EMSCRIPTEN_KEEPALIVE void FramelotStateReset() { State = {}; }

}  // extern "C"
