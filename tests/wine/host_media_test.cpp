// The stand-in player on real sound, as host_media_test.sh sets it up:
// files Debian's encoders made from one WAV file, live input from the
// script's own sound server, and a second server that dies part way
// through a file. Each case runs the VU meters through
// vishost.exe and reads the needles in the frames it captured.
#include "host_runs.h"
#include "wine_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct NeedleRun {
    HostResult result;
    std::vector<NeedleAngles> needles;  // of every frame up to the first missing one
    long long msAfterLastFrame = -1;    // from the last frame's file to the host's end
};

// The host ends with its last frame: its sound device or recording, its
// decoders and its capture close within a tenth of a second. 3 s is far
// above that, and below the 4 s two windows' closing took where Wine
// waited for a window manager.
constexpr DWORD endAfterLastFrameMs = 3000;

NeedleRun runMeters(const std::string &name, const std::string &arguments)
{
    PlacedFace face(readFile(exeFolder() + "vl-vu.bmp"));
    std::string scratch = "host_media_" + name;
    std::replace_if(scratch.begin(), scratch.end(), [](char c) { return (c & 0x80) != 0; }, '_');
    const StandInPlayer player = standInPlayer(scratch, "vlvis003.dll", "vlvis003.dll");
    NeedleRun run;
    run.result = player.run("--stats --capture " + quoted(player.folder + "frames") + " " + arguments);
    Picture picture;
    for (int n = 0; readPng(framePath(player.folder + "frames\\", n), picture); ++n)
        run.needles.push_back(needleAngles(picture));
    if (!run.needles.empty())
        run.msAfterLastFrame =
            msFromWriteToEnd(framePath(player.folder + "frames\\", int(run.needles.size()) - 1), run.result);
    return run;
}

std::string madeFile(const char *name)
{
    return quoted(exeFolder() + "host_media\\" + name);
}

// How far, in degrees, a pair of needles lies from the path that a run's
// pairs trace, taken as straight between its frames.
double distanceFromPath(const NeedleAngles &at, const std::vector<NeedleAngles> &path, size_t from)
{
    double closest = 360;
    for (size_t m = from; m + 3 < path.size(); ++m) {
        const double x = path[m].left, y = path[m].right;
        const double dx = path[m + 1].left - x, dy = path[m + 1].right - y;
        const double along = dx || dy ? ((at.left - x) * dx + (at.right - y) * dy) / (dx * dx + dy * dy) : 0;
        const double t = std::max(0.0, std::min(1.0, along));
        closest = std::min(closest, std::hypot(at.left - x - t * dx, at.right - y - t * dy));
    }
    return closest;
}

// With --steady, frame n shows the sound n * 25 ms in, on any machine,
// however slowly an emulated one draws: the needles, which move by frames,
// then trace the same path in every run.
TEST(HostOnRealFiles, NeedlesFollowTheWavFilesWhateverTheEncoding)
{
    const NeedleRun wav = runMeters("wav", "--steady " + madeFile("sweep.wav"));
    ASSERT_EQ(wav.result.exitCode, 0u) << wav.result.out << wav.result.err;
    ASSERT_EQ(wav.needles.size(), 80u) << "2 s at 40 frames a second";
    char counted[80];
    std::snprintf(counted, sizeof counted, "%d frames queued for writing, 0 dropped", int(wav.needles.size()));
    EXPECT_NE(wav.result.out.find(counted), std::string::npos) << "every frame written:\n" << wav.result.out;
    // From a quarter of the way to three quarters the left channel rises by
    // 15 dB, 42 degrees, the right falls by 10 dB, 28.
    const NeedleAngles early = wav.needles[wav.needles.size() / 4], late = wav.needles[wav.needles.size() * 3 / 4];
    EXPECT_GT(late.left - early.left, 30);
    EXPECT_GT(early.right - late.right, 20);

    // Lossy coding moves a level by a fraction of a decibel (2.8 degrees
    // each), and a coder's delay shifts the sound by up to a frame, so each
    // pair of needles is compared with the path the WAV run's pairs trace;
    // no two moments of the sweep lie together on it.
    const struct {
        const char *file;
        double tolerance;  // degrees
        double seconds;    // of sound
    } rows[] = {{"sweep.flac", 0.5, 2}, {"sweep-float.wav", 0.5, 2}, {"sweep.mp3", 4, 2}, {"sweep.ogg", 4, 2},
                {"sweep-5.1.flac", 0.5, 2},  // the front pair, whatever the other four hold
                {"b \xE2\x99\xAA.mp3", 4, 2},  // b ♪.mp3: the system's decoders get the name as it is
                {"cut.mp3", 4, 1}};            // half the file: what comes before the cut plays
    for (const auto &row : rows) {
        const NeedleRun run = runMeters(row.file, "--steady --wav " + madeFile(row.file));
        ASSERT_EQ(run.result.exitCode, 0u) << row.file << ": " << run.result.out << run.result.err;
        // As long as the sound, give or take the encoder's padding: 40
        // frames a second.
        EXPECT_GE(run.needles.size(), size_t(row.seconds * 40) - 6) << row.file << ": " << run.result.out;
        EXPECT_LE(run.needles.size(), size_t(row.seconds * 40) + 6) << row.file << ": " << run.result.out;
        // Past the needles' rise from rest, and short of the frames that
        // look beyond the end of the sound.
        double largest = 0;
        for (size_t n = 20; n + 4 < run.needles.size(); ++n)
            largest = std::max(largest, distanceFromPath(run.needles[n], wav.needles, 16));
        EXPECT_LE(largest, row.tolerance) << row.file;
        std::printf("%s: %d frames, needles within %.2f degrees of the WAV file's\n", row.file,
                    int(run.needles.size()), largest);
    }
}

// Decoded whole, the half hour would take over 300 MB before its first
// frame; played as it streams, it takes what a short file does.
TEST(HostOnRealFiles, LongFilePlaysInBoundedMemory)
{
    const NeedleRun run = runMeters("long", "--seconds 2 " + madeFile("long.mp3"));
    ASSERT_EQ(run.result.exitCode, 0u) << run.result.out << run.result.err;
    EXPECT_FALSE(run.needles.empty());
    const double peakMegabytes = statsFigure(run.result.out, "peak memory (working set)");
    EXPECT_GT(peakMegabytes, 0) << run.result.out;
    EXPECT_LT(peakMegabytes, 200) << run.result.out;
    EXPECT_LE(run.msAfterLastFrame, static_cast<long long>(stretched(endAfterLastFrameMs)))
        << "a file played on the sound device";
    std::printf("long.mp3: the host ended %lld ms after its last frame\n", run.msAfterLastFrame);
}

TEST(HostOnRealFiles, FileThatIsNotSoundIsAOneLineError)
{
    for (const char *file : {"random.flac", "text.mp3"}) {
        const NeedleRun run = runMeters("bad", madeFile(file));
        EXPECT_EQ(run.result.exitCode, 1u) << file << ": " << run.result.out << run.result.err;
        EXPECT_NE(run.result.err.find(file), std::string::npos) << run.result.err;
        EXPECT_EQ(run.result.err.find('\n'), run.result.err.size() - 1) << "one line: " << run.result.err;
        EXPECT_TRUE(run.needles.empty()) << file;
    }
}

// The script's server plays a tone one second in two into its null sink,
// whose monitor the host records.
TEST(HostLiveInput, NeedlesRiseWithTheToneAndRestAfterIt)
{
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "host_media_test.sh --live starts the sound server";
    const NeedleRun run = runMeters("live", "--input \"Null Output\" --seconds 4");
    ASSERT_EQ(run.result.exitCode, 0u) << run.result.out << run.result.err;
    // At rest on silence (20.5 degrees), far up for the tone (+8 VU, about
    // 135 degrees); 4 s hold a rise and after it a second of silence. How
    // many frames that is depends on the machine and on when the server's
    // first buffers come; a few at rest show the fall.
    bool risen = false;
    int restingAfterRise = 0;
    for (const NeedleAngles &needles : run.needles) {
        risen = risen || (needles.left > 110 && needles.right > 110);
        restingAfterRise += risen && needles.left < 25 && needles.right < 25;
    }
    EXPECT_TRUE(risen);
    EXPECT_GE(restingAfterRise, 3);
    EXPECT_LE(run.msAfterLastFrame, static_cast<long long>(stretched(endAfterLastFrameMs))) << "live input";
    std::printf("live input: the host ended %lld ms after its last frame\n", run.msAfterLastFrame);
}

// The sound server dies a second into a six-second file whose level rises
// throughout. Wine's device then takes sound still, but plays none and
// stops counting: the host says so once, and the clock carries the file on
// to its end, where its loudest sound is.
TEST(HostSoundDevice, FilePlaysOnWhenTheSoundServerDiesPartWayThrough)
{
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "host_media_test.sh starts the server to be lost";
    const NeedleRun steady = runMeters("rising_steady", "--steady " + madeFile("rising.wav"));
    ASSERT_EQ(steady.result.exitCode, 0u) << steady.result.out << steady.result.err;

    PlacedFace face(readFile(exeFolder() + "vl-vu.bmp"));
    const StandInPlayer player = standInPlayer("host_media_lost", "vlvis003.dll", "vlvis003.dll");
    const std::string frames = player.folder + "frames\\";
    bool framesBeforeLoss = false;
    const HostResult result =
        player.run("--stats --capture " + quoted(player.folder + "frames") + " " + madeFile("rising.wav"),
                   [&](DWORD) {
                       // A second of frames: the device has been playing.
                       const std::string second = framePath(frames, 40);
                       for (DWORD waited = 0; waited < stretched(30000) && !framesBeforeLoss; waited += 50) {
                           framesBeforeLoss = GetFileAttributesA(second.c_str()) != INVALID_FILE_ATTRIBUTES;
                           Sleep(50);
                       }
                       const std::string endServer = exeFolder() + "host_media\\end-server";
                       std::fclose(std::fopen(endServer.c_str(), "w"));
                   });
    ASSERT_TRUE(framesBeforeLoss) << result.out << result.err;
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(result.out.find("no sound device"), std::string::npos) << "it played on the device:\n" << result.out;
    const std::string note = "the sound device stopped playing";
    const size_t said = result.out.find(note);
    EXPECT_NE(said, std::string::npos) << result.out;
    EXPECT_EQ(result.out.find(note, said + 1), std::string::npos) << "said once:\n" << result.out;
    EXPECT_TRUE(result.err.empty()) << result.err;

    // The loudest sound is at the end of the file: the needles rise as far
    // as on the steady run, so the position went on to the end. They never
    // fall back on the way, as they would were the position to go back: a
    // second is 5 dB, 14 degrees. The last half second is left out, since
    // it looks past the end of the sound, at silence.
    std::vector<double> left;
    Picture picture;
    while (readPng(framePath(frames, int(left.size())), picture)) left.push_back(needleAngles(picture).left);
    double loudest = 0, loudestSteady = 0, largestFall = 0;
    for (size_t n = 0; n < left.size(); ++n) {
        loudest = std::max(loudest, left[n]);
        if (n + 20 < left.size()) largestFall = std::max(largestFall, loudest - left[n]);
    }
    for (const NeedleAngles &needles : steady.needles) loudestSteady = std::max(loudestSteady, needles.left);
    ASSERT_GT(left.size(), 60u) << result.out;
    EXPECT_NEAR(loudest, loudestSteady, 4) << left.size() << " frames";
    EXPECT_LT(largestFall, 5) << left.size() << " frames";
    std::printf("sound server gone a second in: %d frames, the left needle up to %.1f degrees (%.1f on the steady "
                "run), falling back at most %.1f\n",
                int(left.size()), loudest, loudestSteady, largestFall);
}

}  // namespace
