// The folders a plan may make, made when the first output is ready (so a
// file that turns out not to be an animation, or to be over a limit, leaves
// nothing), and taken back with what the run wrote of the file. Objects here
// belong to the converting thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "convert/OutputPlan.h"

namespace framelot {

struct OutputFolders {
    bool Tried = false;
    std::string Error;                        // why they could not be made
    std::vector<std::filesystem::path> Made;  // the folders this run made, outermost first

    // Makes the plan's folders once (later calls answer the first one's
    // outcome): true when they are there. A file in the way, or a folder that
    // cannot be made, is said in Error, naming it.
    bool Ready(const OutputPlan& plan);

    // Removes the folders this run made, innermost first, each only while it
    // is empty; what was there before is never touched.
    void TakeBack() const;
};

// Removes the files at `paths` (what a run wrote); errors are ignored.
void RemoveFiles(const std::vector<std::string>& paths);

}  // namespace framelot
