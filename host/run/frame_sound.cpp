#include "run/frame_sound.h"

#include "run/reporting.h"

void describeSound(HostRun &run, VisModule &module)
{
    if (run.options.stdinInput) {
        module.sampleRate = inputRate;
        module.channelCount = pipeChannels;
    } else if (run.options.input) {
        module.sampleRate = inputRate;
        module.channelCount = run.recording.ring.block.channels;
    } else {
        module.sampleRate = run.sound.playing->sampleRate;
        module.channelCount = run.sound.playing->ring.channels;
    }
}

bool startSound(HostRun &run)
{
    const HostOptions &options = run.options;
    if (options.input) {
        std::string error;
        if (options.stdinInput ? startStdinInput(run.stdinInput, error) : startInput(run.recording, error))
            return true;
        reportError(error);
        return false;
    }
    run.sound.pacing = options.steady ? Pacing::steady : options.mute ? Pacing::clock : Pacing::device;
    startPlaying(run.sound);
    reportQueued(run.sound);
    return true;
}

namespace {

RunEnd fillFromFile(HostRun &run, ModuleRun &current)
{
    VisModule &module = current.module;
    long long position = streamPosition(*run.sound.playing);
    switch (stepQueue(run.sound, position)) {
    case QueueStep::ended:
        reportQueued(run.sound);
        return RunEnd::fileEnded;
    case QueueStep::moved:
        // As in a player, the vis runs on into the next file.
        reportQueued(run.sound);
        describeSound(run, module);
        position = streamPosition(*run.sound.playing);
        break;
    case QueueStep::same:
        reportQueued(run.sound);
        break;
    }
    SoundStream &stream = *run.sound.playing;
    const long long frameEnd = newestFrameEnd(position, module.latencyMs, stream.sampleRate);
    std::string error;
    const StreamRead read = readFrame(stream, position, frameEnd, module.waveform, error);
    if (read.channels < 0) {
        reportError(error);
        return RunEnd::failed;
    }
    module.channelCount = read.channels;
    current.times.missingSamples += read.missing;
    current.times.shortFrames += read.missing > 0;
    return RunEnd::notYet;
}

}  // namespace

RunEnd fillFrame(HostRun &run, ModuleRun &current)
{
    VisModule &module = current.module;
    if (run.options.stdinInput) {
        // The launcher closed the pipe: it is gone, and the run with it.
        if (stdinEnded(run.stdinInput)) return RunEnd::inputEnded;
        module.channelCount = fillFromStdin(run.stdinInput, module.waveform);
        return RunEnd::notYet;
    }
    if (run.options.input) {
        // The newest sound recorded: nothing lies ahead of it to look at.
        std::string error, note;
        const long long frameEnd = collectInput(run.recording, error, note);
        if (!note.empty()) reportNote(note);
        if (frameEnd < 0) {
            reportError(error);
            return RunEnd::failed;
        }
        module.channelCount = fillWaveform(run.recording.ring.block, frameEnd, module.waveform);
        return RunEnd::notYet;
    }
    return fillFromFile(run, current);
}
