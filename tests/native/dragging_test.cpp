// One drag step: the window follows the pointer's displacement from the
// anchor on either side of the window, and jumps to (0, 0) beyond x 1280 or
// y 1024.
#include "window/dragging.h"

#include <gtest/gtest.h>

namespace {

struct CoordinateCase {
    unsigned int halfWord;
    int coordinate;
};

class ClientCoordinate : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(ClientCoordinate, ReadsTheHalfWordAsSigned)
{
    EXPECT_EQ(clientCoordinate(GetParam().halfWord), GetParam().coordinate);
}

INSTANTIATE_TEST_SUITE_P(Table, ClientCoordinate,
                         ::testing::Values(CoordinateCase{0, 0}, CoordinateCase{30, 30},
                                           CoordinateCase{32767, 32767}, CoordinateCase{32768, -32768},
                                           CoordinateCase{65531, -5}, CoordinateCase{65535, -1},
                                           // Only the low 16 bits count.
                                           CoordinateCase{0x1fffb, -5}, CoordinateCase{0xffff0005u, 5}));

struct DragCase {
    const char *name;
    ScreenRect window;
    int anchorX, anchorY;
    int pointerX, pointerY;
    int x, y;
    int movesToOrigin;
};

void PrintTo(const DragCase &row, std::ostream *out) { *out << row.name; }

class Dragging : public ::testing::TestWithParam<DragCase> {};

TEST_P(Dragging, MovesByThePointersDisplacement)
{
    const DragCase &row = GetParam();
    const DragStep step = dragStep(row.window, row.anchorX, row.anchorY, row.pointerX, row.pointerY);
    EXPECT_EQ(step.placement.x, row.x);
    EXPECT_EQ(step.placement.y, row.y);
    EXPECT_EQ(step.placement.width, row.window.right - row.window.left);
    EXPECT_EQ(step.placement.height, row.window.bottom - row.window.top);
    EXPECT_EQ(step.movesToOrigin, row.movesToOrigin);
}

// A 275 x 75 window at (400, 300).
constexpr ScreenRect window = {400, 300, 675, 375};

INSTANTIATE_TEST_SUITE_P(
    Table, Dragging,
    ::testing::Values(
        DragCase{"Right", window, 30, 20, 40, 25, 410, 305, 0},
        DragCase{"Still", window, 30, 20, 30, 20, 400, 300, 0},
        // Anchor x 30, pointer 5 left of the window: 35 to the left, so the
        // pressed pixel stays under the pointer.
        DragCase{"PointerLeftOfWindow", window, 30, 20, -5, 20, 365, 300, 0},
        DragCase{"PointerAboveWindow", window, 30, 20, 30, -7, 400, 273, 0},
        DragCase{"PointerAboveLeft", window, 200, 60, -300, -400, -100, -160, 0},
        // New x 1280 stays, 1281 jumps; likewise y 1024 and 1025.
        DragCase{"XAtLimit", {1200, 300, 1475, 375}, 10, 10, 90, 10, 1280, 300, 0},
        DragCase{"XPastLimit", {1200, 300, 1475, 375}, 10, 10, 91, 10, 1281, 300, 1},
        DragCase{"YAtLimit", {400, 1000, 675, 1075}, 10, 10, 10, 34, 400, 1024, 0},
        DragCase{"YPastLimit", {400, 1000, 675, 1075}, 10, 10, 10, 35, 400, 1025, 1},
        DragCase{"BothPastLimits", {1200, 1000, 1475, 1075}, 10, 10, 100, 100, 1290, 1090, 2},
        // A true displacement above 1280 or 1024 is an ordinary one.
        DragCase{"WideMoveStaysOnScreen", {-200, 100, 75, 175}, 0, 0, 1300, 0, 1100, 100, 0},
        DragCase{"TallMoveStaysOnScreen", {100, -100, 375, -25}, 0, 0, 0, 1050, 100, 950, 0},
        DragCase{"WideMovePastLimit", {0, 0, 275, 75}, 0, 0, 1300, 0, 1300, 0, 1},
        // Past the left or top edge of the screen: negative, and kept.
        DragCase{"PastLeftEdge", {50, 300, 325, 375}, 100, 20, -200, 20, -250, 300, 0},
        DragCase{"PastTopEdge", {50, 10, 325, 85}, 100, 20, 100, -60, 50, -70, 0},
        // The anchor is a client coordinate like the pointer; a negative one
        // (a press read while captured) works the same way.
        DragCase{"NegativeAnchor", window, -10, -10, 0, 0, 410, 310, 0}),
    [](const ::testing::TestParamInfo<DragCase> &param) { return std::string(param.param.name); });

TEST(Dragging, PressedPixelStaysUnderThePointerOnEitherSide)
{
    const int anchorX = 137;
    const int anchorY = 37;
    for (int pointer = -1000; pointer <= 1000; pointer += 7) {
        const DragStep step = dragStep(window, anchorX, anchorY, pointer, pointer);
        // Screen position of the pointer before the move, and of the pressed
        // pixel after it.
        EXPECT_EQ(step.placement.x + anchorX, window.left + pointer) << pointer;
        EXPECT_EQ(step.placement.y + anchorY, window.top + pointer) << pointer;
    }
}

}  // namespace
