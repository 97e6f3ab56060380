#include "expected_frames.h"

Picture vuMaskBeforeRightNeedle(Point left)
{
    return drawBlackOnWhite(275, 75, {{68, 65, left.x, left.y}, {137, 0, 137, 75}});
}

Picture vuMask(Point left, Point right)
{
    return drawBlackOnWhite(275, 75, {{68, 65, left.x, left.y}, {137, 0, 137, 75}, {206, 65, right.x, right.y}});
}

Picture expectedVuWindow(int width, int height, Point left, Point right, std::initializer_list<ExpectedCopy> copies)
{
    const Picture leftMask = vuMaskBeforeRightNeedle(left);
    const Picture fullMask = vuMask(left, right);
    Picture expected(width, height, untouched);
    for (const ExpectedCopy &copy : copies) {
        const Picture &mask = copy.beforeRightNeedle ? leftMask : fullMask;
        for (int y = 0; y < copy.height; ++y)
            for (int x = 0; x < copy.width; ++x)
                expected.at(copy.destX + x, y) = mask.at(copy.maskX + x, y) == white ? faceColour(x, y) : black;
    }
    return expected;
}

Picture expectedMeters(Point left, Point right)
{
    return expectedVuWindow(275, 75, left, right, {{0, 0, 137, 75, true}, {138, 138, 137, 75, false}});
}

Picture scopeOutline()
{
    Picture picture(576, 512, white);
    for (int x = 0; x < 576; ++x) picture.at(x, 0) = picture.at(x, 511) = black;
    for (int y = 0; y < 512; ++y) picture.at(0, y) = picture.at(575, y) = black;
    return picture;
}

void fillTriangle(signed char *row, int phase)
{
    for (int i = 0; i < 576; ++i) {
        const int step = (i + phase) % 510;
        row[i] = static_cast<signed char>(step <= 255 ? step - 128 : 382 - step);
    }
}

Picture scopeFrame(const signed char *channel0, const signed char *channel1)
{
    Picture picture = scopeOutline();
    const signed char *rows[2] = {channel0, channel1};
    for (int c = 0; c < 2; ++c)
        for (int i = 0; rows[c] && i < 575; ++i) picture.at(i, 256 * c + 128 + rows[c][i]) = black;
    return picture;
}
