// The capture's queue: frames go to the writer oldest first, and a frame
// that finds the queue full, by slots or by bytes, is dropped and counted.
#include "frame_queue.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameQueue, HandsFramesOverOldestFirstAndDropsWhenEverySlotWaits)
{
    FrameQueue queue;
    makeFrameQueue(queue, 1LL << 40);
    for (int i = 0; i < frameQueueSlots; ++i) {
        ASSERT_EQ(slotForNewFrame(queue, 10), i);
        frameCopied(queue, 10);
    }
    EXPECT_EQ(slotForNewFrame(queue, 10), -1);
    EXPECT_EQ(queue.dropped, 1);
    // Slots the writer frees take new frames, from the start again.
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(oldestWaitingFrame(queue), i);
        frameWritten(queue);
    }
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(slotForNewFrame(queue, 10), i);
        frameCopied(queue, 10);
    }
    for (int i = 10; i < frameQueueSlots + 10; ++i) {
        ASSERT_EQ(oldestWaitingFrame(queue), i % frameQueueSlots);
        frameWritten(queue);
    }
    EXPECT_EQ(oldestWaitingFrame(queue), -1);
    EXPECT_EQ(queue.bytesWaiting, 0);
    EXPECT_EQ(queue.queued, frameQueueSlots + 10);
    EXPECT_EQ(queue.dropped, 1);
}

TEST(FrameQueue, DropsFramesThatWouldPassItsMemoryLimit)
{
    FrameQueue queue;
    makeFrameQueue(queue, 2500);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(slotForNewFrame(queue, 1000), i);
        frameCopied(queue, 1000);
    }
    EXPECT_EQ(slotForNewFrame(queue, 1000), -1);
    EXPECT_EQ(slotForNewFrame(queue, 500), 2) << "a smaller frame still fits";
    frameWritten(queue);
    EXPECT_EQ(slotForNewFrame(queue, 1000), 2) << "the written frame's memory is free again";
    EXPECT_EQ(slotForNewFrame(queue, 3000), -1) << "a frame beyond the whole limit never fits";
    EXPECT_EQ(queue.dropped, 2);
}

}  // namespace
