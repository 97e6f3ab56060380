// The bounded queue between the vis thread, which hands over the frames it
// captures, and the writer thread, which encodes and writes them: which
// slot holds which frame, and what is dropped when the writer falls behind.
// The pixels live in slots the caller keeps. A freed slot is the next one
// filled, so a writer that keeps up has one slot in use and the memory of
// slots grows only with the frames actually waiting. One thread adds, one
// takes; callers hold a lock around each call. Platform-free.
#pragma once

constexpr int frameQueueSlots = 256;

struct FrameQueue {
    long long byteLimit;  // the pixels waiting may take at most this much memory
    int order[frameQueueSlots];  // the slots of the waiting frames, oldest at first
    int first;
    int waiting;
    int freeSlots[frameQueueSlots];  // the most recently freed last
    int freeCount;
    long long slotBytes[frameQueueSlots];
    long long bytesWaiting;
    long long queued, dropped;  // since the queue was made
};

void makeFrameQueue(FrameQueue &queue, long long byteLimit);

// Takes the slot a new frame of that many bytes is to be copied into, or
// gives -1 when the queue is full by slots or by bytes: the frame is then
// dropped and counted. The slot waits for the writer only once frameCopied
// says so, so the copy can be made without the lock while the writer goes
// on freeing others.
int slotForNewFrame(FrameQueue &queue, long long bytes);
void frameCopied(FrameQueue &queue, int slot, long long bytes);
// Gives back a slot taken for a frame that could not be copied, as though
// it had never been taken.
void frameNotCopied(FrameQueue &queue, int slot);

// The slot of the oldest frame waiting, or -1 when none is; its slot is
// free again once frameWritten says so.
int oldestWaitingFrame(const FrameQueue &queue);
void frameWritten(FrameQueue &queue);
