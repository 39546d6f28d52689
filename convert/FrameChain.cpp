#include "convert/FrameChain.h"

#include "imaging/Raster.h"
#include "imaging/Resample.h"

namespace framelot {
namespace {

// `frame` at width x height from the origin, into `out`: clipped where it is
// larger, transparent where it does not reach.
void LayOnCanvas(const Bitmap& frame, std::int64_t width, std::int64_t height, Bitmap& out)
{
    out.Width = static_cast<int>(width);
    out.Height = static_cast<int>(height);
    out.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    CopyBlock(out, 0, 0, frame, frame.Width, frame.Height);
}

}  // namespace

bool FrameChain::Take(std::uint64_t index, const Bitmap& composed)
{
    if (Stopped) return false;
    const OutputOptions& options = Plan.Chosen;
    if (!FrameListed(options.Frames, index)) return true;  // composed, since later frames build on it

    // The plan's canvas: the declared one, or with scaling the final one, so
    // that every frame is scaled by one factor.
    const Bitmap* frame = &composed;
    const bool onCanvas = (Plan.Declared || Plan.Scaled) && Plan.CanvasWidth > 0 && Plan.CanvasHeight > 0;
    if (onCanvas && (composed.Width != Plan.CanvasWidth || composed.Height != Plan.CanvasHeight)) {
        LayOnCanvas(composed, Plan.CanvasWidth, Plan.CanvasHeight, Laid);
        frame = &Laid;
    }
    if (Plan.Scaled) {
        Resample(*frame, static_cast<int>(Plan.FrameWidth), static_cast<int>(Plan.FrameHeight),
                 ChosenFilter(options.Scale), Scaled);
        frame = &Scaled;
    }

    const double duration = index < Plan.Durations.size() ? Plan.Durations[index] : 0;
    ++Taken;
    if (!options.MergeHeld) {
        Stopped = !Deliver({PlannedNumber(Plan, Delivered, index), index, duration, *frame});
        ++Delivered;
    } else if (Run.Holding && index == RunLast + 1 && Run.Continues(*frame)) {
        Run.DelayMs += duration;
        ++Run.Frames;
        RunLast = index;
    } else {
        Flush();
        Run.Start(index, *frame, duration);
        RunLast = index;
    }
    return !Stopped && index < LastListed(options.Frames);  // stop after the last chosen frame
}

void FrameChain::Flush()
{
    if (!Run.Holding) return;
    Run.Holding = false;
    if (Stopped) return;
    Stopped = !Deliver({PlannedNumber(Plan, Delivered, Run.FirstIndex), Run.FirstIndex, Run.DelayMs, Run.Frame});
    ++Delivered;
}

}  // namespace framelot
