// The stand-in player on real sound, as host_media_test.sh sets it up:
// files Debian's encoders made from one WAV file, and live input from the
// script's own sound server. Each case runs vishost.exe on the built
// plug-in's VU meters and reads the needles in the frames it captured.
#include "host_runs.h"
#include "wine_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct NeedleRun {
    HostResult result;
    std::vector<NeedleAngles> needles;  // of every frame, in order
    int framesWritten = 0;
};

// Runs the VU meters with the given arguments and reads every frame.
NeedleRun runMeters(const std::string &name, const std::string &arguments)
{
    FaceInPlace face;
    const std::string folder = scratchFolder("host_media_" + name);
    CopyFileA((exeFolder() + "vlvis003.dll").c_str(), (folder + "vlvis003.dll").c_str(), FALSE);
    NeedleRun run;
    run.result = runHost(folder, "--plugin " + quoted(folder + "vlvis003.dll") + " --module 0 --stats --capture " +
                                     quoted(folder + "frames") + " " + arguments);
    const std::string frames = folder + "frames\\";
    for (int n = 0; GetFileAttributesA(framePath(frames, n).c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
        HostFrame picture;
        if (!readPng(framePath(frames, n), picture) || picture.width != 275) break;
        run.needles.push_back(needleAngles(picture));
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((frames + "frame-*.png").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) ++run.framesWritten;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return run;
}

// How far, in degrees, a frame's pair of needles lies from the path the
// pairs of a run trace, taken as straight between its frames.
double distanceFromPath(const NeedleAngles &at, const std::vector<NeedleAngles> &path, size_t from, size_t to)
{
    double closest = 360;
    for (size_t m = from; m + 1 < to; ++m) {
        const double x = path[m].left, y = path[m].right;
        const double dx = path[m + 1].left - x, dy = path[m + 1].right - y;
        const double length = dx * dx + dy * dy;
        double t = length > 0 ? ((at.left - x) * dx + (at.right - y) * dy) / length : 0;
        t = std::max(0.0, std::min(1.0, t));
        closest = std::min(closest, std::hypot(at.left - x - t * dx, at.right - y - t * dy));
    }
    return closest;
}

std::string madeFile(const char *name)
{
    return exeFolder() + "host_media\\" + name;
}

// How long the host ran the module, as --stats says.
double secondsRun(const HostResult &result)
{
    const size_t at = result.out.find(" frames in ");
    return at == std::string::npos ? -1 : std::atof(result.out.c_str() + at + 11);
}

struct FileRow {
    const char *file;
    double tolerance;  // degrees a needle may differ from the WAV file's run
    double seconds;    // the sound's length
};

TEST(HostOnRealFiles, NeedlesFollowTheWavFilesWhateverTheEncoding)
{
    const NeedleRun wav = runMeters("wav", "--mute " + quoted(madeFile("sweep.wav")));
    ASSERT_EQ(wav.result.exitCode, 0u) << wav.result.out << wav.result.err;
    ASSERT_GE(wav.needles.size(), 40u) << "2 s at 40 frames a second is 80";
    // Every frame queued was written, as --stats counts them.
    char counted[96];
    std::snprintf(counted, sizeof counted, "capture: %d frames queued for writing, 0 dropped", wav.framesWritten);
    EXPECT_NE(wav.result.out.find(counted), std::string::npos) << wav.result.out;
    // The sweep itself: from a quarter of the way to three quarters the
    // left channel rises by 15 dB, 42 degrees, the right falls by 10 dB, 28.
    const NeedleAngles early = wav.needles[wav.needles.size() / 4], late = wav.needles[wav.needles.size() * 3 / 4];
    EXPECT_GT(late.left - early.left, 30);
    EXPECT_GT(early.right - late.right, 20);

    // Lossy coding moves a level by a fraction of a decibel (2.8 degrees
    // each). Frames of two runs fall at different moments, the more so on
    // a busy machine, so each frame's pair of needles is compared with the
    // path the WAV run's pairs trace, on which no two moments of the sweep
    // lie together.
    const FileRow rows[] = {
        {"sweep.flac", 2.5, 2},
        {"sweep-float.wav", 2.5, 2},
        {"sweep.mp3", 4, 2},
        {"sweep.ogg", 4, 2},
        {"cut.mp3", 4, 1},  // half the file: what comes before the cut plays
    };
    for (const FileRow &row : rows) {
        const NeedleRun run = runMeters(row.file, "--mute --wav " + quoted(madeFile(row.file)));
        ASSERT_EQ(run.result.exitCode, 0u) << row.file << ": " << run.result.out << run.result.err;
        // As long as the sound, and longer only when the last frames come late.
        EXPECT_GE(secondsRun(run.result), row.seconds - 0.15) << row.file << ": " << run.result.out;
        EXPECT_LE(secondsRun(run.result), row.seconds + 1) << row.file << ": " << run.result.out;
        // The needles settle from rest over the first half second, and the
        // last frames look past the end of the sound.
        const int frames = static_cast<int>(run.needles.size());
        double largest = 0;
        for (int n = 20; n < frames - 4; ++n) {
            const double distance = distanceFromPath(run.needles[n], wav.needles, 16, wav.needles.size() - 2);
            EXPECT_LE(distance, row.tolerance) << row.file << ", frame " << n;
            largest = std::max(largest, distance);
        }
        std::printf("%s: %d frames, needles within %.2f degrees of the WAV file's\n", row.file, frames, largest);
    }
}

TEST(HostOnRealFiles, FileThatIsNotSoundIsAOneLineError)
{
    for (const char *file : {"random.flac", "text.mp3"}) {
        const NeedleRun run = runMeters("bad", quoted(madeFile(file)));
        EXPECT_EQ(run.result.exitCode, 1u) << file << ": " << run.result.out << run.result.err;
        EXPECT_NE(run.result.err.find(file), std::string::npos) << run.result.err;
        EXPECT_EQ(run.result.err.find('\n'), run.result.err.size() - 1) << "one line: " << run.result.err;
        EXPECT_EQ(run.framesWritten, 0) << file;
    }
}

// The script's server plays a tone one second in two into its null sink;
// the sink's monitor is the device the host records.
TEST(HostLiveInput, NeedlesRiseWithTheToneAndRestAfterIt)
{
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "host_media_test.sh --live starts the sound server";
    const NeedleRun run = runMeters("live", "--input \"Null Output\" --seconds 3");
    ASSERT_EQ(run.result.exitCode, 0u) << run.result.out << run.result.err;
    // At rest on silence (20.5 degrees) and far up for the tone (it reads
    // +8 VU, about 135 degrees); 3 s always hold a rise and, after it, a
    // whole second of silence: 40 frames, far fewer on a busy machine.
    bool risen = false;
    int restingAfterRise = 0;
    for (const NeedleAngles &needles : run.needles) {
        risen = risen || (needles.left > 110 && needles.right > 110);
        restingAfterRise += risen && needles.left < 25 && needles.right < 25;
    }
    EXPECT_TRUE(risen);
    EXPECT_GE(restingAfterRise, 10);
}

}  // namespace
