// What the tests of the stand-in player share: running vishost.exe as its
// own process, reading back the frames it captured, and reading the VU
// meters' needles in them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "frame_pictures.h"

struct HostResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
    FILETIME ended = {};  // when the process was seen gone, in system time
};

std::string quoted(const std::string &text);

// UTF-8 (as the tests spell names outside ASCII) to UTF-16.
std::wstring utf16(const std::string &utf8);

// Called once the host has started, with its process id.
using WhileRunning = std::function<void(DWORD processId)>;

// Runs vishost.exe from the build folder with the given arguments, in
// UTF-8; its output goes to files in folder. Given whileRunning, the host
// gets a console of its own, as when started from a shell's window, so
// that the console's events can be sent to it.
HostResult runHost(const std::string &folder, const std::string &arguments,
                   const WhileRunning &whileRunning = nullptr);

// Ctrl+C, pressed in the console of the host process processId (started
// with whileRunning).
void pressCtrlC(DWORD processId);

// The stand-in player as a test sets it up: a fresh scratch folder with a
// copy of a plug-in from the build folder in it, which each run loads.
struct StandInPlayer {
    std::string folder;
    std::string plugin;  // the copy's path; empty when it could not be made
    HostResult run(const std::string &arguments, const WhileRunning &whileRunning = nullptr) const
    {
        return runHost(folder, "--plugin " + quoted(plugin) + " " + arguments, whileRunning);
    }
};
// builtName is the DLL's name in the build folder, copyName the copy's.
StandInPlayer standInPlayer(const std::string &scratchName, const std::string &builtName, const std::string &copyName);

// Milliseconds from the last write of the file at path to when the host
// of result was seen gone; a very large number when the file is missing.
long long msFromWriteToEnd(const std::string &path, const HostResult &result);

// The number after "key " in the host's output, as --stats prints it (a
// line such as "  peak memory (working set) 44.6 MB"); -1 when missing.
double statsFigure(const std::string &out, const std::string &key);

// A captured frame read back from its PNG file.
bool readPng(const std::string &path, Picture &picture);

// folder\frame-NNNNNN.png, as the host names its captured frames.
std::string framePath(const std::string &folder, int number);

// The frames numbered from 0 without a gap.
int countFrames(const std::string &folder);

// The needle of the meter whose pivot is at x pivotX, as an angle in degrees
// from the left horizontal (the meter's own scale: 20.5 at rest, 90 upright),
// averaged over its pure black pixels; the face itself has none, and the
// outline and divider are left out. Negative when no needle shows.
double needleAngle(const Picture &picture, double pivotX, int fromColumn, int toColumn);

// Both needles of a VU frame, left then right.
struct NeedleAngles {
    double left, right;
};
NeedleAngles needleAngles(const Picture &picture);
