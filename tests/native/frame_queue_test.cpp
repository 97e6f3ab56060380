// The capture's queue: frames reach the writer oldest first, a frame that
// finds it full, by slots or by bytes, is dropped and counted, and a writer
// that keeps up has one slot filled over and over.
#include "capture/frame_queue.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameQueue, HandsFramesOverInOrderAndDropsWhenFull)
{
    FrameQueue queue;
    makeFrameQueue(queue, 1LL << 40);
    int frameInSlot[frameQueueSlots];
    int added = 0, written = 0;
    const auto add = [&] {
        const int slot = slotForNewFrame(queue, 10);
        if (slot >= 0) frameInSlot[slot] = added++;
        if (slot >= 0) frameCopied(queue, slot, 10);
        return slot;
    };
    const auto write = [&] {
        ASSERT_EQ(frameInSlot[oldestWaitingFrame(queue)], written++);
        frameWritten(queue);
    };
    for (int i = 0; i < frameQueueSlots; ++i) ASSERT_GE(add(), 0);
    EXPECT_EQ(add(), -1);
    for (int i = 0; i < 10; ++i) write();
    // A slot taken for filling is not given out again while the writer frees another.
    const int filling = slotForNewFrame(queue, 10);
    write();
    EXPECT_NE(add(), filling);
    frameInSlot[filling] = added;  // filled last, so written last
    frameCopied(queue, filling, 10);
    ++added;
    while (written < added) write();
    EXPECT_EQ(oldestWaitingFrame(queue), -1);
    EXPECT_EQ(queue.queued, frameQueueSlots + 2);
    EXPECT_EQ(queue.dropped, 1);
    const int slot = add();
    for (int i = 0; i < 100; ++i) {
        write();
        ASSERT_EQ(add(), slot) << "a writer that keeps up leaves one slot in use";
    }
}

TEST(FrameQueue, DropsFramesThatWouldPassItsMemoryLimit)
{
    FrameQueue queue;
    makeFrameQueue(queue, 2500);
    for (long long bytes : {1000, 1000}) frameCopied(queue, slotForNewFrame(queue, bytes), bytes);
    EXPECT_EQ(slotForNewFrame(queue, 1000), -1);
    frameWritten(queue);
    EXPECT_GE(slotForNewFrame(queue, 1000), 0) << "the written frame's memory is free again";
    EXPECT_EQ(slotForNewFrame(queue, 3000), -1) << "a frame beyond the whole limit never fits";
    EXPECT_EQ(queue.dropped, 2);
}

// A frame that could not be copied (no bitmap, a failed copy) gives its
// slot back: a run of such failures never uses the queue up.
TEST(FrameQueue, SlotOfAFrameNotCopiedIsFreeAgain)
{
    FrameQueue queue;
    makeFrameQueue(queue, 1LL << 40);
    for (int i = 0; i < 2 * frameQueueSlots; ++i) {
        const int slot = slotForNewFrame(queue, 10);
        ASSERT_GE(slot, 0) << "failure " << i;
        frameNotCopied(queue, slot);
    }
    EXPECT_EQ(oldestWaitingFrame(queue), -1) << "nothing waits to be written";
    EXPECT_EQ(queue.queued + queue.dropped, 0);
}

}  // namespace
