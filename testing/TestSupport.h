// Helpers the tests share: temporary folders, files, and reading PNGs back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ConvertResult.h"

namespace framelot::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder, removed with everything in it when the value goes.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    fs::path Path;
    // The UTF-8 path of `name` inside the folder.
    std::string operator/(const std::string& name) const;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// A PNG file read back as red, green, blue, alpha, independently of our decoder.
// Width 0 when the file cannot be read.
Bitmap ReadPng(const std::string& path);
// The same from a PNG file's bytes.
Bitmap DecodePng(const std::vector<std::uint8_t>& file);

// Every file below `folder`, relative names sorted.
std::vector<std::string> ListFiles(const fs::path& folder);

// A bitmap of the given size filled with one RGBA pixel.
Bitmap SolidBitmap(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

// The RGBA bytes at (x, y).
std::vector<int> PixelAt(const Bitmap& bitmap, int x, int y);

// Runs `work` in a child process and returns what it returned. With
// `dropPrivileges`, a root parent's child runs as the unprivileged user
// "nobody", so that file permissions apply to it. POSIX only.
std::string InChild(const std::function<std::string()>& work, bool dropPrivileges);

// A file system of a set size (a tmpfs) mounted at `folder`, which is made;
// unmounted when it goes. Mounted is false where the test may not mount one
// (it takes root on Linux; never on Windows), and the caller skips.
struct SmallFileSystem {
    std::string Folder;
    bool Mounted = false;
    SmallFileSystem(const std::string& folder, const char* size);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    // Gives it another size, keeping what is on it.
    bool Resize(const char* size);
};

// The system's words for a missing file and for a missing folder on the way
// to one.
std::string MissingFileText();
std::string MissingFolderText();

// One argument quoted for the shell RunProgram uses (sh, or cmd on Windows).
std::string Quoted(const std::string& argument);

// A program run through the shell with its standard output and error
// together, as a user would see them (lines end in \n on every system).
struct ProgramRun {
    int Status = -1;  // the exit status; -1 when it did not exit normally
    std::string Output;
};
ProgramRun RunProgram(const std::string& commandLine);

// A sink that keeps a copy of every frame.
struct CollectedFrames {
    std::vector<Bitmap> Frames;
    FrameSink Sink();
};

}  // namespace framelot::test
