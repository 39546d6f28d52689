// The sink of frame files: each delivered frame encoded in the plan's format
// and written, on the writer's workers, as a new file under the plan's name
// for its number; then the timings file. A frame equal to the one before it
// is encoded once and written under each number. Before the first frame,
// the room its frames need is estimated against --max-output and the free
// space (a clear excess is refused); as frames are written their bytes are
// spent from the file's cap, and a frame the cap cannot take stops the file.
//
// Add, Finish and TakeBack belong to the converting thread; the writer's
// workers count into the tally under its lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "convert/FileConversion.h"
#include "convert/FrameBook.h"
#include "convert/FrameChain.h"
#include "convert/OutputFolders.h"
#include "convert/OutputPlan.h"
#include "convert/RoomCheck.h"
#include "output/encoders/FrameWriterPool.h"
#include "output/encoders/PngTrial.h"
#include "output/files/ByteCap.h"

namespace framelot {

// What the frames came to, counted from the writer's threads.
struct FrameTally {
    std::mutex Mutex;
    std::uint64_t Written = 0, Existing = 0, Failed = 0, FirstFailedIndex = 0, Done = 0, Total = 0;
    std::uint64_t Bytes = 0;                // of the files written
    std::uint64_t NoRoomBytes = 0;          // of a frame the file system had no room for
    std::string FirstFailure;
    bool NoRoom = false;                    // a frame failed because the file system is full
    bool OverCap = false;                   // a frame would have passed --max-output
    std::vector<std::string> WrittenPaths;  // the files this run wrote, to take back

    void Count(std::uint64_t number, const SaveOutcome& outcome, const std::string& path, std::uint64_t bytes,
               const ProgressFunction& progress);
};

struct FrameFileSink {
    // `total`: the chosen frames, for progress and the room estimate.
    FrameFileSink(const OutputPlan& plan, OutputFolders& folders, ByteCap& cap, unsigned threads, std::uint64_t total,
                  const ProgressFunction& progress);

    // Queues the frame. False when no more should be made: its folders cannot
    // be made, the room check refused, or a frame failed for want of room.
    bool Add(const DeliveredFrame& frame);

    // Waits for every frame, then writes the timings file. Converted with the
    // tally's counts, or why the file failed (Failure says the kind).
    ConvertResult Finish();

    // Removes every file this run wrote (not the folders: OutputFolders).
    void TakeBack() const;

    // The line for a file that did not fit: how much was written and about
    // how much more was needed, from the bytes a frame written so far.
    std::string NoRoomReason(std::uint64_t frames) const;

    const OutputPlan& Plan;
    OutputFolders& Folders;
    ByteCap& Cap;
    const ProgressFunction& Progress;
    FrameTally Tally;
    FrameBook Book;
    FrameWriterPool Writer;
    std::string Refusal;         // why Add stopped before the writer did (folders, room)
    bool RoomRefused = false;
    bool RefusedOverCap = false; // the room check refused for --max-output
    std::string TimingsNote, TimingsWritten;
    std::string FirstPath;       // the first frame's file, as written (one of the plan's FirstNames)

private:
    void HandOn();
    bool RoomFor(const Bitmap& first);

    Bitmap held_;                       // the frame waiting to see whether the next repeats it
    std::vector<std::uint64_t> heldNumbers_;
    std::optional<PngPlanner> planner_;
};

}  // namespace framelot
