// What one file will write, settled once before its first frame is decoded:
// every path (frames under their real numbers after picking and merging,
// sheet pages, atlas, array, timings), the folders that may be made, the
// canvas and the one size every frame is written at, the frames chosen with
// the time each stands for, the format's limits and the byte cap. The skip
// test, the grouping of a batch, the lines, --info, the room check and the
// take-back all read the plan; nothing derives "what this file writes" again.
//
// The rules, each named:
//
// - NumberedInOrder: frames are numbered by their place in the file, or,
//   with --merge-held, in the order they are written (0, 1, 2, ...); either
//   way plus --start. The skip test and the lines name the first number
//   that will be written.
// - UntilTheNextPicked: a chosen frame stands for the time until the next
//   chosen frame (the last one: until the animation's end), so the times of
//   picked frames add up to the span they cover, as a viewer of the picked
//   frames sees them. Every frame chosen: each its own delay.
// - MergeNeighbours: --merge-held joins only frames that are neighbours in
//   the file, never two picked frames with unpicked ones between them.
// - OneFactor: a scaled file is scaled by one factor, from its final canvas:
//   each frame is laid on that canvas first, so a growing canvas does not
//   change the factor from frame to frame.
// - FormatSides: JPEG frames are at most 65500 pixels a side, WebP 16383;
//   a plan past them is refused before anything is decoded.
// - NameBytes: a file or folder name of more than 255 bytes is refused
//   before anything is decoded (no common file system takes one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/OutputOptions.h"
#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"
#include "output/encoders/ArrayBuilder.h"
#include "output/sheets/SheetBuilder.h"

namespace framelot {

// Memory: frames handed to a caller in memory, nothing written.
enum class OutputKind { Frames, Sheet, Array, Memory };

// The longest file or folder name, in bytes, that common file systems take.
inline constexpr std::size_t MaxNameBytes = 255;

struct OutputPlan {
    OutputOptions Chosen;        // the options, with frames picked by step or time resolved
    AnimationInfo Info;          // the file's description, when the plan needed it (else empty: nothing
                                 // below marked "when described" is known)
    OutputKind Kind = OutputKind::Frames;
    std::string Placed;          // the source as if it lay where its outputs go
    bool MakeFolder = true;
    SheetPaths Sheet;
    ArrayPaths Array;
    std::string TimingsPath;     // empty without --timings
    std::string Destination;     // what the lines name: the folder, the first frame, the sheet or the array
    // Without the folder: the names the first frame may get. One, but for
    // --merge-held with {delay} in the names, where the first frame's time
    // is its run's, known once it is merged: a name for each run it may end.
    std::vector<std::string> FirstNames;
    std::string FramesFolder;    // the folder the files are written in
    std::vector<std::string> Folders;  // the folders it may make, outermost first
    bool FolderParents = false;  // the first of Folders is made with every missing folder above it

    std::uint64_t Cells = 0;     // the chosen frames the file has (known when described)
    std::vector<double> Durations;  // UntilTheNextPicked, by frame index (when described)
    bool Declared = false;       // frames on the declared canvas
    std::int64_t CanvasWidth = 0, CanvasHeight = 0;  // the final canvas (when described)
    bool Scaled = false;         // OneFactor: frames laid on the canvas, then scaled to FrameWidth x FrameHeight
    std::int64_t FrameWidth = 0, FrameHeight = 0;  // the size frames are written at (when described)
    std::uint64_t ByteCap = 0;   // --max-output; 0: none
    std::string CanvasNote;      // why the declared canvas could not be used
    std::string SamplingNote;    // what could not be picked
};

// The plan's frame number for the `delivered`-th frame written (0 upward),
// which is frame `index` of the file (NumberedInOrder), before --start.
std::uint64_t PlannedNumber(const OutputPlan& plan, std::uint64_t delivered, std::uint64_t index);

// The path of the frame numbered `number`, shown for `durationMs`.
std::string PlannedFramePath(const OutputPlan& plan, std::uint64_t number, double durationMs);

// The skip test: true when the output is there already. With the folder
// switch on, the folder stands for it; off, the first frame's file (any of
// FirstNames), or the sheet's, the array's files. Costs a look at the file
// system per path.
bool PlanTaken(const OutputPlan& plan);

// What the skip test found there: the path that stands for the output (the
// folder, the first frame's file as it is named there, the sheet or the
// array); empty when nothing is.
std::string TakenOutput(const OutputPlan& plan);

// Whether the plan needs the file's description before it can be settled.
bool PlanNeedsDescription(const OutputOptions& options);

// The part of the plan that needs nothing but the source's path: kind,
// places, folders, destination (the first frame's for the default names).
OutputPlan PlanPlaces(const std::string& source, const OutputOptions& options);

// Completes `plan` from the file's description (`described` false: none was
// read): frames chosen and their times, canvas, scale, limits, names.
// Converted, or why the file cannot be written as asked (a usage error, over
// a limit or a format's side, a name too long).
ConvertResult SettlePlan(OutputPlan& plan, const AnimationInfo& info, bool described);

// The key of a batch's grouping: files with equal keys may write the same
// paths and are converted one after the other, in order. Without {name} in
// the names and without a folder per file, every file of one folder shares a
// key. Costs a look at the file system for the folder's links.
std::string PlanGroupKey(const std::string& source, const OutputOptions& options);

// Why the options make every file's names equal for two of `files` that land
// in one folder (names without {name}, no folder per file), naming them and
// what to do; empty when they do not.
std::string SameNamesRefusal(const std::vector<std::string>& files, const OutputOptions& options);

}  // namespace framelot
