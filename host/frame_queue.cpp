#include "frame_queue.h"

void makeFrameQueue(FrameQueue &queue, long long byteLimit)
{
    queue = FrameQueue();
    queue.byteLimit = byteLimit;
}

int slotForNewFrame(FrameQueue &queue, long long bytes)
{
    if (queue.waiting == frameQueueSlots || queue.bytesWaiting + bytes > queue.byteLimit) {
        ++queue.dropped;
        return -1;
    }
    return (queue.first + queue.waiting) % frameQueueSlots;
}

void frameCopied(FrameQueue &queue, long long bytes)
{
    queue.slotBytes[(queue.first + queue.waiting) % frameQueueSlots] = bytes;
    queue.bytesWaiting += bytes;
    ++queue.waiting;
    ++queue.queued;
}

int oldestWaitingFrame(const FrameQueue &queue)
{
    return queue.waiting > 0 ? queue.first : -1;
}

void frameWritten(FrameQueue &queue)
{
    if (queue.waiting == 0) return;
    queue.bytesWaiting -= queue.slotBytes[queue.first];
    queue.first = (queue.first + 1) % frameQueueSlots;
    --queue.waiting;
}
