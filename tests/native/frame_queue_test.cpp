// The capture's queue: frames go to the writer oldest first, a frame that
// finds the queue full, by slots or by bytes, is dropped and counted, and a
// writer that keeps up has the same slot filled over and over.
#include "frame_queue.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameQueue, HandsFramesOverOldestFirstAndDropsWhenEverySlotWaits)
{
    FrameQueue queue;
    makeFrameQueue(queue, 1LL << 40);
    int frameInSlot[frameQueueSlots];
    int added = 0, written = 0;
    const auto add = [&] {
        const int slot = slotForNewFrame(queue, 10);
        if (slot < 0) return false;
        frameInSlot[slot] = added++;
        frameCopied(queue, slot, 10);
        return true;
    };
    const auto write = [&] {
        const int slot = oldestWaitingFrame(queue);
        ASSERT_GE(slot, 0);
        EXPECT_EQ(frameInSlot[slot], written++);
        frameWritten(queue);
    };
    for (int i = 0; i < frameQueueSlots; ++i) ASSERT_TRUE(add());
    EXPECT_FALSE(add());
    EXPECT_EQ(queue.dropped, 1);
    // Freed slots take new frames; the order stays the frames' own.
    for (int i = 0; i < 10; ++i) write();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(add());
    while (written < added) write();
    EXPECT_EQ(oldestWaitingFrame(queue), -1);
    EXPECT_EQ(queue.bytesWaiting, 0);
    EXPECT_EQ(queue.queued, frameQueueSlots + 10);
    EXPECT_EQ(queue.dropped, 1);
    int slot = slotForNewFrame(queue, 10);
    for (int i = 0; i < 1000; ++i) {
        frameCopied(queue, slot, 10);
        ASSERT_EQ(oldestWaitingFrame(queue), slot);
        frameWritten(queue);
        ASSERT_EQ(slotForNewFrame(queue, 10), slot) << "a writer that keeps up reuses one slot";
    }
}

TEST(FrameQueue, SlotBeingFilledIsNotGivenOutAgainWhileTheWriterFreesAnother)
{
    FrameQueue queue;
    makeFrameQueue(queue, 1LL << 40);
    const int first = slotForNewFrame(queue, 10);
    frameCopied(queue, first, 10);
    const int filling = slotForNewFrame(queue, 10);
    frameWritten(queue);  // meanwhile the writer finishes the first
    const int next = slotForNewFrame(queue, 10);
    EXPECT_NE(next, filling);
    frameCopied(queue, filling, 10);
    frameCopied(queue, next, 10);
    EXPECT_EQ(oldestWaitingFrame(queue), filling);
    frameWritten(queue);
    EXPECT_EQ(oldestWaitingFrame(queue), next);
}

TEST(FrameQueue, DropsFramesThatWouldPassItsMemoryLimit)
{
    FrameQueue queue;
    makeFrameQueue(queue, 2500);
    for (int i = 0; i < 2; ++i) {
        const int slot = slotForNewFrame(queue, 1000);
        ASSERT_GE(slot, 0);
        frameCopied(queue, slot, 1000);
    }
    EXPECT_EQ(slotForNewFrame(queue, 1000), -1);
    const int small = slotForNewFrame(queue, 500);
    ASSERT_GE(small, 0) << "a smaller frame still fits";
    frameCopied(queue, small, 500);
    frameWritten(queue);
    EXPECT_GE(slotForNewFrame(queue, 1000), 0) << "the written frame's memory is free again";
    EXPECT_EQ(slotForNewFrame(queue, 3000), -1) << "a frame beyond the whole limit never fits";
    EXPECT_EQ(queue.dropped, 2);
}

}  // namespace
