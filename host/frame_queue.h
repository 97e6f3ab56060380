// The bounded queue between the vis thread, which hands over the frames it
// captures, and the writer thread, which encodes and writes them: which
// slot holds which frame, and what is dropped when the writer falls behind.
// The pixels live in slots the caller keeps. One thread adds, one takes;
// callers hold a lock around each call. Platform-free.
#pragma once

constexpr int frameQueueSlots = 256;

struct FrameQueue {
    long long byteLimit;  // the pixels waiting may take at most this much memory
    int first;            // the oldest waiting frame's slot
    int waiting;
    long long bytesWaiting;
    long long slotBytes[frameQueueSlots];
    long long queued, dropped;  // since the queue was made
};

void makeFrameQueue(FrameQueue &queue, long long byteLimit);

// The slot a new frame of that many bytes is to be copied into, or -1 when
// the queue is full by slots or by bytes: the frame is then dropped and
// counted. The slot counts as waiting only once frameCopied says so, so
// the copy can be made without the lock.
int slotForNewFrame(FrameQueue &queue, long long bytes);
void frameCopied(FrameQueue &queue, long long bytes);

// The slot of the oldest frame waiting, or -1 when none is; its slot is
// free again once frameWritten says so.
int oldestWaitingFrame(const FrameQueue &queue);
void frameWritten(FrameQueue &queue);
