// The stand-in player, vishost.exe, run as its own process the way a user
// runs it: first against a fake plug-in that records every call, then
// against the built plug-in.
#include "host_runs.h"
#include "wine_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One line of the fake plug-in's log: call=... and further key=value pairs.
using LogLine = std::map<std::string, std::string>;

std::vector<LogLine> readLog(const std::string &folder)
{
    std::vector<LogLine> lines;
    std::istringstream text(readFile(folder + "fake_vis_log.txt"));
    std::string line;
    while (std::getline(text, line)) {
        LogLine fields;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            const size_t equals = word.find('=');
            if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
        }
        lines.push_back(fields);
    }
    return lines;
}

int number(const LogLine &line, const char *key)
{
    const auto found = line.find(key);
    return found == line.end() ? -1 : std::atoi(found->second.c_str());
}

std::string calls(const std::vector<LogLine> &log)
{
    std::string sequence;
    for (const LogLine &line : log) {
        const std::string call = line.at("call");
        sequence += call == "render" ? "r" : call == "init" ? "[" : call == "quit" ? "]" : "?";
    }
    return sequence;
}

// A WAV file of integer PCM whose sample i of channel c is value(i, c),
// given as a 32-bit signed value of which the file keeps the top bits.
void writeWav(const std::string &path, int rate, int channels, int bits, int frames,
              const std::function<long(int frame, int channel)> &value, int formatTag = 1)
{
    const int bytesPerSample = bits / 8;
    const int dataSize = frames * channels * bytesPerSample;
    std::string file;
    const auto put = [&file](unsigned long v, int count) {
        for (int i = 0; i < count; ++i) file += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    file += "RIFF";
    put(36 + dataSize, 4);
    file += "WAVEfmt ";
    put(16, 4);
    put(formatTag, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * bytesPerSample, 4);
    put(channels * bytesPerSample, 2);
    put(bits, 2);
    file += "data";
    put(dataSize, 4);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) put(static_cast<unsigned long>(value(i, c)) >> (32 - bits), bytesPerSample);
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
}

// The ramp the fake plug-in recognises, in the most significant byte; the
// bytes below it are noise that must not reach the vis.
long rampSample(int frame, int channel)
{
    const unsigned long top = static_cast<unsigned long>(frame % 255 + 1);
    const unsigned long high = channel == 0 ? top : (256 - top) & 255;
    return static_cast<long>(high << 24 | 0x5A3C1Eul);
}

// ---------------------------------------------------------------------------
// Against the fake plug-in

std::string testName()
{
    return std::string("host_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class HostWithFake : public ::testing::Test {
protected:
    void SetUp() override
    {
        player = standInPlayer(testName(), "fake_vis_plugin.dll", "fake.dll");
        folder = player.folder;
        ASSERT_FALSE(player.plugin.empty());
    }
    // Timed by this test's own clock, from before the host starts to after
    // it is gone: no run can fit more of the host's clock than runMs.
    HostResult run(const std::string &arguments)
    {
        const auto start = std::chrono::steady_clock::now();
        HostResult result = player.run("--mute " + arguments);
        runMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        return result;
    }
    // The most renders a module whose frames are 25 ms apart can give in
    // runMs: the first at once, then at most one a period.
    long long mostRenders() const { return runMs / 25 + 2; }
    StandInPlayer player;
    std::string folder;
    long long runMs = 0;
};

// Everything a run of one module must show, whatever ends it.
void expectOneThread(const std::vector<LogLine> &log)
{
    ASSERT_FALSE(log.empty());
    const std::string thread = log.front().at("thread");
    for (const LogLine &line : log) EXPECT_EQ(line.at("thread"), thread) << line.at("call") << " ran on another thread";
    for (const LogLine &line : log) {
        if (line.at("call") != "init") continue;
        EXPECT_NE(line.at("parentThread"), thread) << "the player's window belongs to its main thread";
        EXPECT_EQ(number(line, "parentWidth"), 275);
        EXPECT_EQ(number(line, "parentHeight"), 116);
        EXPECT_EQ(number(line, "instanceIsSelf"), 1) << "dllInstance is the plug-in's own";
        EXPECT_EQ(number(line, "quitPending"), 0) << "a WM_QUIT left in the queue would end the run at once";
    }
}

TEST_F(HostWithFake, RunsModulesInTurnOnOneThreadAndCapturesEveryFrame)
{
    writeWav(folder + "ramp.wav", 8000, 2, 16, 8000 * 4, rampSample);
    const HostResult result =
        run("--module 0,0 --seconds 1 --wav " + quoted(folder + "ramp.wav") + " --capture " + quoted(folder + "frames"));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;

    const std::vector<LogLine> log = readLog(folder);
    const std::string sequence = calls(log);
    const size_t firstQuit = sequence.find(']');
    ASSERT_NE(firstQuit, std::string::npos) << sequence;
    EXPECT_EQ(sequence, "[" + std::string(firstQuit - 1, 'r') + "][" + std::string(sequence.size() - firstQuit - 3, 'r') + "]");
    expectOneThread(log);
    // A second of frames 25 ms apart: the first at once, then at most one a
    // period, never a burst to catch up.
    const int firstRun = static_cast<int>(firstQuit) - 1;
    const int secondRun = static_cast<int>(sequence.size() - firstQuit) - 3;
    EXPECT_GE(firstRun, 1);
    EXPECT_LE(firstRun, 41);
    EXPECT_GE(secondRun, 1);
    EXPECT_LE(secondRun, 41);

    // The sound starts with the first frame, 50 ms ahead at 8 kHz: 400 of
    // its 576 samples at most come from the file, and from there on every
    // frame is newer than the one before (the silent lead before the file's
    // start never grows).
    int lead = 176;
    for (const LogLine &line : log) {
        if (line.at("call") != "render") continue;
        EXPECT_EQ(number(line, "channels"), 2);
        EXPECT_EQ(number(line, "ramp"), 1) << "the newest 576 samples, in order, top bytes only";
        EXPECT_EQ(number(line, "mirrored"), 1) << "row 1 holds the right channel";
        EXPECT_LE(number(line, "lead"), lead) << "frame " << line.at("frame");
        lead = number(line, "lead");
    }

    const std::string frames = folder + "frames\\";
    ASSERT_EQ(countFrames(frames), firstRun + secondRun) << "one picture per render, numbered across both runs";
    for (int n : {0, firstRun - 1, firstRun, firstRun + secondRun - 1}) {
        Picture picture;
        ASSERT_TRUE(readPng(framePath(frames, n), picture)) << n;
        EXPECT_EQ(picture.width, 64);
        EXPECT_EQ(picture.height, 32);
        // The fake paints its frame number within its run in red, on green
        // 64 and blue 128.
        const std::uint32_t red = n < firstRun ? n + 1 : n - firstRun + 1;
        EXPECT_EQ(picture.at(10, 10), red << 16 | 64 << 8 | 128) << "picture " << n;
    }
}

TEST_F(HostWithFake, MonoTwentyFourBitFileRunsToItsEnd)
{
    writeWav(folder + "mono.wav", 8000, 1, 24, 8000, rampSample);
    const HostResult result = run("--module 8 --wav " + quoted(folder + "mono.wav"));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;

    const std::vector<LogLine> log = readLog(folder);
    ASSERT_GE(log.size(), 3u);
    expectOneThread(log);
    EXPECT_EQ(log.back().at("call"), "quit");
    // The file plays on the host's clock, so the run lasts its second
    // however busy the machine; frames follow that clock, however few.
    const int renders = static_cast<int>(log.size()) - 2;
    EXPECT_GE(runMs, 1000) << "a run that ended before the file did";
    EXPECT_LE(renders, mostRenders()) << "frames faster than the clock allows in " << runMs << " ms";
    for (size_t i = 1; i + 1 < log.size(); ++i) {
        EXPECT_EQ(number(log[i], "channels"), 1);
        EXPECT_EQ(number(log[i], "ramp"), 1);
        EXPECT_EQ(number(log[i], "equal"), 1) << "a mono file fills both rows alike";
    }
    // The last frame looks 400 ms past the end of the file: its newest
    // samples are silence (all of them, when it came after 328 ms).
    const LogLine &last = log[log.size() - 2];
    EXPECT_TRUE(number(last, "trail") > 0 || number(last, "lead") == 576) << "lead " << number(last, "lead");
}

TEST_F(HostWithFake, RenderResultOfOneEndsTheModule)
{
    const HostResult result = run("--module 1 --seconds 5");
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_NE(result.out.find("render returned 1"), std::string::npos) << result.out;
    const std::vector<LogLine> log = readLog(folder);
    EXPECT_EQ(calls(log), "[rrr]");
    expectOneThread(log);
}

TEST_F(HostWithFake, QuitMessageEndsTheModuleAndTheNextStartsNormally)
{
    const HostResult result = run("--module 2,0 --seconds 0.5");
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    const std::vector<LogLine> log = readLog(folder);
    const std::string sequence = calls(log);
    EXPECT_EQ(sequence.substr(0, 6), "[rrr][") << sequence;
    EXPECT_EQ(sequence.back(), ']');
    EXPECT_EQ(std::count(sequence.begin(), sequence.end(), '['), 2) << sequence;
    // A WM_QUIT left over would end the second module before its first
    // frame. Its half second runs on the host's clock, within the test's.
    const long long secondRenders = static_cast<long long>(sequence.size()) - 7;
    EXPECT_GE(secondRenders, 1) << sequence;
    EXPECT_LE(secondRenders, mostRenders()) << "frames faster than the clock allows in " << runMs << " ms";
    EXPECT_GE(runMs, 500);
    expectOneThread(log);
}

TEST_F(HostWithFake, EscOrClosingThePlayerWindowEndsTheWholeRun)
{
    for (const char *module : {"6", "7"}) {
        DeleteFileA((folder + "fake_vis_log.txt").c_str());
        const DWORD limitMs = stretched(10000);
        const HostResult result =
            run(std::string("--module ") + module + ",0 --seconds " + std::to_string(limitMs / 1000));
        EXPECT_EQ(result.exitCode, 0u) << module << result.out << result.err;
        const std::vector<LogLine> log = readLog(folder);
        const std::string sequence = calls(log);
        // The request ends the run long before the module's time is up, and
        // the module after it never starts: the whole run ended, not the
        // module. The request crosses two threads, so how many frames it
        // takes is the scheduler's; a run left to its time lasts it at least.
        EXPECT_EQ(sequence.substr(0, 4), "[rrr") << module << ": " << sequence;
        EXPECT_LT(runMs, static_cast<long long>(limitMs / 2)) << module << ": " << sequence;
        EXPECT_EQ(std::count(sequence.begin(), sequence.end(), '['), 1) << module << ": " << sequence;
        EXPECT_EQ(sequence.back(), ']') << module << ": " << sequence;
        expectOneThread(log);
    }
}

TEST_F(HostWithFake, ModuleWithoutInitOrRenderIsAnErrorBeforeAnyCall)
{
    for (const char *row : {"3 init", "4 render"}) {
        const std::string index(row, 1), slot(row + 2);
        const HostResult result = run("--module " + index);
        EXPECT_EQ(result.exitCode, 1u) << row;
        EXPECT_NE(result.err.find("module " + index + " has no " + slot + " function"), std::string::npos) << result.err;
        EXPECT_TRUE(readLog(folder).empty()) << row;
    }
}

TEST_F(HostWithFake, ListsEveryModule)
{
    const HostResult result = run("--list");
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_NE(result.out.find("Fake vis plug-in for the host's tests"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("0: Fake: records every call"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("5: Fake: renders nothing"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("8: Fake: records every call, 400 ms ahead"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("9:"), std::string::npos) << result.out;
    EXPECT_TRUE(readLog(folder).empty()) << "listing calls no entry point";
}

TEST_F(HostWithFake, AboutCallsConfigWithTheHostWindow)
{
    const HostResult result = run("--about --module 3");
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    const std::vector<LogLine> log = readLog(folder);
    ASSERT_EQ(calls(log), "?");
    EXPECT_EQ(log[0].at("call"), "config");
    EXPECT_EQ(log[0].at("parentClass"), "VisHostPlayer");
}

// Overwrites the 4 bytes at offset of a file with value, little-endian.
void patchFile(const std::string &path, long offset, unsigned long value)
{
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset);
    for (int i = 0; i < 4; ++i) file.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// WAV files as writers make them beyond plain stereo, played in turn in
// one run: each shows the vis its ramp on the left and the mirrored ramp on
// the right, half a second of it.
TEST_F(HostWithFake, WavFilesOfEveryLayoutPlay)
{
    const auto frontPair = [](int frame, int channel) {
        // The channels past the front pair hold what would spoil the ramp.
        return channel < 2 ? rampSample(frame, channel) : 0x40000000L;
    };
    const struct {
        const char *name;
        int rate, channels, bits;
        unsigned long riffSize, dataSize;  // written over the true ones unless 1
    } rows[] = {
        {"5.1, the front pair shown", 8000, 6, 16, 1, 1},
        {"32-bit integers", 11025, 2, 32, 1, 1},
        {"RIFF size 0, as a recording cut short leaves it", 16000, 2, 16, 0, 1},
        {"both sizes 0xFFFFFFFF, as past 4 GiB", 22050, 2, 16, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    std::string files;
    for (const auto &row : rows) {
        const std::string path = folder + std::to_string(row.rate) + ".wav";
        writeWav(path, row.rate, row.channels, row.bits, row.rate / 2, frontPair);
        if (row.riffSize != 1) patchFile(path, 4, row.riffSize);
        if (row.dataSize != 1) patchFile(path, 40, row.dataSize);
        files += " " + quoted(path);
    }
    const HostResult result = run("--steady" + files);
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<LogLine> log = readLog(folder);
    for (const auto &row : rows) {
        int frames = 0;
        for (const LogLine &line : log) {
            if (line.at("call") != "render" || number(line, "rate") != row.rate) continue;
            ++frames;
            EXPECT_EQ(number(line, "channels"), 2) << row.name;
            EXPECT_EQ(number(line, "ramp"), 1) << row.name << ", frame " << line.at("frame");
            EXPECT_EQ(number(line, "mirrored"), 1) << row.name << ", frame " << line.at("frame");
        }
        EXPECT_EQ(frames, 20) << row.name;
    }
}

struct BadWav {
    const char *name;
    std::function<void(const std::string &path)> write;
    const char *message;
};

TEST_F(HostWithFake, BrokenOrUnsupportedWavIsAClearError)
{
    const auto silence = [](int, int) { return 0L; };
    const BadWav rows[] = {
        {"garbage", [](const std::string &path) { std::ofstream(path) << "this is not a sound file at all"; },
         "is not a sound file the system can decode"},
        {"a format no one reads", [&](const std::string &path) { writeWav(path, 8000, 2, 16, 100, silence, 0x7A7A); },
         "holds sound this host does not read itself (only integer PCM"},
        {"cut in its header",
         [&](const std::string &path) {
             writeWav(path, 8000, 2, 16, 1000, silence);
             std::string bytes = readFile(path);
             std::ofstream(path, std::ios::binary).write(bytes.data(), 30);
         },
         "format chunk that is too short"},
        {"missing", [](const std::string &) {}, "cannot find the sound file"},
    };
    for (const BadWav &row : rows) {
        const std::string path = folder + "bad.wav";
        DeleteFileA(path.c_str());
        row.write(path);
        const HostResult result = run("--wav " + quoted(path));
        EXPECT_EQ(result.exitCode, 1u) << row.name;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << row.name << ": " << result.err;
        EXPECT_TRUE(readLog(folder).empty()) << row.name << ": nothing runs on a bad file";
    }
}

// As in a player: the files in turn, a playlist's entries in its place,
// the vis running on across them, and an entry that cannot be played named
// and passed over.
TEST_F(HostWithFake, PlaysFilesAndPlaylistEntriesInTurn)
{
    writeWav(folder + "a.wav", 8000, 1, 16, 4000, rampSample);
    writeWav(folder + "b.wav", 16000, 2, 16, 8000, rampSample);
    // A name beyond ASCII, listed as other players write it: a file:// URI,
    // percent-encoded.
    ASSERT_TRUE(MoveFileW(utf16(folder + "b.wav").c_str(), utf16(folder + "b \xC3\xA9.wav").c_str()));
    std::string uri = "file:///" + folder + "b%20%C3%A9.wav";
    std::replace(uri.begin(), uri.end(), '\\', '/');
    std::ofstream(folder + "list.m3u8", std::ios::binary)
        << "#EXTM3U\r\n#EXTINF:1,gone\r\nmissing.wav\r\nhttp://radio.example/live\r\n" << uri << "\r\n";
    const HostResult result = run("--steady " + quoted(folder + "a.wav") + " " + quoted(folder + "list.m3u8"));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_NE(result.err.find("missing.wav"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("'http://radio.example/live' in the playlist '" + folder + "list.m3u8' is not a local file"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << "a line each: " << result.err;

    const std::vector<LogLine> log = readLog(folder);
    const std::string sequence = calls(log);
    ASSERT_EQ(sequence, "[" + std::string(sequence.size() - 2, 'r') + "]") << "one init, one quit";
    expectOneThread(log);
    // Half a second each, a frame a 25 ms of sound: 20 frames of a, then 20 of b.
    std::string files;
    for (const LogLine &line : log) {
        if (line.at("call") != "render") continue;
        EXPECT_EQ(number(line, "ramp"), 1) << "frame " << line.at("frame");
        const bool a = number(line, "rate") == 8000 && number(line, "channels") == 1;
        const bool b = number(line, "rate") == 16000 && number(line, "channels") == 2;
        files += a ? "a" : b ? "b" : "?";
    }
    EXPECT_EQ(files, std::string(20, 'a') + std::string(20, 'b'));
}

int renderCalls(const std::vector<LogLine> &log)
{
    return static_cast<int>(std::count_if(log.begin(), log.end(), [](const LogLine &line) {
        return line.at("call") == "render";
    }));
}

// Names as music libraries have them, outside any one code page: each file
// plays from the command line and from a playlist in a folder named so,
// and a missing one comes back in the message as it was typed.
TEST_F(HostWithFake, NamesOutsideTheCodePagePlay)
{
    const std::string music = "M\xC3\xBAsica";                     // Música
    const std::string cyrillic = "\xD0\x81\xD0\xB6.wav";               // Ёж.wav
    const std::string cjk = "\xE9\x9F\xB3\xE6\xA5\xBD.wav";             // 音楽.wav
    const std::string symbol = "w \xE2\x99\xAA.wav";                  // w ♪.wav
    const std::string inFolder = "d \xE2\x99\xAB\\b.wav";             // d ♫\b.wav
    const std::string missing = music + "/\xD0\xBD\xD0\xB5\xD1\x82.wav";  // Música/нет.wav
    ASSERT_TRUE(CreateDirectoryW(utf16(folder + music).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(utf16(folder + music + "\\d \xE2\x99\xAB").c_str(), nullptr));
    for (const std::string &name : {cyrillic, cjk, symbol, inFolder}) {
        writeWav(folder + "made.wav", 8000, 1, 16, 4000, rampSample);
        ASSERT_TRUE(MoveFileW(utf16(folder + "made.wav").c_str(), utf16(folder + music + "\\" + name).c_str()));
    }
    std::ofstream(folder + "list.m3u8", std::ios::binary) << symbol << "\r\n" << inFolder << "\r\n";
    ASSERT_TRUE(MoveFileW(utf16(folder + "list.m3u8").c_str(), utf16(folder + music + "\\list.m3u8").c_str()));

    const struct {
        const char *what;
        std::string arguments;  // from the scratch folder
        int files;              // played, half a second each; 0: the run fails with error
        std::string error;
    } rows[] = {
        {"Cyrillic and CJK on the command line",
         quoted(music + "\\" + cyrillic) + " " + quoted(folder + music + "\\" + cjk), 2, ""},
        {"symbols from a playlist in a folder beyond ASCII", quoted(music + "\\list.m3u8"), 2, ""},
        {"a missing name", quoted(missing), 0, "vishost: cannot find the sound file '" + missing + "'"},
    };
    for (const auto &row : rows) {
        DeleteFileA((folder + "fake_vis_log.txt").c_str());
        const HostResult result = run("--steady " + row.arguments);
        if (row.files == 0) {
            EXPECT_EQ(result.exitCode, 1u) << row.what;
            EXPECT_NE(result.err.find(row.error), std::string::npos) << row.what << ": " << result.err;
            continue;
        }
        EXPECT_EQ(result.exitCode, 0u) << row.what << ": " << result.out << result.err;
        EXPECT_EQ(result.err, "") << row.what;
        // 40 frames a second of sound.
        EXPECT_EQ(renderCalls(readLog(folder)), row.files * 20) << row.what;
    }
}

TEST_F(HostWithFake, PlaylistOfNothingPlayableFails)
{
    std::ofstream(folder + "text.wav") << "not sound";
    std::ofstream(folder + "broken.m3u") << "nothing.wav\ntext.wav\n";
    const HostResult result = run("--steady " + quoted(folder + "broken.m3u"));
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    EXPECT_NE(result.err.find("cannot find the sound file '" + folder + "nothing.wav'"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("'" + folder + "text.wav' is not a sound file"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    EXPECT_TRUE(readLog(folder).empty()) << "nothing runs";
}

// Ten hours of 22.05 kHz stereo, 3.2 GB: two seconds of ramp, then silence
// the file system keeps as a hole. Whole, it would not fit in a 32-bit
// process; played as it streams, it takes what a short file does.
TEST_F(HostWithFake, TenHourFilePlaysInBoundedMemory)
{
    const std::string path = folder + "ten-hours.wav";
    writeWav(path, 22050, 2, 16, 2 * 22050, rampSample);
    const long long dataBytes = 10LL * 3600 * 22050 * 4;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 44 + dataBytes;
    DWORD written = 0;
    const DWORD riffSize = static_cast<DWORD>(36 + dataBytes), dataSize = static_cast<DWORD>(dataBytes);
    const bool made = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
                      SetFilePointer(file, 4, nullptr, FILE_BEGIN) == 4 &&
                      WriteFile(file, &riffSize, 4, &written, nullptr) &&
                      SetFilePointer(file, 40, nullptr, FILE_BEGIN) == 40 &&
                      WriteFile(file, &dataSize, 4, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(made);

    const HostResult result = run("--seconds 1 --stats " + quoted(path));
    DeleteFileA(path.c_str());
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    const double peakMegabytes = statsFigure(result.out, "peak memory (working set)");
    EXPECT_GT(peakMegabytes, 0) << result.out;
    EXPECT_LT(peakMegabytes, 256) << result.out;
    const std::vector<LogLine> log = readLog(folder);
    ASSERT_GE(log.size(), 3u);
    for (size_t i = 1; i + 1 < log.size(); ++i) EXPECT_EQ(number(log[i], "ramp"), 1) << "frame " << i;
}

// ---------------------------------------------------------------------------
// Against the built plug-in

class HostWithPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        player = standInPlayer(testName(), "vlvis003.dll", "vlvis003.dll");
        folder = player.folder;
        ASSERT_FALSE(player.plugin.empty());
    }
    StandInPlayer player;
    std::string folder;
};

TEST_F(HostWithPlugin, RunsTheVuMetersOnTheBuiltInProgram)
{
    PlacedFace face(readFile(exeFolder() + "vl-vu.bmp"));
    // Silence, then the quiet passage from 0.5 s, then the loud one from 2 s.
    const HostResult result = player.run("--module 0 --seconds 3.4 --mute --capture " + quoted(folder + "frames"));
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;
    const std::string frames = folder + "frames\\";
    // However many frames the machine managed: the stages below follow the
    // clock, not the frame count.
    const int count = countFrames(frames);

    // Each meter's needle must be seen at rest, then in the quiet range, then
    // far up the scale, in that order.
    enum Stage { rest, quiet, loud };
    Stage stage[2] = {rest, rest};
    for (int n = 0; n < count; ++n) {
        Picture picture;
        ASSERT_TRUE(readPng(framePath(frames, n), picture)) << n;
        ASSERT_EQ(picture.width, 275) << n;
        ASSERT_EQ(picture.height, 75) << n;
        const NeedleAngles needles = needleAngles(picture);
        const double angles[2] = {needles.left, needles.right};
        for (int m = 0; m < 2; ++m) {
            if (stage[m] == rest && angles[m] > 30 && angles[m] < 100) stage[m] = quiet;
            if (stage[m] == quiet && angles[m] > 125) stage[m] = loud;
        }
    }
    EXPECT_EQ(stage[0], loud) << "left needle";
    EXPECT_EQ(stage[1], loud) << "right needle";

    const std::string settings = readFile(folder + "plugin.ini");
    EXPECT_NE(settings.find("[Analog VU meters - Velmora]"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Screen_x=100"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Screen_y=100"), std::string::npos) << settings;
}

// Ctrl+C in the host's console ends the run as Esc does: quit saves the
// window's place, and every frame queued is written.
TEST_F(HostWithPlugin, CtrlCEndsTheRunAsEscDoes)
{
    const std::string frames = folder + "frames\\";
    const HostResult result =
        player.run("--module 0 --seconds 30 --mute --stats --capture " + quoted(folder + "frames"), [&](DWORD host) {
            // A few frames in, the vis is running.
            const DWORD limit = GetTickCount() + stretched(20000);
            while (GetFileAttributesA(framePath(frames, 3).c_str()) == INVALID_FILE_ATTRIBUTES &&
                   GetTickCount() < limit)
                Sleep(20);
            pressCtrlC(host);
        });
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_NE(result.out.find("vishost: interrupted: the run ends"), std::string::npos) << result.out;
    const std::string settings = readFile(folder + "plugin.ini");
    EXPECT_NE(settings.find("[Analog VU meters - Velmora]"), std::string::npos) << "quit ran: " << settings;
    int written = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((frames + "frame-*.png").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) ++written;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_GT(written, 3);
    EXPECT_NE(result.out.find(" " + std::to_string(written) + " frames queued for writing"), std::string::npos)
        << written << " written:\n" << result.out;
}

// Both modules in turn on the one vis thread: the second init must start
// normally after the first quit's WM_QUIT.
TEST_F(HostWithPlugin, RunsTheOscilloscopeAfterTheVuMeters)
{
    PlacedFace face(readFile(exeFolder() + "vl-vu.bmp"));
    const HostResult result = player.run("--module 0,1 --seconds 1 --mute --capture " + quoted(folder + "frames"));
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;
    const std::string frames = folder + "frames\\";
    const int count = countFrames(frames);
    int vuFrames = 0;
    for (int n = 0; n < count; ++n) {
        Picture picture;
        ASSERT_TRUE(readPng(framePath(frames, n), picture)) << n;
        if (picture.width == 275 && picture.height == 75 && vuFrames == n) {
            ++vuFrames;
            continue;
        }
        ASSERT_EQ(picture.width, 576) << n;
        ASSERT_EQ(picture.height, 512) << n;
        if (n != count - 1 && n != (vuFrames + count) / 2) continue;
        const auto blackPixels = std::count(picture.pixels.begin(), picture.pixels.end(), black);
        const auto whitePixels = std::count(picture.pixels.begin(), picture.pixels.end(), white);
        EXPECT_GT(blackPixels, 576) << "frame " << n << " shows traces";
        EXPECT_GT(whitePixels, 576 * 256) << "frame " << n << " is black lines on white";
    }
    EXPECT_GT(vuFrames, 0) << "the VU meters came first";
    EXPECT_GT(count - vuFrames, 0) << "then the oscilloscope";
    const std::string settings = readFile(folder + "plugin.ini");
    EXPECT_NE(settings.find("[Analog VU meters - Velmora]"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[Z Ovi Zavoz]"), std::string::npos) << settings;
}

// A silence long enough to pause render, then a full-scale passage: the
// needles must rise from where the unpaused silence would have left them,
// and every frame, paused or not, must be the one rendering throughout
// gives. The pause is the host's own arithmetic, so one width is enough.
TEST_F(HostWithPlugin, PausedSilenceLeavesEveryFrameAsItWouldHaveBeen)
{
#ifndef _WIN64
    GTEST_SKIP() << "the 64-bit suite runs this: the pause is the same code on both widths";
#endif
    PlacedFace face(readFile(exeFolder() + "vl-vu.bmp"));
    // 8 kHz: a tone for 0.2 s, silence for 3.6 s (144 frames of 25 ms),
    // then a full-scale square wave for 0.5 s.
    const int toneEnd = 1600, silenceEnd = toneEnd + 28800, end = silenceEnd + 4000;
    writeWav(folder + "pause.wav", 8000, 2, 16, end, [&](int frame, int) -> long {
        const long high = frame % 16 < 8 ? 0x7FFF0000L : -0x7FFF0000L;
        return frame < toneEnd ? high / 2 : frame < silenceEnd ? 0 : high;
    });
    const std::string wav = quoted(folder + "pause.wav");
    const HostResult paused = player.run("--module 0 --steady --stats --capture " + quoted(folder + "paused") + " " + wav);
    ASSERT_EQ(paused.exitCode, 0u) << paused.out << paused.err;
    const HostResult rendered =
        player.run("--module 0 --steady --stats --render-silence --capture " + quoted(folder + "rendered") + " " + wav);
    ASSERT_EQ(rendered.exitCode, 0u) << rendered.out << rendered.err;
    EXPECT_EQ(statsFigure(paused.out, "silence: render paused"), 1) << paused.out;
    EXPECT_GE(statsFigure(paused.out, "times,"), 8) << "frames not rendered:\n" << paused.out;
    EXPECT_EQ(statsFigure(rendered.out, "silence: render paused"), 0) << rendered.out;

    const int count = countFrames(folder + "paused\\");
    ASSERT_EQ(countFrames(folder + "rendered\\"), count) << "a steady run has the same frames";
    int moving = 0;
    Picture previous;
    for (int n = 0; n < count; ++n) {
        Picture a, b;
        ASSERT_TRUE(readPng(framePath(folder + "paused\\", n), a)) << n;
        ASSERT_TRUE(readPng(framePath(folder + "rendered\\", n), b)) << n;
        ASSERT_TRUE(a.pixels == b.pixels) << "frame " << n << " of " << count << " differs";
        moving += n > 0 && !(a.pixels == previous.pixels);
        previous = a;
    }
    EXPECT_GE(moving, 10) << "the needles move in the tone and after the silence";
}

TEST_F(HostWithPlugin, ListsTheModulesOfTheDllBesideIt)
{
    const HostResult result = runHost(folder, "--list");
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_NE(result.out.find("0: Analog VU meters - Velmora"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1: Z Ovi Zavoz"), std::string::npos) << result.out;
}

struct BadPlugin {
    const char *name;
    std::string arguments;
    const char *message;
};

TEST_F(HostWithPlugin, BadModuleOrPluginIsAClearError)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const BadPlugin rows[] = {
        {"no module 5", "--plugin " + quoted(folder + "vlvis003.dll") + " --module 5",
         "the plug-in has no module 5 (it has 2 modules"},
        {"no such file", "--plugin " + quoted(folder + "missing.dll"), "no plug-in at"},
        {"no header export", "--plugin " + quoted(std::string(system) + "\\version.dll"),
         "does not export winampVisGetHeader"},
        {"not a DLL", "--plugin " + quoted(folder + "host-out.txt"), "cannot load"},
        {"bad option", "--seconds 0", "--seconds needs"},
    };
    for (const BadPlugin &row : rows) {
        const HostResult result = runHost(folder, row.arguments);
        EXPECT_NE(result.exitCode, 0u) << row.name;
        EXPECT_NE(result.exitCode, 99u) << row.name << " hung";
        EXPECT_NE(result.err.find(row.message), std::string::npos) << row.name << ": " << result.err;
    }
}

}  // namespace
