#include "capture/frame_queue.h"

void makeFrameQueue(FrameQueue &queue, long long byteLimit)
{
    queue = FrameQueue();
    queue.byteLimit = byteLimit;
    // Slot 0 on top, so that it is the one used over and over.
    for (int i = 0; i < frameQueueSlots; ++i) queue.freeSlots[i] = frameQueueSlots - 1 - i;
    queue.freeCount = frameQueueSlots;
}

int slotForNewFrame(FrameQueue &queue, long long bytes)
{
    if (queue.freeCount == 0 || queue.bytesWaiting + bytes > queue.byteLimit) {
        ++queue.dropped;
        return -1;
    }
    return queue.freeSlots[--queue.freeCount];
}

void frameCopied(FrameQueue &queue, int slot, long long bytes)
{
    queue.order[(queue.first + queue.waiting) % frameQueueSlots] = slot;
    queue.slotBytes[slot] = bytes;
    queue.bytesWaiting += bytes;
    ++queue.waiting;
    ++queue.queued;
}

void frameNotCopied(FrameQueue &queue, int slot)
{
    queue.freeSlots[queue.freeCount++] = slot;
}

int oldestWaitingFrame(const FrameQueue &queue)
{
    return queue.waiting > 0 ? queue.order[queue.first] : -1;
}

void frameWritten(FrameQueue &queue)
{
    if (queue.waiting == 0) return;
    const int slot = queue.order[queue.first];
    queue.bytesWaiting -= queue.slotBytes[slot];
    queue.freeSlots[queue.freeCount++] = slot;
    queue.first = (queue.first + 1) % frameQueueSlots;
    --queue.waiting;
}
